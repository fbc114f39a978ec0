#include "MasterImports.h"

#include "GateLockRow.h"
#include "ImportFile.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <cmath>

namespace impexp {
namespace {

const QString kTab = QStringLiteral("\t");
const QString kAutoIdMark = QStringLiteral("（自動ID）");
const QString kDefaultMark = QStringLiteral("（省略時設定）");
const QString kInsertFailed = QStringLiteral("登録に失敗しました。");
const QString kUpdateFailed = QStringLiteral("上書き登録に失敗しました。");

QString SummaryHead(int n)
{
    return QString::number(n) + QStringLiteral("件目のデータ：") + kCrLf;
}

QString SummaryLine(const QString &label, int tabs, const QString &value)
{
    return QStringLiteral("  ") + label + kTab.repeated(tabs) + QStringLiteral(": ") + value + kCrLf;
}

// The leading number of a text as the ID boxes read it: digits with at most one decimal point,
// rounded; anything from the first other character on is ignored.
double LeadingNumber(const QString &text)
{
    QString digits;
    bool point = false;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 0x80)
            digits += c;
        else if (c == u'.' && !point)
            digits += c, point = true;
        else
            break;
    }
    return std::floor(digits.toDouble() + 0.5);
}

QString GeneratedId(quint64 number, int width)
{
    return QString::number(number).rightJustified(width, u'0');
}

// An insert through the field list: false when the key exists or the statement failed.
bool TryInsert(rdo_cntl &db)
{
    try {
        return db.InsertData(false);
    } catch (const RdoError &) {
        return false;
    }
}

} // namespace

quint64 FirstIdNumber(const QString &text)
{
    const double v = LeadingNumber(text);
    return v > 0 ? static_cast<quint64>(v) : 0;
}

QString FormatFirstId(const QString &text, int width)
{
    return GeneratedId(FirstIdNumber(text), width);
}

// ---- users ------------------------------------------------------------------------------------------

UserImport::UserImport(const UserImportOptions &options)
    : m_opt(options), m_user(std::make_unique<rdo_cntl>()), m_emp(std::make_unique<rdo_cntl>())
{
    m_user->setDataSource(QStringLiteral("telmar_vb.m_user"));
    m_emp->setDataSource(QStringLiteral("telmar_vb.m_emp"));
    if (!m_opt.emp)
        m_opt.empId = m_opt.empName = false;
}

UserImport::~UserImport() = default;

QString UserImport::Refusal() const
{
    if (m_opt.emp && !m_opt.empId && !m_opt.empName)
        return QStringLiteral("部署をインポート項目に含める場合、部署ID・部署名のどちらか、または両方をONにして下さい。");
    if (m_opt.autoEmp && !(m_opt.empId && m_opt.empName))
        return QStringLiteral("部署の自動登録をおこなう場合、部署IDと部署名をインポート項目に含める必要があります。");
    return {};
}

QString UserImport::Question() const
{
    return QStringLiteral("ユーザのインポートを開始します。インポートしますか？");
}

void UserImport::StartPass(int)
{
    m_nextId = FirstIdNumber(m_opt.firstId);
    m_ids.Clear();
    m_empIds.Clear();
    m_empNameOf.clear();
    m_planned.Clear();
    m_registered = 0;
}

QString UserImport::Take(const QStringList &f, int n)
{
    Record r;
    int i = 0;
    if (m_opt.autoId) {
        r.userId = GeneratedId(m_nextId++, orvel::kUserIdWidth);
        r.generated = true;
    } else {
        r.userId = FieldAt(f, i++);
    }
    r.name = FieldAt(f, i++);
    r.yomi = FieldAt(f, i++);
    if (HasEmpId())
        r.empId = FieldAt(f, i++);
    if (HasEmpName())
        r.empName = FieldAt(f, i++);
    if (!m_opt.emp) {
        r.empId = QString::fromLatin1(orvel::kNoEmpId);
        r.empName = QString::fromUtf8(orvel::kNoEmpName);
    }
    if (m_opt.bikou)
        r.bikou = FieldAt(f, i++);
    r.gauthority = m_opt.gauthority ? FieldAt(f, i++) : QString::number(orvel::gauthority::User);
    m_rec = r;

    return SummaryHead(n) + SummaryLine(QStringLiteral("ユーザID"), 2, r.userId + (r.generated ? kAutoIdMark : QString())) +
           SummaryLine(QStringLiteral("ユーザ名"), 1, r.name) + SummaryLine(QStringLiteral("ユーザ名（ﾛｰﾏ字）"), 1, r.yomi) +
           SummaryLine(QStringLiteral("部署ID"), 2, r.empId) + SummaryLine(QStringLiteral("部署名"), 2, r.empName) +
           SummaryLine(QStringLiteral("備考"), 2, r.bikou) +
           SummaryLine(QStringLiteral("権限"), 2, r.gauthority + (m_opt.gauthority ? QString() : kDefaultMark));
}

