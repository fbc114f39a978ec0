#pragma once
// The gate simulator process: many gates, each on its own address and port (or pty), plus a
// line-based control port on 127.0.0.1.

#include "GateModel.h"

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace gatesim {

struct GateConfig {
    QString number;
    QString transport = "tcp";
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;
    int users = 1000;
    int masters = 50;
    int unit = -1;
};

// Parses "00001=127.0.0.2:10001[,users=N,masters=N,unit=N]" (tcp) or "00009=pty[,...]".
bool ParseGateConfig(const QString &text, GateConfig *cfg, QString *error);

class Channel : public QObject {
    Q_OBJECT
public:
    explicit Channel(Gate *gate, QObject *parent = nullptr) : QObject(parent), gate_(gate) {}
    void Receive(const QByteArray &bytes);

protected:
    virtual void Write(const QByteArray &bytes) = 0;
    virtual void Drop() = 0;
    Gate *gate_;

private:
    void Send(const Reply &reply);
    gateproto::Decoder decoder_;
};

class Simulator : public QObject {
    Q_OBJECT
public:
    bool Start(const std::vector<GateConfig> &configs, const QHostAddress &controlAddress, quint16 controlPort,
               QString *error);
    QStringList ReadyLines() const;

private:
    bool Listen(Gate *gate, QString *error);
    bool OpenPty(Gate *gate, QString *error);
    Gate *FindGate(const QString &number);
    QStringList Control(const QString &line, bool *quit);
    void OnControlConnection();
    void OnGateConnection(Gate *gate, QTcpServer *server);

    std::vector<std::unique_ptr<Gate>> gates_;
    uint64_t touchSeed_ = uint64_t(QDateTime::currentMSecsSinceEpoch()); // fresh touches per run
    uint64_t touches_ = 0;
    std::map<Gate *, QTcpServer *> servers_;
    QTcpServer control_;
};

} // namespace gatesim
