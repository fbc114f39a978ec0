#include "GateLockRow.h"

#include "rdo_cntl.h"

namespace orvel {

void AddGateLockRow(const QString &gateId, const QString &today)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.lock_gate"));
        db.SetData(QStringLiteral("gate_id"), gateId, true, true);
        db.SetData(QStringLiteral("regist_dt"), today);
        db.SetData(QStringLiteral("refix_dt"), today);
        db.InsertData(false);
    } catch (const RdoError &) {
        // The row only has to exist; one left from an earlier gate with this ID is such a row.
    }
}

} // namespace orvel
