#include "GateRules.h"

#include "MasterRules.h"


#include "ConsoleState.h"
#include "OrvelDefs.h"
#include "RecordRow.h"
#include "Text.h"
#include "gatecomm/GateLockScope.h"
#include "SqlDialect.h"
#include "gatecomm/TcpCom.h"
#include "gatelib.h"
#include "rdo_cntl.h"

#include <algorithm>

namespace {
QString GateIdWhere(const QString &gateId)
{
    return QStringLiteral("gate_id = ") + orvel::SqlText(gateId);
}
} // namespace

QString GateRules::Validate(const Input &in)
{
    if (in.gateId.isEmpty())
        return U("ゲートIDを入力してください。");
    if (in.zone.isEmpty())
        return U("ゾーンを入力してください。");
    if (in.name.isEmpty())
        return U("ゲート名を入力してください。");
    if (in.ip.size() != 4 || std::any_of(in.ip.cbegin(), in.ip.cend(), [](const QString &b) { return b.isEmpty(); }))
        return U("IPアドレスを正しく入力してください。");
    if (in.port.isEmpty())
        return U("ポート番号を入力して下さい。");
    const QString other = AddressUsedBy(JoinIp(in.ip), orvel::PadId(in.gateId, orvel::kGateIdWidth));
    if (!other.isEmpty())
        return U("このIPアドレスは既に利用されております。GID = ") + other;
    return {};
}

QString GateRules::AddressUsedBy(const QString &ipAddr, const QString &gateId)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    db.setWhere(QStringLiteral("ip_addr = ") + orvel::SqlText(ipAddr));
    db.setWhereS(QStringLiteral("gate_id <> ") + orvel::SqlText(gateId));
    return db.GetData(QStringLiteral("gate_id")).toString();
}

QString GateRules::JoinIp(const QStringList &boxes)
{
    return boxes.join(u'.');
}

QStringList GateRules::SplitIp(const QString &ipAddr)
{
    QStringList parts = ipAddr.split(u'.');
    while (parts.size() < 4)
        parts << QString();
    return parts.mid(0, 4);
}

QString GateRules::CutZone(const QString &zone)
{
    return zone.left(kZoneMax);
}

QString GateRules::CheckDelete(const QString &useFlag)
{
    if (useFlag.trimmed() != QLatin1String("0"))
        return U("ゲートが接続中の為、削除できません。ゲートを無効にしてから行ってください。");
    return {};
}

bool GateRules::DeleteGate(const QString &gateId)
{
    for (const char *table : {"telmar_v1.t_gate_permit", "telmar_v1.m_gate"}) {
        rdo_cntl db;
        db.setDataSource(QString::fromLatin1(table));
        db.setWhere(GateIdWhere(gateId));
        if (!db.DeleteData())
            return false;
    }
    return true;
}

namespace {
const QString kGateTable = QStringLiteral("telmar_v1.m_gate");
// The columns of the gate record, the key first.
const QStringList kGateColumns = {QStringLiteral("gate_id"),   QStringLiteral("zone_name"),
                                  QStringLiteral("gate_name"), QStringLiteral("ip_addr"),
                                  QStringLiteral("port_no"),   QStringLiteral("gate_bikou"),
                                  QStringLiteral("gate_mode"), QStringLiteral("use_flag"),
                                  QStringLiteral("regist_dt"), QStringLiteral("refix_dt")};

QStringList GateValues(const GateRules::Record &r)
{
    return {r.gateId, r.zoneName, r.gateName, r.ipAddr, r.portNo, r.bikou, QString::number(r.gateMode),
            QString::number(r.useFlag), r.registDt, r.refixDt};
}
} // namespace

bool GateRules::LoadRecord(const QString &gateId, Record *out)
{
    const QStringList v = RecordRow::Load(kGateTable, kGateColumns, gateId);
    if (v.size() != kGateColumns.size())
        return false;
    Record r;
    r.gateId = v[0];
    r.zoneName = v[1];
    r.gateName = v[2];
    r.ipAddr = v[3];
    r.portNo = v[4];
    r.bikou = v[5];
    r.gateMode = v[6].trimmed().toInt();
    r.useFlag = v[7].trimmed().toInt();
    r.registDt = v[8];
    r.refixDt = v[9];
    *out = r;
    return true;
}

bool GateRules::InsertRecord(const Record &r, QString *error)
{
    return RecordRow::Insert(kGateTable, kGateColumns, GateValues(r), error);
}

void GateRules::UpdateRecord(const Record &r)
{
    RecordRow::Update(kGateTable, kGateColumns, GateValues(r));
}

bool GateRules::TakeOutOfUse(const QString &gateId)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
        db.setWhere(GateIdWhere(gateId));
        db.SetData(QStringLiteral("use_flag"), orvel::use_flag::NotInUse, false, true);
        // Stored as the text date every screen writes, not as a date-time literal.
        db.SetData(QStringLiteral("refix_dt"), TodayText());
        return db.UpdateDataEx();
    } catch (const RdoError &) {
        return false;
    }
}

GateRules::Connect GateRules::ConnectAndSetClock(const QString &gateId, const QString &ipAddr, const QString &portNo,
                                                 const std::function<void()> &onReleaseFailed)
{
    const GateLockScope lock(gateId, GateLockScope::Release::UntilDone, onReleaseFailed);
    if (!lock)
        return Connect::LockFailed;
    return TcpSetDeviceTime(ipAddr, portNo) ? Connect::Connected : Connect::Failed;
}

bool GateRules::ReadDeviceSettings(const QString &gateId, const QString &ipAddr, const QString &portNo, int *doorMode,
                                   int *alarm)
{
    GateProperties props{};
    if (!TcpReadDeviceProperties(gateId, ipAddr, portNo, &props))
        return false;
    *doorMode = props.bytes[kDoorModeByte];
    *alarm = props.bytes[kAlarmByte];
    return true;
}

GateRules::DeviceWrite GateRules::WriteDeviceByte(const QString &gateId, const QString &ipAddr, const QString &portNo,
                                                  int byte, int value)
{
    GateProperties props{};
    if (!TcpReadDeviceProperties(gateId, ipAddr, portNo, &props))
        return DeviceWrite::ReadFailed;
    props.bytes[byte] = static_cast<uint8_t>(value);
    return TcpSetDeviceProperties(gateId, ipAddr, portNo, props) ? DeviceWrite::Written : DeviceWrite::WriteFailed;
}
