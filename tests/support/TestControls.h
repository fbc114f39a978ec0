#pragma once

// Plain in-memory controls that honour the access component's control contract, for tests of
// the component without widgets.

#include "RdoControl.h"

#include <QMap>
#include <QPair>
#include <QStringList>
#include <QVector>

namespace orvel::test {

class TextBox : public RdoTextControl
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &t) override { m_text = t; }
    QString m_text;
};

class ListBox : public RdoListControl
{
public:
    void clear() override
    {
        m_items.clear();
        m_codes.clear();
        m_index = -1;
    }
    void addItem(const QString &t) override
    {
        m_items << t;
        m_codes << 0;
    }
    int itemCount() const override { return int(m_items.size()); }
    qint32 itemData(int i) const override { return m_codes.at(i); }
    void setItemData(int i, qint32 code) override { m_codes[i] = code; }
    int currentIndex() const override { return m_index; }
    void setCurrentIndex(int i) override
    {
        m_index = i;
        if (i >= 0)
            m_text = m_items.at(i);
    }
    QString text() const override { return m_text; }
    void setText(const QString &t) override { m_text = t; }

    QStringList m_items;
    QVector<qint32> m_codes;
    int m_index = -1;
    QString m_text;
};

class Grid : public RdoGridControl
{
public:
    explicit Grid(int fixedRows = 1, int cols = 10)
        : m_fixed(fixedRows), m_rows(fixedRows), m_cols(cols)
    {
    }
    int rows() const override { return m_rows; }
    void setRows(int r) override { m_rows = r; }
    int fixedRows() const override { return m_fixed; }
    int cols() const override { return m_cols; }
    QString textMatrix(int r, int c) const override { return m_cells.value({r, c}); }
    void setTextMatrix(int r, int c, const QString &t) override { m_cells[{r, c}] = t; }
    void setCellChecked(int r, int c, bool on) override { m_checked[{r, c}] = on; }
    void setCellForeColor(int r, int c, quint32 bgr) override { m_colors[{r, c}] = bgr; }
    void setCurrentRow(int r) override { m_current = r; }
    void setRedraw(bool on) override { m_redraw = on; }

    int m_fixed;
    int m_rows;
    int m_cols;
    int m_current = -1;
    bool m_redraw = true;
    QMap<QPair<int, int>, QString> m_cells;
    QMap<QPair<int, int>, bool> m_checked;
    QMap<QPair<int, int>, quint32> m_colors;
};

} // namespace orvel::test
