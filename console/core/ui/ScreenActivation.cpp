#include "ScreenActivation.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QWidget>

namespace {

class ActivationWatcher : public QObject
{
public:
    ActivationWatcher(QWidget *screen, std::function<void(bool)> handler)
        : QObject(screen), m_screen(screen), m_handler(std::move(handler))
    {
        screen->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_screen)
            return false;
        auto *sub = qobject_cast<QMdiSubWindow *>(m_screen->parentWidget());
        if (event->type() == QEvent::Show) {
            if (sub && !m_hooked) {
                m_hooked = true;
                connect(sub, &QMdiSubWindow::windowStateChanged, this,
                        [this](Qt::WindowStates, Qt::WindowStates now) { m_handler(now.testFlag(Qt::WindowActive)); });
            }
            m_handler(true);
        } else if (event->type() == QEvent::ActivationChange && !sub) {
            m_handler(m_screen->isActiveWindow());
        }
        return false;
    }

private:
    QWidget *m_screen;
    std::function<void(bool)> m_handler;
    bool m_hooked = false;
};

} // namespace

void WatchActivation(QWidget *screen, std::function<void(bool active)> handler)
{
    new ActivationWatcher(screen, std::move(handler));
}
