#include "ScannerSim.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace fpsim {

namespace {

const char *const kHelp[] = {
    "scan                        is a scanner attached? (the library's search)",
    "image DEVICE WAITMS         wait up to WAITMS for a finger; its image in hex, or none",
    "place FINGER                a finger rests on the sensor: every image is a fresh touch of it",
    "lift                        take the finger off",
    "touch FINGER [after=N]      one touch, after N more empty image requests",
    "clear                       lift the finger and forget queued touches",
    "unplug | plug               detach / attach the scanner",
    "status                      plugged, finger, queued touches, counters",
    "quit",
    "FINGER is any text naming a finger, for example u7-left-index.",
};

bool ValidIdentity(const QString &id)
{
    return !id.isEmpty() && id.size() <= 200;
}

} // namespace

ScannerSim::ScannerSim(uint64_t seed, QObject *parent) : QObject(parent), m_seed(seed) {}

ScannerSim::~ScannerSim() = default;

bool ScannerSim::Listen(const QString &path, QString *error)
{
    if (QFile::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            *error = QStringLiteral("another scanner simulator serves %1").arg(path);
            return false;
        }
        QLocalServer::removeServer(path); // a stale socket of a simulator that was killed
    }
    m_server = new QLocalServer(this);
    if (!m_server->listen(path)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(path, m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &ScannerSim::OnConnection);
    return true;
}

QByteArray ScannerSim::Touch(const QString &identity)
{
    const std::string id = identity.toStdString();
    if (!m_finger || m_finger->identity != id)
        m_finger = std::make_unique<fp::Finger>(fp::MakeFinger(id));
    const fp::Impression im = fp::MakeImpression(*m_finger, m_seed + 0x9E3779B97F4A7C15ull * ++m_touches);
    QByteArray image(fp::kImageBytes, '\0');
    auto *p = reinterpret_cast<uint8_t *>(image.data());
    p[fp::kImagePixels] = uint8_t(fp::Render(*m_finger, im, p));
    return image;
}

void ScannerSim::OnConnection()
{
    while (QLocalSocket *s = m_server->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            while (s->canReadLine()) {
                const QString line = QString::fromUtf8(s->readLine()).trimmed();
                if (!line.isEmpty())
                    OnLine(s, line);
            }
        });
    }
}

void ScannerSim::Reply(QLocalSocket *socket, const QStringList &lines)
{
    if (!socket || socket->state() != QLocalSocket::ConnectedState)
        return;
    socket->write((lines.join('\n') + '\n').toUtf8());
    socket->flush();
}

void ScannerSim::OnLine(QLocalSocket *socket, const QString &line)
{
    const QStringList w = line.split(u' ', Qt::SkipEmptyParts);
    const QString cmd = w.value(0).toLower();
    if (cmd == QLatin1String("image")) {
        bool okDevice = false, okWait = false;
        const int device = w.value(1).toInt(&okDevice);
        const int waitMs = w.value(2).toInt(&okWait);
        if (w.size() != 3 || !okDevice || !okWait || waitMs < 0)
            return Reply(socket, {QStringLiteral("ERR usage: image DEVICE WAITMS")});
        if (!m_plugged)
            return Reply(socket, {QStringLiteral("ERR no scanner")});
        if (device != 1)
            return Reply(socket, {QStringLiteral("ERR no device %1").arg(device)});
        return RequestImage(socket, waitMs);
    }
    bool quit = false;
    Reply(socket, Control(w, &quit));
    if (quit)
        QTimer::singleShot(0, this, &ScannerSim::QuitRequested);
}

QString ScannerSim::TakeFinger()
{
    if (!m_placed.isEmpty())
        return m_placed;
    if (!m_queue.empty() && m_queue.front().after == 0) {
        const QString id = m_queue.front().identity;
        m_queue.pop_front();
        return id;
    }
    return QString();
}