bool UserImport::CheckRecord(int pass)
{
    CheckImportItems &c = m_check;
    Record &r = m_rec;
    const QString uid = QStringLiteral("ユーザID");
    if (!c.Required(r.userId, uid) || !c.Digits(r.userId, uid) || !c.Pad(r.userId, uid, orvel::kUserIdWidth) ||
        !c.MaxLength(r.userId, uid, orvel::kUserIdWidth))
        return false;
    const QString name = QStringLiteral("ユーザ名");
    if (!c.Required(r.name, name) || !c.MaxLength(r.name, name, 25) || !c.Storable(r.name, name))
        return false;
    const QString yomi = QStringLiteral("ユーザ名（ローマ字）");
    if (!c.Required(r.yomi, yomi) || !c.MaxLength(r.yomi, yomi, 50) || !c.SingleByte(r.yomi, yomi))
        return false;
    const QString eid = QStringLiteral("部署ID");
    if (HasEmpId() && (!c.Required(r.empId, eid) || !c.Digits(r.empId, eid) || !c.Pad(r.empId, eid, orvel::kEmpIdWidth) ||
                       !c.MaxLength(r.empId, eid, orvel::kEmpIdWidth)))
        return false;
    const QString ename = QStringLiteral("部署名");
    if (HasEmpName() && (!c.Required(r.empName, ename) || !c.MaxLength(r.empName, ename, 25) ||
                         !c.Storable(r.empName, ename)))
        return false;
    const QString bikou = QStringLiteral("備考");
    if (m_opt.bikou && (!c.MaxLength(r.bikou, bikou, 25) || !c.Storable(r.bikou, bikou)))
        return false;
    const QString auth = QStringLiteral("権限");
    if (m_opt.gauthority && (!c.Required(r.gauthority, auth) || !c.OneOrTwo(r.gauthority, auth)))
        return false;

    // In-file duplicates: the earliest earlier record that conflicts, its user ID first.
    const int n = c.RecordNumber();
    const int sameId = m_ids.Find(r.userId);
    int otherName = 0;
    if (HasEmpId() && HasEmpName()) {
        const int k = m_empIds.Find(r.empId);
        if (k && m_empNameOf.value(r.empId) != r.empName)
            otherName = k;
    }
    if (sameId && (!otherName || sameId <= otherName))
        return c.DuplicateFailure(sameId, uid);
    if (otherName)
        return c.EmpNameConflict(otherName);
    m_ids.Add(r.userId, n);
    if (HasEmpId() && HasEmpName()) {
        m_empIds.Add(r.empId, n);
        if (!m_empNameOf.contains(r.empId))
            m_empNameOf.insert(r.empId, r.empName);
    }

    if (!m_opt.overwrite && !c.IdFree(r.userId, uid, CheckImportItems::Table::User))
        return false;
    if (m_opt.autoEmp) {
        if (!c.EmpPairForRegistration(r.empId, r.empName, pass == 1 ? &m_planned : nullptr))
            return false;
        if (pass == 1)
            m_planned.Add(r.empId, r.empName);
        return true;
    }
    // A record without department columns carries "00000" / "無所属", both given.
    return c.EmpPairRegistered(r.empId, HasEmpId() || !m_opt.emp, r.empName, HasEmpName() || !m_opt.emp);
}

