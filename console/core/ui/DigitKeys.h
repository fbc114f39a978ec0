#pragma once

// Typing into a number field (IDs, ports, address parts): digits and the control keys (Enter,
// Backspace, Tab, the arrows) pass; any other typed character is dropped with a beep. What "."
// does is the field's choice.

class QLineEdit;

enum class DotKey {
    Beep,      // refused like any other character
    Pass,      // typed into the field
    NextField, // moves the focus to the next field (a dotted address typed across four boxes)
};

// Installs the filter on field; next is the field "." moves to with DotKey::NextField.
void AcceptDigitKeys(QLineEdit *field, DotKey dot = DotKey::Beep, QLineEdit *next = nullptr);
