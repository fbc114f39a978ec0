#pragma once
// Starts build/bin/fpsim (the scanner simulator) as a child process on a socket of the test's
// own and sends it control lines.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

class FpSimProcess
{
public:
    // socketPath: where it serves (usually the site's fpsim.sock); seed: its touches.
    explicit FpSimProcess(const QString &socketPath, quint64 seed = 7);
    ~FpSimProcess();
    bool ok() const { return m_ready; }
    QString socket() const { return m_socket; }
    // One control line; the answer's data lines, then "OK" or "ERR ...".
    QStringList control(const QString &line);
    bool controlOk(const QString &line);
    void stop();

private:
    QProcess m_process;
    QString m_socket;
    bool m_ready = false;
};

} // namespace testsupport
