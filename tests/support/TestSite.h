#pragma once

// A temporary site for one test: its own folder (ORVEL_HOME), Orvel.ini, the telmar_mdb data
// source and a new database made by the site set-up, opened on the shared connection of the access
// component.
//
// The back end is one switch, ORVEL_TEST_BACKEND: unset or "sqlite", a database file in the
// temporary folder; "postgresql", a database of its own in a throwaway PostgreSQL cluster, dropped
// when the site ends. The cluster is the one named by ORVEL_TEST_PG (HOST:PORT, set by the
// pgcluster runner for a whole test run), else one this process starts for itself.

#include "SqlDialect.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class rdo_cntl;

namespace orvel::test {

// The back end the tests run on.
DbBackend TestBackend();
inline bool OnPostgreSql()
{
    return TestBackend() == DbBackend::PostgreSQL;
}

// HOST:PORT of the PostgreSQL cluster for this process: ORVEL_TEST_PG, else one this process starts
// (and stops at exit); empty with error set when none can be had.
QString TestPgCluster(QString *error);

class TestSite
{
public:
    explicit TestSite(int edition = 1);
    ~TestSite();
    TestSite(const TestSite &) = delete;
    TestSite &operator=(const TestSite &) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    QString dir() const;
    QString path(const QString &name) const;

    // Runs a statement (in the system's dialect) on the shared connection; throws RdoError.
    void exec(const QString &sql);
    // The first column of the first row, as text ("" when there is none).
    QString value(const QString &sql);
    // The number of views in the database, or of those among names.
    int viewCount(const QStringList &names = QStringList());

    // A test's own checking SQL may use group_concat(x[, sep]) and ifnull(a, b) on every back end;
    // they are rewritten here for PostgreSQL. Statements of the programs are never rewritten.
    static QString TestSql(const QString &sql);

    // PostgreSQL only: HOST:PORT/DATABASE of this site's database, as init-site --postgresql takes
    // it (another site folder joining it stands in for another PC); empty on SQLite.
    QString pgDatabase() const { return m_pgDatabase.isEmpty() ? QString() : m_pgAddress + u'/' + m_pgDatabase; }

private:
    QTemporaryDir m_tmp;
    bool m_ok = false;
    QString m_error;
    QString m_pgAddress;  // HOST:PORT of the cluster, PostgreSQL only
    QString m_pgDatabase; // this site's database there
};

} // namespace orvel::test
