#include "CheckImportItems.h"

#include "OrvelDefs.h"
#include "RdoControl.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <vector>

namespace impexp {
namespace {

const QString kStop = QStringLiteral("インポートを中止します。");

// A text control that only holds what LoadBind puts into it.
class Holder : public RdoTextControl
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &t) override { m_text = t; }
    QString m_text;
};

bool AllDigits(const QString &value)
{
    for (const QChar c : value)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// A decimal text without its leading zeros ("0" for zeros only).
QString PlainNumber(const QString &digits)
{
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits.at(i) == u'0')
        ++i;
    return digits.mid(i);
}

// Whether a text of digits is at most max (any number of leading zeros allowed).
bool AtMost(const QString &digits, int max)
{
    const QString plain = PlainNumber(digits);
    return plain.size() <= 9 && plain.toInt() <= max;
}

} // namespace

// ---- row reads ------------------------------------------------------------------------------------

std::optional<QStringList> RowReader::Read(const QString &table, const QString &where, const QStringList &columns)
{
    std::vector<Holder> holders(columns.size());
    m_db.setDataSource(table);
    m_db.setWhere(where);
    m_db.setOrder(QString());
    m_db.setLimit(QString());
    for (int i = 0; i < columns.size(); ++i)
        m_db.SetBind(columns[i], &holders[i], false, i == 0);
    bool found = false;
    try {
        found = m_db.LoadBind(false);
    } catch (...) {
        m_db.SetBind(columns[0], nullptr, false, true); // no pointer to the holders outlives them
        throw;
    }
    m_db.SetBind(columns[0], nullptr, false, true);
    if (!found)
        return std::nullopt;
    QStringList values;
    for (const Holder &h : holders)
        values << h.m_text;
    return values;
}

std::optional<QStringList> RowReader::ReadBy(const QString &table, const QString &column, const QString &value,
                                             const QStringList &columns)
{
    return Read(table, column + QStringLiteral(" = ") + orvel::SqlText(value), columns);
}

// ---- checks -----------------------------------------------------------------------------------------

CheckImportItems::CheckImportItems(rdo_cntl &lookup)
    : m_reader(lookup)
{
}

void CheckImportItems::SetRecord(int n, const QString &summary)
{
    m_n = n;
    m_summary = summary;
    m_error.clear();
}

bool CheckImportItems::FailPlain(const QString &text)
{
    m_error = m_summary + kCrLf + QStringLiteral("インポートファイルの ") + QString::number(m_n) +
              QStringLiteral("件目にエラーがありました。") + kCrLf + text;
    return false;
}

bool CheckImportItems::Fail(const QString &item, const QString &rule)
{
    return FailPlain(item + rule);
}

bool CheckImportItems::Required(const QString &value, const QString &item)
{
    return !value.isEmpty() || Fail(item, QStringLiteral("が未入力です。") + kStop);
}

bool CheckImportItems::Digits(const QString &value, const QString &item)
{
    return AllDigits(value) || Fail(item, QStringLiteral("が数字ではありません。") + kStop);
}

bool CheckImportItems::MaxLength(const QString &value, const QString &item, int width)
{
    if (value.size() <= width)
        return true;
    return Fail(item, QStringLiteral("の長さが既定（") + QString::number(width) + QStringLiteral("文字）を超えています。") +
                          kStop);
}

bool CheckImportItems::Pad(QString &value, const QString &item, int width)
{
    if (!MaxLength(value, item, width))
        return false;
    value = orvel::PadId(value, width);
    return true;
}

bool CheckImportItems::IsSingleByteChar(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F);
}

bool CheckImportItems::SingleByte(const QString &value, const QString &item)
{
    for (const QChar c : value)
        if (!IsSingleByteChar(c))
            return Fail(item, QStringLiteral("に全角文字が含まれています。") + kStop);
    return true;
}

bool CheckImportItems::Storable(const QString &value, const QString &item)
{
    for (const QChar c : value)
        if (c == QChar::ReplacementCharacter) // bytes the file's encoding could not read
            return Fail(item, QStringLiteral("に使用できない文字が含まれています。") + kStop);
    if (!orvel::StorableText(value))
        return Fail(item, QStringLiteral("に使用できない文字が含まれています。") + kStop);
    return true;
}

bool CheckImportItems::OneOrTwo(const QString &value, const QString &item)
{
    if (value == QLatin1String("1") || value == QLatin1String("2"))
        return true;
    return Fail(item, QStringLiteral("に1, 2以外の値が入力されています。") + kStop);
}

bool CheckImportItems::NotNoDepartment(const QString &empId)
{
    if (empId != QLatin1String(orvel::kNoEmpId))
        return true;
    return FailPlain(QStringLiteral("部署ID=00000（無所属）はインポートできません。") + kStop);
}

