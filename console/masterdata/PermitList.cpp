#include "PermitList.h"

#include "SqlDialect.h"
#include "Text.h"
#include "rdo_cntl.h"

namespace {
constexpr int kShownColumns = 6;

// The columns read from the permit views, in the order Load takes them apart; the IDs formatted
// as the lists have always shown them, zero-padded.
struct ReadColumn
{
    const char *name;
    const char *format;
};
const ReadColumn kReadColumns[] = {
    {"user_id", "0000000000"}, {"gate_id", "00000"},      {"user_name", ""},       {"emp_name", ""},
    {"zone_name", ""},         {"gate_name", ""},         {"gauthority_name", ""}, {"gauth_type_name", ""},
    {"sync_disp", ""},         {"sync_flag", ""},         {"ip_addr", ""},         {"port_no", ""},
    {"guser_id", ""},          {"gauthority", ""},        {"gauth_type", ""},
};
} // namespace

PermitListModel::PermitListModel(Side side, QObject *parent) : QAbstractTableModel(parent), m_side(side) {}

void PermitListModel::Load(const QString &ownerId, bool includeUnused)
{
    QList<ListedPermit> rows;
    if (!ownerId.isEmpty()) {
        const bool userSide = m_side == Side::UserGates;
        rdo_cntl db;
        db.setDataSource(userSide ? QStringLiteral("telmar_v1.v_gate_user_list4")
                                  : QStringLiteral("telmar_v1.v_gate_user_list"));
        for (const ReadColumn &c : kReadColumns)
            db.SetField(QString::fromLatin1(c.name), QString::fromLatin1(c.format));
        if (userSide) {
            db.setWhere(QStringLiteral("user_id = ") + orvel::SqlText(ownerId));
            if (!includeUnused)
                db.setWhereS(QStringLiteral("gate_use_flag = 1"));
            db.setOrder(QStringLiteral("gate_id asc"));
        } else {
            db.setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(ownerId));
            db.setOrder(QStringLiteral("user_id asc"));
        }
        for (const QStringList &v : db.LoadRows()) {
            ListedPermit p;
            p.userId = v[0];
            p.gateId = v[1];
            p.userName = v[2];
            p.empName = v[3];
            p.zoneName = v[4];
            p.gateName = v[5];
            p.gauthorityName = v[6];
            p.gauthTypeName = v[7];
            p.syncDisp = v[8];
            p.syncFlag = v[9].trimmed().toInt();
            p.ipAddr = v[10];
            p.portNo = v[11];
            p.guserId = v[12];
            p.gauthority = v[13].trimmed().toInt();
            p.gauthType = v[14].trimmed().toInt();
            rows << p;
        }
    }
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void PermitListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString PermitListModel::Key(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_side == Side::UserGates ? m_rows[row].gateId : m_rows[row].userId;
}

QStringList PermitListModel::SyncDisps() const
{
    QStringList out;
    for (const ListedPermit &p : m_rows)
        out << p.syncDisp;
    return out;
}

void PermitListModel::MarkSent(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].syncDisp = U("済");
    const QModelIndex cell = index(row, kSyncDispColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

QList<PermitRules::SendRow> PermitListModel::UserSendRows(const GUserRecord &user) const
{
    QList<PermitRules::SendRow> out;
    for (const ListedPermit &p : m_rows) {
        PermitRules::SendRow row;
        row.gateId = p.gateId;
        row.ipAddr = p.ipAddr;
        row.portNo = p.portNo;
        row.syncFlag = p.syncFlag;
        row.user = user;
        out << row;
    }
    return out;
}

QList<PermitRules::SendRow> PermitListModel::GateSendRows(const QString &gateId, const QString &ipAddr,
                                                          const QString &portNo) const
{
    QList<PermitRules::SendRow> out;
    for (const ListedPermit &p : m_rows) {
        PermitRules::SendRow row;
        row.gateId = gateId;
        row.ipAddr = ipAddr;
        row.portNo = portNo;
        row.syncFlag = p.syncFlag;
        row.user.user_id = p.userId;
        row.user.guser_id = p.guserId;
        row.user.gauthority = qint16(p.gauthority);
        row.user.gauth_type = qint16(p.gauthType);
        out << row;
    }
    return out;
}

int PermitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PermitListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kShownColumns;
}

QString PermitListModel::Cell(const ListedPermit &p, int column) const
{
    const bool userSide = m_side == Side::UserGates;
    switch (column) {
    case 0:
        return userSide ? p.gateId : p.userId;
    case 1:
        return userSide ? p.zoneName : p.userName;
    case 2:
        return userSide ? p.gateName : p.empName;
    case 3:
        return p.gauthorityName;
    case 4:
        return p.gauthTypeName;
    case kSyncDispColumn:
        return p.syncDisp;
    default:
        return {};
    }
}

QVariant PermitListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    return Cell(m_rows[index.row()], index.column());
}

QVariant PermitListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kShownColumns)
        return {};
    static const char *const user[kShownColumns] = {"ゲートID", "エリア", "ゲート名", "権限", "認証方法", "反映"};
    static const char *const gate[kShownColumns] = {"ユーザID", "ユーザ名", "部署", "権限", "認証方法", "反映"};
    return U((m_side == Side::UserGates ? user : gate)[section]);
}
