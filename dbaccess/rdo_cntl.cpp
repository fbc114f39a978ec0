#include "rdo_cntl.h"

#include "ConnectionSetUp.h"
#include "Csv.h"
#include "Format.h"
#include "Sjis.h"
#include "SqlDialect.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString kConnectionName = QStringLiteral("Tamrin_rdo");

// Process-wide connection state shared by every instance.
struct SharedState
{
    bool mdbMode = false;
    QString dbName;
    QString userId;
    QString passWd;
    bool inTransaction = false;
};

SharedState &State()
{
    static SharedState s;
    return s;
}

rdo_cntl::PointerHook g_pointerHook = nullptr;
rdo_cntl::MessageHook g_messageHook = nullptr;

// Error numbers PrintCSV reports (negated): an existing file that cannot be opened for writing
// (held or protected), other file access errors, and a database error while writing.
constexpr qint32 kErrPermissionDenied = 70;
constexpr qint32 kErrFileAccess = 75;
constexpr qint32 kErrDatabase = 3146;

// Shows the busy pointer for the lifetime of the guard when asked to.
class PointerGuard
{
public:
    explicit PointerGuard(bool on)
        : m_on(on && g_pointerHook)
    {
        if (m_on)
            g_pointerHook(true);
    }
    ~PointerGuard()
    {
        if (m_on)
            g_pointerHook(false);
    }

private:
    bool m_on;
};

QString ErrorText(const QSqlError &e)
{
    QString text = e.databaseText();
    if (!e.driverText().isEmpty() && !text.contains(e.driverText()))
        text = e.driverText() + (text.isEmpty() ? QString() : QStringLiteral(": ") + text);
    return text.isEmpty() ? QStringLiteral("database error") : text;
}

QSqlDatabase SharedDb()
{
    return QSqlDatabase::database(kConnectionName, false);
}

bool OpenShared(const QString &dataSource, const QString &userId, const QString &passWd)
{
    if (QSqlDatabase::contains(kConnectionName)) {
        SharedDb().close();
        QSqlDatabase::removeDatabase(kConnectionName);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnectionName);
    db.setDatabaseName(dataSource);
    db.setUserName(userId);
    db.setPassword(passWd);
    if (!db.open())
        return false;
    // The back end decides how statements are translated (date literals, quoting of names).
    orvel::SetUpConnection(db);
    return true;
}

void CloseShared()
{
    if (!QSqlDatabase::contains(kConnectionName))
        return;
    SharedDb().close();
    QSqlDatabase::removeDatabase(kConnectionName);
    State().inTransaction = false;
}

int ColumnIndex(const QSqlQuery &q, const QString &name)
{
    const int i = q.record().indexOf(name);
    if (i < 0)
        throw RdoError(QStringLiteral("この項目はありません: %1").arg(name));
    return i;
}

bool IsTruthy(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok)
        return v != 0;
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// The two write statements, built the same way for the field list and the bind list.
QString InsertSql(const QString &source, const QStringList &names, const QStringList &values)
{
    return QStringLiteral("INSERT INTO ") + source + QStringLiteral(" ( ") + names.join(u',') +
           QStringLiteral(" ) VALUES ( ") + values.join(u',') + QStringLiteral(" )");
}

QString UpdateSql(const QString &source, const QStringList &names, const QStringList &values, const QString &where)
{
    QString sql = QStringLiteral("UPDATE ") + source + QStringLiteral(" SET ");
    for (qsizetype i = 0; i < names.size(); ++i)
        sql += (i ? QStringLiteral(",") : QString()) + names[i] + QStringLiteral(" = ") + values[i];
    return sql + QStringLiteral(" WHERE ") + where;
}

// Where, and the key conditions after it, for the Ex operations.
QString JoinWhere(const QString &where, const QString &keys)
{
    if (where.isEmpty())
        return keys;
    return keys.isEmpty() ? where : where + QStringLiteral(" AND ") + keys;
}

} // namespace

RdoError::RdoError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

rdo_cntl::rdo_cntl() = default;
rdo_cntl::~rdo_cntl() = default;

