#include "ConsoleState.h"

#include "CurrentScreen.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include <iterator>

namespace {
struct State
{
    int edition = 1;
    QString appTitle = QStringLiteral("Kavrin Manager Ver2");
    QString gateLockFile;
    QString templateFile;
    bool ending = false;
    std::function<void()> endHandler;
    QPointer<QObject> currentScreen;
};
State &S()
{
    static State s;
    return s;
}
} // namespace

void SetEdition(int edition)
{
    S().edition = edition;
}
int GetEdition()
{
    return S().edition;
}
QString AppTitle()
{
    return S().appTitle;
}
void SetAppTitle(const QString &title)
{
    S().appTitle = title;
    QGuiApplication::setApplicationDisplayName(title);
}

QString GetFingerName(int n)
{
    static const char *const names[] = {"左手 中指", "左手 人差指", "左手 親指",
                                        "右手 親指", "右手 人差指", "右手 中指"};
    if (n < 0 || n >= int(std::size(names)))
        return QStringLiteral("不明");
    return QString::fromUtf8(names[n]);
}

QString GateLockFileName()
{
    return S().gateLockFile;
}
QString TemplateFileName()
{
    return S().templateFile;
}
void SetGateLockFileName(const QString &name)
{
    S().gateLockFile = name;
}
void SetTemplateFileName(const QString &name)
{
    S().templateFile = name;
}

void EndProgram()
{
    S().ending = true;
    if (S().endHandler) {
        S().endHandler();
        return;
    }
    // Leaves every running event loop, nested modal ones included.
    QCoreApplication::exit(0);
}
bool IsProgramEnding()
{
    return S().ending;
}
void SetEndProgramHandler(std::function<void()> handler)
{
    S().endHandler = std::move(handler);
}
void ResetProgramEnding()
{
    S().ending = false;
}

void SetCurrentScreenObject(QObject *screen)
{
    S().currentScreen = screen;
}
QObject *GetCurrentScreenObject()
{
    return S().currentScreen;
}
CurrentScreen *GetCurrentScreen()
{
    return dynamic_cast<CurrentScreen *>(S().currentScreen.data());
}