bool CheckImportItems::IpAddress(QString &value, const QString &item)
{
    QStringList parts = value.split(u'.');
    if (parts.size() != 4)
        return Fail(item, QStringLiteral("の値が不正です。") + kStop);
    for (int k = 0; k < 4; ++k) {
        const QString partItem = QStringLiteral("IPアドレスの") + QString::number(k + 1) + QStringLiteral("番目");
        if (!Required(parts[k], partItem) || !Digits(parts[k], partItem))
            return false;
        if (!AtMost(parts[k], 255))
            return Fail(partItem, QStringLiteral("の値が0～255の範囲を超えています。") + kStop);
        parts[k] = PlainNumber(parts[k]);
    }
    value = parts.join(u'.');
    return true;
}

bool CheckImportItems::Port(QString &value, const QString &item)
{
    if (!AllDigits(value) || value.isEmpty() || !AtMost(value, 49151))
        return Fail(item, QStringLiteral("が0～49151の範囲を超えています。") + kStop);
    value = PlainNumber(value);
    return true;
}

bool CheckImportItems::IdFree(const QString &id, const QString &item, Table table)
{
    static const char *const tables[] = {"telmar_v1.m_user", "telmar_v1.m_emp", "telmar_v1.m_gate"};
    static const char *const keys[] = {"user_id", "emp_id", "gate_id"};
    const int t = int(table);
    const QString key = QString::fromLatin1(keys[t]);
    if (!m_reader.ReadBy(QString::fromLatin1(tables[t]), key, id, {key}))
        return true;
    return Fail(item, QStringLiteral("が既に使用されています。") + kStop);
}

bool CheckImportItems::IpFree(const QString &ipAddr, const QString &item)
{
    if (!m_reader.ReadBy(QStringLiteral("telmar_v1.m_gate"), QStringLiteral("ip_addr"), ipAddr,
                         {QStringLiteral("gate_id")}))
        return true;
    return Fail(item, QStringLiteral("が既に使用されています。") + kStop);
}

bool CheckImportItems::EmpPairForRegistration(const QString &empId, const QString &empName,
                                              const PlannedEmps *planned)
{
    const QString table = QStringLiteral("telmar_v1.m_emp");
    std::optional<QString> nameOfId, idOfName;
    if (auto row = m_reader.ReadBy(table, QStringLiteral("emp_id"), empId, {QStringLiteral("emp_name")}))
        nameOfId = row->at(0);
    else if (planned && planned->nameOfId.contains(empId))
        nameOfId = planned->nameOfId.value(empId);
    if (auto row = m_reader.ReadBy(table, QStringLiteral("emp_name"), empName, {QStringLiteral("emp_id")}))
        idOfName = row->at(0);
    else if (planned && planned->idOfName.contains(empName))
        idOfName = planned->idOfName.value(empName);
    if (!nameOfId && !idOfName)
        return true;
    if (nameOfId.value_or(QString()) == empName && idOfName.value_or(QString()) == empId)
        return true;
    return FailPlain(QStringLiteral("部署IDと部署名の組み合わせが登録済データと異なります。") + kStop);
}

bool CheckImportItems::EmpPairRegistered(QString &empId, bool hasId, const QString &empName, bool hasName)
{
    const QString table = QStringLiteral("telmar_v1.m_emp");
    std::optional<QStringList> byId, byName;
    if (hasId)
        byId = m_reader.ReadBy(table, QStringLiteral("emp_id"), empId, {QStringLiteral("emp_name")});
    if (hasName)
        byName = m_reader.ReadBy(table, QStringLiteral("emp_name"), empName, {QStringLiteral("emp_id")});
    bool ok = false;
    if (hasId && !hasName) {
        ok = byId.has_value();
    } else if (hasName && !hasId) {
        ok = byName.has_value();
        if (ok)
            empId = byName->at(0);
    } else if (hasId && hasName) {
        ok = byId && byName && byId->at(0) == empName && byName->at(0) == empId;
    }
    if (ok)
        return true;
    return FailPlain(QStringLiteral("部署が未登録か、または部署ID・部署名の組み合わせが不正です。") + kStop);
}

bool CheckImportItems::DuplicateFailure(int earlier, const QString &what)
{
    m_error = m_summary + kCrLf + QStringLiteral("インポートファイル内の ") + QString::number(earlier) +
              QStringLiteral("件目と ") + QString::number(m_n) + QStringLiteral("件目の") + what +
              QStringLiteral("が重複しています。") + kCrLf + kStop;
    return false;
}

bool CheckImportItems::EmpNameConflict(int earlier)
{
    m_error = m_summary + kCrLf + QStringLiteral("インポートファイル内の ") + QString::number(earlier) +
              QStringLiteral("件目と ") + QString::number(m_n) + QStringLiteral("件目の部署に、") +
              QStringLiteral("同一IDで異なる部署名が設定されています。") + kCrLf + kStop;
    return false;
}

} // namespace impexp
