#include "MsfGrid.h"

#include "UiUnits.h"

#include <QHeaderView>
#include <QKeyEvent>

void ApplyGridLook(QTableView *view)
{
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setHighlightSections(false);
    view->setWordWrap(false);
}

MsfGrid::MsfGrid(QWidget *parent) : QTableWidget(parent)
{
    ApplyGridLook(this);
}

int MsfGrid::rows() const
{
    return m_fixedRows + rowCount();
}

void MsfGrid::setRows(int rows)
{
    const int before = rowCount();
    setRowCount(qMax(0, rows - m_fixedRows));
    styleFixedCols(before);
}

void MsfGrid::setFixedRows(int n)
{
    m_fixedRows = qBound(0, n, 1);
    horizontalHeader()->setVisible(m_fixedRows > 0);
}

void MsfGrid::setFixedCols(int n)
{
    m_fixedCols = qMax(0, n);
    styleFixedCols(0);
}

void MsfGrid::styleFixedCols(int fromDataRow)
{
    for (int r = fromDataRow; r < rowCount(); ++r)
        for (int c = 0; c < qMin(m_fixedCols, columnCount()); ++c) {
            QTableWidgetItem *it = cell(r + m_fixedRows, c);
            it->setFlags(it->flags() & ~Qt::ItemIsSelectable);
            it->setBackground(palette().button());
        }
}

QTableWidgetItem *MsfGrid::cell(int row, int col)
{
    const int r = row - m_fixedRows;
    QTableWidgetItem *it = item(r, col);
    if (!it) {
        it = new QTableWidgetItem;
        if (const auto a = m_colAlign.constFind(col); a != m_colAlign.constEnd())
            it->setTextAlignment(*a);
        setItem(r, col, it);
    }
    return it;
}

void MsfGrid::setColumnAlignment(int col, Qt::Alignment alignment)
{
    m_colAlign[col] = alignment;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem *it = item(r, col))
            it->setTextAlignment(alignment);
}

const QTableWidgetItem *MsfGrid::cellIfAny(int row, int col) const
{
    return item(row - m_fixedRows, col);
}

QString MsfGrid::textMatrix(int row, int col) const
{
    if (isHeaderRow(row)) {
        const QTableWidgetItem *h = horizontalHeaderItem(col);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem *it = cellIfAny(row, col);
    return it ? it->text() : QString();
}

void MsfGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (row < 0 || col < 0 || row >= rows() || col >= columnCount())
        return;
    if (isHeaderRow(row)) {
        QTableWidgetItem *h = horizontalHeaderItem(col);
        if (!h) {
            h = new QTableWidgetItem;
            setHorizontalHeaderItem(col, h);
        }
        h->setText(text);
        return;
    }
    cell(row, col)->setText(text);
}

void MsfGrid::setCellChecked(int row, int col, bool checked)
{
    if (isHeaderRow(row) || row >= rows() || col < 0 || col >= columnCount())
        return;
    cell(row, col)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool MsfGrid::cellChecked(int row, int col) const
{
    const QTableWidgetItem *it = isHeaderRow(row) ? nullptr : cellIfAny(row, col);
    return it && it->data(Qt::CheckStateRole).isValid() && it->checkState() == Qt::Checked;
}

void MsfGrid::setCellForeColor(int row, int col, quint32 bgr)
{
    if (isHeaderRow(row) || row >= rows() || col < 0 || col >= columnCount())
        return;
    cell(row, col)->setForeground(BgrColor(bgr));
}

QColor MsfGrid::cellForeColor(int row, int col) const
{
    const QTableWidgetItem *it = isHeaderRow(row) ? nullptr : cellIfAny(row, col);
    if (!it || it->foreground().style() == Qt::NoBrush)
        return palette().color(QPalette::Text);
    return it->foreground().color();
}

void MsfGrid::setCellBackColor(int row, int col, const QColor &color)
{
    if (isHeaderRow(row) || row >= rows() || col < 0 || col >= columnCount())
        return;
    cell(row, col)->setBackground(color.isValid() ? QBrush(color) : QBrush());
}

QColor MsfGrid::cellBackColor(int row, int col) const
{
    const QTableWidgetItem *it = isHeaderRow(row) ? nullptr : cellIfAny(row, col);
    if (!it || it->background().style() == Qt::NoBrush)
        return QColor();
    return it->background().color();
}

void MsfGrid::setCurrentRow(int row)
{
    if (isHeaderRow(row) || row >= rows())
        return;
    setCurrentCell(row - m_fixedRows, qMax(currentColumn(), qMin(m_fixedCols, columnCount() - 1)));
}

int MsfGrid::curRow() const
{
    const int r = currentRow();
    return r < 0 ? -1 : r + m_fixedRows;
}

void MsfGrid::setRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void MsfGrid::setFontPointSize(double points)
{
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

void MsfGrid::keyPressEvent(QKeyEvent *event)
{
    const int before = curRow();
    // Rows are the records: Home and End go to the first and last row, not column.
    if ((event->key() == Qt::Key_Home || event->key() == Qt::Key_End) && event->modifiers() == Qt::NoModifier) {
        QKeyEvent rowKey(event->type(), event->key(), Qt::ControlModifier, event->text());
        QTableWidget::keyPressEvent(&rowKey);
    } else {
        QTableWidget::keyPressEvent(event);
    }
    const int now = curRow();
    if (now < m_fixedRows)
        return;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit rowChosenByKey(now);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (now != before)
            emit rowChosenByKey(now);
        break;
    default:
        break;
    }
}
