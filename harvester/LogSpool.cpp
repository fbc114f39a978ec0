#include "LogSpool.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace harvester {
namespace {

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

LogSpool::LogSpool(QString path)
    : m_path(std::move(path))
{
}

bool LogSpool::Append(const QList<SpoolRecord> &records)
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // A line cut short by an earlier crash would swallow this record: start it on a new line.
    QByteArray line;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0) {
        char last = '\n';
        const int rfd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (rfd >= 0) {
            if (::pread(rfd, &last, 1, size - 1) != 1)
                last = '\n';
            ::close(rfd);
        }
        if (last != '\n')
            line += '\n';
    }
    for (const SpoolRecord &r : records)
        line += r.gateId.toUtf8() + '\t' + r.guserId.toLatin1().toPercentEncoding() + '\t' +
                QByteArray::number(r.logType) + '\t' + r.logDt.toUtf8() + '\t' + QByteArray::number(r.seq) + '\t' +
                QByteArray::number(r.epoch) + '\n';
    const bool ok = WriteAll(fd, line) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QList<SpoolRecord> LogSpool::Load() const
{
    QList<SpoolRecord> records;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return records;
    const QByteArray all = f.readAll();
    const QList<QByteArray> lines = all.split('\n');
    // The last piece follows the last LF: empty, or a line a crash cut short.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        bool ok = false, okSeq = true, okEpoch = true;
        if (fields.size() != 4 && fields.size() != 6)
            continue;
        SpoolRecord r;
        r.gateId = QString::fromUtf8(fields[0]);
        r.guserId = QString::fromLatin1(QByteArray::fromPercentEncoding(fields[1]));
        r.logType = fields[2].toInt(&ok);
        r.logDt = QString::fromUtf8(fields[3]);
        if (fields.size() == 6) {
            r.seq = fields[4].toLongLong(&okSeq);
            r.epoch = fields[5].toUInt(&okEpoch);
        }
        if (ok && okSeq && okEpoch && r.logDt.size() == 19)
            records << r;
    }
    return records;
}

bool LogSpool::IsEmpty() const
{
    return QFileInfo(m_path).size() == 0;
}

bool LogSpool::Clear()
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    const bool ok = ::ftruncate(fd, 0) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace harvester
