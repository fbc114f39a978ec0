#pragma once

// What the settings store needs of a grid to save and restore its layout: column widths in
// pixels and the font size in points.
class MsfLayout
{
public:
    virtual ~MsfLayout() = default;
    virtual int layoutCols() const = 0;
    virtual int colWidthPx(int col) const = 0;
    virtual void setColWidthPx(int col, int px) = 0;
    virtual double fontPointSize() const = 0;
    virtual void setFontPointSize(double points) = 0;
};
