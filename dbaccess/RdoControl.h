#pragma once

// The control contract of the access component: what a screen control must offer so that the
// component can bind it to a column, fill it from a query, or read it for a write. Screens wrap
// their widgets in adapters implementing these interfaces (the console owns the adapters), so the
// component itself links no widgets.

#include <QString>
#include <QtGlobal>

class RdoControl
{
public:
    enum class Kind { Text, List, Grid };
    virtual ~RdoControl() = default;
    virtual Kind kind() const = 0;
};

// One value: a text box or a label.
class RdoTextControl : public RdoControl
{
public:
    Kind kind() const final { return Kind::Text; }
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

// A drop-down list or a list box: items with a display text and a 32-bit item code.
class RdoListControl : public RdoControl
{
public:
    Kind kind() const final { return Kind::List; }
    virtual void clear() = 0;
    virtual void addItem(const QString &text) = 0;
    virtual int itemCount() const = 0;
    virtual qint32 itemData(int index) const = 0;
    virtual void setItemData(int index, qint32 code) = 0;
    virtual int currentIndex() const = 0; // -1 = none
    virtual void setCurrentIndex(int index) = 0;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

// A grid of cells addressed from row 0 and column 0, the first fixedRows() rows being headers.
class RdoGridControl : public RdoControl
{
public:
    Kind kind() const final { return Kind::Grid; }
    virtual int rows() const = 0;
    virtual void setRows(int rows) = 0;
    virtual int fixedRows() const = 0;
    virtual int cols() const = 0;
    virtual QString textMatrix(int row, int col) const = 0;
    virtual void setTextMatrix(int row, int col, const QString &text) = 0;
    virtual void setCellChecked(int row, int col, bool checked) = 0;
    // colour as the system stores it: 0x00BBGGRR
    virtual void setCellForeColor(int row, int col, quint32 bgr) = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual void setRedraw(bool on) = 0;
};
