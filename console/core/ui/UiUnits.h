#pragma once

// Units the system's stored layouts and colour codes are written in. Window positions and
// column widths are kept in twips (1/1440 inch) and colours as 0x00BBGGRR; the conversion to
// pixels and QColor happens here and nowhere else.

#include <QColor>
#include <QtGlobal>

// Fixed ratio of the classic 96-dpi screen, so stored layouts mean the same on every display.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPx(int twips)
{
    return twips / kTwipsPerPixel;
}
constexpr int PxToTwips(int px)
{
    return px * kTwipsPerPixel;
}

inline QColor BgrColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
inline quint32 ToBgr(const QColor &c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}
