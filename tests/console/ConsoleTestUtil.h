#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

namespace consoletest {

// A site folder without a database: just the files a test writes into it.
struct BareSite
{
    QTemporaryDir tmp;
    BareSite() { ::setenv("ORVEL_HOME", QFile::encodeName(tmp.path()).constData(), 1); }
    QString path(const QString &name) const { return QDir(tmp.path()).filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
};

} // namespace consoletest

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
