#pragma once

// Reader for Orvel.ini with the rules of Windows private-profile files, which the site's
// settings file was always written for: section and key names compare case-insensitively,
// the first matching line wins, lines starting with ";" are comments, values are trimmed
// (one pair of enclosing quotes is removed) and a missing key gives the caller's default.
// The file is read once; it is opened, read and closed in the constructor.

#include <QList>
#include <QString>

namespace orvel {

class IniFile
{
public:
    IniFile() = default;
    // A missing or unreadable file behaves as an empty one.
    static IniFile Load(const QString &path);
    static IniFile FromText(const QString &text);

    bool Contains(const QString &section, const QString &key) const;
    // The value of key in section; def when the key is absent. A key written with an empty
    // value ("F_GATELOCK=") is present and reads as empty text.
    QString Value(const QString &section, const QString &key, const QString &def = QString()) const;
    // Integer reading as the profile API does it: def when absent, otherwise the leading
    // decimal digits (optionally signed) of the value, 0 when there are none. A number too large
    // for an int is unreadable and gives def, never a clamped value.
    int IntValue(const QString &section, const QString &key, int def) const;
    // The same held to [low, high]: a value outside it counts as unreadable and gives def.
    int IntValue(const QString &section, const QString &key, int def, int low, int high) const;

private:
    struct Entry
    {
        QString section; // folded to lower case
        QString key;     // folded to lower case
        QString value;
    };
    const Entry *Find(const QString &section, const QString &key) const;
    QList<Entry> m_entries;
};

// What the services read from Orvel.ini, with their defaults applied. Unlike the console, the
// services fall back to the default file names when a name is missing or empty. Every number
// outside its sensible range is treated as unreadable and takes its default: a zero interval
// would make the service's timer spin, and one of weeks would leave it silent (the console takes
// a service that has not answered for a minute for dead). A start-date part out of range is 0,
// which leaves the start date unused.
struct ServiceIniSettings
{
    QString gateLockFile;
    QString templateFile;
    int waitSec = 0;
    int logWaitInterval = 0;
    QString trayIcon;
    int startYear = 0;
    int startMonth = 0;
    int startDay = 0;

    bool ShowTrayIcon() const;
    // The start date counts only when all three parts are non-zero.
    bool HasStartDate() const { return startYear != 0 && startMonth != 0 && startDay != 0; }
};
ServiceIniSettings ReadServiceIni(const IniFile &ini);
namespace ini_range {
inline constexpr int WaitSecMax = 60000;        // milliseconds per tick
inline constexpr int LogWaitIntervalMax = 3600; // ticks between passes
inline constexpr int StartYearMax = 99;         // counted from 2000
} // namespace ini_range
// Orvel.ini of the site folder.
QString OrvelIniPath();

} // namespace orvel
