#pragma once

// The update list: one entry per file of the patch folder, with its version and time and those
// of the installed file of the same name, and the decision whether to copy it.

#include "GetFileVers.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace patch {

struct UpfEntry
{
    QString srcPath;          // the replacement file
    QString srcVer;           // "a.b.c.d"
    orvel::FileVers srcParts{};
    QDateTime srcTime;
    QString dstPath;          // the file of the same name in the installation folder
    bool installed = false;   // whether that file exists
    orvel::FileVers dstParts{};
    QDateTime dstTime;
    bool copy = false;        // the update decision
};

// Every file of patchFileDir (in name order; no sub-folders, no hidden files), looked up in
// installDir, each with its decision.
QList<UpfEntry> MakeUpfList(const QString &patchFileDir, const QString &installDir);

// The update decision for one entry:
// - no installed file of that name: copy;
// - a replacement without version: by time stamps;
// - else the first of the four version parts that differs decides (higher copies, lower does
//   not); equal versions go by time stamps.
// Time stamps: both written "yyyymmddhhmmss" and subtracted as numbers; copy when the
// replacement is more than 10 ahead, keep the installed file when it is more than 10 ahead,
// copy otherwise.
bool DecideUpdate(const UpfEntry &entry);

// A file time as the number "yyyymmddhhmmss" (local time).
qint64 StampNumber(const QDateTime &time);

} // namespace patch
