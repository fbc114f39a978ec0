#pragma once

// Module GUserCtrl: the console's requests to the provisioning service through the single row
// of t_userreq. The console writes the request with result 0 and waits until the service has
// written the outcome; failed outcomes are sent again within a budget of 3 passes of 10 sends.

#include <QString>

// Request kinds of SendUserRequest.
inline constexpr qint16 kRequestWrite = 1;
inline constexpr qint16 kRequestRewrite = 2;
inline constexpr qint16 kRequestDelete = 3;

struct GUserRecord
{
    QString user_id;
    QString guser_id;
    qint16 gauthority = 1;
    qint16 gauth_type = 0;
};

// kind 1 or 2 writes the user to the gate, 3 deletes it; any other kind does nothing and
// succeeds. showMessages: a failure other than an unreachable gate is also told to the operator
// (notices; it is always written to the error log).
bool SendUserRequest(qint16 kind, const QString &ipAddr, const QString &portNo, const QString &gateId,
                     const GUserRecord &user, bool showMessages);
// Removes from the gate every user the database does not permit there.
bool SendGateCleanRequest(const QString &ipAddr, const QString &portNo);

// Error-log code of a request that the service left unanswered for Timing().userReqTimeoutMs.
inline constexpr int kUserReqNoAnswer = 9120;
