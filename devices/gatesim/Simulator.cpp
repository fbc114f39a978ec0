#include "Simulator.h"

#include "Extract.h"
#include "SynthFinger.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace gateproto;

namespace gatesim {

namespace {

class TcpChannel : public Channel {
public:
    TcpChannel(Gate *gate, QTcpSocket *socket) : Channel(gate, socket), socket_(socket)
    {
        // A gate answers at once: small answers must not wait for the previous one to be acknowledged.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this] { Receive(socket_->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

protected:
    void Write(const QByteArray &bytes) override
    {
        if (socket_->state() == QAbstractSocket::ConnectedState)
            socket_->write(bytes);
    }
    void Drop() override
    {
        socket_->flush();
        socket_->abort();
    }

private:
    QTcpSocket *socket_;
};

class PtyChannel : public Channel {
public:
    PtyChannel(Gate *gate, int master, int slave, QObject *parent)
        : Channel(gate, parent), master_(master), slave_(slave)
    {
        notifier_ = new QSocketNotifier(master, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char buf[4096];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                Receive(QByteArray(buf, int(n)));
        });
    }
    ~PtyChannel() override
    {
        ::close(master_);
        ::close(slave_);
    }

protected:
    void Write(const QByteArray &bytes) override
    {
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            ssize_t n = ::write(master_, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            p += n;
            left -= n;
        }
    }
    void Drop() override
    {
        // A serial line cannot be closed from the gate's end; the rest of the frame never comes.
    }

private:
    int master_;
    int slave_; // kept open so the master never sees a hang-up between client sessions
    QSocketNotifier *notifier_;
};

QString Arg(const QStringList &a, int i) { return i < a.size() ? a[i] : QString(); }

} // namespace

bool ParseGateConfig(const QString &text, GateConfig *cfg, QString *error)
{
    const int eq = text.indexOf('=');
    if (eq <= 0) {
        *error = QStringLiteral("gate option needs NUMBER=ADDRESS:PORT: ") + text;
        return false;
    }
    bool ok = false;
    const int number = text.left(eq).toInt(&ok);
    if (!ok || number < 0 || number > 99999) {
        *error = QStringLiteral("bad gate number: ") + text;
        return false;
    }
    cfg->number = QStringLiteral("%1").arg(number, 5, 10, QLatin1Char('0'));
    const QStringList parts = text.mid(eq + 1).split(',', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        *error = QStringLiteral("gate option without address: ") + text;
        return false;
    }
    if (parts[0] == QLatin1String("pty")) {
        cfg->transport = "serial";
    } else {
        const int colon = parts[0].lastIndexOf(':');
        if (colon <= 0 || !cfg->address.setAddress(parts[0].left(colon))) {
            *error = QStringLiteral("bad address: ") + parts[0];
            return false;
        }
        const int port = parts[0].mid(colon + 1).toInt(&ok);
        if (!ok || port < 0 || port > 65535) {
            *error = QStringLiteral("bad port: ") + parts[0];
            return false;
        }
        cfg->port = quint16(port);
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString key = parts[i].section('=', 0, 0);
        const int value = parts[i].section('=', 1).toInt(&ok);
        if (!ok) {
            *error = QStringLiteral("bad option: ") + parts[i];
            return false;
        }
        if (key == QLatin1String("users"))
            cfg->users = value;
        else if (key == QLatin1String("masters"))
            cfg->masters = value;
        else if (key == QLatin1String("unit"))
            cfg->unit = value;
        else {
            *error = QStringLiteral("unknown option: ") + parts[i];
            return false;
        }
    }
    return true;
}

void Channel::Receive(const QByteArray &bytes)
{
    decoder_.Append(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    for (;;) {
        Frame f;
        const auto r = decoder_.Next(f);
        if (r == Decoder::NeedMore)
            return;
        if (r == Decoder::Malformed || f.kind != kKindRequest) {
            decoder_.Clear();
            Drop();
            return;
        }
        const Reply reply = gate_->Handle(f);
        if (!reply.send)
            continue;
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, this, [this, reply] { Send(reply); });
        else
            Send(reply);
    }
}

void Channel::Send(const Reply &reply)
{
    std::vector<uint8_t> bytes = Encode(reply.frame);
    if (reply.corrupt)
        bytes.back() ^= 0xFF;
    if (reply.dropMidFrame) {
        Write(QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size() / 2)));
        Drop();
        return;
    }
    Write(QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
}

