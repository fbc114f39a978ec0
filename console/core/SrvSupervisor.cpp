#include "SrvSupervisor.h"

#include "SrvRequest.h"

#include "ConsoleTiming.h"
#include "ConsoleWait.h"
#include "ErrorLog.h"
#include "OrvelDefs.h"
#include "ShellCtrl_Orvel.h"
#include "SiteFolder.h"
#include "rdo_cntl.h"

#include "Notices.h"
#include "gatecomm/ConsoleGateLock.h"
#include "GateLock.h"

#include <QCoreApplication>

using namespace orvel;

namespace {

constexpr int kMinPolls = 10;
constexpr int kErrorStopElapsedMs = 40000;
constexpr qint64 kErrorMessageWindowSec = 120;
constexpr int kRespTimeoutDefaultMs = 60000;
constexpr int kRespTimeoutMinMs = 1000;
constexpr int kRespTimeoutMaxMs = 3600000;

int PanelOf(int serverId)
{
    return serverId == srv::Harvester ? 2 : 4;
}

} // namespace

SrvSupervisor::SrvSupervisor(SupervisionHost &main) : SrvSupervisor(main, SiteRunsServices())
{
}

SrvSupervisor::SrvSupervisor(SupervisionHost &main, bool runsServices) : m_main(main), m_runsServices(runsServices)
{
}

SrvSupervisor::Row SrvSupervisor::ReadRow(int serverId)
{
    return m_main.ReadSrvRow(serverId);
}

void SrvSupervisor::Answered(int serverId, const Row &row)
{
    m_main.SetStatusPanel(PanelOf(serverId), row.detail);
    m_elapsed[Index(serverId)] = 0;
    m_polls[Index(serverId)] = 0;
}

void SrvSupervisor::NoAnswer(int serverId)
{
    const int i = Index(serverId);
    const int panel = PanelOf(serverId);
    m_elapsed[i] += Timing().srvChkSendMs;
    m_polls[i] += 1;
    m_main.SetStatusPanel(panel, QStringLiteral("ビジー"));
    // While the console stops the services it waits for their last answer; it never starts one.
    // Nor does the console of a PC that does not run them.
    if (m_exiting || !m_runsServices)
        return;
    const QString setting = m_main.RespTimeoutSetting();
    // A time-out that is unreadable or out of all reason (a service restarted every tick, or never)
    // counts as the default.
    bool ok = false;
    int timeout = setting.toInt(&ok);
    if (!ok || timeout < kRespTimeoutMinMs || timeout > kRespTimeoutMaxMs)
        timeout = kRespTimeoutDefaultMs;
    if (m_elapsed[i] < timeout || m_polls[i] < kMinPolls)
        return;
    m_main.SetStatusPanel(panel, QStringLiteral("無応答"));
    const bool harvester = serverId == srv::Harvester;
    PostSrvRequest(serverId, harvester ? srv::HarvesterStatus : srv::CourierStatus, QString::fromUtf8(srv::TextRestart));
    m_main.SetLastRestart(serverId, QDateTime::currentDateTime());
    if (harvester)
        ShellCtrl_Orvel::StartHarvester();
    else
        ShellCtrl_Orvel::StartCourier();
    m_main.SetStatusPanel(panel, QStringLiteral("起動中"));
    m_elapsed[i] = 0;
    m_polls[i] = 0;
}

void SrvSupervisor::RefreshHarvester(const Row &row, bool *stop)
{
    const int result = row.result.toInt();
    if (row.result.isEmpty() || result == srv::ResultPending) {
        NoAnswer(srv::Harvester);
        return;
    }
    Answered(srv::Harvester, row);
    if (result == srv::ResultRunning) {
        if (row.detail != QString::fromUtf8(srv::TextRunning))
            WriteErrorLog(errcode::HarvesterState, row.detail);
    } else if (result == srv::ResultGateError) {
        WriteErrorLog(errcode::HarvesterGateError, QStringLiteral("ゲート接続エラー[") + row.arg1 + u']');
        if (!ConsoleGateLock().IsGateLocked(row.arg1)) {
            notices::GateFailed(row.arg1);
            *stop = true;
        }
    }
}

