#include "IniFile.h"

#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "Sjis.h"

#include <QFile>
#include <QStringDecoder>

#include <limits>

namespace orvel {
namespace {

QString DecodeIni(const QByteArray &bytes)
{
    // Files edited on this platform are UTF-8; files carried over from older sites are Shift_JIS.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = FromSjis(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString StripQuotes(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

IniFile IniFile::Load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return FromText(DecodeIni(f.readAll()));
}

IniFile IniFile::FromText(const QString &text)
{
    IniFile ini;
    QString section;
    bool inSection = false;
    const auto lines = QStringView(text).split(u'\n');
    for (QStringView raw : lines) {
        const QStringView line = raw.trimmed();
        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            if (close < 0)
                continue;
            section = line.mid(1, close - 1).trimmed().toString().toLower();
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inSection || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toString().toLower();
        if (key.isEmpty())
            continue;
        ini.m_entries.append({section, key, StripQuotes(line.mid(eq + 1).trimmed().toString())});
    }
    return ini;
}

const IniFile::Entry *IniFile::Find(const QString &section, const QString &key) const
{
    const QString s = section.trimmed().toLower();
    const QString k = key.trimmed().toLower();
    for (const Entry &e : m_entries)
        if (e.section == s && e.key == k)
            return &e;
    return nullptr;
}

bool IniFile::Contains(const QString &section, const QString &key) const
{
    return Find(section, key) != nullptr;
}

QString IniFile::Value(const QString &section, const QString &key, const QString &def) const
{
    const Entry *e = Find(section, key);
    return e ? e->value : def;
}

int IniFile::IntValue(const QString &section, const QString &key, int def) const
{
    const Entry *e = Find(section, key);
    if (!e)
        return def;
    const QString &v = e->value;
    qsizetype i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+'))
        negative = v[i++] == u'-';
    qint64 n = 0;
    for (; i < v.size() && v[i].isDigit() && v[i].unicode() < 128; ++i) {
        n = n * 10 + (v[i].unicode() - '0');
        if (n > std::numeric_limits<int>::max())
            return def; // too large to mean anything: unreadable
    }
    return int(negative ? -n : n);
}

int IniFile::IntValue(const QString &section, const QString &key, int def, int low, int high) const
{
    const int v = IntValue(section, key, def);
    return v < low || v > high ? def : v;
}

bool ServiceIniSettings::ShowTrayIcon() const
{
    return trayIcon == QLatin1String("DISP");
}

ServiceIniSettings ReadServiceIni(const IniFile &ini)
{
    auto text = [&](const char *sec, const char *key, const char *def) {
        const QString v = ini.Value(QLatin1String(sec), QLatin1String(key));
        return v.isEmpty() ? QString::fromUtf8(def) : v;
    };
    auto number = [&](const char *sec, const char *key, int def, int low, int high) {
        return ini.IntValue(QLatin1String(sec), QLatin1String(key), def, low, high);
    };
    ServiceIniSettings s;
    s.gateLockFile = text(ini::SecFile, ini::KeyGateLock, ini::DefaultGateLock);
    s.templateFile = text(ini::SecFile, ini::KeyTemplate, ini::DefaultTemplate);
    s.waitSec = number(ini::SecInterval, ini::KeyWaitSec, ini::DefaultWaitSec, 1, ini_range::WaitSecMax);
    s.logWaitInterval = number(ini::SecInterval, ini::KeyLogWaitInterval, ini::DefaultLogWaitInterval, 1,
                               ini_range::LogWaitIntervalMax);
    s.trayIcon = ini.Value(QLatin1String(ini::SecIcon), QLatin1String(ini::KeyTrayIcon),
                           QString::fromUtf8(ini::DefaultTrayIcon));
    s.startYear = number(ini::SecLog, ini::KeyStartYear, 0, 0, ini_range::StartYearMax);
    s.startMonth = number(ini::SecLog, ini::KeyStartMonth, 0, 0, 12);
    s.startDay = number(ini::SecLog, ini::KeyStartDay, 0, 0, 31);
    return s;
}

QString OrvelIniPath()
{
    return SitePath(QString::fromUtf8(ini::FileName));
}

} // namespace orvel
