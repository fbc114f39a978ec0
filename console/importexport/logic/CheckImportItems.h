#pragma once

// The record checks every import shares. Each check takes a value and the item's display name;
// on failure it keeps the whole error message (the record's summary, the record number, the
// item and the rule) and returns false, and the caller stops the import with that message.
// Checks that normalise a value (padding, addresses, ports) rewrite it on success.
//
// The database checks look rows up on the caller's rdo_cntl instance.

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class rdo_cntl;

namespace impexp {

inline const QString kCrLf = QStringLiteral("\r\n");

// Reads one row at a time on an rdo_cntl instance through its bind list.
class RowReader
{
public:
    explicit RowReader(rdo_cntl &db)
        : m_db(db)
    {
    }
    // The columns of the first row of table where the condition holds; nothing when no row does.
    std::optional<QStringList> Read(const QString &table, const QString &where, const QStringList &columns);
    // The same, for the row whose column equals value.
    std::optional<QStringList> ReadBy(const QString &table, const QString &column, const QString &value,
                                      const QStringList &columns);

private:
    rdo_cntl &m_db;
};

// Departments that earlier records of the file will register (automatic registration), so that
// the check pass finds the conflicts the write pass would meet.
struct PlannedEmps
{
    QHash<QString, QString> nameOfId;
    QHash<QString, QString> idOfName;
    void Add(const QString &id, const QString &name)
    {
        nameOfId.insert(id, name);
        if (!idOfName.contains(name))
            idOfName.insert(name, id);
    }
    void Clear()
    {
        nameOfId.clear();
        idOfName.clear();
    }
};

class CheckImportItems
{
public:
    enum class Table { User, Emp, Gate };

    explicit CheckImportItems(rdo_cntl &lookup);

    // The record that the next checks report on.
    void SetRecord(int n, const QString &summary);
    // The message of the last failed check.
    const QString &Error() const { return m_error; }
    int RecordNumber() const { return m_n; }

    bool Required(const QString &value, const QString &item);
    bool Digits(const QString &value, const QString &item);
    bool Pad(QString &value, const QString &item, int width);
    bool MaxLength(const QString &value, const QString &item, int width);
    bool SingleByte(const QString &value, const QString &item);
    // A value the database cannot store intact (orvel::StorableText: on SQLite, a character
    // beyond the basic plane), or one holding U+FFFD for bytes the file's encoding could not read,
    // is refused.
    bool Storable(const QString &value, const QString &item);
    bool OneOrTwo(const QString &value, const QString &item);
    bool NotNoDepartment(const QString &empId);
    // Four parts of 0-255 separated by "."; rewritten without leading zeros.
    bool IpAddress(QString &value, const QString &item);
    // 0-49151; rewritten as a plain number.
    bool Port(QString &value, const QString &item);
    bool IdFree(const QString &id, const QString &item, Table table);
    bool IpFree(const QString &ipAddr, const QString &item);
    // With automatic registration: a pair of which neither side is registered passes, otherwise
    // the registered ID's name and the registered name's ID must be the record's own. planned
    // (may be null) stands in for departments that are not registered yet.
    bool EmpPairForRegistration(const QString &empId, const QString &empName, const PlannedEmps *planned);
    // Without automatic registration: the department given by its ID, its name or both must be
    // registered as given; an ID left out is filled from the registered name.
    bool EmpPairRegistered(QString &empId, bool hasId, const QString &empName, bool hasName);

    // The failure message of the in-file duplicate checks: what is e.g. "ユーザID".
    bool DuplicateFailure(int earlier, const QString &what);
    bool EmpNameConflict(int earlier);

    // A character that the Shift_JIS code page writes in one byte (ASCII, half-width katakana).
    static bool IsSingleByteChar(QChar c);

private:
    bool Fail(const QString &item, const QString &rule);
    bool FailPlain(const QString &text); // the rule text without an item name

    RowReader m_reader;
    int m_n = 0;
    QString m_summary;
    QString m_error;
};

// The first record of the file that carried each key, for the in-file duplicate checks.
class FirstRecords
{
public:
    void Clear() { m_first.clear(); }
    // The record number, or 0 when no earlier record had the key.
    int Find(const QString &key) const { return m_first.value(key, 0); }
    void Add(const QString &key, int n)
    {
        if (!m_first.contains(key))
            m_first.insert(key, n);
    }

private:
    QHash<QString, int> m_first;
};

} // namespace impexp
