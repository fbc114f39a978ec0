#pragma once

// The shared database: every table, view and initial row, written per back end. The console's
// schema upgrade and the site set-up both take their statements from here.

#include "SqlDialect.h"

#include <QStringList>

namespace orvel::schema {

// CREATE TABLE and CREATE INDEX statements of a new database.
QStringList CreateTables(DbBackend backend);
// Tables and indexes added since the first sites were set up, each written so that it changes
// nothing where it exists already: part of every new database, and run by every upgrade.
QStringList Additions(DbBackend backend);
// CREATE VIEW statements of every view of a new database (both editions' views included).
QStringList CreateViews(DbBackend backend);
// The rows a new database starts with (display tables, built-in department, control rows).
QStringList InitialRows();

// Views that the schema upgrade creates on older databases, by name.
QString CreateViewStatement(const QString &viewName, DbBackend backend);
// Views whose definition changed since sites were first set up (same columns, same rows): the
// upgrade replaces the older definition where the database holds one.
QStringList RevisedViews();

// Every table and every view a complete database holds.
QStringList TableNames();
QStringList ViewNames();

// The schema version (set_mainte.db_vers) as a number, read as the upgrade reads it: the number at
// the start of the text, "1.1" -> 1.1, "" -> 0.
double VersionNumber(const QString &text);
// The newest schema version this program knows (the Mifare edition's views).
inline constexpr double kNewestVersion = 1.1;

// Column counts at or above which the upgrade leaves a table alone.
inline constexpr int kGateColumnsCurrent = 13;
inline constexpr int kMainteColumnsCurrent = 8;

} // namespace orvel::schema
