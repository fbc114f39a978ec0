// rdo_cntl: filling a grid or a list control from a query.

#include "Format.h"
#include "RdoInternal.h"
#include "RdoSql.h"
#include "SqlDialect.h"

#include <QSqlError>
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
    // Rows packed several to a value need a plain row count as the limit (never "10 OFFSET 5").
    bool countLimit = m_limit.trimmed().isEmpty();
    const qint64 maxRows = countLimit ? 0 : m_limit.trimmed().toLongLong(&countLimit);
    const QString packedSql = m_packedRows > 1 && !m_fields.isEmpty() && !m_fields[0].name.isEmpty() && countLimit
                                  ? orvel::PackedRowsSelect(orvel::CurrentBackend(), m_fields[0].name, m_dataSource,
                                                            m_where, m_order, maxRows, m_packedRows)
                                  : QString();
    const bool packed = !packedSql.isEmpty();
    QSqlQuery &q = packed ? Open(packedSql) : OpenGridQuery(!mdb);

    struct Redraw
    {
        RdoGridControl *g;
        ~Redraw() { g->setRedraw(true); }
    } redraw{grid};
    grid->setRedraw(false);

    // A row the database fails to give ends the rows as the end of the result does: the failure
    // is raised, never shown as a shorter list.
    const auto fetched = [&]() {
        if (q.next())
            return true;
        if (q.lastError().isValid()) {
            const QString error = q.lastError().text();
            CloseRecSet();
            throw RdoError(error);
        }
        return false;
    };
    const qint32 first = startRow == -1 ? grid->fixedRows() : startRow;
    qint32 r = first;
    if (!fetched()) {
        grid->setRows(r);
        CloseRecSet();
        return 0;
    }
    const auto fillCell = [&](qint32 row, int i, const QVariant &v) {
        const Field &f = m_fields[i];
        if (f.format == QLatin1String("VSF_CHECK"))
            grid->setCellChecked(row, i, IsTruthy(orvel::ValueText(v)));
        else
            grid->setTextMatrix(row, i, orvel::FormatValue(v, f.format));
        if (f.foreColor != 0)
            grid->setCellForeColor(row, i, f.foreColor);
    };
    try {
        if (packed) {
            // Each value holds the next rows, each carrying its number: a row is placed by its
            // number, and a value whose numbers are not exactly the next ones is refused.
            QList<std::pair<qint64, QString>> rows;
            QList<bool> placed;
            qint64 done = 0;
            do {
                if (!orvel::SplitPackedRows(orvel::ValueText(q.value(0)), &rows))
                    throw RdoError(QString::fromUtf8(kBrokenRows));
                placed.fill(false, rows.size());
                const qint64 end = qMin<qint64>(rowCap, first + done + rows.size());
                if (end > r)
                    grid->setRows(qint32(end));
                for (const auto &[number, text] : rows) {
                    const qint64 at = number - done - 1;
                    if (at < 0 || at >= rows.size() || placed[at])
                        throw RdoError(QString::fromUtf8(kBrokenRows));
                    placed[at] = true;
                    const qint64 row = first + done + at;
                    if (row >= end)
                        continue;
                    fillCell(qint32(row), 0, text);
                    for (int i = 1; i < m_fields.size(); ++i)
                        grid->setTextMatrix(qint32(row), i, QString());
                }
                done += rows.size();
                r = qint32(qMax<qint64>(r, end));
            } while (first + done < rowCap && fetched());
        } else {
            QVector<int> cols(m_fields.size(), -1);
            for (int i = 0; i < m_fields.size(); ++i)
                if (!m_fields[i].name.isEmpty())
                    cols[i] = ColumnIndex(q, m_fields[i].name);
            do {
                if (mdb && r >= rowCap)
                    break;
                grid->setRows(r + 1);
                for (int i = 0; i < m_fields.size(); ++i) {
                    if (cols[i] < 0)
                        grid->setTextMatrix(r, i, QString());
                    else
                        fillCell(r, i, q.value(cols[i]));
                }
                ++r;
            } while (fetched());
        }
    } catch (const RdoError &) {
        CloseRecSet();
        throw;
    }
    if (grid->rows() > grid->fixedRows())
        grid->setCurrentRow(grid->fixedRows());
    CloseRecSet();
    return r;
}

QVector<QStringList> rdo_cntl::LoadRows()
{
    if (m_fields.isEmpty())
        throw RdoError(QString::fromUtf8(kNoFields));
    QVector<QStringList> rows;
    if (!EnsureConnection())
        return rows;
    // In MDB mode the limit is a row cap, as for a grid.
    const bool mdb = State().mdbMode;
    const qint64 rowCap = mdb && !m_limit.isEmpty() ? m_limit.trimmed().toLongLong() : -1;
    QSqlQuery &q = OpenGridQuery(!mdb);
    try {
        QVector<int> cols(m_fields.size(), -1);
        for (int i = 0; i < m_fields.size(); ++i)
            if (!m_fields[i].name.isEmpty())
                cols[i] = ColumnIndex(q, m_fields[i].name);
        while (rowCap < 0 || rows.size() < rowCap) {
            if (!q.next()) {
                if (q.lastError().isValid())
                    throw RdoError(q.lastError().text());
                break;
            }
            QStringList row;
            row.reserve(m_fields.size());
            for (int i = 0; i < m_fields.size(); ++i) {
                const Field &f = m_fields[i];
                if (cols[i] < 0)
                    row << QString();
                else if (f.format == QLatin1String("VSF_CHECK"))
                    row << (IsTruthy(orvel::ValueText(q.value(cols[i]))) ? QStringLiteral("1") : QStringLiteral("0"));
                else
                    row << orvel::FormatValue(q.value(cols[i]), f.format);
            }
            rows << row;
        }
    } catch (const RdoError &) {
        CloseRecSet();
        throw;
    }
    CloseRecSet();
    return rows;
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
