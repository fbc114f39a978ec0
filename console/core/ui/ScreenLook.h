#pragma once

// The look every screen shares: locked fields and the highlighted list row.

#include <QColor>

class QWidget;
class MsfGrid;

// A locked text field is read-only on a light grey (F0F0F0) background; an unlocked one is
// editable on the system's window colour. Works for line edits, text edits and spin boxes.
void SetFieldLocked(QWidget *field, bool locked);

// The label of an input field: it shows text, is the field's buddy (the keyboard reaches the
// field through it) and gives the field its accessible name (what a screen reader says).
class QLabel;
class QString;
QLabel *LabelFor(QWidget *field, const QString &text);
// A field without a label of its own (a list under a titled frame) is named all the same.
void NameField(QWidget *field, const QString &name);

// A result line of a reading window (card, fingerprint, login): the text in its colour (0x00BBGGRR),
// painted at once, since the window goes on waiting for the device right after it.
void ShowInfoLine(QLabel *label, const QString &text, quint32 bgrColour);

// Colour of the chosen row of a list grid.
inline const QColor kRowHighlight(255, 192, 255);

// Paints cells 1..last of row with the highlight and gives previousRow back the grid background;
// previousRow becomes row. Column 0 (the row's key) keeps its own colour. A row outside the
// grid's data rows only clears the previous highlight.
void HighlightRow(MsfGrid &grid, int row, int &previousRow);
