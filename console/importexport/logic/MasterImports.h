#pragma once

// The three imports: users (m_user, optionally registering departments), departments (m_emp)
// and gates (m_gate). Their options are the column boxes of the import screens; the same
// options come from orvelctl's command line.

#include "ImportRun.h"

namespace impexp {

struct UserImportOptions
{
    bool autoId = false;                  // "自動ID": no ID column, IDs generated from firstId
    QString firstId = QStringLiteral("0000000001");
    bool emp = true;                      // "部署" (with at least one of the next two)
    bool empId = true;                    // "部署ID" column
    bool empName = true;                  // "部署名" column
    bool autoEmp = false;                 // register departments that are not registered
    bool bikou = true;                    // "備考" column
    bool gauthority = true;               // "ゲート権限" column
    bool overwrite = false;               // update users whose ID is registered
    int edition = 1;                      // placeholder gate user ID of new users
};

class UserImport : public ImportRun
{
public:
    explicit UserImport(const UserImportOptions &options);
    ~UserImport() override;

protected:
    QString Refusal() const override;
    QString Question() const override;
    void StartPass(int pass) override;
    QString Take(const QStringList &fields, int n) override;
    bool CheckRecord(int pass) override;
    bool WriteRecord(ImportHost &host, QString *error) override;
    QString Report(int records) const override;
    int RegisteredEmps() const override { return m_registered; }

private:
    bool HasEmpId() const { return m_opt.emp && m_opt.empId; }
    bool HasEmpName() const { return m_opt.emp && m_opt.empName; }
    bool Overwrite(const QString &today, QString *error);

    struct Record
    {
        QString userId;
        bool generated = false;
        QString name, yomi, empId, empName, bikou, gauthority;
    };

    UserImportOptions m_opt;
    std::unique_ptr<rdo_cntl> m_user;
    std::unique_ptr<rdo_cntl> m_emp;
    Record m_rec;
    quint64 m_nextId = 0;
    int m_registered = 0;
    FirstRecords m_ids;
    FirstRecords m_empIds;
    QHash<QString, QString> m_empNameOf; // department name of each department ID seen so far
    PlannedEmps m_planned;
};

struct EmpImportOptions
{
    bool autoId = false;
    QString firstId = QStringLiteral("00001");
    bool bikou = true;
    bool overwrite = false;
};

class EmpImport : public ImportRun
{
public:
    explicit EmpImport(const EmpImportOptions &options);
    ~EmpImport() override;

protected:
    QString Question() const override;
    void StartPass(int pass) override;
    QString Take(const QStringList &fields, int n) override;
    bool CheckRecord(int pass) override;
    bool WriteRecord(ImportHost &host, QString *error) override;
    QString Report(int records) const override;

private:
    struct Record
    {
        QString empId;
        bool generated = false;
        QString name, bikou;
    };
    EmpImportOptions m_opt;
    std::unique_ptr<rdo_cntl> m_emp;
    Record m_rec;
    quint64 m_nextId = 0;
    FirstRecords m_ids;
};

struct GateImportOptions
{
    bool autoId = false;
    QString firstId = QStringLiteral("00001");
    bool port = true;      // "ポート番号" column; otherwise 10001
    bool bikou = true;     // "備考" column; otherwise empty
    bool direction = true; // "入退室区分" column; otherwise 1
};

class GateImport : public ImportRun
{
public:
    explicit GateImport(const GateImportOptions &options);
    ~GateImport() override;

    static constexpr const char *kDefaultPort = "10001";

protected:
    QString Question() const override;
    void StartPass(int pass) override;
    QString Take(const QStringList &fields, int n) override;
    bool CheckRecord(int pass) override;
    bool WriteRecord(ImportHost &host, QString *error) override;
    QString Report(int records) const override;

private:
    struct Record
    {
        QString gateId;
        bool generated = false;
        QString zone, name, ip, port, bikou, direction;
    };
    GateImportOptions m_opt;
    std::unique_ptr<rdo_cntl> m_gate;
    Record m_rec;
    quint64 m_nextId = 0;
    FirstRecords m_ids;
    FirstRecords m_ips;
};

// The number an automatic ID starts from: the digits of the first-ID text (0 when none).
quint64 FirstIdNumber(const QString &text);
// An automatic ID field's text after editing: the number written with width digits.
QString FormatFirstId(const QString &text, int width);

} // namespace impexp
