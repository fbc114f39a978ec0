#pragma once

// The log list's grid: a table view over LogGridModel that the settings store can lay out like
// the other grids (column widths, font size), addressed like them from the header row 0.

#include "MsfLayout.h"

#include <QTableView>

class LogGridModel;

class LogGridView : public QTableView, public MsfLayout
{
    Q_OBJECT
public:
    LogGridView(LogGridModel *model, QWidget *parent = nullptr);

    LogGridModel *gridModel() const { return m_model; }
    int rows() const;
    int fixedRows() const;
    QString textMatrix(int row, int col) const;

    // ---- MsfLayout ---------------------------------------------------------------------------
    int layoutCols() const override;
    int colWidthPx(int col) const override { return columnWidth(col); }
    void setColWidthPx(int col, int px) override { setColumnWidth(col, px); }
    double fontPointSize() const override { return font().pointSizeF(); }
    void setFontPointSize(double points) override;

private:
    LogGridModel *m_model;
};
