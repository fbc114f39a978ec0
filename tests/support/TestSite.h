#pragma once

// A temporary site for one test: its own folder (ORVEL_HOME), Orvel.ini, the telmar_mdb data
// source and a new database, opened on the shared connection of the access component.
//
// By default the database is SQLite in the temporary folder. To run the same suites on another
// back end, set ORVEL_TEST_ODBCINI to an odbc.ini whose telmar_mdb points at it (and
// ORVEL_TEST_ODBCSYSINI to the folder of its odbcinst.ini if needed): the schema is rebuilt there.

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

class rdo_cntl;

namespace orvel::test {

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

private:
    QTemporaryDir m_tmp;
    bool m_ok = false;
    QString m_error;
};

} // namespace orvel::test
