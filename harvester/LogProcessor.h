#pragma once

// Turns the raw gate records of log_telmar, oldest first, into a copy in log_telmar_raw, a
// resolved row in log_telmar_plus and (as t_autolog_info says) one line of the automatic log
// file, then deletes the raw row. Each output is done once, across failures and restarts: the
// bits of write_ok_flag say which are done, and each database output is written together with
// its bit in one transaction.

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
    // edition 1 reads v_make_log_telmar_plusX, edition 2 v_make_log_telmar_plusX_M.
    LogProcessor(orvel::ServiceDb &db, int edition);

    // One step: handles the first unfinished raw row. False when there was none, or when the
    // step failed (LastError() then says why; the bits already set stay set).
    bool Step();

    // The last log-output error text; empty when none. A row completed clears it.
    QString LastError() const { return m_lastError; }

    // Where short messages for the window go ("Log File Write error").
    void SetDisplay(std::function<void(const QString &)> display) { m_display = std::move(display); }

    QString SourceView() const { return m_view; }

private:
    struct Row;
    struct Output;
    bool ReadFirst(Row *row);
    bool WriteWithFlag(const QString &insert, int logId, int flag);
    bool WriteFile(const Row &row, const QString &direction);
    bool Fail(const QString &text);

    orvel::ServiceDb &m_db;
    QString m_view;
    QString m_lastError;
    std::function<void(const QString &)> m_display;
};

} // namespace harvester
