#pragma once

// A service's side of the service control row (t_srv_ctrl): find a pending request of the
// console in its own row, and answer it. Both services answer through this one class.

#include <QString>

namespace orvel {

class ServiceDb;

struct SrvRequest
{
    int reqCmd = 0;
    QString arg1;
    QString arg2;
};

class SrvCtrl
{
public:
    SrvCtrl(ServiceDb &db, int serverId);

    // The pending request of this service (req_cmd <> 0 and result = 0); false when there is
    // none or the row cannot be read.
    bool Pending(SrvRequest *request);
    // Answers the pending request. The row is polled again first and nothing is written when no
    // pending request is left. The log collector's answer also names the gate it works on.
    bool Answer(int result, const QString &detail);
    bool AnswerWithGate(int result, const QString &detail, const QString &gateId, const QString &gateName);

    int ServerId() const { return m_serverId; }

private:
    ServiceDb &m_db;
    int m_serverId;
};

} // namespace orvel
