// rdo_cntl: properties, the field list and the operations on plain values.

#include "rdo_cntl.h"

#include "DbConnection.h"
#include "Format.h"
#include "RdoInternal.h"
#include "RdoSql.h"
#include "SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace rdo_internal;

namespace {
rdo_cntl::PointerHook g_pointerHook = nullptr;
rdo_cntl::MessageHook g_messageHook = nullptr;
} // namespace

namespace rdo_internal {

PointerGuard::PointerGuard(bool on)
    : m_on(on && g_pointerHook)
{
    if (m_on)
        g_pointerHook(true);
}

PointerGuard::~PointerGuard()
{
    if (m_on)
        g_pointerHook(false);
}

void ShowMessage(const QString &text)
{
    if (g_messageHook)
        g_messageHook(text);
}

int ColumnIndex(const QSqlQuery &q, const QString &name)
{
    const int i = q.record().indexOf(name);
    if (i < 0)
        throw RdoError(QStringLiteral("この項目はありません: %1").arg(name));
    return i;
}

} // namespace rdo_internal

RdoError::RdoError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

rdo_cntl::rdo_cntl() = default;
rdo_cntl::~rdo_cntl() = default;

void rdo_cntl::setPointerHook(PointerHook hook) { g_pointerHook = hook; }
void rdo_cntl::setMessageHook(MessageHook hook) { g_messageHook = hook; }

// ---- properties ------------------------------------------------------------------------------

void rdo_cntl::setDataSource(const QString &name)
{
    if (State().mdbMode) {
        const qsizetype dot = name.indexOf(u'.');
        m_dataSource = dot < 0 ? name : name.mid(dot + 1);
    } else {
        m_dataSource = name;
    }
}

void rdo_cntl::setWhereS(const QString &condition)
{
    m_whereS = condition;
    m_where = rdo_sql::JoinWhere(m_where, condition);
}

// ---- query plumbing ----------------------------------------------------------------------------

QString rdo_cntl::SelectText(bool withLimit, const QString &field) const
{
    return rdo_sql::Select(m_dataSource, {m_where, m_order, m_limit}, withLimit, field);
}

QString rdo_cntl::FieldNames() const
{
    QStringList names;
    for (const Field &f : m_fields)
        if (!f.name.isEmpty() && !names.contains(f.name))
            names << f.name;
    return names.join(QStringLiteral(", "));
}

QSqlQuery &rdo_cntl::OpenGridQuery(bool withLimit)
{
    // Reading only the columns a grid shows spares the driver the others. A source the names do
    // not fit (a name it lacks, one two joined tables share) is read whole, as before, so that the
    // missing name is reported as such.
    if (const QString names = FieldNames(); !names.isEmpty()) {
        try {
            return Open(SelectText(withLimit, names));
        } catch (const RdoError &) {
        }
    }
    return Open(SelectText(withLimit));
}

QSqlQuery &rdo_cntl::Open(const QString &sql)
{
    m_recSet = std::make_unique<QSqlQuery>(Connection().Query(sql));
    if (!m_recSet->isActive())
        throw RdoError(Connection().LastError());
    return *m_recSet;
}

void rdo_cntl::CloseRecSet()
{
    // Closing the cursor is not enough: the SQLite driver keeps the statement, and with it the
    // read transaction, until the statement is freed. A long-lived instance (a screen's binding)
    // would otherwise go on reading an old snapshot and never see another process's writes.
    m_recSet.reset();
}

void rdo_cntl::Exec(const QString &sql)
{
    if (!Connection().Exec(sql))
        throw RdoError(Connection().LastError());
}

// ---- field list -------------------------------------------------------------------------------------

void rdo_cntl::AddField(Field field, bool isNew)
{
    if (isNew)
        m_fields.clear();
    if (m_fields.size() >= kListSize)
        throw RdoError(QString::fromUtf8(kOutOfRange));
    m_fields.push_back(std::move(field));
}

QVariant rdo_cntl::SetField(const QString &dataField, const QString &dataFormat, bool isKey, bool isNew,
                            quint32 foreColor, const QString &filedDisp, const QString &kakoiMoji)
{
    Field f;
    f.name = dataField;
    f.isKey = isKey;
    f.format = dataFormat;
    f.foreColor = foreColor;
    f.caption = filedDisp;
    f.kakoiMoji = kakoiMoji;
    AddField(std::move(f), isNew);
    return QVariant();
}

QVariant rdo_cntl::SetData(const QString &dataField, const QVariant &data, bool isKey, bool isNew,
                           const QString &kakoiMoji)
{
    Field f;
    f.name = dataField;
    f.data = data;
    f.isKey = isKey;
    f.kakoiMoji = kakoiMoji;
    AddField(std::move(f), isNew);
    return QVariant();
}

