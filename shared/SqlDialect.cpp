#include "SqlDialect.h"

#include <algorithm>

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

bool StorableText(const QString &text, DbBackend backend)
{
    return backend != DbBackend::SQLite ||
           std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
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

namespace {
// The terms of an ORDER BY list as (expression, direction suffix): "a DESC, f(b, c)" ->
// ("a", " DESC"), ("f(b, c)", ""). Commas inside parentheses or quotes do not split.
QList<std::pair<QString, QString>> OrderTerms(const QString &order)
{
    QStringList parts;
    int depth = 0;
    QChar quote;
    qsizetype from = 0;
    for (qsizetype i = 0; i < order.size(); ++i) {
        const QChar c = order.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (c == u',' && depth == 0) {
            parts << order.mid(from, i - from);
            from = i + 1;
        }
    }
    parts << order.mid(from);
    static const QRegularExpression suffix(QStringLiteral(R"((\s+(ASC|DESC))?(\s+NULLS\s+(FIRST|LAST))?\s*$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QList<std::pair<QString, QString>> terms;
    for (const QString &part : parts) {
        const auto m = suffix.match(part);
        terms.append({part.left(m.capturedStart()).trimmed(), m.captured().trimmed()});
    }
    return terms;
}
} // namespace

QString PackedRowsSelect(DbBackend backend, const QString &value, const QString &source, const QString &where,
                         const QString &order, qint64 maxRows, int rowsPerValue)
{
    // The query itself runs as written (ORDER BY and LIMIT, so the database may stop early);
    // its rows are then numbered in the same order, by its sort keys, and joined by number.
    QStringList keys, numbering;
    if (!order.trimmed().isEmpty()) {
        for (const auto &[expression, direction] : OrderTerms(order)) {
            bool position = false;
            expression.toInt(&position);
            if (expression.isEmpty() || position)
                return QString(); // "ORDER BY 2" names no key the numbering could repeat
            const QString key = QStringLiteral("packed_key%1").arg(keys.size() + 1);
            keys << expression + QStringLiteral(" AS ") + key;
            numbering << (direction.isEmpty() ? key : key + u' ' + direction);
        }
    }
    const bool pg = backend == DbBackend::PostgreSQL;
    const QString rs = pg ? QStringLiteral("chr(30)") : QStringLiteral("char(30)");
    const QString us = pg ? QStringLiteral("chr(31)") : QStringLiteral("char(31)");
    const QString row = QStringLiteral("CAST(packed_no AS VARCHAR) || %1 || replace(COALESCE(packed_value, ''), %2, ' ')")
                            .arg(us, rs);
    const QString joined = pg ? QStringLiteral("string_agg(%1, %2 ORDER BY packed_no)").arg(row, rs)
                              : QStringLiteral("group_concat(%1, %2)").arg(row, rs);
    QString query = QStringLiteral("SELECT %1 AS packed_value").arg(value);
    for (const QString &key : keys)
        query += QStringLiteral(", ") + key;
    query += QStringLiteral(" FROM ") + source;
    if (!where.isEmpty())
        query += QStringLiteral(" WHERE ") + where;
    if (!order.trimmed().isEmpty())
        query += QStringLiteral(" ORDER BY ") + order;
    if (maxRows > 0)
        query += QStringLiteral(" LIMIT %1").arg(maxRows);
    const QString group = QStringLiteral("(packed_no - 1) / %1").arg(qMax(1, rowsPerValue));
    return QStringLiteral("SELECT %1 AS packed_rows FROM (SELECT row_number() OVER (%2) AS packed_no, packed_value "
                          "FROM (%3) packed_query) packed GROUP BY %4 ORDER BY %4")
        .arg(joined, numbering.isEmpty() ? QString() : QStringLiteral("ORDER BY ") + numbering.join(QStringLiteral(", ")),
             query, group);
}

bool SplitPackedRows(const QString &packed, QList<std::pair<qint64, QString>> *rows)
{
    rows->clear();
    qsizetype at = 0;
    while (at <= packed.size()) {
        qsizetype end = packed.indexOf(QChar(kPackedRowSeparator), at);
        if (end < 0)
            end = packed.size();
        const qsizetype mark = packed.indexOf(QChar(kPackedNumberSeparator), at);
        bool ok = false;
        const qint64 number = mark >= 0 && mark < end ? QStringView(packed).sliced(at, mark - at).toLongLong(&ok) : 0;
        if (!ok || number <= 0)
            return false;
        rows->append({number, packed.sliced(mark + 1, end - mark - 1)});
        at = end + 1;
    }
    return true;
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
