// rdo_cntl: filling a grid or a list control from a query.

#include "Format.h"
#include "RdoInternal.h"
#include "RdoSql.h"

#include <QSqlQuery>

using namespace rdo_internal;

namespace {
bool IsTruthy(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok)
        return v != 0;
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}
} // namespace

qint32 rdo_cntl::LoadGrid(RdoGridControl *cntl, qint32 startRow)
{
    PointerGuard guard(true);
    if (cntl)
        m_control = cntl;
    auto *grid = m_control && m_control->kind() == RdoControl::Kind::Grid ? static_cast<RdoGridControl *>(m_control)
                                                                          : nullptr;
    if (!grid)
        throw RdoError(QStringLiteral("グリッドが指定されていません。"));
    if (!EnsureConnection())
        return 0;

    // In MDB mode the limit is a row cap counted from the grid's first row, not a clause.
    const bool mdb = State().mdbMode;
    qint64 rowCap = 1000000000;
    if (mdb && !m_limit.isEmpty())
        rowCap = grid->fixedRows() + m_limit.trimmed().toLongLong();
    QSqlQuery &q = Open(SelectText(!mdb));

    struct Redraw
    {
        RdoGridControl *g;
        ~Redraw() { g->setRedraw(true); }
    } redraw{grid};
    grid->setRedraw(false);

    qint32 r = startRow == -1 ? grid->fixedRows() : startRow;
    if (!q.next()) {
        grid->setRows(r);
        CloseRecSet();
        return 0;
    }
    QVector<int> cols(m_fields.size(), -1);
    try {
        for (int i = 0; i < m_fields.size(); ++i)
            if (!m_fields[i].name.isEmpty())
                cols[i] = ColumnIndex(q, m_fields[i].name);
    } catch (const RdoError &) {
        CloseRecSet();
        throw;
    }
    do {
        if (mdb && r >= rowCap)
            break;
        grid->setRows(r + 1);
        for (int i = 0; i < m_fields.size(); ++i) {
            const Field &f = m_fields[i];
            if (cols[i] < 0) {
                grid->setTextMatrix(r, i, QString());
                continue;
            }
            const QVariant v = q.value(cols[i]);
            if (f.format == QLatin1String("VSF_CHECK"))
                grid->setCellChecked(r, i, IsTruthy(orvel::ValueText(v)));
            else
                grid->setTextMatrix(r, i, orvel::FormatValue(v, f.format));
            if (f.foreColor != 0)
                grid->setCellForeColor(r, i, f.foreColor);
        }
        ++r;
    } while (q.next());
    if (grid->rows() > grid->fixedRows())
        grid->setCurrentRow(grid->fixedRows());
    CloseRecSet();
    return r;
}

bool rdo_cntl::LoadList(RdoControl *cntl, qint16 curCode, const QString &sql)
{
    if (cntl)
        m_control = cntl;
    if (!m_control || m_control->kind() != RdoControl::Kind::List) {
        ShowMessage(QStringLiteral("ComboBOX又はListBoxに対応しております"));
        return false;
    }
    auto *list = static_cast<RdoListControl *>(m_control);
    if (!EnsureConnection())
        return false;
    QSqlQuery &q = Open(sql);
    list->clear();
    if (!q.next()) {
        CloseRecSet();
        return false;
    }
    int textCol = -1, codeCol = -1;
    try {
        textCol = ColumnIndex(q, m_dataField);
        codeCol = m_codeField.isEmpty() ? -1 : ColumnIndex(q, m_codeField);
    } catch (const RdoError &) {
        CloseRecSet();
        throw;
    }
    QString chosen;
    bool found = false;
    int n = 0;
    do {
        list->addItem(orvel::ValueText(q.value(textCol)));
        if (codeCol >= 0) {
            const qint32 code = static_cast<qint32>(orvel::ValueText(q.value(codeCol)).trimmed().toLongLong());
            list->setItemData(n, code);
            if (code == curCode) {
                list->setCurrentIndex(n);
                chosen = orvel::ValueText(q.value(textCol));
                found = true;
            }
        }
        ++n;
    } while (q.next());
    CloseRecSet();
    if (found)
        list->setText(chosen);
    return true;
}

bool rdo_cntl::LoadCombo(RdoControl *cntl, qint16 curCode)
{
    return LoadList(cntl, curCode, rdo_sql::ComboSelect(m_dataSource, m_dataField, {m_where, m_order, m_limit}));
}

bool rdo_cntl::LoadComboSimple(RdoControl *cntl, qint16 curCode)
{
    return LoadList(cntl, curCode, rdo_sql::DistinctSelect(m_dataSource, m_dataField, {m_where, m_order, m_limit}));
}
