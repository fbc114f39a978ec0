#pragma once

// The one place that knows the SQL dialects. Statements are written once in the system's own
// dialect (date-time literals between "#", names in square brackets) and translated here for the
// back end in use; values placed between quotes go through SqlEscape so that a quote inside a
// value (O'Brien) never ends the literal.

#include <QList>
#include <QString>

#include <utility>

namespace orvel {

enum class DbBackend { SQLite, PostgreSQL };

// The back end behind the current connection; SQLite unless set otherwise.
DbBackend CurrentBackend();
void SetCurrentBackend(DbBackend backend);
// Guesses the back end from an ODBC driver name ("SQLite3", "PostgreSQL Unicode", ...).
DbBackend BackendFromDriverName(const QString &driverName);

// Doubles every occurrence of the enclosing character in value. An empty enclosing text leaves
// the value unchanged (numbers written bare).
QString SqlEscape(const QString &value, const QString &enclosing = QStringLiteral("'"));
// value between single quotes, escaped: O'Brien -> 'O''Brien'.
QString SqlText(const QString &value);
// value between the enclosing characters a caller of the access component chose, as the system
// means them: "'" and "\"" both enclose text, written as a standard text literal (a double-quoted
// text is a name to PostgreSQL, and to SQLite whenever a column of that name exists); an empty
// enclosing writes the value bare (numbers); any other enclosing is written around the value, with
// itself doubled inside it.
QString SqlLiteral(const QString &value, const QString &enclosing);

// Whether text reaches the back end intact. SQLite's driver takes 8-bit statements only, which
// the driver manager makes through UCS-2: a character beyond the basic plane (an emoji, a rare
// kanji such as U+20BB7) cannot pass, and the whole statement would arrive garbled.
bool StorableText(const QString &text, DbBackend backend);
inline bool StorableText(const QString &text) { return StorableText(text, CurrentBackend()); }

// Translates a statement of the system's dialect for the back end:
//  - #yyyy/mm/dd hh:mm:ss# (any separators, unpadded fields allowed) -> 'YYYY-MM-DD HH:MM:SS'
//  - PostgreSQL: [name] -> name (a name that is no plain identifier -> "name"); LIKE -> ILIKE,
//    since the system's LIKE ignores the case of letters as SQLite's does; TEXT(n) -> VARCHAR(n)
// Text inside quoted literals and quoted names is left untouched.
QString TranslateSql(const QString &sql, DbBackend backend);
inline QString TranslateSql(const QString &sql) { return TranslateSql(sql, CurrentBackend()); }

// ---- rows read several to a value -------------------------------------------------------------
// Every row fetched through the driver costs more than the database's own work on it, so a long
// result is better read as a few values of many rows each. PackedRowsSelect gives the rows of
//   SELECT value FROM source [WHERE where] [ORDER BY order]
// (at most maxRows of them; 0: all) numbered 1, 2, ... in that order, and joins each run of
// rowsPerValue consecutive rows into one value: values in the order of their rows, each row written
// as its number, kPackedNumberSeparator and its text, rows separated by kPackedRowSeparator. The
// number, not the place in the value, gives a row's position: SQLite joins a group in no
// guaranteed order. The query runs as written (ORDER BY, LIMIT) and its rows are numbered by its
// sort keys, so the order's terms must be expressions of the source: empty text is returned for
// an order by column position ("ORDER BY 2"). value must give text; NULL is read as empty text, and
// a record separator inside it as a space. A statement of the system's dialect, for the back end
// given.
inline constexpr char16_t kPackedRowSeparator = 0x1E;
inline constexpr char16_t kPackedNumberSeparator = 0x1F;
QString PackedRowsSelect(DbBackend backend, const QString &value, const QString &source, const QString &where,
                         const QString &order, qint64 maxRows, int rowsPerValue);
// The rows of one value of PackedRowsSelect as (number, text); false when a row has no number.
bool SplitPackedRows(const QString &packed, QList<std::pair<qint64, QString>> *rows);

// A date-time as the database stores it: 'YYYY-MM-DD HH:MM:SS' (ISO text, zero-padded).
QString IsoDateTimeText(int year, int month, int day, int hour, int minute, int second);

} // namespace orvel