bool UserImport::WriteRecord(ImportHost &host, QString *error)
{
    Record &r = m_rec;
    const QString today = TodayText();
    if (m_opt.autoEmp &&
        !m_reader.ReadBy(QStringLiteral("telmar_v1.m_emp"), QStringLiteral("emp_id"), r.empId,
                         {QStringLiteral("emp_name")})) {
        m_emp->SetData(QStringLiteral("emp_id"), r.empId, true, true);
        m_emp->SetData(QStringLiteral("emp_name"), r.empName);
        m_emp->SetData(QStringLiteral("regist_dt"), today);
        m_emp->SetData(QStringLiteral("refix_dt"), today);
        if (TryInsert(*m_emp)) {
            ++m_registered;
        } else {
            host.Warn(QStringLiteral("部署の自動登録に失敗しました。無所属として登録します。"));
            r.empId = QString::fromLatin1(orvel::kNoEmpId);
        }
    }

    m_user->SetData(QStringLiteral("user_id"), r.userId, true, true);
    m_user->SetData(QStringLiteral("user_name"), r.name);
    m_user->SetData(QStringLiteral("user_yomi"), r.yomi);
    m_user->SetData(QStringLiteral("guser_id"), orvel::PlaceholderGuserId(m_opt.edition, r.userId));
    // A user imported without department columns belongs to "00000" like one registered on the
    // users screen without a department, rather than to no department row at all.
    m_user->SetData(QStringLiteral("emp_id"), r.empId);
    if (m_opt.bikou)
        m_user->SetData(QStringLiteral("user_bikou"), r.bikou);
    if (m_opt.gauthority)
        m_user->SetData(QStringLiteral("gauthority"), r.gauthority);
    m_user->SetData(QStringLiteral("refix_dt"), today);
    m_user->SetData(QStringLiteral("regist_dt"), today);
    if (TryInsert(*m_user))
        return true;
    if (!m_opt.overwrite) {
        *error = kInsertFailed;
        return false;
    }
    return Overwrite(today, error);
}

bool UserImport::Overwrite(const QString &today, QString *error)
{
    const Record &r = m_rec;
    const auto row = m_reader.ReadBy(QStringLiteral("telmar_v1.m_user"), QStringLiteral("user_id"), r.userId,
                                     {QStringLiteral("user_name"), QStringLiteral("user_yomi"), QStringLiteral("emp_id"),
                                      QStringLiteral("user_bikou"), QStringLiteral("gauthority")});
    if (!row) {
        *error = kInsertFailed;
        return false;
    }
    m_user->SetData(QStringLiteral("user_id"), r.userId, true, true);
    bool changed = false;
    auto take = [&](int col, const char *column, const QString &value, bool present) {
        if (present && row->at(col) != value) {
            m_user->SetData(QString::fromLatin1(column), value);
            changed = true;
            return true;
        }
        return false;
    };
    take(0, "user_name", r.name, true);
    take(1, "user_yomi", r.yomi, true);
    take(2, "emp_id", r.empId, m_opt.emp);
    take(3, "user_bikou", r.bikou, m_opt.bikou);
    const bool authorityChanged = take(4, "gauthority", r.gauthority, m_opt.gauthority);
    if (!changed)
        return true;
    m_user->SetData(QStringLiteral("refix_dt"), today);
    // The gates hold the user with the old authority: their permits in step are written again.
    // The marks go first, so that a failed update never leaves a new authority unsent.
    bool ok = false;
    try {
        ok = (!authorityChanged ||
              m_user->Execute(QStringLiteral("Update t_gate_permit Set sync_flag = ") +
                              QString::number(orvel::sync_flag::ToRewrite) + QStringLiteral(" Where sync_flag = ") +
                              QString::number(orvel::sync_flag::InStep) + QStringLiteral(" And user_id = ") +
                              orvel::SqlText(r.userId))) &&
             m_user->UpdateData(false);
    } catch (const RdoError &) {
        ok = false;
    }
    if (!ok)
        *error = kUpdateFailed;
    return ok;
}

QString UserImport::Report(int records) const
{
    QString text = QString::number(records) + QStringLiteral("件のユーザをインポートしました。");
    if (m_opt.autoEmp)
        text += kCrLf + QString::number(m_registered) + QStringLiteral("件の部署を自動登録しました。");
    return text;
}

// ---- departments ------------------------------------------------------------------------------------

EmpImport::EmpImport(const EmpImportOptions &options)
    : m_opt(options), m_emp(std::make_unique<rdo_cntl>())
{
    m_emp->setDataSource(QStringLiteral("telmar_vb.m_emp"));
}

EmpImport::~EmpImport() = default;

QString EmpImport::Question() const
{
    return QStringLiteral("部署のインポートを開始します。インポートしますか？");
}

void EmpImport::StartPass(int)
{
    m_nextId = FirstIdNumber(m_opt.firstId);
    m_ids.Clear();
}

