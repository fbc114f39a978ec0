#include "HarvesterTestUtil.h"

#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SimProcess.h"
#include "Sjis.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace harvester::test {

using orvel::SqlText;

void AddGate(orvel::test::TestSite &site, const QString &gateId, const QString &ip, int port, int gateMode,
             const QString &name)
{
    site.exec(QStringLiteral("INSERT INTO m_gate VALUES (%1, 'Zone', %2, %3, %4, '', %5, 1, 0, '', '', 0, '')")
                  .arg(SqlText(gateId), SqlText(name.isEmpty() ? QStringLiteral("Gate ") + gateId : name),
                       SqlText(ip), SqlText(QString::number(port)), QString::number(gateMode)));
    site.exec(QStringLiteral("INSERT INTO lock_gate VALUES (%1, 0, 0, '', '')").arg(SqlText(gateId)));
}

void AddSimGates(orvel::test::TestSite &site, testsupport::SimProcess &sim, int count)
{
    for (int i = 1; i <= count; ++i) {
        const QString id = orvel::PadId(QString::number(i), 5);
        const auto &g = sim.gate(id.toStdString());
        AddGate(site, id, QString::fromStdString(g.address), g.port);
    }
}

void AddUser(orvel::test::TestSite &site, const QString &userId, const QString &name, const QString &guserId,
             int gauthType)
{
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, user_bikou, emp_id, guser_id, "
                             "gauth_type, gauthority, delete_flag) VALUES (%1, %2, '', '', '00000', %3, %4, 1, 0)")
                  .arg(SqlText(userId), SqlText(name), SqlText(guserId), QString::number(gauthType)));
}

bool OpenShort(orvel::ServiceDb &db)
{
    // SQLite's busy time-out, or the server's lock time-out, in place of the site's 5 seconds.
    const QString dsn = orvel::test::OnPostgreSql() ? QStringLiteral("telmar_mdb;ConnSettings=SET lock_timeout TO 300")
                                                    : QStringLiteral("telmar_mdb;Timeout=300");
    return db.Open(dsn, QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword));
}

bool LockLogTables(orvel::ServiceDb &locker)
{
    if (!orvel::test::OnPostgreSql())
        return locker.Exec(QStringLiteral("BEGIN EXCLUSIVE"));
    return locker.Begin() &&
           locker.Exec(QStringLiteral("LOCK TABLE log_telmar, log_telmar_raw, log_gate_seq IN ACCESS EXCLUSIVE MODE"));
}

bool UnlockLogTables(orvel::ServiceDb &locker)
{
    return orvel::test::OnPostgreSql() ? locker.Rollback() : locker.Exec(QStringLiteral("ROLLBACK"));
}

void Post(orvel::test::TestSite &site, int cmd)
{
    site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = %1, result = 0, res_detail = '' WHERE server_id = 1")
                  .arg(cmd));
}

bool WaitAnswer(orvel::test::TestSite &site, int deadlineMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < deadlineMs) {
        if (site.value(QStringLiteral("SELECT result FROM t_srv_ctrl WHERE server_id = 1")) != QLatin1String("0"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

int Count(orvel::test::TestSite &site, const QString &sql)
{
    return site.value(sql).toInt();
}

void Sim(testsupport::SimProcess &sim, const std::string &line)
{
    ASSERT_TRUE(sim.controlOk(line)) << line;
}

int Collected(orvel::test::TestSite &site, const QString &gateId)
{
    return Count(site, QStringLiteral("SELECT COUNT(*) FROM log_telmar WHERE gate_id = %1 AND write_ok_flag = 0")
                           .arg(SqlText(gateId))) +
           Count(site, QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw WHERE gate_id = %1").arg(SqlText(gateId)));
}

QString ReadFileText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return orvel::FromSjis(f.readAll());
}

} // namespace harvester::test