// ---- properties ------------------------------------------------------------------------------

void rdo_cntl::setDataSource(const QString &name)
{
    if (State().mdbMode) {
        const qsizetype dot = name.indexOf(u'.');
        m_dataSource = dot < 0 ? name : name.mid(dot + 1);
    } else {
        m_dataSource = name;
    }
}

void rdo_cntl::setWhereS(const QString &condition)
{
    m_whereS = condition;
    m_where = m_where.isEmpty() ? condition : m_where + QStringLiteral(" AND ") + condition;
}

QString rdo_cntl::DBName() { return State().dbName; }
void rdo_cntl::setDBName(const QString &v) { State().dbName = v; }
QString rdo_cntl::UserID() { return State().userId; }
void rdo_cntl::setUserID(const QString &v) { State().userId = v; }
QString rdo_cntl::PassWd() { return State().passWd; }
void rdo_cntl::setPassWd(const QString &v) { State().passWd = v; }
void rdo_cntl::setPointerHook(PointerHook hook) { g_pointerHook = hook; }
void rdo_cntl::setMessageHook(MessageHook hook) { g_messageHook = hook; }
bool rdo_cntl::IsMdbMode() { return State().mdbMode; }

bool rdo_cntl::IsConnected()
{
    return QSqlDatabase::contains(kConnectionName) && SharedDb().isOpen();
}

// ---- connection --------------------------------------------------------------------------------

namespace {
// Init and InitMDB differ only in the mode they leave the component in.
bool OpenWithMode(bool mdb, const QString &dataSource, const QString &userId, const QString &passWd)
{
    SharedState &s = State();
    s.dbName = dataSource;
    s.userId = userId;
    s.passWd = passWd;
    s.mdbMode = mdb;
    return OpenShared(dataSource, userId, passWd);
}
} // namespace

bool rdo_cntl::Init(const QString &dataSource, const QString &userId, const QString &passWd)
{
    return OpenWithMode(false, dataSource, userId, passWd);
}

bool rdo_cntl::InitMDB(const QString &dataSource, const QString &userId, const QString &passWd)
{
    return OpenWithMode(true, dataSource, userId, passWd);
}

bool rdo_cntl::Term()
{
    m_recSet.reset();
    CloseShared();
    return true;
}

bool rdo_cntl::EnsureConnection()
{
    if (IsConnected())
        return true;
    return Init(State().dbName, State().userId, State().passWd);
}

// ---- query plumbing -------------------------------------------------------------------------------

QString rdo_cntl::SelectText(bool withLimit) const
{
    QString sql = QStringLiteral("Select * from ") + m_dataSource;
    if (!m_where.isEmpty())
        sql += QStringLiteral(" Where ") + m_where;
    if (!m_order.isEmpty())
        sql += QStringLiteral(" Order by ") + m_order;
    if (withLimit && !m_limit.isEmpty())
        sql += QStringLiteral(" Limit ") + m_limit;
    return sql;
}

QSqlQuery &rdo_cntl::Open(const QString &sql)
{
    m_recSet = std::make_unique<QSqlQuery>(SharedDb());
    m_recSet->setForwardOnly(true);
    if (!m_recSet->exec(orvel::TranslateSql(sql)))
        throw RdoError(ErrorText(m_recSet->lastError()));
    return *m_recSet;
}

void rdo_cntl::CloseRecSet()
{
    // Closing the cursor is not enough: the SQLite driver keeps the statement, and with it the
    // read transaction, until the statement is freed. A long-lived instance (a screen's binding)
    // would otherwise go on reading an old snapshot and never see another process's writes.
    m_recSet.reset();
}

void rdo_cntl::Exec(const QString &sql)
{
    QSqlQuery q(SharedDb());
    if (!q.exec(orvel::TranslateSql(sql)))
        throw RdoError(ErrorText(q.lastError()));
}

// ---- field list -------------------------------------------------------------------------------------

void rdo_cntl::AddField(Field field, bool isNew)
{
    if (isNew)
        m_fields.clear();
    if (m_fields.size() >= kListSize)
        throw RdoError(QStringLiteral("インデックスが有効範囲にありません。"));
    m_fields.push_back(std::move(field));
}

