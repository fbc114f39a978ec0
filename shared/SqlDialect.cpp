#include "SqlDialect.h"

#include <QRegularExpression>

namespace orvel {
namespace {
DbBackend g_backend = DbBackend::SQLite;

// "#2009/4/1 8:30:00#" -> "'2009-04-01 08:30:00'"; returns empty text when body is no date.
QString DateLiteral(const QString &body)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d{4})[/\-.](\d{1,2})[/\-.](\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const auto m = re.match(body);
    if (!m.hasMatch())
        return QString();
    const auto n = [&](int i) { return m.captured(i).isEmpty() ? 0 : m.captured(i).toInt(); };
    return u'\'' + IsoDateTimeText(n(1), n(2), n(3), n(4), n(5), n(6)) + u'\'';
}
bool IsWordStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}
} // namespace

DbBackend CurrentBackend()
{
    return g_backend;
}

void SetCurrentBackend(DbBackend backend)
{
    g_backend = backend;
}

DbBackend BackendFromDriverName(const QString &driverName)
{
    return driverName.contains(QLatin1String("postgres"), Qt::CaseInsensitive) ||
                   driverName.contains(QLatin1String("psql"), Qt::CaseInsensitive)
               ? DbBackend::PostgreSQL
               : DbBackend::SQLite;
}

QString SqlEscape(const QString &value, const QString &enclosing)
{
    if (enclosing.isEmpty())
        return value;
    QString out = value;
    return out.replace(enclosing, enclosing + enclosing);
}

QString SqlText(const QString &value)
{
    return u'\'' + SqlEscape(value) + u'\'';
}

QString SqlLiteral(const QString &value, const QString &enclosing)
{
    if (enclosing == QLatin1String("'") || enclosing == QLatin1String("\""))
        return SqlText(value);
    return enclosing + SqlEscape(value, enclosing) + enclosing;
}

QString IsoDateTimeText(int year, int month, int day, int hour, int minute, int second)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'))
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'));
}

QString TranslateSql(const QString &sql, DbBackend backend)
{
    QString out;
    out.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            // Copy a quoted literal or name whole; a doubled quote stays inside it.
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += sql.mid(i, j - i + 1);
            i = j;
        } else if (c == u'#') {
            const qsizetype end = sql.indexOf(u'#', i + 1);
            const QString lit = end > i ? DateLiteral(sql.mid(i + 1, end - i - 1)) : QString();
            if (lit.isEmpty()) {
                out += c;
            } else {
                out += lit;
                i = end;
            }
        } else if (c == u'[' && backend == DbBackend::PostgreSQL) {
            const qsizetype end = sql.indexOf(u']', i + 1);
            if (end < 0) {
                out += c;
            } else {
                // A plain name loses its brackets, so that it folds to lower case as the name it
                // was created with did; any other name is quoted.
                static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
                const QString name = sql.mid(i + 1, end - i - 1);
                out += plain.match(name).hasMatch() ? name : u'"' + name + u'"';
                i = end;
            }
        } else if (backend == DbBackend::PostgreSQL && IsWordStart(c) && (i == 0 || !IsWordChar(sql.at(i - 1)))) {
            qsizetype j = i;
            while (j < n && IsWordChar(sql.at(j)))
                ++j;
            const QString word = sql.mid(i, j - i);
            qsizetype k = j;
            while (k < n && sql.at(k).isSpace())
                ++k;
            if (word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0)
                out += QStringLiteral("ILIKE"); // the system's LIKE ignores the case of letters
            else if (word.compare(QLatin1String("TEXT"), Qt::CaseInsensitive) == 0 && k < n && sql.at(k) == u'(')
                out += QStringLiteral("VARCHAR"); // TEXT(n) column types of the system's DDL
            else
                out += word;
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace orvel
