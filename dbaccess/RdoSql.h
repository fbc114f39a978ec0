#pragma once

// The statements of the access component, built from its properties and lists. Pure text: the
// caller has escaped every value it places between quotes.

#include <QString>
#include <QStringList>

namespace rdo_sql {

struct Clauses
{
    QString where;
    QString order;
    QString limit;
};

// "Select * from SOURCE[ Where W][ Order by O][ Limit L]"; "Select FIELD from ..." when field is
// given.
QString Select(const QString &source, const Clauses &c, bool withLimit = true, const QString &field = QString());
// "INSERT INTO SOURCE ( n0,n1 ) VALUES ( v0,v1 )"
QString Insert(const QString &source, const QStringList &names, const QStringList &values);
// "UPDATE SOURCE SET n0 = v0,n1 = v1 WHERE W"
QString Update(const QString &source, const QStringList &names, const QStringList &values, const QString &where);
// "DELETE FROM SOURCE[ WHERE W]"
QString Delete(const QString &source, const QString &where);
// The duplicate check before an insert: "SELECT FIRST FROM SOURCE WHERE CONDITION".
QString Exists(const QString &source, const QString &firstName, const QString &condition);
// where, and further conditions joined to it with " AND " (either may be empty).
QString JoinWhere(const QString &where, const QString &more);
// "Select * from SOURCE Where FIELD <> '0' [ And W][ Order by O][ Limit L]" (LoadCombo).
QString ComboSelect(const QString &source, const QString &field, const Clauses &c);
// "Select DISTINCT FIELD from SOURCE[ Where W][ Order by O][ Limit L]" (LoadComboSimple).
QString DistinctSelect(const QString &source, const QString &field, const Clauses &c);

} // namespace rdo_sql
