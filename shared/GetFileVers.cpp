#include "GetFileVers.h"

#include <QByteArrayView>
#include <QFile>

namespace orvel {
namespace {

// Built at run time so that the reader itself never carries the marker as one piece of text.
QByteArray Marker()
{
    return QByteArray("@(#") + QByteArray(")ORVEL_VERSION ");
}

// Parses "a.b.c.d" at data[pos]; each part one to five digits, at most 65535, and the text
// ends at a character that is neither a digit nor a dot.
bool ParseVersion(QByteArrayView data, qsizetype pos, FileVers *version)
{
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= data.size() || data[pos] != '.')
                return false;
            ++pos;
        }
        quint32 value = 0;
        int digits = 0;
        while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9') {
            value = value * 10 + quint32(data[pos] - '0');
            if (++digits > 5 || value > 65535)
                return false;
            ++pos;
        }
        if (digits == 0)
            return false;
        (*version)[part] = quint16(value);
    }
    return pos >= data.size() || (data[pos] != '.' && (data[pos] < '0' || data[pos] > '9'));
}

} // namespace

bool ReadFileVers(const QString &path, FileVers *version)
{
    *version = {0, 0, 0, 0};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    // Programs are megabytes: map the file rather than read it.
    uchar *mapped = file.map(0, file.size());
    const QByteArray readIn = mapped ? QByteArray() : file.readAll();
    const QByteArrayView data = mapped ? QByteArrayView(mapped, file.size()) : QByteArrayView(readIn);
    const QByteArray marker = Marker();
    for (qsizetype at = data.indexOf(marker); at >= 0; at = data.indexOf(marker, at + 1)) {
        FileVers found;
        if (ParseVersion(data, at + marker.size(), &found)) {
            *version = found;
            return true;
        }
    }
    return false;
}

QString GetFileVers(const QString &path)
{
    FileVers version;
    ReadFileVers(path, &version);
    return FileVersText(version);
}

QString FileVersText(const FileVers &version)
{
    return QStringLiteral("%1.%2.%3.%4").arg(version[0]).arg(version[1]).arg(version[2]).arg(version[3]);
}

} // namespace orvel
