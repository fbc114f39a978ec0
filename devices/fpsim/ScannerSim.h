#pragma once
// The simulated fingerprint scanner: serves the scanner library and a person or a test on one
// Unix-domain socket, one command per line, answered by data lines and then "OK" or "ERR ...".
//
// Library commands: "scan" (is a scanner attached?), "image DEVICE WAITMS" (wait for a finger up
// to WAITMS and answer its image, or "none"). Control commands: place / lift a finger, queue a
// single touch, unplug / plug the scanner, status, quit (see devices/README.md).

#include "SynthFinger.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace fpsim {

class ScannerSim : public QObject
{
    Q_OBJECT
public:
    explicit ScannerSim(uint64_t seed, QObject *parent = nullptr);
    ~ScannerSim() override;
    // Listens on path; refuses when another simulator answers there, removes a stale socket file.
    bool Listen(const QString &path, QString *error);

    // One fresh touch of a finger: image (kImageBytes, quality in the last byte).
    QByteArray Touch(const QString &identity);

signals:
    void QuitRequested();

private:
    struct Pending
    {
        QPointer<QLocalSocket> socket;
        QTimer *timer = nullptr;
    };
    struct Queued
    {
        QString identity;
        int after = 0; // empty image requests still to answer before this touch
    };

    void OnConnection();
    void OnLine(QLocalSocket *socket, const QString &line);
    QStringList Control(const QStringList &words, bool *quit);
    void RequestImage(QLocalSocket *socket, int waitMs);
    void ServePending();
    // The identity an image request gets now, or empty when no finger is there.
    QString TakeFinger();
    void Reply(QLocalSocket *socket, const QStringList &lines);

    QLocalServer *m_server = nullptr;
    uint64_t m_seed;
    uint64_t m_touches = 0;
    bool m_plugged = true;
    QString m_placed; // finger resting on the sensor
    std::deque<Queued> m_queue;
    std::deque<Pending> m_pending;
    int m_scans = 0, m_images = 0, m_empty = 0;
    std::unique_ptr<fp::Finger> m_finger; // the last finger drawn, kept for the next touch
};

} // namespace fpsim