// ---- data operations ----------------------------------------------------------------------------------

bool rdo_cntl::InsertFromFields(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_fields.isEmpty())
        throw RdoError(QString::fromUtf8(kNoFields));

    // The Ex variant writes every value after the first between its own enclosing characters.
    auto literal = [&](int i) {
        return orvel::SqlLiteral(orvel::ValueText(m_fields[i].data),
                                 ex && i > 0 ? m_fields[i].kakoiMoji : QStringLiteral("'"));
    };
    QStringList keys;
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].isKey)
            keys << m_fields[i].name + QStringLiteral(" = ") + literal(i);
    const QString keyText = keys.join(QStringLiteral(" AND "));
    QStringList names, values;
    for (int i = 0; i < m_fields.size(); ++i) {
        names << m_fields[i].name;
        values << literal(i);
    }
    return InsertUnlessExists(m_fields[0].name, ex ? rdo_sql::JoinWhere(m_where, keyText) : keyText, names, values);
}

bool rdo_cntl::InsertUnlessExists(const QString &firstName, const QString &where, const QStringList &names,
                                  const QStringList &values)
{
    QSqlQuery &q = Open(rdo_sql::Exists(m_dataSource, firstName, where));
    const bool exists = q.next();
    CloseRecSet();
    if (exists) {
        m_errMsg = QString::fromUtf8(kAlreadyRegistered);
        return false;
    }
    Exec(rdo_sql::Insert(m_dataSource, names, values));
    return true;
}

bool rdo_cntl::UpdateFromFields(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_fields.isEmpty())
        throw RdoError(QString::fromUtf8(kNoFields));
    QStringList names, values, keys;
    for (const Field &f : m_fields) {
        names << f.name;
        values << orvel::SqlText(orvel::ValueText(f.data));
        if (f.isKey)
            keys << f.name + QStringLiteral(" = ") + orvel::SqlText(orvel::ValueText(f.data));
    }
    const QString keyText = keys.join(QStringLiteral(" AND "));
    Exec(rdo_sql::Update(m_dataSource, names, values, ex ? rdo_sql::JoinWhere(m_where, keyText) : keyText));
    return true;
}

bool rdo_cntl::InsertData(bool p) { return InsertFromFields(false, p); }
bool rdo_cntl::InsertDataEx(bool p) { return InsertFromFields(true, p); }
bool rdo_cntl::UpdateData(bool p) { return UpdateFromFields(false, p); }
bool rdo_cntl::UpdateDataEx(bool p) { return UpdateFromFields(true, p); }

bool rdo_cntl::DeleteData()
{
    try {
        if (!EnsureConnection())
            return false;
        Exec(rdo_sql::Delete(m_dataSource, m_where));
        return true;
    } catch (const RdoError &) {
        return false;
    }
}

QVariant rdo_cntl::GetData(const QString &dataField)
{
    if (!dataField.isEmpty())
        m_dataField = dataField;
    if (!EnsureConnection())
        return QString();
    QSqlQuery &q = Open(SelectText(true, m_dataField));
    QString value;
    if (q.next())
        value = orvel::ValueText(q.value(0));
    CloseRecSet();
    return value;
}

qint16 rdo_cntl::GetDataS(QVector<QVariant> &dataS, const QString &dataField)
{
    if (!dataField.isEmpty())
        m_dataField = dataField;
    if (!EnsureConnection())
        return 0;
    QSqlQuery &q = Open(SelectText(true, m_dataField));
    qint16 n = 0;
    while (q.next()) {
        if (n >= dataS.size()) {
            CloseRecSet();
            throw RdoError(QString::fromUtf8(kOutOfRange));
        }
        dataS[n++] = orvel::ValueText(q.value(0));
    }
    CloseRecSet();
    return n;
}

QVariant rdo_cntl::ExecFunction(const QString &strSQL)
{
    if (!EnsureConnection())
        return QString();
    QSqlQuery &q = Open(strSQL);
    QString value;
    if (q.next())
        value = orvel::ValueText(q.value(0));
    CloseRecSet();
    return value;
}

bool rdo_cntl::Execute(const QString &strSQL)
{
    if (!EnsureConnection())
        return false;
    Exec(strSQL);
    return true;
}

qint16 rdo_cntl::TableInfo_GetFieldCount(const QString &tableName)
{
    if (!EnsureConnection())
        return 0;
    QSqlQuery &q = Open(QStringLiteral("SELECT * FROM ") + tableName);
    const int n = q.record().count();
    CloseRecSet();
    return static_cast<qint16>(n);
}
