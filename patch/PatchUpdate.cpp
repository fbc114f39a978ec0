#include "PatchUpdate.h"

#include "UpfList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace patch {

namespace {

QString Errno(const QString &what, const QString &path)
{
    return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

bool WriteAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The name of the temporary copy ReplaceFile makes beside the file it replaces.
QByteArray TempTemplate(const QFileInfo &target)
{
    return QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                             + QStringLiteral(".patch-XXXXXX"));
}

} // namespace

void RemoveLeftoverCopies(const QString &installDir)
{
    // A run that was killed (or lost its power) while copying leaves its temporary copy behind: a
    // partial program of many megabytes that nothing else would ever remove, one per attempt.
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.patch-[A-Za-z0-9]{6}$"));
    const QFileInfoList files = QDir(installDir).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files)
        if (!file.isSymLink() && leftover.match(file.fileName()).hasMatch())
            QFile::remove(file.absoluteFilePath());
}

bool ReplaceFile(const QString &src, const QString &dst, QString *error)
{
    const QByteArray srcName = QFile::encodeName(src);
    const QByteArray dstName = QFile::encodeName(dst);
    const int in = ::open(srcName.constData(), O_RDONLY | O_CLOEXEC);
    struct stat srcStat;
    if (in < 0 || ::fstat(in, &srcStat) != 0) {
        *error = Errno(QStringLiteral("cannot read"), src);
        if (in >= 0)
            ::close(in);
        return false;
    }
    struct stat dstStat;
    const bool exists = ::stat(dstName.constData(), &dstStat) == 0;
    const mode_t mode = (exists ? dstStat.st_mode : srcStat.st_mode) & 07777;

    const QFileInfo target(dst);
    QByteArray temp = TempTemplate(target);
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        *error = Errno(QStringLiteral("cannot create a file in"), target.absolutePath());
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = Errno(QStringLiteral("cannot read"), src);
            ok = false;
        } else if (n > 0 && !WriteAll(out, buf, n)) {
            *error = Errno(QStringLiteral("cannot write"), dst);
            ok = false;
        }
        if (n <= 0 || !ok)
            break;
    }
    ::close(in);
    if (ok) {
        // The installed file's owner, as far as we may give the file away.
        const bool owned = !exists || ::fchown(out, dstStat.st_uid, dstStat.st_gid) == 0;
        Q_UNUSED(owned);
        const struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
        if (::fchmod(out, mode) != 0 || ::futimens(out, times) != 0 || ::fsync(out) != 0) {
            *error = Errno(QStringLiteral("cannot write"), dst);
            ok = false;
        }
    }
    if (::close(out) != 0 && ok) {
        *error = Errno(QStringLiteral("cannot write"), dst);
        ok = false;
    }
    if (ok && ::rename(temp.constData(), dstName.constData()) != 0) {
        *error = Errno(QStringLiteral("cannot replace"), dst);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    // The rename itself must survive a power cut too.
    const int folder = ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

UpdateOutcome RunUpdate(const PatchData &data, const QString &patchDir, const QString &installDir,
                        UpdateObserver &observer)
{
    UpdateOutcome outcome;
    observer.Guide(kGuideListing);
    const QList<UpfEntry> list = MakeUpfList(PatchFileDir(patchDir), installDir);

    observer.Guide(kGuideUpdating);
    PatchLog log(installDir);
    // A log that cannot be written means a folder we cannot write: stop before any copy.
    const bool opened = log.Write(QString())
                        && log.Write(QStringLiteral("===> 更新開始 ") + LogTime(Now()))
                        && log.Write(QStringLiteral("version %1 (%2)").arg(data.version, data.edition))
                        && log.Write(QStringLiteral("対象フォルダ ") + installDir);
    if (!opened) {
        outcome.logComplete = false;
        observer.CopyFailed(QStringLiteral("cannot write %1").arg(log.path()));
        observer.Guide(kGuideErrorEnd);
        return outcome;
    }
    RemoveLeftoverCopies(installDir);
    auto logLine = [&](const QString &line) {
        if (!log.Write(line))
            outcome.logComplete = false;
    };

    for (int i = 0; i < list.size(); ++i) {
        const UpfEntry &e = list[i];
        if (!e.copy) {
            observer.FileShown(i, int(list.size()), e.dstPath + kSuffixNoUpdate);
            logLine(e.srcPath + QStringLiteral(" -> 成功(更新なし）"));
            continue;
        }
        observer.FileShown(i, int(list.size()), e.dstPath + kSuffixUpdate);
        QString error;
        if (!ReplaceFile(e.srcPath, e.dstPath, &error)) {
            observer.CopyFailed(error);
            observer.Guide(kGuideErrorEnd);
            logLine(e.srcPath + QStringLiteral(" -> 失敗"));
            logLine(QStringLiteral("<=== 更新失敗 ") + LogTime(Now()));
            return outcome;
        }
        logLine(e.srcPath + QStringLiteral(" -> 成功"));
    }
    observer.Guide(kGuideUpdated);
    logLine(QStringLiteral("<=== 更新完了 ") + LogTime(Now()));
    outcome.completed = true;
    return outcome;
}

} // namespace patch
