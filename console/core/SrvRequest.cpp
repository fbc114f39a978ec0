#include "SrvRequest.h"

#include "OrvelDefs.h"
#include "rdo_cntl.h"

bool PostSrvRequest(int serverId, int reqCmd, const QString &detail)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.t_srv_ctrl"));
        db.setWhere(QStringLiteral("server_id = %1").arg(serverId));
        db.SetData(QStringLiteral("req_cmd"), reqCmd, false, true);
        db.SetData(QStringLiteral("result"), orvel::srv::ResultPending);
        db.SetData(QStringLiteral("res_detail"), detail);
        return db.UpdateDataEx(false);
    } catch (const RdoError &) {
        return false;
    }
}

bool ArmServiceRows()
{
    const bool harvester = PostSrvRequest(orvel::srv::Harvester, orvel::srv::HarvesterStatus);
    const bool courier = PostSrvRequest(orvel::srv::Courier, orvel::srv::CourierStatus);
    return harvester && courier;
}
