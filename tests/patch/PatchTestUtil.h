#pragma once

// Real folders for patch tests: a patch folder (PatchFile/ and Vers.dat) and an installation,
// files with a given version, time and mode, and snapshots to prove that nothing changed.

#include "GetFileVers.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace patchtest {

struct FileMade
{
    FileMade(const QString &version = QString(), const QDateTime &time = QDateTime(), int mode = 0644,
             const QByteArray &body = "payload")
        : version(version), time(time), mode(mode), body(body)
    {
    }
    QString version; // "a.b.c.d" embedded as the file's what-string; empty: none
    QDateTime time;  // modification time; invalid: now
    int mode;
    QByteArray body;
};

// Writes a file as the build would: some bytes, the what-string, more bytes.
void MakeFile(const QString &path, const FileMade &made);
void SetTime(const QString &path, const QDateTime &time);
QByteArray ReadAll(const QString &path);
int Mode(const QString &path);

class Folders
{
public:
    Folders();
    QString root() const { return m_root.path(); }
    QString patchDir() const { return root() + "/patch"; }
    QString patchFile(const QString &name = QString()) const;
    QString installDir() const { return root() + "/install"; }
    QString installed(const QString &name) const { return installDir() + "/" + name; }
    QString log() const { return installed("Patch_Log.txt"); }

    void WriteVersDat(const QByteArray &content);
    // An installation of the edition: its program file (a version and a time), nothing else.
    void MakeInstallation(const QString &program = "Orvel");

private:
    QTemporaryDir m_root;
};

// Every file of a folder with its content, mode and time: equal snapshots mean no change.
QMap<QString, QString> Snapshot(const QString &dir);

// The log bytes a run writes, from lines given in UTF-8: Shift_JIS, CR LF.
QByteArray SjisLines(const QStringList &lines);

// A file-size limit for this process while it lives (writes beyond it fail with EFBIG).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

private:
    qint64 m_soft = 0;
    qint64 m_hard = 0;
};

} // namespace patchtest
