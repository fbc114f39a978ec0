#pragma once

// rdo_cntl: the console's database access component. A small SQL builder around one ODBC
// connection shared by every instance in the process: set a source and optional clauses, fill
// the field list (or the bind list), call one operation. See dbaccess/README.md.
//
// The class is written in one file per concern: RdoConnection.cpp (connection, transactions,
// compaction), RdoSql.cpp (statement building), rdo_cntl.cpp (properties, field list, value
// operations), RdoBinding.cpp, RdoLists.cpp (grids and lists) and RdoCsv.cpp.

#include "RdoControl.h"
#include "tamrin_rdo_export.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <stdexcept>

class QSqlQuery;

// A database or list error raised to the caller, carrying the driver's diagnostic text.
class TAMRIN_RDO_EXPORT RdoError : public std::runtime_error
{
public:
    explicit RdoError(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

class TAMRIN_RDO_EXPORT rdo_cntl
{
public:
    static constexpr int kListSize = 51; // entries 0-50 of the field and bind lists

    rdo_cntl();
    ~rdo_cntl();
    rdo_cntl(const rdo_cntl &) = delete;
    rdo_cntl &operator=(const rdo_cntl &) = delete;

    // ---- properties -----------------------------------------------------------------------
    QString DataSource() const { return m_dataSource; }
    void setDataSource(const QString &name); // MDB mode drops everything up to the first "."
    QString DataField() const { return m_dataField; }
    void setDataField(const QString &v) { m_dataField = v; }
    QString CodeField() const { return m_codeField; }
    void setCodeField(const QString &v) { m_codeField = v; }
    QString Where() const { return m_where; }
    void setWhere(const QString &v) { m_where = v; }
    QString WhereS() const { return m_whereS; }
    void setWhereS(const QString &condition); // appends " AND " + condition to Where
    QString Order() const { return m_order; }
    void setOrder(const QString &v) { m_order = v; }
    QString Group() const { return m_group; }
    void setGroup(const QString &v) { m_group = v; }
    QString Limit() const { return m_limit; }
    void setLimit(const QString &v) { m_limit = v; }
    // LoadGrid reads the first field only, this many rows to a fetched value, which the database
    // joins (orvel::PackedRowsSelect); the field must give text. 1, the default: row by row. For
    // long results, since every fetch through the driver costs more than the database's work on
    // the row.
    qint32 PackedRows() const { return m_packedRows; }
    void setPackedRows(qint32 rowsPerValue) { m_packedRows = rowsPerValue; }
    QString curCode() const { return m_curCode; }
    void setcurCode(const QString &v) { m_curCode = v; }
    QString curData() const { return m_curData; }
    void setcurData(const QString &v) { m_curData = v; }
    QString FormName() const { return m_formName; }
    void setFormName(const QString &v) { m_formName = v; }
    RdoControl *Control() const { return m_control; }
    void setControl(RdoControl *c) { m_control = c; }
    QVariant errMsg() const { return m_errMsg; }

    // The shared login values (process-wide).
    static QString DBName();
    static void setDBName(const QString &v);
    static QString UserID();
    static void setUserID(const QString &v);
    static QString PassWd();
    static void setPassWd(const QString &v);

    // The result set of the last query this instance opened; operations free it before they
    // return, so it is empty between operations.
    QSqlQuery *RecSet() const { return m_recSet.get(); }

    // ---- connection -------------------------------------------------------------------------
    bool Init(const QString &dataSource, const QString &userId, const QString &passWd);
    bool InitMDB(const QString &dataSource, const QString &userId, const QString &passWd);
    bool Term();

    // ---- field list -----------------------------------------------------------------------
    // Both add one entry to the field list and return an empty value.
    QVariant SetField(const QString &dataField, const QString &dataFormat = QString(), bool isKey = false,
                      bool isNew = false, quint32 foreColor = 0, const QString &filedDisp = QString(),
                      const QString &kakoiMoji = QStringLiteral("'"));
    QVariant SetData(const QString &dataField, const QVariant &data, bool isKey = false, bool isNew = false,
                     const QString &kakoiMoji = QStringLiteral("'"));
    int FieldCount() const { return m_fields.size(); }

    // ---- data operations ----------------------------------------------------------------------
    bool InsertData(bool bMousePointerChange = true);
    bool InsertDataEx(bool bMousePointerChange = true);
    bool UpdateData(bool bMousePointerChange = true);
    bool UpdateDataEx(bool bMousePointerChange = true);
    bool DeleteData();
    QVariant GetData(const QString &dataField = QString());
    // Fills dataS[0..n-1] with the DataField text of each row; a row beyond dataS.size() raises.
    qint16 GetDataS(QVector<QVariant> &dataS, const QString &dataField = QString());
    QVariant ExecFunction(const QString &strSQL);
    bool Execute(const QString &strSQL);
    qint16 TableInfo_GetFieldCount(const QString &tableName);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    QString GetDBPath();
    QVariant CompactDB();

    // ---- binding, grids, lists, CSV ---------------------------------------------------------
    bool SetBind(const QString &dataField, RdoControl *cntrl, bool isKey = false, bool isNew = false,
                 const QString &dataFormat = QString());
    bool LoadBind(bool bMousePointerChange = true);
    bool InsertBind(bool bMousePointerChange = true);
    bool UpdateBind(bool bMousePointerChange = true);
    bool UpdateBindEx(bool bMousePointerChange = true);
    qint32 LoadGrid(RdoGridControl *cntl, qint32 startRow = -1);
    // The rows LoadGrid would show, without a control: each row holds the field list's values in
    // its order, formatted as LoadGrid writes them ("VSF_CHECK" entries give "1" or "0"). A row
    // the database fails to give is raised, never returned as fewer rows.
    QVector<QStringList> LoadRows();
    bool LoadCombo(RdoControl *cntl = nullptr, qint16 curCode = -1);
    bool LoadComboSimple(RdoControl *cntl = nullptr, qint16 curCode = -1);
    qint32 PrintCSV(const QString &strFileName, const QString &strTitle = QString());

    // ---- process-wide hooks ---------------------------------------------------------------------
    // The busy pointer around operations; the console installs one that sets the wait cursor.
    using PointerHook = void (*)(bool busy);
    static void setPointerHook(PointerHook hook);
    // Messages the component shows itself ("ComboBOX又はListBoxに対応しております").
    using MessageHook = void (*)(const QString &text);
    static void setMessageHook(MessageHook hook);

    // Whether the shared connection is open, and in MDB mode.
    static bool IsConnected();
    static bool IsMdbMode();

private:
    struct Field
    {
        QString name;
        QVariant data;
        bool isKey = false;
        QString format;
        quint32 foreColor = 0;
        QString caption;
        QString kakoiMoji = QStringLiteral("'");
    };
    struct Bind
    {
        QString name;
        RdoControl *control = nullptr;
        bool isKey = false;
        QString format;
    };

    bool EnsureConnection();
    // The query of the source and clauses: "Select * from ..." or "Select FIELD from ...".
    QString SelectText(bool withLimit = true, const QString &field = QString()) const;
    // The names of the field list, each once, joined by commas (empty when no entry has a name).
    QString FieldNames() const;
    // LoadGrid's query: the named fields only when the database accepts them, else every column (a
    // name the source lacks is then reported by name).
    QSqlQuery &OpenGridQuery(bool withLimit);
    QSqlQuery &Open(const QString &sql);
    void CloseRecSet();
    void Exec(const QString &sql);
    void AddField(Field field, bool isNew);
    bool InsertFromFields(bool ex, bool pointer);
    // Inserts the row unless one matching where exists (then "already registered", false).
    bool InsertUnlessExists(const QString &firstName, const QString &where, const QStringList &names,
                            const QStringList &values);
    bool UpdateFromFields(bool ex, bool pointer);
    QString BindValue(int index) const;
    void BindNamesAndValues(QStringList *names, QStringList *values) const;
    bool UpdateFromBinds(bool ex, bool pointer);
    QString KeyConditionsFromBinds() const;
    bool LoadList(RdoControl *cntl, qint16 curCode, const QString &sql);

    QString m_dataSource;
    QString m_dataField;
    QString m_codeField;
    QString m_where;
    QString m_whereS;
    QString m_order;
    QString m_group;
    QString m_limit;
    qint32 m_packedRows = 1;
    QString m_curCode;
    QString m_curData;
    QString m_formName;
    RdoControl *m_control = nullptr;
    QVariant m_errMsg;
    QVector<Field> m_fields;
    QVector<Bind> m_binds;
    std::unique_ptr<QSqlQuery> m_recSet;
};