void SrvSupervisor::RefreshCourier(const Row &row)
{
    const int result = row.result.toInt();
    if (row.result.isEmpty() || result == srv::ResultPending) {
        NoAnswer(srv::Courier);
        return;
    }
    if (result == srv::ResultDbError && m_runsServices) {
        WriteErrorLog(errcode::CourierError, QStringLiteral("Courierエラー：") + row.detail);
        const QDateTime started = m_main.LastRestart(srv::Courier);
        if (started.isValid() && QDateTime::currentDateTime() < started.addSecs(kErrorMessageWindowSec))
            notices::Tell(QStringLiteral("Courierエラー : ") + row.detail, notices::Tone::Information);
        PostSrvRequest(srv::Courier, srv::CourierStop, QString::fromUtf8(srv::TextRestart));
        m_elapsed[1] = kErrorStopElapsedMs;
        m_polls[1] = kMinPolls;
        return;
    }
    Answered(srv::Courier, row);
    if (result == srv::ResultGateError)
        WriteErrorLog(errcode::CourierGateError, QStringLiteral("ゲート接続エラー：") + row.detail);
}

bool SrvSupervisor::RefreshSrvStatus()
{
    const Row harvester = ReadRow(srv::Harvester);
    if (harvester.ok) {
        bool stop = false;
        RefreshHarvester(harvester, &stop);
        if (stop)
            return false;
    }
    const Row courier = ReadRow(srv::Courier);
    if (courier.ok)
        RefreshCourier(courier);
    return true;
}

void SrvSupervisor::SendSrvCheck()
{
    RefreshSrvStatus();
    // Only the services' PC asks: another PC's check would answer the services' PC's own.
    if (!m_runsServices)
        return;
    // A new check is never posted over a pending one.
    const Row harvester = ReadRow(srv::Harvester);
    if (harvester.ok && harvester.result != QLatin1String("0"))
        PostSrvRequest(srv::Harvester, srv::HarvesterStatus);
    const Row courier = ReadRow(srv::Courier);
    if (courier.ok && courier.result != QLatin1String("0"))
        PostSrvRequest(srv::Courier, srv::CourierStatus);
}

void SrvSupervisor::SendSrvExit()
{
    if (!m_runsServices)
        return; // the services run on, for the PC that runs them
    m_exiting = true;
    QCoreApplication::processEvents();
    const int passes = std::max(1, Timing().srvExitPasses);
    // Post both stop requests. A request left pending by a service that died would keep this
    // loop going for ever; after as many passes as the wait for the answers, the stop is
    // posted over it.
    for (int pass = 1;; ++pass) {
        RefreshSrvStatus();
        const bool force = pass > passes;
        Row h = ReadRow(srv::Harvester);
        Row c = ReadRow(srv::Courier);
        if (!h.ok || !c.ok) {
            if (force)
                break; // the database is gone: nothing can be asked, only killed
        } else {
            if ((h.result != QLatin1String("0") || force) && h.reqCmd != QString::number(srv::HarvesterStop))
                PostSrvRequest(srv::Harvester, srv::HarvesterStop);
            if ((c.result != QLatin1String("0") || force) && c.reqCmd != QString::number(srv::CourierStop))
                PostSrvRequest(srv::Courier, srv::CourierStop);
            h = ReadRow(srv::Harvester);
            c = ReadRow(srv::Courier);
            if (h.reqCmd == QString::number(srv::HarvesterStop) && c.reqCmd == QString::number(srv::CourierStop))
                break;
            if (force)
                break;
        }
        WaitWithEvents(Timing().srvExitWaitMs);
    }

    m_main.SetStatusPanel(2, QStringLiteral("終了処理中"));
    m_main.SetStatusPanel(4, QStringLiteral("終了処理中"));
    WaitWithEvents(Timing().srvChkSendMs);

    const QString ended = QString::fromUtf8(srv::TextEnded);
    for (int pass = 0; pass < passes; ++pass) {
        RefreshSrvStatus();
        const Row h = ReadRow(srv::Harvester);
        const Row c = ReadRow(srv::Courier);
        if (h.ok && c.ok && h.detail == ended && c.detail == ended) {
            m_main.SetStatusPanel(2, h.detail);
            m_main.SetStatusPanel(4, c.detail);
            QCoreApplication::processEvents();
            WaitWithEvents(Timing().srvExitWaitMs);
            m_exiting = false;
            return;
        }
        WaitWithEvents(Timing().srvExitWaitMs);
    }
    ShellCtrl_Orvel::KillHarvester();
    ShellCtrl_Orvel::KillCourier();
    QCoreApplication::processEvents();
    WaitWithEvents(Timing().srvExitWaitMs);
    m_exiting = false;
}