QString EmpImport::Take(const QStringList &f, int n)
{
    Record r;
    int i = 0;
    if (m_opt.autoId) {
        r.empId = GeneratedId(m_nextId++, orvel::kEmpIdWidth);
        r.generated = true;
    } else {
        r.empId = FieldAt(f, i++);
    }
    r.name = FieldAt(f, i++);
    if (m_opt.bikou)
        r.bikou = FieldAt(f, i++);
    m_rec = r;
    return SummaryHead(n) + SummaryLine(QStringLiteral("部署ID"), 2, r.empId) +
           SummaryLine(QStringLiteral("部署名"), 2, r.name) + SummaryLine(QStringLiteral("備考"), 2, r.bikou);
}

bool EmpImport::CheckRecord(int)
{
    CheckImportItems &c = m_check;
    Record &r = m_rec;
    const QString eid = QStringLiteral("部署ID");
    if (!c.Required(r.empId, eid) || !c.Digits(r.empId, eid) || !c.Pad(r.empId, eid, orvel::kEmpIdWidth) ||
        !c.MaxLength(r.empId, eid, orvel::kEmpIdWidth) || !c.NotNoDepartment(r.empId))
        return false;
    const QString name = QStringLiteral("部署名");
    if (!c.Required(r.name, name) || !c.MaxLength(r.name, name, 25) || !c.Storable(r.name, name))
        return false;
    const QString bikou = QStringLiteral("備考");
    if (m_opt.bikou && (!c.MaxLength(r.bikou, bikou, 25) || !c.Storable(r.bikou, bikou)))
        return false;
    if (const int i = m_ids.Find(r.empId))
        return c.DuplicateFailure(i, eid);
    m_ids.Add(r.empId, c.RecordNumber());
    return m_opt.overwrite || c.IdFree(r.empId, eid, CheckImportItems::Table::Emp);
}

bool EmpImport::WriteRecord(ImportHost &, QString *error)
{
    const Record &r = m_rec;
    const QString today = TodayText();
    m_emp->SetData(QStringLiteral("emp_id"), r.empId, true, true);
    m_emp->SetData(QStringLiteral("emp_name"), r.name);
    if (m_opt.bikou)
        m_emp->SetData(QStringLiteral("emp_bikou"), r.bikou);
    m_emp->SetData(QStringLiteral("refix_dt"), today);
    m_emp->SetData(QStringLiteral("regist_dt"), today);
    if (TryInsert(*m_emp))
        return true;
    if (!m_opt.overwrite) {
        *error = kInsertFailed;
        return false;
    }
    const auto row = m_reader.ReadBy(QStringLiteral("telmar_v1.m_emp"), QStringLiteral("emp_id"), r.empId,
                                     {QStringLiteral("emp_name"), QStringLiteral("emp_bikou")});
    if (!row) {
        *error = kInsertFailed;
        return false;
    }
    m_emp->SetData(QStringLiteral("emp_id"), r.empId, true, true);
    bool changed = false;
    if (row->at(0) != r.name) {
        m_emp->SetData(QStringLiteral("emp_name"), r.name);
        changed = true;
    }
    if (m_opt.bikou && row->at(1) != r.bikou) {
        m_emp->SetData(QStringLiteral("emp_bikou"), r.bikou);
        changed = true;
    }
    if (!changed)
        return true;
    m_emp->SetData(QStringLiteral("refix_dt"), today);
    bool ok = false;
    try {
        ok = m_emp->UpdateData(false);
    } catch (const RdoError &) {
    }
    if (!ok)
        *error = kUpdateFailed;
    return ok;
}

QString EmpImport::Report(int records) const
{
    return QString::number(records) + QStringLiteral("件の部署をインポートしました。");
}

// ---- gates ----------------------------------------------------------------------------------------------

GateImport::GateImport(const GateImportOptions &options)
    : m_opt(options), m_gate(std::make_unique<rdo_cntl>())
{
    m_gate->setDataSource(QStringLiteral("telmar_vb.m_gate"));
}

GateImport::~GateImport() = default;

QString GateImport::Question() const
{
    return QStringLiteral("ゲートのインポートを開始します。インポートしますか？");
}

void GateImport::StartPass(int)
{
    m_nextId = FirstIdNumber(m_opt.firstId);
    m_ids.Clear();
    m_ips.Clear();
}

