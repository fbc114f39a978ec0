#include "LogGridView.h"

#include "LogGridModel.h"

#include <QHeaderView>

LogGridView::LogGridView(LogGridModel *model, QWidget *parent)
    : QTableView(parent), m_model(model)
{
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Looks like the other grids: no row numbers, a plain header. Every row is one line: fixed
    // heights keep a long result cheap to scroll.
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

int LogGridView::rows() const
{
    return m_model->rows();
}

int LogGridView::fixedRows() const
{
    return m_model->fixedRows();
}

QString LogGridView::textMatrix(int row, int col) const
{
    return m_model->textMatrix(row, col);
}

int LogGridView::layoutCols() const
{
    return m_model->cols();
}

void LogGridView::setFontPointSize(double points)
{
    if (points <= 0)
        return;
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(f).height() + 6);
}
