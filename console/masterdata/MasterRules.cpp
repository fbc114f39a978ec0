#include "MasterRules.h"

#include "OrvelDefs.h"
#include "RecordRow.h"
#include "Text.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

namespace {
constexpr int kFingers = 6; // the enrollable fingers 0-5

QString UserIdWhere(const QString &userId)
{
    return QStringLiteral("user_id = ") + orvel::SqlText(userId);
}
} // namespace

// ---- departments ---------------------------------------------------------------------------------

QString JobRules::CheckRegist(const QString &empId, const QString &empName)
{
    if (empId.isEmpty())
        return U("部署IDを入力してください。");
    if (empName.isEmpty())
        return U("部署名を入力してください。");
    return {};
}

QString JobRules::CheckDelete(const QString &empId, int memberRows)
{
    if (empId == QLatin1String(orvel::kNoEmpId))
        return U("部署ID=00000は削除できません。");
    if (memberRows > 0)
        return U("所属ユーザがいる為、削除できません。");
    return {};
}

bool JobRules::MoveUser(const QString &userId, const QString &empId)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.m_user"));
        db.SetData(QStringLiteral("emp_id"), empId, false, true);
        db.SetData(QStringLiteral("user_id"), userId, true);
        return db.UpdateData();
    } catch (const RdoError &) {
        return false;
    }
}

QStringList JobRules::RemoveMembers(const QStringList &userIds)
{
    QStringList failed;
    for (const QString &id : userIds)
        if (!MoveUser(id, QString::fromLatin1(orvel::kNoEmpId)))
            failed << id;
    return failed;
}

bool JobRules::AsksBeforeMove(const QString &rowEmpId, const QString &targetEmpId)
{
    return rowEmpId != targetEmpId && rowEmpId != QLatin1String(orvel::kNoEmpId);
}

// ---- users -----------------------------------------------------------------------------------------

namespace {
const QString kUserTable = QStringLiteral("telmar_v1.m_user");
// The columns of the user record, the key first.
const QStringList kUserColumns = {QStringLiteral("user_id"),    QStringLiteral("user_name"),
                                  QStringLiteral("user_yomi"),  QStringLiteral("user_bikou"),
                                  QStringLiteral("emp_id"),     QStringLiteral("guser_id"),
                                  QStringLiteral("gauth_type"), QStringLiteral("gauthority"),
                                  QStringLiteral("delete_flag"), QStringLiteral("regist_dt"),
                                  QStringLiteral("refix_dt")};

QStringList UserValues(const UserRules::Record &r)
{
    return {r.userId,
            r.name,
            r.yomi,
            r.bikou,
            r.empId,
            r.guserId,
            QString::number(r.gauthType),
            QString::number(r.gauthority),
            QString::number(r.deleteFlag),
            r.registDt,
            r.refixDt};
}
} // namespace

bool UserRules::LoadRecord(const QString &userId, Record *out)
{
    const QStringList v = RecordRow::Load(kUserTable, kUserColumns, userId);
    if (v.size() != kUserColumns.size())
        return false;
    Record r;
    r.userId = v[0];
    r.name = v[1];
    r.yomi = v[2];
    r.bikou = v[3];
    r.empId = v[4];
    r.guserId = v[5];
    r.gauthType = v[6].trimmed().toInt();
    r.gauthority = v[7].trimmed().toInt();
    r.deleteFlag = v[8].trimmed().toInt();
    r.registDt = v[9];
    r.refixDt = v[10];
    *out = r;
    return true;
}

bool UserRules::InsertRecord(const Record &r, QString *error)
{
    return RecordRow::Insert(kUserTable, kUserColumns, UserValues(r), error);
}

void UserRules::UpdateRecord(const Record &r)
{
    RecordRow::Update(kUserTable, kUserColumns, UserValues(r));
}

QString UserRules::Validate(const Input &in)
{
    if (in.userId.isEmpty())
        return U("ユーザIDを入力してください。");
    if (in.name.isEmpty())
        return U("ユーザ名を入力してください。");
    if (in.yomi.isEmpty())
        return U("ユーザ名（ローマ字）を入力してください。");
    if (in.fingerprint && !in.hasTemplate)
        return U("指紋認証を行う為には、指紋の登録が必要です。");
    if (in.card && !in.hasCard)
        return U("ICカードで認証する為には、ICカードの登録が必要です。");
    if (in.permitRows > 0 && !in.fingerprint && !in.card)
        return U("通行を許可されたゲートがあります。認証方法を指定してください。");
    return {};
}

int UserRules::GAuthType(bool fingerprint, bool card)
{
    return (fingerprint ? orvel::gauth_type::Fingerprint : 0) + (card ? orvel::gauth_type::Card : 0);
}

