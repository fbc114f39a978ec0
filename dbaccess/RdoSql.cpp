#include "RdoSql.h"

namespace rdo_sql {
namespace {
QString Tail(const Clauses &c, bool withLimit)
{
    QString sql;
    if (!c.order.isEmpty())
        sql += QStringLiteral(" Order by ") + c.order;
    if (withLimit && !c.limit.isEmpty())
        sql += QStringLiteral(" Limit ") + c.limit;
    return sql;
}
} // namespace

QString Select(const QString &source, const Clauses &c, bool withLimit, const QString &field)
{
    QString sql = QStringLiteral("Select ") + (field.isEmpty() ? QStringLiteral("*") : field) +
                  QStringLiteral(" from ") + source;
    if (!c.where.isEmpty())
        sql += QStringLiteral(" Where ") + c.where;
    return sql + Tail(c, withLimit);
}

QString Insert(const QString &source, const QStringList &names, const QStringList &values)
{
    return QStringLiteral("INSERT INTO ") + source + QStringLiteral(" ( ") + names.join(u',') +
           QStringLiteral(" ) VALUES ( ") + values.join(u',') + QStringLiteral(" )");
}

QString Update(const QString &source, const QStringList &names, const QStringList &values, const QString &where)
{
    QString sql = QStringLiteral("UPDATE ") + source + QStringLiteral(" SET ");
    for (qsizetype i = 0; i < names.size(); ++i)
        sql += (i ? QStringLiteral(",") : QString()) + names[i] + QStringLiteral(" = ") + values[i];
    return sql + QStringLiteral(" WHERE ") + where;
}

QString Delete(const QString &source, const QString &where)
{
    QString sql = QStringLiteral("DELETE FROM ") + source;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return sql;
}

QString Exists(const QString &source, const QString &firstName, const QString &condition)
{
    return QStringLiteral("SELECT ") + firstName + QStringLiteral(" FROM ") + source + QStringLiteral(" WHERE ") +
           condition;
}

QString JoinWhere(const QString &where, const QString &more)
{
    if (where.isEmpty())
        return more;
    return more.isEmpty() ? where : where + QStringLiteral(" AND ") + more;
}

QString ComboSelect(const QString &source, const QString &field, const Clauses &c)
{
    QString sql = QStringLiteral("Select * from ") + source + QStringLiteral(" Where ") + field +
                  QStringLiteral(" <> '0' ");
    if (!c.where.isEmpty())
        sql += QStringLiteral(" And ") + c.where;
    return sql + Tail(c, true);
}

QString DistinctSelect(const QString &source, const QString &field, const Clauses &c)
{
    return Select(source, c, true, QStringLiteral("DISTINCT ") + field);
}

} // namespace rdo_sql