QString GateImport::Take(const QStringList &f, int n)
{
    Record r;
    int i = 0;
    if (m_opt.autoId) {
        r.gateId = GeneratedId(m_nextId++, orvel::kGateIdWidth);
        r.generated = true;
    } else {
        r.gateId = FieldAt(f, i++);
    }
    r.zone = FieldAt(f, i++);
    r.name = FieldAt(f, i++);
    r.ip = FieldAt(f, i++);
    r.port = m_opt.port ? FieldAt(f, i++) : QString::fromLatin1(kDefaultPort);
    if (m_opt.bikou)
        r.bikou = FieldAt(f, i++);
    r.direction = m_opt.direction ? FieldAt(f, i++) : QString::number(orvel::gate_mode::Entry);
    m_rec = r;
    return SummaryHead(n) +
           SummaryLine(QStringLiteral("ゲートID"), 2, r.gateId + (r.generated ? kAutoIdMark : QString())) +
           SummaryLine(QStringLiteral("ゾーン"), 2, r.zone) + SummaryLine(QStringLiteral("ゲート名"), 2, r.name) +
           SummaryLine(QStringLiteral("IPアドレス"), 1, r.ip) +
           SummaryLine(QStringLiteral("ポート番号"), 1, r.port + (m_opt.port ? QString() : kDefaultMark)) +
           SummaryLine(QStringLiteral("備考"), 2, r.bikou) +
           SummaryLine(QStringLiteral("入退室区分"), 1, r.direction + (m_opt.direction ? QString() : kDefaultMark));
}

bool GateImport::CheckRecord(int)
{
    CheckImportItems &c = m_check;
    Record &r = m_rec;
    const QString gid = QStringLiteral("ゲートID");
    if (!c.Required(r.gateId, gid) || !c.Digits(r.gateId, gid) || !c.Pad(r.gateId, gid, orvel::kGateIdWidth) ||
        !c.MaxLength(r.gateId, gid, orvel::kGateIdWidth))
        return false;
    const QString zone = QStringLiteral("ゾーン");
    if (!c.Required(r.zone, zone) || !c.MaxLength(r.zone, zone, 25) || !c.Storable(r.zone, zone))
        return false;
    const QString name = QStringLiteral("ゲート名");
    if (!c.Required(r.name, name) || !c.MaxLength(r.name, name, 25) || !c.Storable(r.name, name))
        return false;
    const QString ip = QStringLiteral("IPアドレス");
    if (!c.Required(r.ip, ip) || !c.IpAddress(r.ip, ip))
        return false;
    const QString port = QStringLiteral("ポート番号");
    if (!c.Required(r.port, port) || !c.Digits(r.port, port) || !c.Port(r.port, port))
        return false;
    const QString bikou = QStringLiteral("備考");
    if (m_opt.bikou && (!c.MaxLength(r.bikou, bikou, 25) || !c.Storable(r.bikou, bikou)))
        return false;
    const QString dir = QStringLiteral("入退室区分");
    if (m_opt.direction && (!c.Required(r.direction, dir) || !c.OneOrTwo(r.direction, dir)))
        return false;

    // In-file duplicates, earlier records in turn: the gate ID before the address of one record.
    const int sameId = m_ids.Find(r.gateId);
    const int sameIp = m_ips.Find(r.ip);
    if (sameId && (!sameIp || sameId <= sameIp))
        return c.DuplicateFailure(sameId, gid);
    if (sameIp)
        return c.DuplicateFailure(sameIp, ip);
    m_ids.Add(r.gateId, c.RecordNumber());
    m_ips.Add(r.ip, c.RecordNumber());

    return c.IdFree(r.gateId, gid, CheckImportItems::Table::Gate) && c.IpFree(r.ip, ip);
}

bool GateImport::WriteRecord(ImportHost &, QString *error)
{
    const Record &r = m_rec;
    const QString today = TodayText();
    // Without its lock_gate row the log collector never visits the gate.
    orvel::AddGateLockRow(r.gateId, today);

    m_gate->SetData(QStringLiteral("gate_id"), r.gateId, true, true);
    m_gate->SetData(QStringLiteral("gate_name"), r.name);
    m_gate->SetData(QStringLiteral("zone_name"), r.zone);
    m_gate->SetData(QStringLiteral("ip_addr"), r.ip);
    m_gate->SetData(QStringLiteral("port_no"), r.port);
    m_gate->SetData(QStringLiteral("gate_bikou"), r.bikou);
    m_gate->SetData(QStringLiteral("gate_mode"), r.direction);
    m_gate->SetData(QStringLiteral("regist_dt"), today);
    m_gate->SetData(QStringLiteral("refix_dt"), today);
    if (TryInsert(*m_gate))
        return true;
    *error = kInsertFailed;
    return false;
}

QString GateImport::Report(int records) const
{
    return QString::number(records) + QStringLiteral("件のゲートをインポートしました。");
}

} // namespace impexp
