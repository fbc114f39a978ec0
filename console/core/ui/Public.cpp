#include "Public.h"

#include "CurrentScreen.h"
#include "MsgBox.h"
#include "frmSubTitle.h"

#include "rdo_cntl.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {
struct ConsoleState
{
    QPointer<QWidget> mainWindow;
    qint16 busy = 0; // kept as the 16-bit flag other modules test
    std::function<void()> busyPump;
    clSettingInfo *settings = nullptr;
};
ConsoleState &S()
{
    static ConsoleState s;
    return s;
}
} // namespace

void SetMainWindow(QWidget *w)
{
    S().mainWindow = w;
}
QWidget *MainWindow()
{
    return S().mainWindow;
}

void SetBusyOn()
{
    if (S().mainWindow)
        S().mainWindow->setEnabled(false);
    S().busy = -1;
}

void SetBusyOff()
{
    S().busy = 0;
}

bool IsBusy()
{
    return S().busy != 0;
}

void WaitBusyOff()
{
    while (S().busy != 0 && !IsProgramEnding()) {
        if (S().busyPump)
            S().busyPump();
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (QWidget *w = S().mainWindow) {
        clWinTool::SetWinOrder(w);
        w->setEnabled(true);
    }
}

void SetBusyEventPump(std::function<void()> pump)
{
    S().busyPump = std::move(pump);
}

namespace {
// Drops the busy flag when the watched window is hidden or destroyed. A dialog left with Escape
// is only hidden (no close event), so the close event alone is not enough.
class BusyRelease : public QObject
{
public:
    explicit BusyRelease(QWidget *window) : QObject(window) { window->installEventFilter(this); }
    ~BusyRelease() override { Release(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched == parent() && !static_cast<QWidget *>(watched)->isVisible())
            Release();
        return false;
    }

private:
    // Once only: a window deleted later must not drop the flag of the next one opened.
    void Release()
    {
        if (!m_released)
            SetBusyOff();
        m_released = true;
    }
    bool m_released = false;
};
} // namespace

void OpenUnderBusy(QWidget *window)
{
    SetBusyOn();
    // Disabling the main window disables every window made beneath it before, this one too (the
    // fingerprint window of the login over the main window): it is the one window left to use.
    window->setEnabled(true);
    new BusyRelease(window);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    WaitBusyOff();
}

void SetCurrentScreen(QWidget *screen)
{
    SetCurrentScreenObject(screen);
}
QWidget *GetCurrentScreenWidget()
{
    return qobject_cast<QWidget *>(GetCurrentScreenObject());
}

void SetSettings(clSettingInfo *settings)
{
    S().settings = settings;
}
clSettingInfo *Settings()
{
    return S().settings;
}
void clWinTool::SetWinOrder(QWidget *w)
{
    if (!w)
        return;
    w->show();
    w->raise();
    w->activateWindow();
}

void InstallRdoHooks()
{
    rdo_cntl::setPointerHook([](bool busy) {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return;
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
    rdo_cntl::setMessageHook([](const QString &text) { MsgBox::Show(text); });
}

void SetSubTitle(int mode, const QString &caption, quint32 colour)
{
    if (QWidget *main = MainWindow())
        if (auto *strip = main->findChild<frmSubTitle *>())
            strip->SetSubTitle(mode, caption, colour);
}
