#include "Schema.h"

#include "LogCategories.h"
#include "OrvelDefs.h"

#include <QMap>

namespace orvel::schema {
namespace {

QString AutoId(DbBackend b)
{
    return b == DbBackend::PostgreSQL ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                      : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
}

// Case-insensitive index collation lets SQLite use the index for prefix LIKE searches.
QString NoCase(DbBackend b)
{
    return b == DbBackend::PostgreSQL ? QStringLiteral(" varchar_pattern_ops") : QStringLiteral(" COLLATE NOCASE");
}

QString Concat(DbBackend, const QString &a, const QString &b)
{
    return a + QStringLiteral(" || ") + b;
}

QString Direction(const QString &modeColumn)
{
    return QStringLiteral("CASE WHEN %1 = 2 THEN '%2' ELSE '%3' END")
        .arg(modeColumn, QString::fromUtf8(gate_mode::ExitWord), QString::fromUtf8(gate_mode::EntryWord));
}

// The resolved columns of one raw record. A card or placeholder ID may be found on several user
// rows (a card handed on after its owner was deleted): the live user, then the newest, wins, so
// that every raw record resolves to exactly one row. PostgreSQL finds that user through a lateral
// join, which its planner runs once per raw record and can stop after the first record the
// collector asks for; a subquery in the join condition made it visit every user for every user.
QString MakeLogSelect(DbBackend b, const QString &userMatch)
{
    const QString pick = QStringLiteral("SELECT uu.* FROM m_user uu WHERE %1 "
                                        "ORDER BY CASE WHEN uu.delete_flag = 0 THEN 0 ELSE 1 END, uu.user_id DESC LIMIT 1")
                             .arg(userMatch);
    const QString userJoin = b == DbBackend::PostgreSQL
                                 ? QStringLiteral("LEFT JOIN LATERAL (%1) u ON TRUE ").arg(pick)
                                 : QStringLiteral("LEFT JOIN m_user u ON u.user_id = (%1) ")
                                       .arg(QString(pick).replace(QStringLiteral("SELECT uu.*"),
                                                                  QStringLiteral("SELECT uu.user_id")));
    return QStringLiteral(
               "SELECT l.log_id, l.log_dt, l.log_type, COALESCE(d.log_message, '') AS log_message, l.guser_id, "
               "u.user_id, u.user_name, u.emp_id, e.emp_name, l.gate_id, g.gate_name, g.gate_mode, g.ip_addr, "
               "g.zone_name, t.gauth_type_name, u.gauth_type, l.write_ok_flag "
               "FROM log_telmar l "
               "LEFT JOIN m_gate g ON g.gate_id = l.gate_id ") +
           userJoin +
           QStringLiteral("LEFT JOIN m_emp e ON e.emp_id = u.emp_id "
                          "LEFT JOIN m_glog_define d ON d.log_type = l.log_type "
                          "LEFT JOIN m_gauth_type t ON t.gauth_type_id = u.gauth_type");
}

QString LogPlusView(const QString &name, LogKind kind)
{
    return QStringLiteral("CREATE VIEW %1 AS SELECT log_id, log_dt, log_type, log_message, guser_id, user_id, "
                          "user_name, emp_id, emp_name, gate_id, gate_name, gate_mode, ip_addr, zone_name, "
                          "gauth_type_name, gauth_type FROM log_telmar_plus WHERE %2")
        .arg(name, LogKindCondition(kind));
}

QString AuthView(const QString &name, const QString &condition)
{
    return QStringLiteral("CREATE VIEW %1 AS SELECT log_id, log_dt, log_type, log_message, user_id, user_name, "
                          "gate_id, gate_name, zone_name, gate_mode AS gate_direction, "
                          "CASE WHEN log_type = %2 THEN '成功' ELSE '失敗' END AS auth_result "
                          "FROM log_telmar_plus WHERE %3")
        .arg(name)
        .arg(kLogTypeAdmitted)
        .arg(condition);
}

QMap<QString, QString> Views(DbBackend b)
{
    QMap<QString, QString> v;
    // The gates the collector visits: in use, not deleted, not marked locked.
    const QString lockColumns = QStringLiteral(
        "SELECT m_gate.gate_id, m_gate.gate_name, m_gate.ip_addr, lock_gate.lock_flg, lock_gate.server_id, "
        "m_gate.port_no FROM m_gate INNER JOIN lock_gate ON m_gate.gate_id = lock_gate.gate_id WHERE ");
    const QString unlocked = QStringLiteral(
        "(((lock_gate.lock_flg)=0) AND ((m_gate.use_flag)=1) AND ((m_gate.delete_flag)=0))");
    v[QStringLiteral("v_unlock_gate2")] = QStringLiteral("CREATE VIEW v_unlock_gate2 AS ") + lockColumns + unlocked;
    v[QStringLiteral("v_unlock_gate")] = QStringLiteral("CREATE VIEW v_unlock_gate AS ") + lockColumns + unlocked;
    v[QStringLiteral("v_lock_log")] =
        QStringLiteral("CREATE VIEW v_lock_log AS ") + lockColumns + QStringLiteral("m_gate.delete_flag = 0");
    const QString permitColumns = QStringLiteral(
        "m_user.user_id, m_user.user_name, m_emp.emp_name, m_gauthority.gauthority_name, "
        "m_gauth_type.gauth_type_name, m_gate.gate_id, m_gate.gate_name, m_gate.zone_name, t_gate_permit.use_flag, "
        "t_gate_permit.sync_flag, m_sync_flag.sync_disp, m_user.guser_id, m_user.gauthority, m_user.gauth_type, "
        "m_gate.ip_addr, m_gate.port_no, m_gate.use_flag AS gate_use_flag");
    const QString permitFrom = QStringLiteral(
        " FROM t_gate_permit INNER JOIN m_user ON m_user.user_id = t_gate_permit.user_id "
        "INNER JOIN m_gate ON m_gate.gate_id = t_gate_permit.gate_id "
        "LEFT JOIN m_emp ON m_emp.emp_id = m_user.emp_id "
        "LEFT JOIN m_gauth_type ON m_gauth_type.gauth_type_id = m_user.gauth_type "
        "LEFT JOIN m_gauthority ON m_gauthority.gauthority_id = m_user.gauthority "
        "LEFT JOIN m_sync_flag ON m_sync_flag.sync_flag = t_gate_permit.sync_flag "
        "WHERE t_gate_permit.use_flag = 1");
    v[QStringLiteral("v_gate_user_list4")] = QStringLiteral("CREATE VIEW v_gate_user_list4 AS SELECT ") +
                                             permitColumns + permitFrom;
    v[QStringLiteral("v_gate_user_list")] = QStringLiteral("CREATE VIEW v_gate_user_list AS SELECT ") +
                                            permitColumns + QStringLiteral(", m_user.delete_flag") + permitFrom;
    v[QStringLiteral("v_emp_user")] = QStringLiteral(
        "CREATE VIEW v_emp_user AS SELECT m_user.user_id, m_user.user_name, m_user.user_yomi, m_user.user_bikou, "
        "m_user.emp_id, m_emp.emp_name, m_user.delete_flag, m_user.guser_id, m_user.gauth_type, m_user.gauthority "
        "FROM m_user LEFT JOIN m_emp ON m_emp.emp_id = m_user.emp_id");
    v[QStringLiteral("v_user_emp")] = QStringLiteral(
        "CREATE VIEW v_user_emp AS SELECT m_user.user_id, m_user.user_name, m_user.user_yomi, m_user.user_bikou, "
        "m_user.emp_id, m_emp.emp_name, m_user.guser_id, m_user.gauth_type, m_user.gauthority, m_user.delete_flag, "
        "m_user.regist_dt, m_user.refix_dt FROM m_user LEFT JOIN m_emp ON m_emp.emp_id = m_user.emp_id "
        "WHERE m_user.delete_flag = 0");
    v[QStringLiteral("v_gate")] = QStringLiteral(
                                      "CREATE VIEW v_gate AS SELECT gate_id, zone_name, gate_name, %1 AS gate_direction, "
                                      "ip_addr, port_no, gate_mode, use_flag, gate_bikou FROM m_gate WHERE delete_flag = 0")
                                      .arg(Direction(QStringLiteral("gate_mode")));
    // The smallest template number not in use, so freed records of the template file are reused.
    v[QStringLiteral("v_tplid_new")] = QStringLiteral(
        "CREATE VIEW v_tplid_new AS SELECT MIN(n.tpl_id + 1) AS new_tpl_id FROM "
        "(SELECT tpl_id FROM l_fptpl UNION SELECT 0) n WHERE NOT EXISTS "
        "(SELECT 1 FROM l_fptpl f WHERE f.tpl_id = n.tpl_id + 1)");
    v[QStringLiteral("v_login_fptpl")] = QStringLiteral(
        "CREATE VIEW v_login_fptpl AS SELECT l_fptpl.tpl_id FROM l_fptpl INNER JOIN m_user "
        "ON m_user.user_id = l_fptpl.user_id WHERE m_user.gauthority = 2 AND m_user.delete_flag = 0 "
        "AND m_user.gauth_type IN (1, 3) AND l_fptpl.edit_flag = 0");
    v[QStringLiteral("v_fptpl_guser")] = QStringLiteral(
        "CREATE VIEW v_fptpl_guser AS SELECT user_id, fp_no, tpl_id FROM l_fptpl WHERE edit_flag = 0");
    v[QStringLiteral("v_log_telmar_plus_1")] = LogPlusView(QStringLiteral("v_log_telmar_plus_1"), LogKind::Authentication);
    v[QStringLiteral("v_log_telmar_plus_2")] = LogPlusView(QStringLiteral("v_log_telmar_plus_2"), LogKind::Operation);
    v[QStringLiteral("v_log_telmar_plus_3")] = LogPlusView(QStringLiteral("v_log_telmar_plus_3"), LogKind::Error);
    v[QStringLiteral("v_log_telmar_plus_4")] = LogPlusView(QStringLiteral("v_log_telmar_plus_4"), LogKind::All);
    {
        QStringList attempts;
        for (int t : AuthAttemptLogTypes())
            attempts << QString::number(t);
        v[QStringLiteral("v_log_telmar_auth2")] = AuthView(
            QStringLiteral("v_log_telmar_auth2"), QStringLiteral("log_type IN (") + attempts.join(u',') + u')');
        v[QStringLiteral("v_log_telmar_pass")] = AuthView(
            QStringLiteral("v_log_telmar_pass"), QStringLiteral("log_type = %1").arg(kLogTypeAdmitted));
    }
    const QString byCard = QStringLiteral("uu.guser_id = l.guser_id");
    v[QStringLiteral("v_make_log_telmar_plusX")] =
        QStringLiteral("CREATE VIEW v_make_log_telmar_plusX AS ") + MakeLogSelect(b, byCard);
    v[QStringLiteral("v_make_log_telmar_plus")] =
        QStringLiteral("CREATE VIEW v_make_log_telmar_plus AS ") + MakeLogSelect(b, byCard);
    // Mifare: a user without a card is known at the gate by 9 "9" followed by the user ID.
    v[QStringLiteral("v_user_plus2_M")] =
        QStringLiteral("CREATE VIEW v_user_plus2_M AS SELECT m_user.*, %1 AS guser_id2 FROM m_user")
            .arg(Concat(b, QStringLiteral("'999999999'"), QStringLiteral("user_id")));
    v[QStringLiteral("v_make_log_telmar_plusX_M")] =
        QStringLiteral("CREATE VIEW v_make_log_telmar_plusX_M AS ") +
        MakeLogSelect(b, QStringLiteral("uu.guser_id = l.guser_id")) +
        QStringLiteral(" WHERE l.guser_id < '%1' UNION ALL ").arg(QLatin1String(kMifarePlaceholderFloor)) +
        // The placeholder is '999999999' followed by the user ID: matched on the user ID itself,
        // so that the primary key finds the user (the concatenated form scanned every user).
        MakeLogSelect(b, QStringLiteral("uu.user_id = substr(l.guser_id, 10) AND substr(l.guser_id, 1, 9) = '%1'")
                          .arg(QLatin1String(kMifarePlaceholderPrefix))) +
        QStringLiteral(" WHERE l.guser_id >= '%1'").arg(QLatin1String(kMifarePlaceholderFloor));
    return v;
}

} // namespace

QStringList CreateTables(DbBackend b)
{
    const QString ts = b == DbBackend::PostgreSQL ? QStringLiteral("TIMESTAMP") : QStringLiteral("TIMESTAMP");
    QStringList s;
    s << QStringLiteral("CREATE TABLE m_emp (emp_id VARCHAR(5) NOT NULL PRIMARY KEY, emp_name VARCHAR(50), "
                        "emp_bikou VARCHAR(255), regist_dt VARCHAR(10), refix_dt VARCHAR(10))");
    s << QStringLiteral("CREATE TABLE m_user (user_id VARCHAR(10) NOT NULL PRIMARY KEY, user_name VARCHAR(50), "
                        "user_yomi VARCHAR(50), user_bikou VARCHAR(255), emp_id VARCHAR(5), guser_id VARCHAR(32), "
                        "gauth_type INTEGER DEFAULT 0, gauthority INTEGER DEFAULT 1, delete_flag INTEGER DEFAULT 0, "
                        "regist_dt VARCHAR(10), refix_dt VARCHAR(10))");
    // conn_type and serial_dev: how the gate is reached (0 = network, 1 = serial line).
    s << QStringLiteral("CREATE TABLE m_gate (gate_id VARCHAR(5) NOT NULL PRIMARY KEY, zone_name VARCHAR(25), "
                        "gate_name VARCHAR(50), ip_addr VARCHAR(15), port_no VARCHAR(10), gate_bikou VARCHAR(255), "
                        "gate_mode INTEGER DEFAULT 1, use_flag INTEGER DEFAULT 0, delete_flag INTEGER DEFAULT 0, "
                        "regist_dt VARCHAR(10), refix_dt VARCHAR(10), conn_type INTEGER DEFAULT 0, "
                        "serial_dev VARCHAR(64))");
    s << QStringLiteral("CREATE TABLE m_gauthority (gauthority_id INTEGER NOT NULL PRIMARY KEY, "
                        "gauthority_name VARCHAR(20))");
    s << QStringLiteral("CREATE TABLE m_gauth_type (gauth_type_id INTEGER NOT NULL PRIMARY KEY, "
                        "gauth_type_name VARCHAR(20))");
    s << QStringLiteral("CREATE TABLE m_sync_flag (sync_flag INTEGER NOT NULL PRIMARY KEY, sync_disp VARCHAR(10))");
    s << QStringLiteral("CREATE TABLE m_glog_define (log_type INTEGER NOT NULL PRIMARY KEY, log_message VARCHAR(50))");
    s << QStringLiteral("CREATE TABLE t_gate_permit (user_id VARCHAR(10) NOT NULL, gate_id VARCHAR(5) NOT NULL, "
                        "sync_flag INTEGER DEFAULT 1, use_flag INTEGER DEFAULT 1, PRIMARY KEY (user_id, gate_id))");
    s << QStringLiteral("CREATE INDEX ix_gate_permit_gate ON t_gate_permit (gate_id)");
    s << QStringLiteral("CREATE TABLE l_fptpl (user_id VARCHAR(10) NOT NULL, fp_no INTEGER NOT NULL, "
                        "tpl_id INTEGER NOT NULL, edit_flag INTEGER DEFAULT 1, PRIMARY KEY (user_id, fp_no))");
    s << QStringLiteral("CREATE UNIQUE INDEX ix_fptpl_tpl ON l_fptpl (tpl_id)");
    s << QStringLiteral("CREATE TABLE lock_gate (gate_id VARCHAR(5) NOT NULL PRIMARY KEY, lock_flg INTEGER DEFAULT 0, "
                        "server_id INTEGER DEFAULT 0, regist_dt VARCHAR(10), refix_dt VARCHAR(10))");
    s << QStringLiteral("CREATE TABLE t_srv_ctrl (server_id INTEGER NOT NULL PRIMARY KEY, req_cmd INTEGER DEFAULT 0, "
                        "req_arg1 VARCHAR(50), req_arg2 VARCHAR(100), result INTEGER DEFAULT 0, "
                        "res_detail VARCHAR(255))");
    // req_id is a number: the console finds the row with "req_id = 1", which a text column refuses
    // on a server database.
    s << QStringLiteral("CREATE TABLE t_userreq (req_id INTEGER NOT NULL PRIMARY KEY, req_cmd INTEGER DEFAULT 0, "
                        "ip_addr VARCHAR(15), port_no VARCHAR(10), user_id VARCHAR(10), guser_id VARCHAR(32), "
                        "gauthority INTEGER DEFAULT 1, gauth_type INTEGER DEFAULT 0, result INTEGER DEFAULT 1, "
                        "detail VARCHAR(20))");
    // last_mainte_dt: when the daily maintenance last completed.
    s << QStringLiteral("CREATE TABLE set_mainte (mainte_id INTEGER NOT NULL PRIMARY KEY, day_mainte_time VARCHAR(4), "
                        "logtel_leave_days INTEGER, db_mainte_flag INTEGER DEFAULT 0, set_time_flag INTEGER DEFAULT 1, "
                        "guser_mainte_flag INTEGER DEFAULT 0, db_vers VARCHAR(10), last_mainte_dt VARCHAR(19))");
    QString autolog = QStringLiteral("CREATE TABLE t_autolog_info (id INTEGER NOT NULL PRIMARY KEY, "
                                     "file_path VARCHAR(255), log_mode INTEGER DEFAULT 0");
    for (int i = 1; i <= 13; ++i)
        autolog += QStringLiteral(", item_%1 INTEGER DEFAULT 0").arg(i);
    s << autolog + u')';
    s << QStringLiteral("CREATE TABLE log_telmar (log_id %1, gate_id VARCHAR(5), guser_id VARCHAR(32), "
                        "log_type INTEGER, log_dt %2, write_ok_flag INTEGER NOT NULL DEFAULT 0)")
             .arg(AutoId(b), ts);
    s << QStringLiteral("CREATE INDEX ix_log_telmar_pending ON log_telmar (write_ok_flag, log_id)");
    s << QStringLiteral("CREATE TABLE log_telmar_plus (log_id INTEGER NOT NULL PRIMARY KEY, log_dt %1, "
                        "log_type INTEGER, log_message VARCHAR(50), guser_id VARCHAR(32), user_id VARCHAR(10), "
                        "user_name VARCHAR(50), emp_id VARCHAR(5), emp_name VARCHAR(50), gate_id VARCHAR(5), "
                        "gate_name VARCHAR(50), gate_mode VARCHAR(4), ip_addr VARCHAR(15), zone_name VARCHAR(25), "
                        "gauth_type_name VARCHAR(20), gauth_type INTEGER, regist_dt %1, refix_dt %1)")
             .arg(ts);
    s << QStringLiteral("CREATE INDEX ix_log_plus_dt ON log_telmar_plus (log_dt, log_type, log_id)");
    s << QStringLiteral("CREATE INDEX ix_log_plus_user ON log_telmar_plus (user_id, log_dt)");
    s << QStringLiteral("CREATE INDEX ix_log_plus_user_name ON log_telmar_plus (user_name%1)").arg(NoCase(b));
    s << QStringLiteral("CREATE INDEX ix_log_plus_emp_name ON log_telmar_plus (emp_name%1)").arg(NoCase(b));
    s << QStringLiteral("CREATE INDEX ix_log_plus_gate_name ON log_telmar_plus (gate_name%1)").arg(NoCase(b));
    s << QStringLiteral("CREATE TABLE log_telmar_raw (log_id INTEGER NOT NULL PRIMARY KEY, gate_id VARCHAR(5), "
                        "guser_id VARCHAR(32), log_type INTEGER, log_dt %1, regist_dt %1, refix_dt %1)")
             .arg(ts);
    s << QStringLiteral("CREATE INDEX ix_log_raw_dt ON log_telmar_raw (log_dt)");
    return s + Additions(b);
}

QStringList Additions(DbBackend)
{
    QStringList s;
    // A gate record is stored once: its identity (gate, log epoch, sequence number) is kept here,
    // written in the transaction that stores the record. The log tables keep their columns.
    s << QStringLiteral("CREATE TABLE IF NOT EXISTS log_gate_seq (gate_id VARCHAR(5) NOT NULL, "
                        "log_epoch BIGINT NOT NULL, last_seq INTEGER NOT NULL, PRIMARY KEY (gate_id, log_epoch))");
    // The log processing finds the user of every record by its card ID.
    s << QStringLiteral("CREATE INDEX IF NOT EXISTS ix_user_guser ON m_user (guser_id)");
    return s;
}

QStringList CreateViews(DbBackend backend)
{
    QStringList s;
    const auto views = Views(backend);
    for (const QString &name : ViewNames())
        s << views.value(name);
    return s;
}

QString CreateViewStatement(const QString &viewName, DbBackend backend)
{
    return Views(backend).value(viewName);
}

QStringList RevisedViews()
{
    return {QStringLiteral("v_make_log_telmar_plusX_M")};
}

QStringList InitialRows()
{
    QStringList s;
    s << QStringLiteral("INSERT INTO m_gauthority VALUES (1, 'ユーザ')")
      << QStringLiteral("INSERT INTO m_gauthority VALUES (2, '管理者')");
    s << QStringLiteral("INSERT INTO m_gauth_type VALUES (0, 'なし')")
      << QStringLiteral("INSERT INTO m_gauth_type VALUES (1, '指紋')")
      << QStringLiteral("INSERT INTO m_gauth_type VALUES (2, 'ICカード')")
      << QStringLiteral("INSERT INTO m_gauth_type VALUES (3, '指紋/ICカード')");
    s << QStringLiteral("INSERT INTO m_sync_flag VALUES (0, '済')")
      << QStringLiteral("INSERT INTO m_sync_flag VALUES (1, '未反映')")
      << QStringLiteral("INSERT INTO m_sync_flag VALUES (2, '再反映')")
      << QStringLiteral("INSERT INTO m_sync_flag VALUES (3, '解除')");
    for (const LogTypeText &t : KnownLogTypes())
        s << QStringLiteral("INSERT INTO m_glog_define VALUES (%1, %2)")
                 .arg(t.logType)
                 .arg(SqlText(QString::fromUtf8(t.message)));
    s << QStringLiteral("INSERT INTO m_emp (emp_id, emp_name, emp_bikou, regist_dt, refix_dt) "
                        "VALUES ('00000', '無所属', '', '', '')");
    s << QStringLiteral("INSERT INTO t_srv_ctrl VALUES (1, 0, '', '', 0, '')")
      << QStringLiteral("INSERT INTO t_srv_ctrl VALUES (2, 0, '', '', 0, '')");
    s << QStringLiteral("INSERT INTO t_userreq VALUES (1, 0, '', '', '', '', 1, 0, 1, '0')");
    s << QStringLiteral("INSERT INTO set_mainte (mainte_id, day_mainte_time, logtel_leave_days, db_mainte_flag, "
                        "set_time_flag, guser_mainte_flag, db_vers) VALUES (1, '0300', 90, 0, 1, 0, '1.0')");
    QString autolog = QStringLiteral("INSERT INTO t_autolog_info VALUES (1, '', 0");
    for (int i = 1; i <= 13; ++i)
        autolog += QStringLiteral(", 1");
    s << autolog + u')';
    return s;
}

double VersionNumber(const QString &text)
{
    QString digits;
    bool dot = false;
    for (QChar c : text.trimmed()) {
        if (c.isDigit())
            digits += c;
        else if (c == u'.' && !dot)
            dot = true, digits += c;
        else
            break;
    }
    return digits.toDouble();
}

QStringList TableNames()
{
    return {QString::fromLatin1(tbl::m_emp),          QString::fromLatin1(tbl::m_user),
            QString::fromLatin1(tbl::m_gate),         QString::fromLatin1(tbl::m_gauthority),
            QString::fromLatin1(tbl::m_gauth_type),   QString::fromLatin1(tbl::m_sync_flag),
            QString::fromLatin1(tbl::m_glog_define),  QString::fromLatin1(tbl::t_gate_permit),
            QString::fromLatin1(tbl::l_fptpl),        QString::fromLatin1(tbl::lock_gate),
            QString::fromLatin1(tbl::t_srv_ctrl),     QString::fromLatin1(tbl::t_userreq),
            QString::fromLatin1(tbl::set_mainte),     QString::fromLatin1(tbl::t_autolog_info),
            QString::fromLatin1(tbl::log_telmar),     QString::fromLatin1(tbl::log_telmar_plus),
            QString::fromLatin1(tbl::log_telmar_raw),  QString::fromLatin1(tbl::log_gate_seq)};
}

QStringList ViewNames()
{
    // In dependency order: a view is created after the views it reads.
    return {QStringLiteral("v_unlock_gate2"),      QStringLiteral("v_unlock_gate"),
            QStringLiteral("v_lock_log"),          QStringLiteral("v_gate_user_list4"),
            QStringLiteral("v_gate_user_list"),    QStringLiteral("v_emp_user"),
            QStringLiteral("v_user_emp"),          QStringLiteral("v_gate"),
            QStringLiteral("v_tplid_new"),         QStringLiteral("v_login_fptpl"),
            QStringLiteral("v_fptpl_guser"),       QStringLiteral("v_log_telmar_plus_1"),
            QStringLiteral("v_log_telmar_plus_2"), QStringLiteral("v_log_telmar_plus_3"),
            QStringLiteral("v_log_telmar_plus_4"), QStringLiteral("v_log_telmar_auth2"),
            QStringLiteral("v_log_telmar_pass"),   QStringLiteral("v_make_log_telmar_plusX"),
            QStringLiteral("v_make_log_telmar_plus"), QStringLiteral("v_user_plus2_M"),
            QStringLiteral("v_make_log_telmar_plusX_M")};
}

} // namespace orvel::schema
