// rdo_cntl: the bind list, which moves one row between the database and screen controls.

#include "Format.h"
#include "RdoInternal.h"
#include "RdoSql.h"
#include "SqlDialect.h"

#include <QSqlQuery>

using namespace rdo_internal;

namespace {
QString ControlText(RdoControl *c)
{
    if (!c)
        throw RdoError(QString::fromUtf8(kNoControl));
    switch (c->kind()) {
    case RdoControl::Kind::Text:
        return static_cast<RdoTextControl *>(c)->text();
    case RdoControl::Kind::List:
        return static_cast<RdoListControl *>(c)->text();
    case RdoControl::Kind::Grid:
        break;
    }
    throw RdoError(QString::fromUtf8(kWrongControl));
}
} // namespace

bool rdo_cntl::SetBind(const QString &dataField, RdoControl *cntrl, bool isKey, bool isNew, const QString &dataFormat)
{
    if (isNew)
        m_binds.clear();
    if (m_binds.size() >= kListSize)
        throw RdoError(QString::fromUtf8(kOutOfRange));
    m_binds.push_back({dataField, cntrl, isKey, dataFormat});
    return false;
}

QString rdo_cntl::BindValue(int index) const
{
    // Entry 0 is always the control's text; a later list control gives its selected item's code.
    const Bind &b = m_binds[index];
    if (index > 0 && b.control && b.control->kind() == RdoControl::Kind::List) {
        auto *list = static_cast<RdoListControl *>(b.control);
        const int sel = list->currentIndex();
        if (sel < 0 || sel >= list->itemCount())
            throw RdoError(QString::fromUtf8(kOutOfRange));
        return orvel::FormatValue(QVariant(list->itemData(sel)), b.format);
    }
    return ControlText(b.control);
}

QString rdo_cntl::KeyConditionsFromBinds() const
{
    QStringList conds;
    for (const Bind &b : m_binds)
        if (b.isKey)
            conds << b.name + QStringLiteral(" = ") + orvel::SqlText(ControlText(b.control));
    return conds.join(QStringLiteral(" AND "));
}

void rdo_cntl::BindNamesAndValues(QStringList *names, QStringList *values) const
{
    for (int i = 0; i < m_binds.size(); ++i) {
        *names << m_binds[i].name;
        *values << orvel::SqlText(BindValue(i));
    }
}

bool rdo_cntl::LoadBind(bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    QSqlQuery &q = Open(SelectText(false));
    if (!q.next()) {
        CloseRecSet();
        return false;
    }
    try {
        for (const Bind &b : m_binds) {
            const QString value = orvel::ValueText(q.value(ColumnIndex(q, b.name)));
            if (b.control && b.control->kind() == RdoControl::Kind::List) {
                auto *list = static_cast<RdoListControl *>(b.control);
                const qint64 code = value.trimmed().toLongLong();
                int found = -1;
                for (int i = 0; i < list->itemCount() && found < 0; ++i)
                    if (list->itemData(i) == code)
                        found = i;
                if (found < 0)
                    throw RdoError(QStringLiteral("リストに該当する項目がありません: %1").arg(value));
                list->setCurrentIndex(found);
            } else if (b.control && b.control->kind() == RdoControl::Kind::Text) {
                static_cast<RdoTextControl *>(b.control)->setText(value);
            } else {
                throw RdoError(QString::fromUtf8(kWrongControl));
            }
        }
    } catch (const RdoError &) {
        CloseRecSet();
        throw;
    }
    CloseRecSet();
    return true;
}

bool rdo_cntl::InsertBind(bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_binds.isEmpty())
        throw RdoError(QString::fromUtf8(kNoFields));
    QStringList names, values;
    BindNamesAndValues(&names, &values);
    return InsertUnlessExists(m_binds[0].name, KeyConditionsFromBinds(), names, values);
}

bool rdo_cntl::UpdateFromBinds(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_binds.isEmpty())
        throw RdoError(QString::fromUtf8(kNoFields));
    QStringList names, values;
    BindNamesAndValues(&names, &values);
    const QString keys = KeyConditionsFromBinds();
    Exec(rdo_sql::Update(m_dataSource, names, values, ex ? rdo_sql::JoinWhere(m_where, keys) : keys));
    return true;
}

bool rdo_cntl::UpdateBind(bool p) { return UpdateFromBinds(false, p); }
bool rdo_cntl::UpdateBindEx(bool p) { return UpdateFromBinds(true, p); }
