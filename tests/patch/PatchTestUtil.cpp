#include "PatchTestUtil.h"

#include "Sjis.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace patchtest {

void MakeFile(const QString &path, const FileMade &made)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write("\x7f" "ELF....");
    f.write(made.body);
    if (!made.version.isEmpty())
        f.write(QByteArray("\0@(#)ORVEL_VERSION ", 19) + made.version.toLatin1() + QByteArray("\0", 1));
    f.write("....end");
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode_t(made.mode));
    SetTime(path, made.time.isValid() ? made.time : QDateTime::currentDateTime());
}

void SetTime(const QString &path, const QDateTime &time)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.setFileTime(time, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int Mode(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

Folders::Folders()
{
    QDir().mkpath(patchFile());
    QDir().mkpath(installDir());
}

QString Folders::patchFile(const QString &name) const
{
    return patchDir() + "/PatchFile" + (name.isEmpty() ? QString() : "/" + name);
}

void Folders::WriteVersDat(const QByteArray &content)
{
    QFile f(patchFile("Vers.dat"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write Vers.dat");
    f.write(content);
}

void Folders::MakeInstallation(const QString &program)
{
    MakeFile(installed(program), {"2.0.0.1", QDateTime::currentDateTime().addDays(-30), 0755});
}

QMap<QString, QString> Snapshot(const QString &dir)
{
    QMap<QString, QString> snap;
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &f : files)
        snap[f.fileName()] = QString::fromLatin1(QCryptographicHash::hash(ReadAll(f.filePath()), QCryptographicHash::Sha1).toHex())
                             + QString(" %1 %2").arg(Mode(f.filePath()), 0, 8).arg(f.lastModified().toMSecsSinceEpoch());
    return snap;
}

QByteArray SjisLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += orvel::ToSjis(l) + "\r\n";
    return out;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit r;
    ::getrlimit(RLIMIT_FSIZE, &r);
    m_soft = qint64(r.rlim_cur);
    m_hard = qint64(r.rlim_max);
    r.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit r;
    r.rlim_cur = rlim_t(m_soft);
    r.rlim_max = rlim_t(m_hard);
    ::setrlimit(RLIMIT_FSIZE, &r);
}

} // namespace patchtest
