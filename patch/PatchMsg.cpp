#include "PatchMsg.h"

#include <QApplication>

namespace patch {

namespace {
struct Script
{
    bool on = false;
    QList<PatchMsg::Shown> shown;
};
Script &S()
{
    static Script s;
    return s;
}
} // namespace

void PatchMsg::Show(const QString &text, QMessageBox::Icon icon)
{
    if (S().on) {
        S().shown.append({text, icon});
        return;
    }
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void PatchMsg::SetScripted(bool on)
{
    S() = Script{};
    S().on = on;
}

QList<PatchMsg::Shown> PatchMsg::TakeShown()
{
    return std::exchange(S().shown, {});
}

} // namespace patch
