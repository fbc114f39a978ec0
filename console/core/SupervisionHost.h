#pragma once

// What the supervision of the two services needs of the window that runs it (the main window),
// without knowing the window: the service rows as its bindings read them, its status panels, the
// restart times it keeps and the response time-out of the settings store.

#include <QDateTime>
#include <QString>

class SupervisionHost
{
public:
    virtual ~SupervisionHost() = default;

    struct SrvRow
    {
        bool ok = false; // false: the row could not be read this time
        QString reqCmd, arg1, arg2, result, detail;
    };
    // Reads the t_srv_ctrl row of server 1 or 2 through the window's binding.
    virtual SrvRow ReadSrvRow(int serverId) = 0;
    // Panels 2 and 4 of the status bar show the log collector and the provisioning service.
    virtual void SetStatusPanel(int panel, const QString &text) = 0;
    virtual QDateTime LastRestart(int serverId) const = 0;
    virtual void SetLastRestart(int serverId, const QDateTime &when) = 0;
    // The settings store's "SrvRespTimoutInit" text (default "60000").
    virtual QString RespTimeoutSetting() const = 0;
};
