#include "FpSimProcess.h"

#include "LineClient.h"

#include <QElapsedTimer>
#include <QFile>

namespace testsupport {

FpSimProcess::FpSimProcess(const QString &socketPath, quint64 seed) : m_socket(socketPath)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(FPSIM_PATH), {QStringLiteral("--socket"), socketPath, QStringLiteral("--seed"),
                                                  QString::number(seed)});
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (t.elapsed() < 10000 && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(100);
        out += m_process.readAllStandardOutput();
        if (out.contains("fpsim ready")) {
            m_ready = true;
            break;
        }
    }
}

FpSimProcess::~FpSimProcess()
{
    stop();
}

void FpSimProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    m_ready = false;
}

QStringList FpSimProcess::control(const QString &line)
{
    const devsim::LineReply a = devsim::LineCall(QFile::encodeName(m_socket).toStdString(), line.toStdString(), 10000);
    QStringList out;
    for (const std::string &l : a.lines)
        out << QString::fromStdString(l);
    out << (a.result == devsim::LineReply::Ok ? QStringLiteral("OK") : QStringLiteral("ERR ") + QString::fromStdString(a.error));
    return out;
}

bool FpSimProcess::controlOk(const QString &line)
{
    return control(line).constLast() == QLatin1String("OK");
}

} // namespace testsupport
