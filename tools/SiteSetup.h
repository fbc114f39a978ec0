#pragma once

// Creating a site folder: settings file, ODBC data source and the database (a new SQLite file,
// or the schema on a PostgreSQL server).

#include <QString>

class rdo_cntl;

namespace orvel {

// Where a site's PostgreSQL database lives: HOST[:PORT][/DATABASE]. A HOST that begins with "/"
// is the folder of the server's socket.
struct PgAddress
{
    QString host;
    int port = 5432;
    QString database = QStringLiteral("telmar");
};
// Reads HOST[:PORT][/DATABASE]; false with error set when the text is not one.
bool ParsePgAddress(const QString &text, PgAddress *address, QString *error);

struct SiteOptions
{
    int edition = 1;
    // Empty: a new SQLite database in the site folder; else the PostgreSQL database to use.
    QString postgresql;
    // Whether this PC runs the services: 1 yes, 0 no (another PC does), -1 decided by the
    // database: yes for a new one, no when joining one that another PC set up.
    int services = -1;
};

// Creates DIR with Orvel.ini (every key at its default), odbcinst.ini and odbc.ini naming the data
// source telmar_mdb, and the database:
//  - SQLite: DIR/telmar.db through the SQLite3 ODBC driver, with every table, view and initial row;
//  - PostgreSQL (options.postgresql): the server database through psqlODBC, created when it does
//    not exist; an empty database gets the schema, one that already holds it is joined after its
//    version is checked (a newer schema than this program knows, or a database holding other
//    tables, is refused).
// Refuses (false, error set, nothing written) when DIR already holds a site. summary, when given,
// says what was done with the database.
bool CreateSite(const QString &dir, const SiteOptions &options, QString *error, QString *summary = nullptr);

// Builds every table, view and initial row on the open shared connection, dropping what is there
// first, then runs the schema upgrade for the edition.
bool BuildDatabase(rdo_cntl &db, int edition, QString *error);

// Points this process's ODBC driver manager at the site's odbc.ini and odbcinst.ini.
void UseSiteOdbc(const QString &dir);

// The text of a new Orvel.ini with every key at its default.
QString DefaultOrvelIni();

// An ODBC connection text that reaches the PostgreSQL server of address, in database (not the
// site's data source: used to create or drop a database from the server's maintenance database).
QString PgConnectText(const PgAddress &address, const QString &database);

} // namespace orvel
