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
    m_packedFormats = formats;
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

void LogGridModel::Unpack(QStringList &row, const QString &packed) const
{
    const QStringList parts = packed.split(QChar(orvel::logs::kLogRowSeparator));
    for (qsizetype c = 0; c < row.size(); ++c) {
        const QString text = parts.value(c);
        const QString &format = m_packedFormats.value(c);
        if (format.isEmpty() || text.isEmpty())
            row[c] = text;
        else if (format == QLatin1String("yyyy/mm/dd hh:mm:ss") && IsStoredTime(text))
            row[c] = text.left(10).replace(u'-', u'/') + text.mid(10);
        else if (!format.contains(u'/') && !format.contains(u':') && IsDigits(format, format.size()) &&
                 IsDigits(text, format.size()))
            row[c] = text; // a number already as wide as its pattern
        else
            row[c] = orvel::FormatValue(text, format);
    }
}

int LogGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int LogGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_header.size());
}

QVariant LogGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_header.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_rows[index.row()].value(index.column());
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
    if (data < m_rows.size())
        m_rows.resize(data);
    while (m_rows.size() < data)
        m_rows.append(QStringList(m_header.size()));
    if (!m_resetting)
        endResetModel();
}

QString LogGridModel::textMatrix(int row, int col) const
{
    if (row == 0)
        return m_header.value(col);
    return row - 1 < m_rows.size() ? m_rows[row - 1].value(col) : QString();
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
    if (row - 1 >= m_rows.size())
        return;
    if (!m_packedFormats.isEmpty()) {
        if (col == 0)
            Unpack(m_rows[row - 1], text);
        return; // the component fills only column 0
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
