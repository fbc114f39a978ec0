#pragma once

// Which gate log types belong to which kind of log: the automatic log file's modes and the log
// list's four views use the same classes.

#include <QString>
#include <QVector>

namespace orvel {

enum class LogKind { Authentication = 1, Operation = 2, Error = 3, All = 4 };

inline constexpr int kLogTypeAdmitted = 1;   // a successful authentication (a passage)
inline constexpr int kLogTypeUndefined = 255; // never listed among "all logs"

// Log types of one kind (All gives nothing: it means every type but 255).
QVector<int> LogTypesOf(LogKind kind);
// Log types that count as authentication attempts (admitted or refused).
QVector<int> AuthAttemptLogTypes();
// Whether a record of logType is written by the automatic log file in logMode
// (0 none, 1-4 the kinds, any other value: all).
bool LogModeIncludes(int logMode, int logType);
// A SQL condition on column that selects the kind, e.g. "log_type IN (18,19,...)".
QString LogKindCondition(LogKind kind, const QString &column = QStringLiteral("log_type"));

struct LogTypeText
{
    int logType;
    const char *message;
};
// The message of every log type the system knows (the rows of m_glog_define).
const QVector<LogTypeText> &KnownLogTypes();

} // namespace orvel
