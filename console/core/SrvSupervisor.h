#pragma once

// The console's supervision of the two services over t_srv_ctrl: a status check every tick,
// the answers shown in the status bar and logged, a silent service restarted, a provisioning
// database error answered by a forced stop, and both services stopped on exit.

#include "ServiceSupervision.h"
#include "SupervisionHost.h"

#include <QString>


class SrvSupervisor : public SrvSupervision
{
public:
    // runsServices: this PC runs the services (the site's setting when not given). A console of
    // another PC only shows the state the services write: it posts no checks and never starts,
    // restarts or stops them.
    explicit SrvSupervisor(SupervisionHost &main);
    SrvSupervisor(SupervisionHost &main, bool runsServices);

    void SendSrvCheck() override;
    void SendSrvExit() override;

    // Reads both rows and reacts to them. False when a gate error window was shown and the
    // provisioning service was not looked at.
    bool RefreshSrvStatus();

    int Elapsed(int serverId) const { return m_elapsed[Index(serverId)]; }
    int Polls(int serverId) const { return m_polls[Index(serverId)]; }

private:
    using Row = SupervisionHost::SrvRow;
    static int Index(int serverId) { return serverId == 2 ? 1 : 0; }
    Row ReadRow(int serverId);
    void Answered(int serverId, const Row &row);
    void NoAnswer(int serverId);
    void RefreshHarvester(const Row &row, bool *stop);
    void RefreshCourier(const Row &row);

    SupervisionHost &m_main;
    int m_elapsed[2] = {0, 0};
    int m_polls[2] = {0, 0};
    bool m_exiting = false;
    bool m_runsServices = true;
};
