#include "PlaySound.h"

#include "SiteFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

SoundPlayer &Player()
{
    static SoundPlayer player;
    return player;
}

// Length of a PCM wave file in milliseconds, from its header; 0 when it cannot be told.
int WaveLengthMs(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray h = f.read(64);
    if (h.size() < 44 || !h.startsWith("RIFF") || h.mid(8, 4) != "WAVE")
        return 0;
    auto u32 = [&](int at) { return quint32(quint8(h[at])) | quint32(quint8(h[at + 1])) << 8 |
                                    quint32(quint8(h[at + 2])) << 16 | quint32(quint8(h[at + 3])) << 24; };
    const quint32 byteRate = u32(28);
    return byteRate ? int(qint64(f.size() - 44) * 1000 / byteRate) : 0;
}

void DefaultPlayer(const QString &path, bool synchronous)
{
    static const QString aplay = QStandardPaths::findExecutable(QStringLiteral("aplay"));
    if (aplay.isEmpty())
        return;
    const QStringList args{QStringLiteral("-q"), path};
    if (!synchronous) {
        QProcess::startDetached(aplay, args);
        return;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(aplay, args);
    if (!p.waitForStarted(1000))
        return;
    // No device: the player gives up at once. A busy or stuck one is stopped once the sound
    // should have ended.
    if (!p.waitForFinished(qMin(WaveLengthMs(path), 10000) + 1500)) {
        p.kill();
        p.waitForFinished(500);
    }
}

} // namespace

void SetSoundPlayer(SoundPlayer player)
{
    Player() = std::move(player);
}

void PlaySound(const QString &name, int flags)
{
    QString rel = name;
    rel.replace(u'\\', u'/');
    if (rel.startsWith(QLatin1String("./")))
        rel = rel.mid(2);
    const QString path = QDir(orvel::SiteFolder()).filePath(rel);
    if (Player()) {
        Player()(path, flags == 0);
        return;
    }
    if (!QFileInfo::exists(path))
        return;
    DefaultPlayer(path, flags == 0);
}
