#include "DigitKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

class DigitKeyFilter : public QObject
{
public:
    DigitKeyFilter(QLineEdit *field, DotKey dot, QLineEdit *next) : QObject(field), m_dot(dot), m_next(next) {}

protected:
    bool eventFilter(QObject *, QEvent *ev) override
    {
        if (ev->type() != QEvent::KeyPress)
            return false;
        const QString t = static_cast<QKeyEvent *>(ev)->text();
        if (t.isEmpty() || !t.at(0).isPrint() || (t.at(0) >= u'0' && t.at(0) <= u'9'))
            return false;
        if (t.at(0) == u'.' && m_dot == DotKey::Pass)
            return false;
        if (t.at(0) == u'.' && m_dot == DotKey::NextField) {
            if (m_next)
                m_next->setFocus(Qt::TabFocusReason);
            return true;
        }
        QApplication::beep();
        return true;
    }

private:
    DotKey m_dot;
    QLineEdit *m_next;
};

} // namespace

void AcceptDigitKeys(QLineEdit *field, DotKey dot, QLineEdit *next)
{
    field->installEventFilter(new DigitKeyFilter(field, dot, next));
}