QVariant rdo_cntl::SetField(const QString &dataField, const QString &dataFormat, bool isKey, bool isNew,
                            quint32 foreColor, const QString &filedDisp, const QString &kakoiMoji)
{
    Field f;
    f.name = dataField;
    f.isKey = isKey;
    f.format = dataFormat;
    f.foreColor = foreColor;
    f.caption = filedDisp;
    f.kakoiMoji = kakoiMoji;
    AddField(std::move(f), isNew);
    return QVariant();
}

QVariant rdo_cntl::SetData(const QString &dataField, const QVariant &data, bool isKey, bool isNew,
                           const QString &kakoiMoji)
{
    Field f;
    f.name = dataField;
    f.data = data;
    f.isKey = isKey;
    f.kakoiMoji = kakoiMoji;
    AddField(std::move(f), isNew);
    return QVariant();
}

// ---- data operations ----------------------------------------------------------------------------------

bool rdo_cntl::InsertFromFields(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_fields.isEmpty())
        throw RdoError(QStringLiteral("項目が設定されていません。"));

    auto enclosing = [&](int i) { return ex && i > 0 ? m_fields[i].kakoiMoji : QStringLiteral("'"); };
    auto literal = [&](int i) {
        const QString enc = enclosing(i);
        return enc + orvel::SqlEscape(orvel::ValueText(m_fields[i].data), enc) + enc;
    };

    QString check = QStringLiteral("SELECT ") + m_fields[0].name + QStringLiteral(" FROM ") + m_dataSource +
                    QStringLiteral(" WHERE ");
    QString sep;
    if (ex && !m_where.isEmpty()) {
        check += m_where;
        sep = QStringLiteral(" AND ");
    }
    for (int i = 0; i < m_fields.size(); ++i) {
        if (!m_fields[i].isKey)
            continue;
        check += sep + m_fields[i].name + QStringLiteral(" = ") + literal(i);
        sep = QStringLiteral(" AND ");
    }
    QSqlQuery &q = Open(check);
    const bool exists = q.next();
    CloseRecSet();
    if (exists) {
        m_errMsg = QStringLiteral("既に登録されています。");
        return false;
    }

    QStringList names, values;
    for (int i = 0; i < m_fields.size(); ++i) {
        names << m_fields[i].name;
        values << literal(i);
    }
    Exec(InsertSql(m_dataSource, names, values));
    return true;
}

bool rdo_cntl::UpdateFromFields(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_fields.isEmpty())
        throw RdoError(QStringLiteral("項目が設定されていません。"));
    QStringList names, values, keys;
    for (const Field &f : m_fields) {
        names << f.name;
        values << orvel::SqlText(orvel::ValueText(f.data));
        if (f.isKey)
            keys << f.name + QStringLiteral(" = ") + orvel::SqlText(orvel::ValueText(f.data));
    }
    const QString keyText = keys.join(QStringLiteral(" AND "));
    Exec(UpdateSql(m_dataSource, names, values, ex ? JoinWhere(m_where, keyText) : keyText));
    return true;
}

bool rdo_cntl::InsertData(bool p) { return InsertFromFields(false, p); }
bool rdo_cntl::InsertDataEx(bool p) { return InsertFromFields(true, p); }
bool rdo_cntl::UpdateData(bool p) { return UpdateFromFields(false, p); }
bool rdo_cntl::UpdateDataEx(bool p) { return UpdateFromFields(true, p); }

bool rdo_cntl::DeleteData()
{
    try {
        if (!EnsureConnection())
            return false;
        QString sql = QStringLiteral("DELETE FROM ") + m_dataSource;
        if (!m_where.isEmpty())
            sql += QStringLiteral(" WHERE ") + m_where;
        Exec(sql);
        return true;
    } catch (const RdoError &) {
        return false;
    }
}

