// Applying a screen's mode rules to its widgets (the table itself is ModeRules, without widgets).
#include "ModeRules.h"

#include "ScreenLook.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {
bool IsTextField(QWidget *w)
{
    return qobject_cast<QLineEdit *>(w) || qobject_cast<QTextEdit *>(w) || qobject_cast<QPlainTextEdit *>(w);
}
} // namespace

void ModeRules::Apply(QWidget *screen, int mode, bool found, const QSet<QString> &flags) const
{
    if (!screen)
        return;
    for (const Decision &d : Decide(mode, found, flags)) {
        QWidget *w = screen->findChild<QWidget *>(d.control);
        if (!w)
            continue;
        if (d.effect == Effect::Enable)
            w->setEnabled(d.on);
        else if (IsTextField(w))
            SetFieldLocked(w, d.on);
        else
            w->setEnabled(!d.on); // a list or an option cannot be read-only: locked means disabled
    }
}

