#pragma once

// Creating a site folder: settings file, ODBC data source and a new database.

#include <QString>

class rdo_cntl;

namespace orvel {

struct SiteOptions
{
    int edition = 1;
};

// Creates DIR with Orvel.ini (every key at its default), odbcinst.ini and odbc.ini (data source
// telmar_mdb on DIR/telmar.db through the SQLite3 ODBC driver) and a new database with every table,
// view and initial row. Refuses (false, error set) when DIR already holds a site.
bool CreateSite(const QString &dir, const SiteOptions &options, QString *error);

// Builds every table, view and initial row on the open shared connection, dropping what is there
// first, then runs the schema upgrade for the edition.
bool BuildDatabase(rdo_cntl &db, int edition, QString *error);

// Points this process's ODBC driver manager at the site's odbc.ini and odbcinst.ini.
void UseSiteOdbc(const QString &dir);

// The text of a new Orvel.ini with every key at its default.
QString DefaultOrvelIni();

} // namespace orvel