QVariant rdo_cntl::GetData(const QString &dataField)
{
    if (!dataField.isEmpty())
        m_dataField = dataField;
    if (!EnsureConnection())
        return QString();
    QString sql = SelectText();
    if (!m_dataField.isEmpty())
        sql.replace(0, 8, QStringLiteral("Select ") + m_dataField);
    QSqlQuery &q = Open(sql);
    QString value;
    if (q.next())
        value = orvel::ValueText(q.value(0));
    CloseRecSet();
    return value;
}

qint16 rdo_cntl::GetDataS(QVector<QVariant> &dataS, const QString &dataField)
{
    if (!dataField.isEmpty())
        m_dataField = dataField;
    if (!EnsureConnection())
        return 0;
    QString sql = SelectText();
    if (!m_dataField.isEmpty())
        sql.replace(0, 8, QStringLiteral("Select ") + m_dataField);
    QSqlQuery &q = Open(sql);
    qint16 n = 0;
    while (q.next()) {
        if (n >= dataS.size()) {
            CloseRecSet();
            throw RdoError(QStringLiteral("インデックスが有効範囲にありません。"));
        }
        dataS[n++] = orvel::ValueText(q.value(0));
    }
    CloseRecSet();
    return n;
}

QVariant rdo_cntl::ExecFunction(const QString &strSQL)
{
    if (!EnsureConnection())
        return QString();
    QSqlQuery &q = Open(strSQL);
    QString value;
    if (q.next())
        value = orvel::ValueText(q.value(0));
    CloseRecSet();
    return value;
}

bool rdo_cntl::Execute(const QString &strSQL)
{
    if (!EnsureConnection())
        return false;
    Exec(strSQL);
    return true;
}

qint16 rdo_cntl::TableInfo_GetFieldCount(const QString &tableName)
{
    if (!EnsureConnection())
        return 0;
    QSqlQuery &q = Open(QStringLiteral("SELECT * FROM ") + tableName);
    const int n = q.record().count();
    CloseRecSet();
    return static_cast<qint16>(n);
}

void rdo_cntl::BeginTrans()
{
    if (!IsConnected())
        throw RdoError(QStringLiteral("データベースに接続されていません。"));
    // SQLite: take the write lock at once, so a unit of work never fails half-way on another
    // process's commit.
    Exec(orvel::CurrentBackend() == orvel::DbBackend::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                            : QStringLiteral("BEGIN"));
    State().inTransaction = true;
}

namespace {
// A failed COMMIT or ROLLBACK can leave the driver unsure of its transaction state: start afresh.
void EndTransaction(const QString &statement)
{
    QSqlQuery q(SharedDb());
    const bool ok = q.exec(statement);
    State().inTransaction = false;
    if (!ok) {
        const QString err = ErrorText(q.lastError());
        q = QSqlQuery();
        OpenShared(State().dbName, State().userId, State().passWd);
        throw RdoError(err);
    }
}
} // namespace

void rdo_cntl::CommitTrans()
{
    if (!IsConnected())
        throw RdoError(QStringLiteral("データベースに接続されていません。"));
    EndTransaction(QStringLiteral("COMMIT"));
}

void rdo_cntl::RollbackTrans()
{
    if (!IsConnected())
        throw RdoError(QStringLiteral("データベースに接続されていません。"));
    EndTransaction(QStringLiteral("ROLLBACK"));
}

QString rdo_cntl::GetDBPath()
{
    if (!IsConnected() || orvel::CurrentBackend() != orvel::DbBackend::SQLite)
        return QString();
    QSqlQuery q(SharedDb());
    if (!q.exec(QStringLiteral("PRAGMA database_list")))
        return QString();
    while (q.next())
        if (q.value(1).toString() == QLatin1String("main"))
            return q.value(2).toString();
    return QString();
}

