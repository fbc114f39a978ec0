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
// The grid instance gets the row limit of its mode; the CSV instance has none. The conditions are
// written so that the database starts from the index that finds the rows fastest (see
// ChooseLeadColumn); the rows and their order do not depend on it.
void ApplyLogFilter(const LogFilter &filter, rdo_cntl &db, bool isGrid);
// The same with the leading column given: empty for the period, else a name filter's column.
void ApplyLogFilter(const LogFilter &filter, rdo_cntl &db, bool isGrid, const QString &leadColumn);

// A manual search on SQLite: SQLite walks the period's index newest first, which reads every row
// of the period when a name prefix matches few of them. The name filter matching the fewest log
// rows leads instead when it matches at most this many (counted on its own index). Empty: the
// period leads (monitor mode, another back end, no name filter, or only broad ones).
inline constexpr int kNameLeadRows = 50000;
QString ChooseLeadColumn(const LogFilter &filter);

// The log list's columns on the grid and in the CSV file.
void DeclareLogGridFields(rdo_cntl &db);
// The grid's display formats, column by column (as DeclareLogGridFields declares them).
QStringList LogGridFormats();

// The grid as the screen loads it: each row read as one text, its columns joined by the unit
// separator, because every value fetched through the driver costs more than the database's own
// work on the row (ten columns cost three times the query). Call after ApplyLogFilter: the
// kind's view is read through a subquery that puts the joined row first. LogGridModel splits the
// rows again (SetPackedFormats) and shows exactly what DeclareLogGridFields would show.
// The rows themselves are read many to a fetched value (rdo_cntl::setPackedRows).
void UsePackedLogRows(rdo_cntl &db, int listType);
inline constexpr char16_t kLogRowSeparator = 0x1F;
inline constexpr int kLogRowsPerValue = 64;
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
