#include "SrvCtrl.h"

#include "ServiceDb.h"
#include "SqlDialect.h"

#include <QSqlQuery>
#include <QVariant>

namespace orvel {

SrvCtrl::SrvCtrl(ServiceDb &db, int serverId)
    : m_db(db), m_serverId(serverId)
{
}

bool SrvCtrl::Pending(SrvRequest *request)
{
    QSqlQuery q = m_db.Query(
        QStringLiteral("SELECT * from t_srv_ctrl WHERE server_id = %1 AND req_cmd <> 0 AND result = 0").arg(m_serverId));
    if (!q.isActive() || !q.next())
        return false;
    if (request) {
        request->reqCmd = q.value(QStringLiteral("req_cmd")).toInt();
        request->arg1 = q.value(QStringLiteral("req_arg1")).toString();
        request->arg2 = q.value(QStringLiteral("req_arg2")).toString();
    }
    return true;
}

bool SrvCtrl::Answer(int result, const QString &detail)
{
    if (!Pending(nullptr))
        return false;
    return m_db.Exec(QStringLiteral("UPDATE t_srv_ctrl SET result = %1, res_detail = %2 WHERE server_id = %3")
                         .arg(result)
                         .arg(SqlText(detail))
                         .arg(m_serverId));
}

bool SrvCtrl::AnswerWithGate(int result, const QString &detail, const QString &gateId, const QString &gateName)
{
    if (!Pending(nullptr))
        return false;
    return m_db.Exec(QStringLiteral("UPDATE t_srv_ctrl SET result = %1, res_detail = %2, req_arg1 = %3, "
                                    "req_arg2 = %4 WHERE server_id = %5")
                         .arg(result)
                         .arg(SqlText(detail), SqlText(gateId), SqlText(gateName))
                         .arg(m_serverId));
}

} // namespace orvel
