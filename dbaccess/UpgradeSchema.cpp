#include "UpgradeSchema.h"

#include "OrvelDefs.h"
#include "Schema.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

namespace orvel {
namespace {

void Try(rdo_cntl &db, const QString &sql)
{
    try {
        db.Execute(sql);
    } catch (const RdoError &) {
        // A column or view that already exists, a locked table: the next step runs regardless.
    }
}

int ColumnCount(rdo_cntl &db, const char *table)
{
    try {
        return db.TableInfo_GetFieldCount(QString::fromLatin1(table));
    } catch (const RdoError &) {
        return 0;
    }
}

// Replaces a view the database holds under an older definition. The SQLite file keeps each view's
// statement as written; a view the database does not hold is left to the steps that create it.
void ReviseView(rdo_cntl &db, const QString &view, DbBackend b)
{
    if (b != DbBackend::SQLite)
        return;
    QString stored;
    try {
        stored = db.ExecFunction(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ") +
                                 SqlText(view))
                     .toString();
    } catch (const RdoError &) {
        return;
    }
    const QString current = schema::CreateViewStatement(view, b);
    if (stored.isEmpty() || stored == TranslateSql(current, b))
        return;
    Try(db, QStringLiteral("DROP VIEW ") + view);
    Try(db, current);
}

} // namespace

void UpgradeSchema(rdo_cntl &db, int edition)
{
    const DbBackend b = CurrentBackend();
    if (ColumnCount(db, tbl::m_gate) < schema::kGateColumnsCurrent) {
        Try(db, QStringLiteral("ALTER TABLE m_gate ADD COLUMN port_no TEXT(10)"));
        // Only gates that have no port yet get the default, so a repeated run never resets the ports
        // an administrator has set.
        Try(db, QStringLiteral("UPDATE m_gate SET port_no = ") + QString::number(3001) +
                    QStringLiteral(" WHERE port_no IS NULL OR port_no = ''"));
        Try(db, QStringLiteral("ALTER TABLE t_userreq ADD COLUMN port_no TEXT(10)"));
        Try(db, schema::CreateViewStatement(QStringLiteral("v_unlock_gate2"), b));
        Try(db, schema::CreateViewStatement(QStringLiteral("v_gate_user_list4"), b));
    }
    if (ColumnCount(db, tbl::set_mainte) < schema::kMainteColumnsCurrent) {
        Try(db, QStringLiteral("ALTER TABLE set_mainte ADD COLUMN db_vers TEXT(10)"));
        Try(db, QStringLiteral("UPDATE set_mainte SET db_vers = '1.0' WHERE db_vers IS NULL OR db_vers = ''"));
    }
    for (const QString &sql : schema::Additions(b))
        Try(db, sql);
    for (const QString &view : schema::RevisedViews())
        ReviseView(db, view, b);
    if (edition == EditionMifare) {
        QString vers;
        try {
            db.setDataSource(QStringLiteral("telmar_v1.set_mainte"));
            db.setWhere(QStringLiteral("mainte_id = 1"));
            vers = db.GetData(QStringLiteral("db_vers")).toString();
        } catch (const RdoError &) {
        }
        if (schema::VersionNumber(vers + QString()) <= 1.0) {
            Try(db, schema::CreateViewStatement(QStringLiteral("v_user_plus2_M"), b));
            Try(db, schema::CreateViewStatement(QStringLiteral("v_make_log_telmar_plusX_M"), b));
            Try(db, QStringLiteral("UPDATE set_mainte SET db_vers = '1.1'"));
        }
    }
}

} // namespace orvel
