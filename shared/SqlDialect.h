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

// Translates a statement of the system's dialect for the back end:
//  - #yyyy/mm/dd hh:mm:ss# (any separators, unpadded fields allowed) -> 'YYYY-MM-DD HH:MM:SS'
//  - [name] -> "name" on back ends that do not take brackets
// Text inside quoted literals is left untouched.
QString TranslateSql(const QString &sql, DbBackend backend);
inline QString TranslateSql(const QString &sql) { return TranslateSql(sql, CurrentBackend()); }

// A date-time as the database stores it: 'YYYY-MM-DD HH:MM:SS' (ISO text, zero-padded).
QString IsoDateTimeText(int year, int month, int day, int hour, int minute, int second);

} // namespace orvel
