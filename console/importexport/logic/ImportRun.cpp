#include "ImportRun.h"

#include "ImportFile.h"
#include "rdo_cntl.h"

#include <utility>

namespace impexp {

ImportRun::ImportRun()
    : m_lookup(std::make_unique<rdo_cntl>()), m_check(*m_lookup), m_reader(*m_lookup)
{
}

ImportRun::~ImportRun() = default;

namespace {

// The write pass writes in transactions of a batch of records: one commit per record would
// make a large import wait on the disk for each. A batch is committed before anything can let
// other work of the program run (a message box, the progress shown on screen), so that no
// other statement ever joins it.
class WriteBatch
{
public:
    explicit WriteBatch(rdo_cntl &db)
        : m_db(db)
    {
    }
    void Begin()
    {
        if (!m_open) {
            m_db.BeginTrans();
            m_open = true;
        }
    }
    // Empty text, or the database's reason when the commit failed.
    QString Commit()
    {
        if (!m_open)
            return {};
        m_open = false;
        try {
            m_db.CommitTrans();
        } catch (const RdoError &e) {
            return e.message();
        }
        return {};
    }

private:
    rdo_cntl &m_db;
    bool m_open = false;
};

// The host as the write pass hands it on: a warning commits what was written first.
class BatchHost : public ImportHost
{
public:
    BatchHost(ImportHost &inner, WriteBatch &batch)
        : m_inner(inner), m_batch(batch)
    {
    }
    bool Confirm(const QString &text) override { return m_inner.Confirm(text); }
    void Warn(const QString &text) override
    {
        if (const QString e = m_batch.Commit(); !e.isEmpty() && m_commitError.isEmpty())
            m_commitError = e;
        m_inner.Warn(text);
        m_batch.Begin();
    }
    void Progress(int done, int total) override { m_inner.Progress(done, total); }
    QString TakeCommitError() { return std::exchange(m_commitError, QString()); }

private:
    ImportHost &m_inner;
    WriteBatch &m_batch;
    QString m_commitError;
};

} // namespace

ImportOutcome ImportRun::Run(const QString &fileName, ImportHost &host)
{
    ImportOutcome out;
    auto fail = [&out](ImportOutcome::Kind kind, const QString &message) {
        out.kind = kind;
        out.message = message;
        return out;
    };
    if (const QString refusal = Refusal(); !refusal.isEmpty())
        return fail(ImportOutcome::Kind::Refused, refusal);
    if (fileName.isEmpty())
        return fail(ImportOutcome::Kind::Refused, QStringLiteral("インポートファイルを指定してください。"));
    // The file is read once; both passes go over the same records, so what is written is
    // exactly what was checked.
    ImportFile file;
    if (!file.Load(fileName))
        return fail(ImportOutcome::Kind::Failed, QStringLiteral("ファイルのオープンに失敗しました。"));

    const int total = file.RecordCount();
    QString summary;
    WriteBatch batch(*m_lookup);
    BatchHost writeHost(host, batch);
    // A failure in the write pass: what was written before the failing record stays.
    auto failWriting = [&](const QString &message) {
        QString text = message;
        if (const QString e = batch.Commit(); !e.isEmpty())
            text += kCrLf + e;
        return fail(ImportOutcome::Kind::Failed, text);
    };
    try {
        StartPass(1);
        for (int n = 1; n <= total; ++n) {
            summary = Take(file.Fields(n), n);
            if (n == 1 && !host.Confirm(summary + kCrLf + Question()))
                return fail(ImportOutcome::Kind::Cancelled, QString());
            m_check.SetRecord(n, summary);
            if (!CheckRecord(1))
                return fail(ImportOutcome::Kind::Failed, m_check.Error());
        }
        StartPass(2);
        for (int n = 1; n <= total; ++n) {
            // The record is taken first, so that a transaction that cannot begin (the database
            // locked by another program) is reported with the record that was not written.
            summary = Take(file.Fields(n), n);
            batch.Begin();
            m_check.SetRecord(n, summary);
            if (!CheckRecord(2))
                return failWriting(m_check.Error());
            QString error;
            const bool written = WriteRecord(writeHost, &error);
            if (const QString e = writeHost.TakeCommitError(); !e.isEmpty())
                return failWriting(QStringLiteral("登録に失敗しました。") + kCrLf + e);
            if (!written)
                return failWriting(error);
            if (n % m_batchSize == 0 || n == total) {
                if (const QString e = batch.Commit(); !e.isEmpty())
                    return fail(ImportOutcome::Kind::Failed, QStringLiteral("登録に失敗しました。") + kCrLf + e);
                host.Progress(n, total);
            }
        }
    } catch (const RdoError &e) {
        // A database failure in a lookup or a write: the run ends where it is.
        return failWriting(summary + kCrLf + e.message());
    }
    out.records = total;
    out.registeredEmps = RegisteredEmps();
    out.message = Report(total);
    return out;
}

} // namespace impexp
