#pragma once

// What the log screens do with their filters, without widgets: which view a log kind reads, how
// the period and name filters become conditions on the access component, the CSV title blocks
// and the CSV failure messages.

#include <QString>

class rdo_cntl;

namespace orvel::logs {

// An empty date field as the operator sees it.
inline const QString kEmptyDate = QStringLiteral("____/__/__");

inline constexpr int kMonitorRows = 21;
inline constexpr int kManualRows = 100000;

struct LogKindInfo
{
    QString name;    // "認証ログ" ... also the default CSV file name
    QString view;    // v_log_telmar_plus_1 ...
    QString heading; // "<< 認証ログ>> "
};
// Kinds 0-3: authentication, operation, error, all.
LogKindInfo LogKind(int index);

// The period of two "yyyy/mm/dd" fields: empty text when it is accepted, otherwise the message
// to show. A field that is empty, partly typed or no calendar date is refused like an empty one.
QString CheckPeriod(const QString &from, const QString &to);

struct LogFilter
{
    int listType = 0;
    QString from; // yyyy/mm/dd
    QString to;
    QString userName;
    QString empName;
    QString gateName;
    QString zoneName;
    int doorMode = 0; // 0 both directions, 1 entries only, 2 exits only
    bool monitor = false;
};

// Sets the kind's view and the conditions on an instance (period, prefix filters, direction).
// The grid instance gets the row limit of its mode; the CSV instance has none.
void ApplyLogFilter(const LogFilter &filter, rdo_cntl &db, bool isGrid);

// The log list's columns on the grid and in the CSV file.
void DeclareLogGridFields(rdo_cntl &db);
void DeclareLogCsvFields(rdo_cntl &db);

// The eight title lines of the log list's CSV file, each ending CR LF.
QString LogTitleBlock(const LogFilter &filter, const QString &listTypeText, const QString &doorModeText);

// The message for a failed PrintCSV result (negative): a file that cannot be opened for writing,
// typically because another program holds it, gets the hint to close it.
QString CsvFailureMessage(qint32 result);

// ---- the user authentication list ---------------------------------------------------------------

struct UserAuthKindInfo
{
    QString view;     // telmar_v1.v_log_telmar_pass / telmar_v1.v_log_telmar_auth2
    QString fileName; // default CSV file name
    QString heading;  // first title line
};
// 0 passages, 1 authentication attempts.
UserAuthKindInfo UserAuthKind(int index);
void DeclareUserAuthFields(rdo_cntl &db);
// Period and user conditions; the user's item code is written as ten digits.
void ApplyUserAuthFilter(rdo_cntl &db, const QString &from, const QString &to, qint64 userCode);
QString UserAuthTitleBlock(const UserAuthKindInfo &kind, const QString &userText, const QString &from,
                           const QString &to);

} // namespace orvel::logs
