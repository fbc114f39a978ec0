#pragma once

// The console's grid. Rows and columns are addressed as the screens and the access component
// address them: from 0, the first fixedRows() rows being the header. One fixed row is shown as
// the column header; fixed columns are painted as header cells and cannot be selected. Cells
// carry an optional check mark, a text colour and a background colour.

#include "MsfLayout.h"
#include "RdoControl.h"

#include <QHash>
#include <QTableWidget>

// What every list of the console shares: read-only rows chosen whole, no row numbers, rows as
// high as the font needs, no wrapping. One row at a time; a list may allow a block after.
void ApplyGridLook(QTableView *view);

class MsfGrid : public QTableWidget, public RdoGridControl, public MsfLayout
{
    Q_OBJECT
public:
    explicit MsfGrid(QWidget *parent = nullptr);

    // ---- RdoGridControl ---------------------------------------------------------------------
    int rows() const override;
    void setRows(int rows) override;
    int fixedRows() const override { return m_fixedRows; }
    int cols() const override { return columnCount(); }
    QString textMatrix(int row, int col) const override;
    void setTextMatrix(int row, int col, const QString &text) override;
    void setCellChecked(int row, int col, bool checked) override;
    void setCellForeColor(int row, int col, quint32 bgr) override;
    void setCurrentRow(int row) override;
    void setRedraw(bool on) override;

    // ---- grid shape ------------------------------------------------------------------------
    // 0 or 1: a single header row is all the screens use.
    void setFixedRows(int n);
    void setFixedCols(int n);
    int fixedCols() const { return m_fixedCols; }
    void setCols(int n) { setColumnCount(n); }

    // ---- cells -------------------------------------------------------------------------------
    bool cellChecked(int row, int col) const;
    QColor cellForeColor(int row, int col) const;
    // An invalid colour gives the cell back the grid background.
    void setCellBackColor(int row, int col, const QColor &color);
    QColor cellBackColor(int row, int col) const; // invalid = grid background
    // Alignment of a column's data cells (cells made afterwards take it too).
    void setColumnAlignment(int col, Qt::Alignment alignment);
    // Current row in grid numbering (the first data row is fixedRows()), -1 when none.
    int curRow() const;

    // ---- MsfLayout ---------------------------------------------------------------------------
    int layoutCols() const override { return columnCount(); }
    int colWidthPx(int col) const override { return columnWidth(col); }
    void setColWidthPx(int col, int px) override { setColumnWidth(col, px); }
    double fontPointSize() const override { return font().pointSizeF(); }
    void setFontPointSize(double points) override;

signals:
    // The operator moved to another data row with the keyboard (arrows, page keys, Home, End)
    // or pressed Enter or Space on one: the same choice as a click on the row. Rows set by the
    // program never emit it.
    void rowChosenByKey(int gridRow);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QTableWidgetItem *cell(int row, int col); // creates the data cell on demand
    const QTableWidgetItem *cellIfAny(int row, int col) const;
    bool isHeaderRow(int row) const { return row < m_fixedRows; }
    void styleFixedCols(int fromDataRow);

    QHash<int, Qt::Alignment> m_colAlign;
    int m_fixedRows = 1;
    int m_fixedCols = 0;
};
