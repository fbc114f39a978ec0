#include "HarvesterMessages.h"

#include "ErrorLog.h"

#include <QMessageBox>

#include <cstdio>

namespace harvester {
namespace {
bool g_headless = false;
std::function<bool(const QString &)> g_hook;

// Error-log code of start-up failures shown in the collector's boxes.
constexpr int kStartupFault = 9004;
} // namespace

void Messages::SetHeadless(bool headless)
{
    g_headless = headless;
}

bool Messages::Headless()
{
    return g_headless;
}

void Messages::SetHook(std::function<bool(const QString &)> hook)
{
    g_hook = std::move(hook);
}

void Messages::Error(const QString &text)
{
    if (g_hook) {
        g_hook(text);
        return;
    }
    if (g_headless) {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        orvel::WriteErrorLog(kStartupFault, text);
        return;
    }
    QMessageBox::critical(nullptr, QStringLiteral("Harvester"), text);
}

bool Messages::Ask(const QString &text)
{
    if (g_hook)
        return g_hook(text);
    if (g_headless)
        return true;
    return QMessageBox::question(nullptr, QStringLiteral("Harvester"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace harvester