void ScannerSim::RequestImage(QLocalSocket *socket, int waitMs)
{
    const QString finger = m_pending.empty() ? TakeFinger() : QString();
    if (!finger.isEmpty()) {
        ++m_images;
        return Reply(socket, {QStringLiteral("image ") + QString::fromLatin1(Touch(finger).toHex()), QStringLiteral("OK")});
    }
    // No finger yet: the request waits for one, at most waitMs.
    Pending p;
    p.socket = socket;
    p.timer = new QTimer(this);
    p.timer->setSingleShot(true);
    QTimer *timer = p.timer;
    connect(timer, &QTimer::timeout, this, [this, timer] {
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->timer != timer)
                continue;
            QPointer<QLocalSocket> s = it->socket;
            m_pending.erase(it);
            // A queued touch that waits for empty requests counts this one.
            if (!m_queue.empty() && m_queue.front().after > 0)
                --m_queue.front().after;
            ++m_empty;
            Reply(s, {QStringLiteral("none"), QStringLiteral("OK")});
            break;
        }
        timer->deleteLater();
        ServePending();
    });
    m_pending.push_back(p);
    timer->start(waitMs);
}

void ScannerSim::ServePending()
{
    while (!m_pending.empty()) {
        if (!m_pending.front().socket) { // the library gave up on it
            m_pending.front().timer->deleteLater();
            m_pending.pop_front();
            continue;
        }
        const QString finger = TakeFinger();
        if (finger.isEmpty())
            return;
        Pending p = m_pending.front();
        m_pending.pop_front();
        p.timer->stop();
        p.timer->deleteLater();
        ++m_images;
        Reply(p.socket, {QStringLiteral("image ") + QString::fromLatin1(Touch(finger).toHex()), QStringLiteral("OK")});
    }
}

QStringList ScannerSim::Control(const QStringList &w, bool *quit)
{
    const QString cmd = w.value(0).toLower();
    auto ok = [](QStringList lines = {}) {
        lines << QStringLiteral("OK");
        return lines;
    };
    auto err = [](const QString &m) { return QStringList{QStringLiteral("ERR ") + m}; };
    if (cmd == QLatin1String("help")) {
        QStringList out;
        for (const char *h : kHelp)
            out << QString::fromLatin1(h);
        return ok(out);
    }
    if (cmd == QLatin1String("scan")) {
        ++m_scans;
        return m_plugged ? ok({QStringLiteral("device 1")}) : err(QStringLiteral("no scanner"));
    }
    if (cmd == QLatin1String("place")) {
        if (w.size() != 2 || !ValidIdentity(w[1]))
            return err(QStringLiteral("usage: place FINGER"));
        m_placed = w[1];
        ServePending();
        return ok();
    }
    if (cmd == QLatin1String("lift")) {
        m_placed.clear();
        return ok();
    }
    if (cmd == QLatin1String("touch")) {
        Queued q;
        q.identity = w.value(1);
        bool good = ValidIdentity(q.identity) && w.size() <= 3;
        if (good && w.size() == 3) {
            good = w[2].startsWith(QLatin1String("after="));
            q.after = w[2].mid(6).toInt(&good);
            good = good && q.after >= 0;
        }
        if (!good)
            return err(QStringLiteral("usage: touch FINGER [after=N]"));
        m_queue.push_back(q);
        ServePending();
        return ok();
    }
    if (cmd == QLatin1String("clear")) {
        m_placed.clear();
        m_queue.clear();
        return ok();
    }
    if (cmd == QLatin1String("unplug") || cmd == QLatin1String("plug")) {
        m_plugged = cmd == QLatin1String("plug");
        if (!m_plugged) // requests waiting for a finger end as with a scanner pulled out
            while (!m_pending.empty()) {
                Pending p = m_pending.front();
                m_pending.pop_front();
                p.timer->stop();
                p.timer->deleteLater();
                Reply(p.socket, {QStringLiteral("ERR no scanner")});
            }
        return ok();
    }
    if (cmd == QLatin1String("status")) {
        QStringList queued;
        for (const Queued &q : m_queue)
            queued << (q.after ? QStringLiteral("%1(after=%2)").arg(q.identity).arg(q.after) : q.identity);
        return ok({QStringLiteral("plugged=%1 finger=%2 queued=%3 waiting=%4")
                       .arg(m_plugged ? 1 : 0)
                       .arg(m_placed.isEmpty() ? QStringLiteral("-") : m_placed)
                       .arg(queued.isEmpty() ? QStringLiteral("-") : queued.join(u','))
                       .arg(m_pending.size()),
                   QStringLiteral("scans=%1 images=%2 empty=%3").arg(m_scans).arg(m_images).arg(m_empty)});
    }
    if (cmd == QLatin1String("quit")) {
        *quit = true;
        return ok();
    }
    return err(QStringLiteral("unknown command %1 (try help)").arg(cmd));
}

} // namespace fpsim