bool Simulator::Start(const std::vector<GateConfig> &configs, const QHostAddress &controlAddress, quint16 controlPort,
                      QString *error)
{
    for (const auto &s : configs) {
        if (FindGate(s.number)) {
            *error = QStringLiteral("gate %1 given twice").arg(s.number);
            return false;
        }
        auto g = std::make_unique<Gate>();
        g->number = s.number;
        g->transport = s.transport;
        g->address = s.address;
        g->port = s.port;
        g->userCapacity = s.users;
        g->masterCapacity = s.masters;
        g->unitCode = s.unit >= 0 ? s.unit : (s.number.toInt() & 0xFF);
        Gate *gate = g.get();
        gates_.push_back(std::move(g));
        if (!(gate->transport == QLatin1String("serial") ? OpenPty(gate, error) : Listen(gate, error)))
            return false;
    }
    connect(&control_, &QTcpServer::newConnection, this, &Simulator::OnControlConnection);
    if (!control_.listen(controlAddress, controlPort)) {
        *error = QStringLiteral("control port %1: %2").arg(controlPort).arg(control_.errorString());
        return false;
    }
    return true;
}

QStringList Simulator::ReadyLines() const
{
    QStringList out;
    for (const auto &g : gates_) {
        if (g->transport == QLatin1String("serial"))
            out << QStringLiteral("gate %1 serial %2").arg(g->number, g->ttyPath);
        else
            out << QStringLiteral("gate %1 tcp %2:%3").arg(g->number, g->address.toString()).arg(g->port);
    }
    out << QStringLiteral("gatesim ready control=%1:%2").arg(control_.serverAddress().toString()).arg(control_.serverPort());
    return out;
}

bool Simulator::Listen(Gate *gate, QString *error)
{
    auto *server = new QTcpServer(this);
    if (!server->listen(gate->address, gate->port)) {
        *error = QStringLiteral("gate %1 at %2:%3: %4")
                     .arg(gate->number, gate->address.toString())
                     .arg(gate->port)
                     .arg(server->errorString());
        delete server;
        return false;
    }
    gate->port = server->serverPort(); // port 0 picks a free one
    connect(server, &QTcpServer::newConnection, this, [this, gate, server] { OnGateConnection(gate, server); });
    servers_[gate] = server;
    return true;
}

void Simulator::OnGateConnection(Gate *gate, QTcpServer *server)
{
    while (QTcpSocket *s = server->nextPendingConnection()) {
        gate->NewConnection();
        new TcpChannel(gate, s);
    }
}

bool Simulator::OpenPty(Gate *gate, QString *error)
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) < 0) {
        *error = QStringLiteral("openpty failed for gate %1").arg(gate->number);
        return false;
    }
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    gate->ttyPath = QString::fromLocal8Bit(name);
    new PtyChannel(gate, master, slave, this);
    return true;
}

Gate *Simulator::FindGate(const QString &number)
{
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok)
        return nullptr;
    for (auto &g : gates_)
        if (g->number.toInt() == n)
            return g.get();
    return nullptr;
}

void Simulator::OnControlConnection()
{
    while (QTcpSocket *s = control_.nextPendingConnection()) {
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, this, [this, s] {
            while (s->canReadLine()) {
                const QString line = QString::fromUtf8(s->readLine()).trimmed();
                if (line.isEmpty())
                    continue;
                bool quit = false;
                const QStringList out = Control(line, &quit);
                s->write((out.join('\n') + '\n').toUtf8());
                s->flush();
                if (quit)
                    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
        });
    }
}