QVariant rdo_cntl::CompactDB()
{
    const QString path = GetDBPath();
    m_recSet.reset();
    CloseShared();
    bool ok = false;
    if (!path.isEmpty()) {
        // VACUUM rewrites the file inside one transaction: a failure (another process holding a
        // lock, no disk space) leaves the database exactly as it was.
        const QString name = kConnectionName + QStringLiteral("_compact");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
            db.setDatabaseName(State().dbName);
            db.setUserName(State().userId);
            db.setPassword(State().passWd);
            if (db.open()) {
                QSqlQuery q(db);
                ok = q.exec(QStringLiteral("VACUUM"));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    OpenShared(State().dbName, State().userId, State().passWd);
    return ok;
}

// ---- binding ------------------------------------------------------------------------------------------

bool rdo_cntl::SetBind(const QString &dataField, RdoControl *cntrl, bool isKey, bool isNew, const QString &dataFormat)
{
    if (isNew)
        m_binds.clear();
    if (m_binds.size() >= kListSize)
        throw RdoError(QStringLiteral("インデックスが有効範囲にありません。"));
    m_binds.push_back({dataField, cntrl, isKey, dataFormat});
    return false;
}

namespace {
QString ControlText(RdoControl *c)
{
    if (!c)
        throw RdoError(QStringLiteral("コントロールが設定されていません。"));
    switch (c->kind()) {
    case RdoControl::Kind::Text:
        return static_cast<RdoTextControl *>(c)->text();
    case RdoControl::Kind::List:
        return static_cast<RdoListControl *>(c)->text();
    case RdoControl::Kind::Grid:
        break;
    }
    throw RdoError(QStringLiteral("このコントロールは使用できません。"));
}
} // namespace

QString rdo_cntl::BindValue(int index) const
{
    const Bind &b = m_binds[index];
    if (index > 0 && b.control && b.control->kind() == RdoControl::Kind::List) {
        auto *list = static_cast<RdoListControl *>(b.control);
        const int sel = list->currentIndex();
        if (sel < 0 || sel >= list->itemCount())
            throw RdoError(QStringLiteral("インデックスが有効範囲にありません。"));
        return orvel::FormatValue(QVariant(list->itemData(sel)), b.format);
    }
    return ControlText(b.control);
}

QString rdo_cntl::KeyConditionsFromBinds() const
{
    QStringList conds;
    for (const Bind &b : m_binds)
        if (b.isKey)
            conds << b.name + QStringLiteral(" = ") + orvel::SqlText(ControlText(b.control));
    return conds.join(QStringLiteral(" AND "));
}

bool rdo_cntl::LoadBind(bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    QSqlQuery &q = Open(SelectText(false));
    if (!q.next()) {
        CloseRecSet();
        return false;
    }
    for (const Bind &b : m_binds) {
        const QString value = orvel::ValueText(q.value(ColumnIndex(q, b.name)));
        if (b.control && b.control->kind() == RdoControl::Kind::List) {
            auto *list = static_cast<RdoListControl *>(b.control);
            const qint64 code = value.trimmed().toLongLong();
            int found = -1;
            for (int i = 0; i < list->itemCount() && found < 0; ++i)
                if (list->itemData(i) == code)
                    found = i;
            if (found < 0) {
                CloseRecSet();
                throw RdoError(QStringLiteral("リストに該当する項目がありません: %1").arg(value));
            }
            list->setCurrentIndex(found);
        } else if (b.control && b.control->kind() == RdoControl::Kind::Text) {
            static_cast<RdoTextControl *>(b.control)->setText(value);
        } else {
            CloseRecSet();
            throw RdoError(QStringLiteral("このコントロールは使用できません。"));
        }
    }
    CloseRecSet();
    return true;
}

bool rdo_cntl::InsertBind(bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_binds.isEmpty())
        throw RdoError(QStringLiteral("項目が設定されていません。"));
    QSqlQuery &q = Open(QStringLiteral("SELECT ") + m_binds[0].name + QStringLiteral(" FROM ") + m_dataSource +
                        QStringLiteral(" WHERE ") + KeyConditionsFromBinds());
    const bool exists = q.next();
    CloseRecSet();
    if (exists) {
        m_errMsg = QStringLiteral("既に登録されています。");
        return false;
    }
    QStringList names, values;
    BindNamesAndValues(&names, &values);
    Exec(InsertSql(m_dataSource, names, values));
    return true;
}

void rdo_cntl::BindNamesAndValues(QStringList *names, QStringList *values) const
{
    for (int i = 0; i < m_binds.size(); ++i) {
        *names << m_binds[i].name;
        *values << orvel::SqlText(BindValue(i));
    }
}

bool rdo_cntl::UpdateFromBinds(bool ex, bool pointer)
{
    PointerGuard guard(pointer);
    if (!EnsureConnection())
        return false;
    if (m_binds.isEmpty())
        throw RdoError(QStringLiteral("項目が設定されていません。"));
    QStringList names, values;
    BindNamesAndValues(&names, &values);
    const QString keys = KeyConditionsFromBinds();
    Exec(UpdateSql(m_dataSource, names, values, ex ? JoinWhere(m_where, keys) : keys));
    return true;
}

bool rdo_cntl::UpdateBind(bool p) { return UpdateFromBinds(false, p); }
bool rdo_cntl::UpdateBindEx(bool p) { return UpdateFromBinds(true, p); }

// ---- grids and lists ----------------------------------------------------------------------------------

qint32 rdo_cntl::LoadGrid(RdoGridControl *cntl, qint32 startRow)
{
    PointerGuard guard(true);
    if (cntl)
        m_control = cntl;
    auto *grid = m_control && m_control->kind() == RdoControl::Kind::Grid ? static_cast<RdoGridControl *>(m_control)
                                                                          : nullptr;
    if (!grid)
        throw RdoError(QStringLiteral("グリッドが指定されていません。"));
    if (!EnsureConnection())
        return 0;

    const bool mdb = State().mdbMode;
    qint64 rowCap = 1000000000;
    QString sql = SelectText(false);
    if (!m_limit.isEmpty()) {
        if (mdb)
            rowCap = grid->fixedRows() + m_limit.trimmed().toLongLong();
        else
            sql += QStringLiteral(" Limit ") + m_limit;
    }
    QSqlQuery &q = Open(sql);

    struct Redraw
    {
        RdoGridControl *g;
        ~Redraw() { g->setRedraw(true); }
    } redraw{grid};
    grid->setRedraw(false);

    qint32 r = startRow == -1 ? grid->fixedRows() : startRow;
    if (!q.next()) {
        grid->setRows(r);
        CloseRecSet();
        return 0;
    }
    QVector<int> cols(m_fields.size(), -1);
    for (int i = 0; i < m_fields.size(); ++i)
        if (!m_fields[i].name.isEmpty())
            cols[i] = ColumnIndex(q, m_fields[i].name);
    do {
        if (mdb && r >= rowCap)
            break;
        grid->setRows(r + 1);
        for (int i = 0; i < m_fields.size(); ++i) {
            const Field &f = m_fields[i];
            if (cols[i] < 0) {
                grid->setTextMatrix(r, i, QString());
                continue;
            }
            const QVariant v = q.value(cols[i]);
            if (f.format == QLatin1String("VSF_CHECK"))
                grid->setCellChecked(r, i, IsTruthy(orvel::ValueText(v)));
            else
                grid->setTextMatrix(r, i, orvel::FormatValue(v, f.format));
            if (f.foreColor != 0)
                grid->setCellForeColor(r, i, f.foreColor);
        }
        ++r;
    } while (q.next());
    if (grid->rows() > grid->fixedRows())
        grid->setCurrentRow(grid->fixedRows());
    CloseRecSet();
    return r;
}

bool rdo_cntl::LoadList(RdoControl *cntl, qint16 curCode, const QString &sql)
{
    if (cntl)
        m_control = cntl;
    if (!m_control || m_control->kind() != RdoControl::Kind::List) {
        if (g_messageHook)
            g_messageHook(QStringLiteral("ComboBOX又はListBoxに対応しております"));
        return false;
    }
    auto *list = static_cast<RdoListControl *>(m_control);
    if (!EnsureConnection())
        return false;
    QSqlQuery &q = Open(sql);
    list->clear();
    if (!q.next()) {
        CloseRecSet();
        return false;
    }
    const int textCol = ColumnIndex(q, m_dataField);
    const int codeCol = m_codeField.isEmpty() ? -1 : ColumnIndex(q, m_codeField);
    QString chosen;
    bool found = false;
    int n = 0;
    do {
        list->addItem(orvel::ValueText(q.value(textCol)));
        if (codeCol >= 0) {
            const qint32 code = static_cast<qint32>(orvel::ValueText(q.value(codeCol)).trimmed().toLongLong());
            list->setItemData(n, code);
            if (code == curCode) {
                list->setCurrentIndex(n);
                chosen = orvel::ValueText(q.value(textCol));
                found = true;
            }
        }
        ++n;
    } while (q.next());
    CloseRecSet();
    if (found)
        list->setText(chosen);
    return true;
}

bool rdo_cntl::LoadCombo(RdoControl *cntl, qint16 curCode)
{
    QString sql = QStringLiteral("Select * from ") + m_dataSource + QStringLiteral(" Where ") + m_dataField +
                  QStringLiteral(" <> '0' ");
    if (!m_where.isEmpty())
        sql += QStringLiteral(" And ") + m_where;
    if (!m_order.isEmpty())
        sql += QStringLiteral(" Order by ") + m_order;
    if (!m_limit.isEmpty())
        sql += QStringLiteral(" Limit ") + m_limit;
    return LoadList(cntl, curCode, sql);
}

bool rdo_cntl::LoadComboSimple(RdoControl *cntl, qint16 curCode)
{
    QString sql = QStringLiteral("Select DISTINCT ") + m_dataField + QStringLiteral(" from ") + m_dataSource;
    if (!m_where.isEmpty())
        sql += QStringLiteral(" Where ") + m_where;
    if (!m_order.isEmpty())
        sql += QStringLiteral(" Order by ") + m_order;
    if (!m_limit.isEmpty())
        sql += QStringLiteral(" Limit ") + m_limit;
    return LoadList(cntl, curCode, sql);
}

// ---- CSV ----------------------------------------------------------------------------------------------

qint32 rdo_cntl::PrintCSV(const QString &strFileName, const QString &strTitle)
{
    PointerGuard guard(true);
    if (!EnsureConnection())
        return -1;
    QSqlQuery &q = Open(SelectText());

    QFile file(strFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        CloseRecSet();
        return file.exists() ? -kErrPermissionDenied : -kErrFileAccess;
    }
    const QString eol = QStringLiteral("\r\n");
    QString chunk;
    auto flush = [&]() {
        const QByteArray bytes = orvel::ToSjis(chunk);
        chunk.clear();
        return file.write(bytes) == bytes.size();
    };
    if (!strTitle.isEmpty())
        chunk += strTitle + eol;
    QStringList captions;
    bool anyCaption = false;
    for (const Field &f : m_fields) {
        captions << orvel::CsvField(f.caption);
        anyCaption = anyCaption || !f.caption.isEmpty();
    }
    if (anyCaption)
        chunk += captions.join(u',') + eol;

    qint32 count = 0;
    try {
        QVector<int> cols(m_fields.size(), -1);
        bool resolved = false;
        while (q.next()) {
            if (!resolved) {
                for (int i = 0; i < m_fields.size(); ++i)
                    if (!m_fields[i].name.isEmpty())
                        cols[i] = ColumnIndex(q, m_fields[i].name);
                resolved = true;
            }
            for (int i = 0; i < m_fields.size(); ++i) {
                if (i > 0)
                    chunk += u',';
                if (cols[i] >= 0)
                    chunk += orvel::CsvField(orvel::FormatValue(q.value(cols[i]), m_fields[i].format));
            }
            chunk += eol;
            ++count;
            if (chunk.size() > 64 * 1024 && !flush()) {
                CloseRecSet();
                return -kErrFileAccess;
            }
        }
        if (q.lastError().isValid()) {
            CloseRecSet();
            return -kErrDatabase;
        }
    } catch (const RdoError &) {
        CloseRecSet();
        return -kErrDatabase;
    }
    CloseRecSet();
    if (!flush() || !file.flush())
        return -kErrFileAccess;
    file.close();
    return file.error() == QFile::NoError ? count : -kErrFileAccess;
}
