#pragma once

// Files, hosts and rows for the import and export tests.

#include "ConsoleTestUtil.h"
#include "ImportRun.h"
#include "Sjis.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <functional>

#include <gtest/gtest.h>

namespace ietest {

enum class Enc { Sjis, Utf8, Utf8Bom };

// Writes lines joined by CR LF (and ending in one) in the encoding given.
inline QString WriteLines(const QString &path, const QStringList &lines, Enc enc = Enc::Sjis)
{
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    QByteArray bytes = enc == Enc::Sjis ? orvel::ToSjis(text) : text.toUtf8();
    if (enc == Enc::Utf8Bom)
        bytes.prepend("\xEF\xBB\xBF");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the confirmation and keeps everything it was handed.
class RecordingHost : public impexp::ImportHost
{
public:
    bool answer = true;
    QStringList confirmations, warnings;
    int lastDone = 0, lastTotal = 0;
    std::function<void(int)> onProgress;

    bool Confirm(const QString &text) override
    {
        confirmations << text;
        return answer;
    }
    void Warn(const QString &text) override { warnings << text; }
    void Progress(int done, int total) override
    {
        lastDone = done;
        lastTotal = total;
        if (onProgress)
            onProgress(done);
    }
};

// The rows of table as "a|b|c" texts of the columns given, in the order given.
inline QStringList Rows(const QString &table, const QStringList &columns, const QString &order,
                        const QString &where = QString())
{
    QStringList parts;
    for (const QString &c : columns)
        parts << QStringLiteral("COALESCE(CAST(%1 AS TEXT), '')").arg(c);
    rdo_cntl db;
    db.setDataSource(table);
    db.setWhere(where);
    db.setOrder(order);
    QVector<QVariant> values(20000);
    const int n = db.GetDataS(values, parts.join(QStringLiteral(" || '|' || ")));
    QStringList rows;
    for (int i = 0; i < n; ++i)
        rows << values[i].toString();
    return rows;
}

struct CtlResult
{
    int rc = -1;
    QString out, err;
};

// Runs orvelctl with args; env (when given) replaces the inherited environment.
inline CtlResult Orvelctl(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment())
{
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVELCTL_PATH), args);
    EXPECT_TRUE(p.waitForFinished(60000)) << args.join(' ').toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The environment of a process that works on the site in dir (made by orvelctl init-site).
inline QProcessEnvironment SiteEnv(const QString &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ODBCINI"), QDir(dir).filePath(QStringLiteral("odbc.ini")));
    env.insert(QStringLiteral("ODBCSYSINI"), dir);
    env.insert(QStringLiteral("ORVEL_HOME"), dir);
    return env;
}

} // namespace ietest
