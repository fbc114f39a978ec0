#include "MsgBox.h"

#include "Notices.h"
#include "Public.h"
#include "ScreenRegistry.h"

#include <QApplication>
#include <QQueue>

namespace {
struct Script
{
    bool on = false;
    QQueue<QMessageBox::StandardButton> answers;
    QList<MsgBox::Shown> shown;
};
Script &S()
{
    static Script s;
    return s;
}

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
        if (buttons.testFlag(QMessageBox::StandardButton(bit)))
            return QMessageBox::StandardButton(bit);
    return QMessageBox::Ok;
}
// What logic below the windows tells the operator, and the gate error window for a gate that
// stopped answering, are shown by the console's own windows.
const bool s_noticesShown = [] {
    notices::SetSinks({[](const QString &text, notices::Tone tone) {
                           MsgBox::Show(text, QMessageBox::Ok,
                                        tone == notices::Tone::Critical  ? QMessageBox::Critical
                                        : tone == notices::Tone::Warning ? QMessageBox::Warning
                                                                         : QMessageBox::Information);
                       },
                       [](const QString &gateId) { ScreenRegistry::ShowGateError(gateId, MainWindow()); }});
    return true;
}();
} // namespace

QMessageBox::StandardButton MsgBox::Show(const QString &text, QMessageBox::StandardButtons buttons,
                                         QMessageBox::Icon icon, const QString &title,
                                         QMessageBox::StandardButton defaultButton)
{
    if (defaultButton == QMessageBox::NoButton)
        defaultButton = FirstButton(buttons);
    const QString caption = title.isEmpty() ? AppTitle() : title;
    if (S().on) {
        S().shown.append({text, caption, buttons, defaultButton, icon});
        return S().answers.isEmpty() ? defaultButton : S().answers.dequeue();
    }
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    const int answer = box.exec();
    return QMessageBox::StandardButton(answer);
}

void MsgBox::Notice(const QString &text, QWidget *parent)
{
    const QString caption = AppTitle();
    if (S().on) {
        S().shown.append({text, caption, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Information});
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    box->raise();
}

void MsgBox::SetScripted(bool on)
{
    S() = Script{};
    S().on = on;
}

bool MsgBox::IsScripted()
{
    return S().on;
}

void MsgBox::QueueAnswer(QMessageBox::StandardButton answer)
{
    S().answers.enqueue(answer);
}

QList<MsgBox::Shown> MsgBox::TakeShown()
{
    return std::exchange(S().shown, {});
}
