#pragma once

// Turns the raw gate records of log_telmar, oldest first, into a copy in log_telmar_raw, a
// resolved row in log_telmar_plus and (as t_autolog_info says) one line of the automatic log
// file, then deletes the raw row. Each output is done once, across failures and restarts: the
// bits of write_ok_flag say which are done, and each database output is written together with
// its bit in one transaction.
//
// Rows go in batches: one transaction writes the outputs of up to a batch of rows, each output
// of the batch with one statement that the database resolves itself, the file lines of the batch
// go out in one write, and the settings are read once per batch. A batch that fails is done again
// row by row, each output in its own transaction; a row that fails on its own is set aside, so
// that it holds back none of the rows after it, and tried again whenever nothing else waits.

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace orvel {
class ServiceDb;
}

namespace harvester {

// The text a status answer shows while the log output fails.
inline constexpr const char *kLogFileErrorText = "ログ出力ファイルエラー";

class LogProcessor
{
public:
    // Measured: 1000 rows per transaction write about a quarter less per record than 500.
    static constexpr int kDefaultBatchRows = 1000;

    // edition 1 reads v_make_log_telmar_plusX, edition 2 v_make_log_telmar_plusX_M.
    LogProcessor(orvel::ServiceDb &db, int edition);

    // One processing run over up to maxRows unfinished rows. Returns how many rows it completed
    // (0: none was waiting, or the run failed; LastError() then says why and the bits already
    // set stay set).
    int Process(int maxRows);
    // A run over the batch size below.
    int ProcessBatch() { return Process(m_batchRows); }
    // One row: true when a row was completed.
    bool Step() { return Process(1) > 0; }

    void SetBatchRows(int rows) { m_batchRows = rows > 0 ? rows : 1; }

    // The last log-output error text; empty when none. A row completed clears it.
    QString LastError() const { return m_lastError; }

    // Where short messages for the window go ("Log File Write error").
    void SetDisplay(std::function<void(const QString &)> display) { m_display = std::move(display); }

    QString SourceView() const { return m_view; }
    // Rows that failed on their own in this run of the program, waiting to be tried again.
    int SetAsideCount() const { return int(m_setAside.size()); }

private:
    // A row as the log file needs it, resolved by the database (see ResolvedColumns()).
    struct Row
    {
        int logId = 0;
        int flag = 0;
        QString logDtText;  // as stored
        QString guserId;
        QDateTime logDt;    // read on its own only; invalid: the stored text is not a time
        bool canonical = false; // logDtText is 'YYYY-MM-DD HH:MM:SS', copied as it stands
        int logType = 0;
        QString values[12]; // the file line's items 1 to 12, in their order
    };
    struct FileSettings
    {
        bool present = false; // no settings row: nothing is configured to be written
        QString path;
        int mode = 0;
        bool item[14] = {};
    };
    enum class Outcome { Done, Locked, RowFailed, FileFailed };

    bool ReadBatch(int limit, QList<Row> *rows, QList<int> *unreadable);
    bool ReadOne(int logId, Row *row);
    bool ReadFileSettings(FileSettings *settings);
    QString FileLine(const Row &row, const FileSettings &settings) const;
    int ProcessTogether(QList<Row> &rows, const FileSettings &settings, bool *failed);
    Outcome ProcessAlone(int logId, const FileSettings &settings);
    void SetAside(int logId);
    bool Fail(const QString &text);

    orvel::ServiceDb &m_db;
    QString m_view;
    QString m_lastError;
    std::function<void(const QString &)> m_display;
    int m_batchRows = kDefaultBatchRows;
    QSet<int> m_setAside; // log_id of rows that failed on their own
    QSet<int> m_reported; // of those, already in the error log
    QString m_rowText;    // the row processed alone last, as the error log names it
};

} // namespace harvester
