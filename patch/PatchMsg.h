#pragma once

// The one way the patch installer shows a message box (it links nothing of the console). Tests
// switch it to scripted mode and read back what was shown.

#include <QList>
#include <QMessageBox>
#include <QString>

namespace patch {

class PatchMsg
{
public:
    struct Shown
    {
        QString text;
        QMessageBox::Icon icon;
    };

    // An OK box with the program's title.
    static void Show(const QString &text, QMessageBox::Icon icon);

    static void SetScripted(bool on);
    static QList<Shown> TakeShown(); // what was shown since the last call, in order
};

} // namespace patch