bool UserRules::HasCard(int edition, const QString &guserId)
{
    // Whatever begins with the edition's placeholder prefix is no card, whatever its length.
    const char *prefix =
        edition == orvel::EditionMifare ? orvel::kMifarePlaceholderPrefix : orvel::kFelicaPlaceholderPrefix;
    return !guserId.isEmpty() && !guserId.startsWith(QLatin1String(prefix));
}

bool UserRules::HasTemplate(const QString &userId)
{
    if (userId.isEmpty())
        return false;
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.l_fptpl"));
    db.setWhere(UserIdWhere(userId));
    db.setWhereS(QStringLiteral("edit_flag = %1").arg(orvel::edit_flag::Complete));
    return !db.GetData(QStringLiteral("user_id")).toString().isEmpty();
}

QList<int> UserRules::EnrolledFingers(const QString &userId)
{
    QList<int> out;
    if (userId.isEmpty())
        return out;
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.l_fptpl"));
    db.setWhere(UserIdWhere(userId));
    db.setWhereS(QStringLiteral("edit_flag = %1").arg(orvel::edit_flag::Complete));
    db.setWhereS(QStringLiteral("fp_no >= 0 AND fp_no < %1").arg(kFingers));
    db.setOrder(QStringLiteral("fp_no ASC"));
    QVector<QVariant> fingers(kFingers);
    const int n = db.GetDataS(fingers, QStringLiteral("DISTINCT fp_no")); // one row per finger
    for (int i = 0; i < n; ++i)
        out << fingers[i].toInt();
    return out;
}

UserRules::CardButtons UserRules::CardButtonState(bool details, bool hasCard, int permitRows, bool cardMethod)
{
    CardButtons b;
    if (!details)
        return b;
    b.verify = hasCard;
    b.read = permitRows == 0;
    b.remove = hasCard && permitRows == 0 && !cardMethod;
    return b;
}

QString UserRules::StoredAuthority(const QString &userId)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setWhere(QStringLiteral("user_id = ") + orvel::SqlText(userId));
    return db.GetData(QStringLiteral("gauthority")).toString();
}

QString UserRules::CardOwner(const QString &cardId, const QString &userId)
{
    if (cardId.isEmpty())
        return {};
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setWhere(QStringLiteral("guser_id = ") + orvel::SqlText(cardId));
    db.setWhereS(QStringLiteral("user_id <> ") + orvel::SqlText(userId));
    db.setWhereS(QStringLiteral("delete_flag = 0"));
    db.setOrder(QStringLiteral("user_id ASC"));
    return db.GetData(QStringLiteral("user_id")).toString();
}

QString UserRules::CheckRemoveCard(bool cardMethod)
{
    if (!cardMethod)
        return {};
    return U("カード認証が選択されている為、削除出来ません。") + u'\n' + U("先にカード認証のチェックを外して下さい。");
}

QString UserRules::CheckDeleteFinger(int enrolledCount, bool fingerprintMethod)
{
    if (enrolledCount <= 1 && fingerprintMethod)
        return U("指紋の登録数がゼロになります。先に認証方法を変更してください。");
    return {};
}

UserRules::DeleteResult UserRules::DeleteUser(const QString &userId)
{
    for (const char *table : {"telmar_v1.t_gate_permit", "telmar_v1.l_fptpl", "telmar_v1.m_user"}) {
        rdo_cntl db;
        db.setDataSource(QString::fromLatin1(table));
        db.setWhere(UserIdWhere(userId));
        if (!db.DeleteData())
            return DeleteResult::Failed;
    }
    return DeleteResult::Deleted;
}

bool UserRules::MarkPermitsForUpdate(const QString &userId)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.t_gate_permit"));
        db.SetData(QStringLiteral("sync_flag"), orvel::sync_flag::ToRewrite, false, true);
        db.SetData(QStringLiteral("user_id"), userId, true);
        // A permit waiting to be withdrawn from its gate stays withdrawn: rewriting it would put
        // the user back on a gate the user may no longer pass.
        db.setWhere(QStringLiteral("sync_flag <> %1").arg(orvel::sync_flag::ToDelete));
        return db.UpdateDataEx();
    } catch (const RdoError &) {
        return false;
    }
}

// ---- pickers ---------------------------------------------------------------------------------------

QString AssistRules::PrefixLike(const QString &column, const QString &text)
{
    if (text.isEmpty())
        return {};
    return column + QStringLiteral(" like ") + orvel::SqlText(text + u'%');
}

QString AssistRules::LimitFromDispMax(const QString &text)
{
    return text == QString::fromUtf8("無制限") ? QString() : text;
}

QString AssistRules::JoinConditions(const QStringList &conditions)
{
    QStringList parts;
    for (const QString &c : conditions)
        if (!c.isEmpty())
            parts << c;
    return parts.join(QStringLiteral(" AND "));
}
