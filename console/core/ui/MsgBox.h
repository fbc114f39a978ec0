#pragma once

// The one way the console shows a message box. Production shows a QMessageBox; a test switches
// the service to scripted mode, queues the answers it wants and reads back what was shown.

#include <QList>
#include <QMessageBox>
#include <QString>

class MsgBox
{
public:
    struct Shown
    {
        QString text;
        QString title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QMessageBox::Icon icon;
    };

    // Shows text and returns the button chosen. An empty title means the application title.
    // Without a default button the first of buttons is the default.
    static QMessageBox::StandardButton Show(const QString &text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::Icon icon = QMessageBox::NoIcon,
                                            const QString &title = QString(),
                                            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Shows an information text without waiting for it (the program goes on; the box closes with
    // its OK button). For news that arrives while the operator may be in the middle of something.
    static void Notice(const QString &text, QWidget *parent = nullptr);

    // ---- scripting for tests --------------------------------------------------------------
    // In scripted mode nothing is displayed: each message takes the next queued answer, or its
    // default button when the queue is empty.
    static void SetScripted(bool on);
    static bool IsScripted();
    static void QueueAnswer(QMessageBox::StandardButton answer);
    static QList<Shown> TakeShown(); // what was shown since the last call, in order
};