static const char *kHelp[] = {
    "gates",
    "card GATE CARDID                  present a card",
    "finger GATE HEX1600|@FILE[:N]     present a finger (800-byte template; N = template number in FILE)",
    "finger GATE sim:FINGER            present a fresh touch of a synthetic finger (the scanner simulator's)",
    "users GATE | logs GATE [new] | summary GATE | eeprom GATE | stats GATE",
    "adduser GATE ID [admin=0|1] [card=1|tpl=HEX1600|tplfile=FILE:N]",
    "deluser GATE ID | reset GATE",
    "addlog GATE TYPE ID|- [YYYY-MM-DDThh:mm:ss | @Y-M-DTh:m:s]   (@: time record sent as it stands)",
    "addlogs GATE COUNT TYPE PREFIX     append COUNT records, gate user IDs PREFIX000001, PREFIX000002, ...",
    "logclear GATE                     empty the log memory (numbers restart at 1 under a new epoch)",
    "clock GATE [YYYY-MM-DDThh:mm:ss]",
    "capacity GATE USERS MASTERS [LOGS]",
    "props GATE [BYTE=VALUE ...]",
    "fault GATE refuse on|off",
    "fault GATE silent|drop|garbage CMD [COUNT]   (COUNT 0 = for ever; CMD any|poll|upload|...)",
    "fault GATE status CMD STATUS [COUNT]",
    "fault GATE slow CMD MS [COUNT]",
    "fault GATE delay MS | fault GATE clear",
    "quit",
};

static bool ParseTemplate(const QString &text, std::array<uint8_t, GATE_TEMPLATE_LEN> *tpl, QString *error)
{
    QByteArray bytes;
    if (text.startsWith('@') || text.contains(':')) {
        QString path = text.startsWith('@') ? text.mid(1) : text;
        int number = 1;
        const int colon = path.lastIndexOf(':');
        if (colon > 0) {
            number = path.mid(colon + 1).toInt();
            path = path.left(colon);
        }
        QFile f(path);
        if (number < 1 || !f.open(QIODevice::ReadOnly) || !f.seek(qint64(number - 1) * GATE_TEMPLATE_LEN)) {
            *error = QStringLiteral("cannot read template %1 of %2").arg(number).arg(path);
            return false;
        }
        bytes = f.read(GATE_TEMPLATE_LEN);
    } else {
        bytes = QByteArray::fromHex(text.toLatin1());
    }
    if (bytes.size() != GATE_TEMPLATE_LEN) {
        *error = QStringLiteral("a template has 800 bytes, got %1").arg(bytes.size());
        return false;
    }
    std::memcpy(tpl->data(), bytes.constData(), GATE_TEMPLATE_LEN);
    return true;
}

