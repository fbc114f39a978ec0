#include "LogGridModel.h"

#include "Format.h"
#include "LogListLogic.h"

LogGridModel::LogGridModel(int columns, QObject *parent)
    : QAbstractTableModel(parent)
{
    m_header.resize(columns);
    m_align.fill(Qt::AlignLeft | Qt::AlignVCenter, columns);
}

void LogGridModel::setColumnAlignment(int col, Qt::Alignment alignment)
{
    if (col >= 0 && col < m_align.size())
        m_align[col] = alignment;
}

void LogGridModel::SetPackedFormats(const QStringList &formats)
{
    beginResetModel();
    m_packedFormats = formats;
    m_rows.clear();
    m_packedRows.clear();
    endResetModel();
}

namespace {
bool IsDigits(const QString &text, qsizetype size)
{
    if (text.size() != size)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// 'YYYY-MM-DD HH:MM:SS' as stored: shown under "yyyy/mm/dd hh:mm:ss" by rearranging it, since
// parsing a date costs more than the rest of a row.
bool IsStoredTime(const QString &t)
{
    return t.size() == 19 && t[4] == u'-' && t[7] == u'-' && t[10] == u' ' && t[13] == u':' && t[16] == u':' &&
           IsDigits(t.left(4), 4) && IsDigits(t.mid(5, 2), 2) && IsDigits(t.mid(8, 2), 2) &&
           IsDigits(t.mid(11, 2), 2) && IsDigits(t.mid(14, 2), 2) && IsDigits(t.mid(17, 2), 2);
}
} // namespace

QString LogGridModel::Cell(int dataRow, int col) const
{
    if (m_packedFormats.isEmpty())
        return m_rows[dataRow].value(col);
    // The col-th part of the packed row.
    const QString &packed = m_packedRows[dataRow];
    qsizetype from = 0;
    for (int c = 0; c < col && from >= 0; ++c) {
        from = packed.indexOf(QChar(orvel::logs::kLogRowSeparator), from);
        if (from >= 0)
            ++from;
    }
    if (from < 0)
        return QString();
    qsizetype to = packed.indexOf(QChar(orvel::logs::kLogRowSeparator), from);
    const QString text = packed.mid(from, (to < 0 ? packed.size() : to) - from);
    const QString &format = m_packedFormats.value(col);
    if (format.isEmpty() || text.isEmpty())
        return text;
    if (format == QLatin1String("yyyy/mm/dd hh:mm:ss") && IsStoredTime(text))
        return text.left(10).replace(u'-', u'/') + text.mid(10);
    if (!format.contains(u'/') && !format.contains(u':') && IsDigits(format, format.size()) &&
        IsDigits(text, format.size()))
        return text; // a number already as wide as its pattern
    return orvel::FormatValue(text, format);
}

int LogGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : DataRows();
}

int LogGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_header.size());
}

QVariant LogGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= DataRows() || index.column() >= m_header.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_align[index.column()]);
    return QVariant();
}

QVariant LogGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return m_header.value(section);
    return section + 1;
}

// The component sets the row count one row ahead of each row it fills, between setRedraw(false)
// and setRedraw(true): the model grows its list and tells views once, at the end.
void LogGridModel::setRows(int rows)
{
    const int data = qMax(0, rows - 1);
    if (!m_resetting)
        beginResetModel();
    if (!m_packedFormats.isEmpty()) {
        m_packedRows.resize(data);
    } else {
        if (data < m_rows.size())
            m_rows.resize(data);
        while (m_rows.size() < data)
            m_rows.append(QStringList(m_header.size()));
    }
    if (!m_resetting)
        endResetModel();
}

QString LogGridModel::textMatrix(int row, int col) const
{
    if (row == 0)
        return m_header.value(col);
    return row >= 1 && row - 1 < DataRows() ? Cell(row - 1, col) : QString();
}

void LogGridModel::setTextMatrix(int row, int col, const QString &text)
{
    if (col < 0 || col >= m_header.size())
        return;
    if (row == 0) {
        m_header[col] = text;
        if (!m_resetting)
            emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    if (row < 1 || row - 1 >= DataRows())
        return;
    if (!m_packedFormats.isEmpty()) {
        if (col != 0)
            return; // the component fills only column 0
        m_packedRows[row - 1] = text;
        if (!m_resetting)
            emit dataChanged(index(row - 1, 0), index(row - 1, int(m_header.size()) - 1));
        return;
    }
    m_rows[row - 1][col] = text;
    if (!m_resetting)
        emit dataChanged(index(row - 1, col), index(row - 1, col));
}

void LogGridModel::setRedraw(bool on)
{
    if (!on && !m_resetting) {
        beginResetModel();
        m_resetting = true;
    } else if (on && m_resetting) {
        m_resetting = false;
        endResetModel();
    }
}
