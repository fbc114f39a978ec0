#pragma once

// The one place that knows the SQL dialects. Statements are written once in the system's own
// dialect (date-time literals between "#", names in square brackets) and translated here for the
// back end in use; values placed between quotes go through SqlEscape so that a quote inside a
// value (O'Brien) never ends the literal.

#include <QString>

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

// Translates a statement of the system's dialect for the back end:
//  - #yyyy/mm/dd hh:mm:ss# (any separators, unpadded fields allowed) -> 'YYYY-MM-DD HH:MM:SS'
//  - PostgreSQL: [name] -> name (a name that is no plain identifier -> "name"); LIKE -> ILIKE,
//    since the system's LIKE ignores the case of letters as SQLite's does; TEXT(n) -> VARCHAR(n)
// Text inside quoted literals and quoted names is left untouched.
QString TranslateSql(const QString &sql, DbBackend backend);
inline QString TranslateSql(const QString &sql) { return TranslateSql(sql, CurrentBackend()); }

// A date-time as the database stores it: 'YYYY-MM-DD HH:MM:SS' (ISO text, zero-padded).
QString IsoDateTimeText(int year, int month, int day, int hour, int minute, int second);

} // namespace orvel