QStringList Simulator::Control(const QString &line, bool *quit)
{
    const QStringList a = line.split(' ', Qt::SkipEmptyParts);
    const QString cmd = a.value(0).toLower();
    auto err = [](const QString &m) { return QStringList{QStringLiteral("ERR ") + m}; };
    auto ok = [](QStringList lines = {}) {
        lines << QStringLiteral("OK");
        return lines;
    };
    if (cmd == QLatin1String("help")) {
        QStringList out;
        for (const char *h : kHelp)
            out << QString::fromLatin1(h);
        return ok(out);
    }
    if (cmd == QLatin1String("quit")) {
        *quit = true;
        return ok();
    }
    if (cmd == QLatin1String("gates")) {
        QStringList out = ReadyLines();
        out.removeLast();
        return ok(out);
    }
    static const QStringList kGateCommands = {"card", "finger", "users", "logs", "summary", "eeprom", "stats",
                                              "reset", "adduser", "deluser", "addlog", "addlogs", "logclear", "clock", "capacity",
                                              "props", "fault"};
    if (!kGateCommands.contains(cmd))
        return err("unknown command " + cmd + " (try help)");
    Gate *g = FindGate(Arg(a, 1));
    if (!g)
        return err(a.size() < 2 ? QStringLiteral("usage: ") + cmd + " GATE ..." : "no gate " + Arg(a, 1));
    auto logLine = [](const LogEntry &e) {
        return QStringLiteral("%1 type=%2 id=%3 time=%4")
            .arg(e.seq)
            .arg(e.type)
            .arg(e.id.empty() ? QStringLiteral("-") : QString::fromStdString(e.id))
            .arg(DescribeTime(e));
    };

    if (cmd == QLatin1String("card")) {
        if (a.size() != 3 || a[2].size() >= GATE_ID_LEN)
            return err("usage: card GATE CARDID");
        return ok({logLine(g->PresentCard(a[2].toStdString()))});
    }
    if (cmd == QLatin1String("finger") && a.size() == 3 && a[2].startsWith(QLatin1String("sim:"))) {
        // The gate's own sensor: a fresh, noisy touch, read and matched as the console's scanner does.
        const QString identity = a[2].mid(4);
        if (identity.isEmpty())
            return err("usage: finger GATE sim:FINGER");
        const fp::Finger finger = fp::MakeFinger(identity.toStdString());
        std::vector<uint8_t> image(fp::kImageBytes);
        fp::Render(finger, fp::MakeImpression(finger, touchSeed_ + 0x9E3779B97F4A7C15ull * ++touches_), image.data());
        return ok({logLine(g->PresentFinger(fp::ExtractMinutiae(image.data()).minutiae))});
    }
    if (cmd == QLatin1String("finger")) {
        std::array<uint8_t, GATE_TEMPLATE_LEN> tpl;
        QString e;
        if (a.size() != 3 || !ParseTemplate(a[2], &tpl, &e))
            return err(e.isEmpty() ? QStringLiteral("usage: finger GATE HEX|@FILE[:N]|sim:FINGER") : e);
        return ok({logLine(g->PresentFinger(tpl))});
    }
    if (cmd == QLatin1String("users"))
        return ok(g->DescribeUsers());
    if (cmd == QLatin1String("logs"))
        return ok(g->DescribeLogs(Arg(a, 2) == QLatin1String("new")));
    if (cmd == QLatin1String("summary"))
        return ok({QStringLiteral("users=%1 masters=%2 logs=%3 new=%4 user_capacity=%5 master_capacity=%6 epoch=%7")
                       .arg(g->CountProfiles(false))
                       .arg(g->CountProfiles(true))
                       .arg(g->logs.size())
                       .arg(g->logs.size() - g->uploadPos)
                       .arg(g->userCapacity)
                       .arg(g->masterCapacity)
                       .arg(g->logEpoch)});
    if (cmd == QLatin1String("eeprom")) {
        QStringList out;
        for (const auto &[k, v] : g->eeprom)
            out << QStringLiteral("%1=%2").arg(k).arg(v);
        return ok(out);
    }
    if (cmd == QLatin1String("stats")) {
        QStringList out;
        for (const auto &[k, v] : g->requestCounts) {
            const std::string n = CommandName(uint16_t(k));
            out << QStringLiteral("%1=%2").arg(n.empty() ? QString::number(k) : QString::fromStdString(n)).arg(v);
        }
        return ok(out);
    }
    if (cmd == QLatin1String("reset")) {
        g->profiles.clear();
        g->ClearLogs();
        g->faults.clear();
        g->delayMs = 0;
        g->requestCounts.clear();
        return ok();
    }
    if (cmd == QLatin1String("adduser")) {
        if (a.size() < 3 || a[2].size() >= GATE_ID_LEN)
            return err("usage: adduser GATE ID [admin=0|1] [card=1|tpl=HEX|tplfile=FILE:N]");
        Profile p;
        p.id = a[2].toStdString();
        for (int i = 3; i < a.size(); ++i) {
            const QString key = a[i].section('=', 0, 0), value = a[i].section('=', 1);
            if (key == QLatin1String("admin"))
                p.admin = value == QLatin1String("1");
            else if (key == QLatin1String("card"))
                p.card = value == QLatin1String("1");
            else if (key == QLatin1String("tpl") || key == QLatin1String("tplfile")) {
                std::array<uint8_t, GATE_TEMPLATE_LEN> tpl;
                QString e;
                if (!ParseTemplate(key == QLatin1String("tplfile") ? "@" + value : value, &tpl, &e))
                    return err(e);
                p.templates.push_back(tpl);
                p.enrollMode = GATE_ENROLL_FINGERPRINT;
            } else
                return err("unknown option " + a[i]);
        }
        if (g->Find(p.id))
            return err("exists");
        g->profiles.push_back(p);
        return ok();
    }
    if (cmd == QLatin1String("deluser")) {
        for (auto it = g->profiles.begin(); it != g->profiles.end(); ++it)
            if (it->id == Arg(a, 2).toStdString()) {
                g->profiles.erase(it);
                return ok();
            }
        return err("no such user");
    }
    if (cmd == QLatin1String("addlog")) {
        bool okType = false;
        const int type = Arg(a, 2).toInt(&okType);
        if (!okType || a.size() < 4)
            return err("usage: addlog GATE TYPE ID|- [YYYY-MM-DDThh:mm:ss]");
        QDateTime when;
        GateTime raw{};
        const bool isRaw = a.size() > 4 && a[4].startsWith(u'@');
        if (isRaw) {
            // Numbers taken as they stand, impossible dates included: what a broken clock sends.
            const QStringList n = a[4].mid(1).split(QRegularExpression(QStringLiteral("[-T:]")));
            QList<int> v;
            for (const QString &x : n) {
                bool okN = false;
                v << x.toInt(&okN);
                if (!okN || v.last() < 0 || v.last() > 255 + (v.size() == 1 ? 2000 : 0))
                    return err("bad time " + a[4]);
            }
            if (v.size() != 6 || v[0] < 2000)
                return err("bad time " + a[4]);
            raw = {uint8_t(v[5]), uint8_t(v[4]), uint8_t(v[3]), 1, uint8_t(v[2]), uint8_t(v[1]), uint8_t(v[0] - 2000), 0};
        } else if (a.size() > 4) {
            when = QDateTime::fromString(a[4], Qt::ISODate);
            if (!when.isValid())
                return err("bad time " + a[4]);
        }
        const std::string id = a[3] == QLatin1String("-") ? std::string() : a[3].toStdString();
        LogEntry e = g->AddLog(type, id, 0, when);
        if (isRaw) {
            LogEntry &stored = g->logs.back();
            stored.hasRawTime = true;
            stored.rawTime = raw;
            e = stored;
        }
        return ok({logLine(e)});
    }
    if (cmd == QLatin1String("addlogs")) {
        bool okCount = false, okType = false;
        const int count = Arg(a, 2).toInt(&okCount), type = Arg(a, 3).toInt(&okType);
        if (!okCount || !okType || count < 1 || a.size() != 5 || a[4].size() > GATE_ID_LEN - 8)
            return err("usage: addlogs GATE COUNT TYPE PREFIX");
        const std::string prefix = a[4].toStdString();
        for (int i = 1; i <= count; ++i)
            g->AddLog(type, prefix + QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')).toStdString(), 0, QDateTime());
        return ok({QStringLiteral("%1 records, last %2").arg(count).arg(g->nextSeq - 1)});
    }
    if (cmd == QLatin1String("logclear")) {
        g->ClearLogs();
        return ok();
    }
    if (cmd == QLatin1String("clock")) {
        if (a.size() > 2) {
            const QDateTime t = QDateTime::fromString(a.mid(2).join('T'), Qt::ISODate);
            if (!t.isValid())
                return err("bad time");
            g->SetNow(t);
        }
        return ok({FormatTime(g->Now()).replace(' ', 'T')});
    }
    if (cmd == QLatin1String("capacity")) {
        bool o1 = false, o2 = false, o3 = true;
        const int u = Arg(a, 2).toInt(&o1), m = Arg(a, 3).toInt(&o2);
        const int logs = a.size() > 4 ? Arg(a, 4).toInt(&o3) : g->logCapacity;
        if (!o1 || !o2 || !o3 || u < 0 || m < 0 || logs < 1)
            return err("usage: capacity GATE USERS MASTERS [LOGS]");
        g->userCapacity = u;
        g->masterCapacity = m;
        g->logCapacity = logs; // a full log memory drops its oldest record for each new one
        return ok();
    }
    if (cmd == QLatin1String("props")) {
        for (int i = 2; i < a.size(); ++i) {
            bool o1 = false, o2 = false;
            const int b = a[i].section('=', 0, 0).toInt(&o1), v = a[i].section('=', 1).toInt(&o2);
            if (!o1 || !o2 || b < 0 || b >= GATE_PROPERTIES_LEN || v < 0 || v > 255)
                return err("usage: props GATE [BYTE=VALUE ...]");
            g->props[size_t(b)] = uint8_t(v);
        }
        return ok({QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(g->props.data()), GATE_PROPERTIES_LEN).toHex())});
    }
    if (cmd == QLatin1String("fault")) {
        const QString kind = Arg(a, 2).toLower();
        if (kind == QLatin1String("clear")) {
            g->faults.clear();
            g->delayMs = 0;
            if (g->refuse && g->transport == QLatin1String("tcp")) {
                g->refuse = false;
                QString e;
                if (!Listen(g, &e))
                    return err(e);
            }
            return ok();
        }
        if (kind == QLatin1String("refuse")) {
            const bool on = Arg(a, 3) != QLatin1String("off");
            if (g->transport != QLatin1String("tcp"))
                return err("refuse applies to tcp gates");
            if (on && !g->refuse) {
                delete servers_[g];
                servers_.erase(g);
            } else if (!on && g->refuse) {
                QString e;
                if (!Listen(g, &e))
                    return err(e);
            }
            g->refuse = on;
            return ok();
        }
        if (kind == QLatin1String("delay")) {
            g->delayMs = std::max(0, Arg(a, 3).toInt());
            return ok();
        }
        FaultRule rule;
        rule.command = CommandFromName(Arg(a, 3).toLower().toStdString());
        if (rule.command < 0)
            return err("unknown command " + Arg(a, 3));
        int countAt = 4;
        if (kind == QLatin1String("silent"))
            rule.action = FaultAction::Silent;
        else if (kind == QLatin1String("drop"))
            rule.action = FaultAction::Drop;
        else if (kind == QLatin1String("garbage"))
            rule.action = FaultAction::Garbage;
        else if (kind == QLatin1String("status") || kind == QLatin1String("slow")) {
            rule.action = kind == QLatin1String("status") ? FaultAction::Status : FaultAction::Slow;
            bool o = false;
            rule.value = Arg(a, 4).toInt(&o);
            if (!o)
                return err("usage: fault GATE " + kind + " CMD VALUE [COUNT]");
            countAt = 5;
        } else
            return err("unknown fault " + kind);
        rule.remaining = a.size() > countAt ? a[countAt].toInt() : 1;
        if (rule.remaining <= 0)
            rule.remaining = -1;
        g->faults.push_back(rule);
        return ok();
    }
    return err("unknown command " + cmd + " (try help)");
}

} // namespace gatesim
