#pragma once

// The user provisioning service: once a tick it answers its service control row (server 2) and
// carries out at most one user request from t_userreq against a gate through the TCP gate
// library. Headless; one instance per site.

#include "GateLibLoader.h"
#include "ServiceDb.h"
#include "SrvCtrl.h"
#include "Wakeup.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class Courier : public QObject
{
    Q_OBJECT
public:
    explicit Courier(int edition, QObject *parent = nullptr);

    // Loads both gate libraries and starts the tick. False when a library or an entry point is
    // missing: the service then stays idle (the caller keeps it running) after saying which.
    bool Start();
    // One tick: service control row, then at most one user request.
    void Tick();

    int State() const { return m_state; }
    QString StateText() const { return m_stateText; }

signals:
    void Finished(); // a stop request was answered

private:
    struct Request
    {
        QString ipAddr;
        int port = 0;
        int reqCmd = 0;
        QString userId;
        QString guserId;
        int gauthority = 0;
        int gauthType = 0;
        QList<QByteArray> templates; // 800 bytes each, in load order
    };

    bool ReadRequest(Request *req);
    void LoadTemplates(Request *req);
    int CarryOut(const Request &req);
    int WriteUser(const Request &req);
    int DeleteUser(const Request &req, const QString &guserId);
    int CleanGate(const Request &req);
    void RecordOutcome(const Request &req, int code);
    void ReportMissing(const orvel::GateLibLoader &lib);

    // One gate connection: connect, poll, op(unit), disconnect. 20100 / 20101 when the gate
    // does not take the connection or the poll; otherwise what op returns.
    template <typename Op>
    int OnGate(const Request &req, Op op);

    int m_edition;
    orvel::ServiceDb m_db;
    orvel::SrvCtrl m_ctrl;
    orvel::GateLibLoader m_serial;
    orvel::GateLibLoader m_tcp;
    QString m_templateFile;
    int m_state = 1;
    bool m_stateReported = true; // the current state has been answered to a status check
    QString m_stateText;
    QString m_lastError; // the last database or template file error, reported while idle
    QTimer m_timer;
    int m_tickMs;
    // A request written by the console wakes the service before its tick comes.
    orvel::WakeListener m_wake{QLatin1String(orvel::kWakeUserRequest)};
    // A console of another PC cannot reach the wake-up: on a server database the request row is
    // also looked at between ticks, a one-row read.
    QTimer m_requestPoll;
    void PollRequest();
};

// Tick of the service in milliseconds: $ORVEL_COURIER_TICK_MS, default 1000.
int CourierTickMs();
// Interval of the request row's look between ticks on a server database, in milliseconds:
// $ORVEL_COURIER_REQUEST_POLL_MS, default 200.
int CourierRequestPollMs();
// Error-log code of a missing gate library or entry point.
inline constexpr int kCourierLibraryMissing = 9111;
