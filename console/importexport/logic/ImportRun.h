#pragma once

// The two-pass import shared by the user, department and gate imports. The check pass reads
// every record and runs its checks (the first record's summary is shown for confirmation
// first); a failure ends the run with nothing written. The write pass reads the file again
// from the top, checks each record again against the live database and writes it; a failure
// there ends the run and what was written stays.
//
// The run shows nothing itself: it asks its host for the confirmation, hands it warnings and
// progress, and returns an outcome that the screen or the command line shows.

#include "CheckImportItems.h"
#include "Format.h"

#include <QString>

#include <memory>

class rdo_cntl;

namespace impexp {

class ImportHost
{
public:
    virtual ~ImportHost() = default;
    // The summary of record 1 followed by the question; false cancels (nothing is written).
    virtual bool Confirm(const QString &text) = 0;
    // A warning after which the run goes on (a department that could not be registered).
    virtual void Warn(const QString &text) = 0;
    // Called during the write pass with the records written so far (committed).
    virtual void Progress(int done, int total)
    {
        (void)done;
        (void)total;
    }
};

struct ImportOutcome
{
    enum class Kind {
        Done,      // message: the report (information)
        Cancelled, // the operator declined the confirmation; no message
        Refused,   // message: a warning before anything was read
        Failed     // message: the error (critical)
    };
    Kind kind = Kind::Done;
    QString message;
    int records = 0;        // records of the file (Done)
    int registeredEmps = 0; // departments registered on the way (Done)
};

using orvel::TodayText; // today as the database stores dates

class ImportRun
{
public:
    virtual ~ImportRun();
    ImportRun(const ImportRun &) = delete;
    ImportRun &operator=(const ImportRun &) = delete;

    ImportOutcome Run(const QString &fileName, ImportHost &host);

    // The write pass commits every batchSize records (and before a warning is shown); progress
    // is reported after each commit. Tests use 1 to see every record committed on its own.
    static constexpr int kDefaultBatchSize = 100;
    void SetBatchSize(int records) { m_batchSize = records > 0 ? records : 1; }

protected:
    ImportRun();

    // A warning that refuses the run before the file is read, or empty.
    virtual QString Refusal() const { return {}; }
    virtual QString Question() const = 0;
    // Called before each pass (1 check, 2 write): restart counters and the in-file lists.
    virtual void StartPass(int pass) = 0;
    // Takes record n's fields and returns its summary.
    virtual QString Take(const QStringList &fields, int n) = 0;
    // Runs the record checks on the record taken; false with m_check.Error() set.
    virtual bool CheckRecord(int pass) = 0;
    // Writes the record taken; false with the error in *error.
    virtual bool WriteRecord(ImportHost &host, QString *error) = 0;
    virtual QString Report(int records) const = 0;
    virtual int RegisteredEmps() const { return 0; }

    int m_batchSize = kDefaultBatchSize;
    std::unique_ptr<rdo_cntl> m_lookup;
    CheckImportItems m_check;
    RowReader m_reader;
};

} // namespace impexp
