#include "LogListLogic.h"

#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <QByteArray>
#include <QDate>
#include <QStringList>
#include <QList>

namespace orvel::logs {
namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kUnspecified = QStringLiteral("無指定");

bool IsDate(const QString &text)
{
    return text.size() == 10 && QDate::fromString(text, QStringLiteral("yyyy/MM/dd")).isValid();
}

QString OrUnspecified(const QString &text)
{
    return text.isEmpty() ? kUnspecified : text;
}
} // namespace

LogKindInfo LogKind(int index)
{
    static const LogKindInfo kinds[] = {
        {QStringLiteral("認証ログ"), QStringLiteral("v_log_telmar_plus_1"), QStringLiteral("<< 認証ログ>> ")},
        {QStringLiteral("操作ログ"), QStringLiteral("v_log_telmar_plus_2"), QStringLiteral("<< 操作ログ>> ")},
        {QStringLiteral("エラーログ"), QStringLiteral("v_log_telmar_plus_3"), QStringLiteral("<< エラーログ>> ")},
        {QStringLiteral("全てのログ"), QStringLiteral("v_log_telmar_plus_4"), QStringLiteral("<< 全てのログ>> ")},
    };
    return kinds[index >= 0 && index < 4 ? index : 0];
}

QString CheckPeriod(const QString &from, const QString &to)
{
    if (!IsDate(from) || !IsDate(to))
        return QStringLiteral("日付を正しく指定してください。");
    if (from > to)
        return QStringLiteral("期間の指定を正しく入力してください。");
    return QString();
}

namespace {
QList<std::pair<QString, QString>> NameFilters(const LogFilter &f)
{
    return {{QStringLiteral("user_name"), f.userName},
            {QStringLiteral("emp_name"), f.empName},
            {QStringLiteral("gate_name"), f.gateName},
            {QStringLiteral("zone_name"), f.zoneName}};
}

QString PrefixMatch(const QString &column, const QString &text)
{
    // What the operator typed stays inside its literal, quotes included.
    return column + QStringLiteral(" like '") + SqlEscape(text) + QStringLiteral("%'");
}
} // namespace

QString ChooseLeadColumn(const LogFilter &f)
{
    if (f.monitor || CurrentBackend() != DbBackend::SQLite)
        return QString();
    QString lead;
    int fewest = kNameLeadRows + 1;
    for (const auto &[column, text] : NameFilters(f)) {
        if (text.isEmpty())
            continue;
        int rows = fewest;
        try {
            rdo_cntl db;
            rows = db.ExecFunction(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM log_telmar_plus WHERE %1 "
                                                  "LIMIT %2) AS hits")
                                       .arg(PrefixMatch(column, text))
                                       .arg(fewest))
                       .toInt();
        } catch (const RdoError &) {
            continue; // the search itself reports what fails
        }
        if (rows < fewest) {
            fewest = rows;
            lead = column;
        }
    }
    return lead;
}

void ApplyLogFilter(const LogFilter &f, rdo_cntl &db, bool isGrid)
{
    ApplyLogFilter(f, db, isGrid, ChooseLeadColumn(f));
}

void ApplyLogFilter(const LogFilter &f, rdo_cntl &db, bool isGrid, const QString &lead)
{
    // A unary plus keeps SQLite from using a column's index: with a name leading, neither the
    // period nor the other names are walked by their indexes. A server database has no unary plus
    // for times (and its planner weighs the indexes itself).
    const bool server = CurrentBackend() == DbBackend::PostgreSQL;
    const auto led = [&](const QString &column) {
        return lead.isEmpty() || column == lead || server ? column : u'+' + column;
    };
    db.setDataSource(LogKind(f.listType).view);
    db.setWhere(led(QStringLiteral("log_dt")) + QStringLiteral(" >= #") + f.from + QStringLiteral(" 00:00:00#"));
    db.setWhereS(led(QStringLiteral("log_dt")) + QStringLiteral(" <= #") + f.to + QStringLiteral(" 23:59:59#"));
    for (const auto &[column, text] : NameFilters(f))
        if (!text.isEmpty())
            db.setWhereS(PrefixMatch(led(column), text));
    if (f.doorMode == 1)
        db.setWhereS(QStringLiteral("gate_mode = '入室'"));
    else if (f.doorMode == 2)
        db.setWhereS(QStringLiteral("gate_mode = '退室'"));
    if (isGrid)
        db.setLimit(QString::number(f.monitor ? kMonitorRows : kManualRows));
}

namespace {
struct Column
{
    const char *name;
    const char *format;
    const char *caption;
};

// Declares a field list in order (the first starts a new list) and the newest-first order.
template <size_t N>
void Declare(rdo_cntl &db, const Column (&columns)[N])
{
    for (size_t i = 0; i < N; ++i)
        db.SetField(QLatin1String(columns[i].name), QLatin1String(columns[i].format), false, i == 0, 0,
                    QString::fromUtf8(columns[i].caption));
    db.setOrder(QStringLiteral("log_dt DESC, log_type DESC, log_id DESC"));
}

const Column kGridColumns[] = {
    {"log_dt", "yyyy/mm/dd hh:mm:ss", "ログ出力日付"}, {"log_type", "", "ログNo."},
    {"log_message", "", "ログ内容"},                   {"user_id", "0000000000", "ユーザID"},
    {"user_name", "", "ユーザ名"},                     {"emp_name", "", "部署名"},
    {"gate_name", "", "ゲート名"},                     {"gate_mode", "", "ゲート入退区分"},
    {"zone_name", "", "ゾーン名"},                     {"gauth_type_name", "", "認証方法"},
};
} // namespace

void DeclareLogGridFields(rdo_cntl &db)
{
    Declare(db, kGridColumns);
}

QStringList LogGridFormats()
{
    QStringList formats;
    for (const Column &c : kGridColumns)
        formats << QLatin1String(c.format);
    return formats;
}

void UsePackedLogRows(rdo_cntl &db, int listType)
{
    // No "." may appear before the view's name: the component drops a schema prefix up to it.
    const QString separator = CurrentBackend() == DbBackend::PostgreSQL ? QStringLiteral("chr(31)")
                                                                        : QStringLiteral("char(31)");
    QStringList parts;
    for (const Column &c : kGridColumns) {
        QString value = QStringLiteral("COALESCE(CAST(%1 AS VARCHAR), '')").arg(QLatin1String(c.name));
        if (QByteArray(c.format).isEmpty()) // free text: a separator inside would split the row
            value = QStringLiteral("replace(%1, %2, ' ')").arg(value, separator);
        parts << value;
    }
    db.setDataSource(QStringLiteral("(SELECT %1 AS log_row, * FROM %2) lv")
                         .arg(parts.join(QStringLiteral(" || ") + separator + QStringLiteral(" || ")),
                              LogKind(listType).view));
    db.SetField(QStringLiteral("log_row"), QString(), false, true);
    db.setPackedRows(kLogRowsPerValue);
}

void DeclareLogCsvFields(rdo_cntl &db)
{
    static const Column columns[] = {
        {"log_dt", "yyyy/mm/dd hh:mm:ss", "ログ出力日付"}, {"log_type", "", "ログNo."},
        {"log_message", "", "ログ内容"},                   {"user_id", "0000000000", "ユーザID"},
        {"user_name", "", "ユーザ名"},                     {"emp_id", "00000", "部署ID"},
        {"emp_name", "", "部署名"},                        {"gate_id", "", "ゲートID"},
        {"gate_name", "", "ゲート名"},                     {"gate_mode", "", "ゲート入退区分"},
        {"ip_addr", "", "ゲートIPアドレス"},               {"zone_name", "", "ゾーン名"},
        {"gauth_type_name", "", "認証方法"},
    };
    Declare(db, columns);
}

QString LogTitleBlock(const LogFilter &f, const QString &listTypeText, const QString &doorModeText)
{
    return LogKind(f.listType).heading + kCrLf +                                                    //
           QStringLiteral("期間： ") + f.from + QStringLiteral(" ～ ") + f.to + kCrLf +               //
           QStringLiteral("ログタイプ： ") + listTypeText + kCrLf +                                 //
           QStringLiteral("ユーザ名： ") + OrUnspecified(f.userName) + kCrLf +                       //
           QStringLiteral("部署名： ") + OrUnspecified(f.empName) + kCrLf +                          //
           QStringLiteral("ゲート名： ") + OrUnspecified(f.gateName) + kCrLf +                       //
           QStringLiteral("ゲート入退区分： ") + doorModeText + kCrLf +                              //
           QStringLiteral("ゾーン名： ") + OrUnspecified(f.zoneName) + kCrLf;
}

QString CsvFailureMessage(qint32 result)
{
    if (result == -70)
        return QStringLiteral("CSVファイルの出力に失敗しました。保存先ファイルを開いている場合は閉じてください。");
    return QStringLiteral("CSVファイルの出力に失敗しました。");
}

UserAuthKindInfo UserAuthKind(int index)
{
    if (index == 1)
        return {QStringLiteral("telmar_v1.v_log_telmar_auth2"), QStringLiteral("入室リスト"),
                QStringLiteral("<< 入室リスト>> ")};
    return {QStringLiteral("telmar_v1.v_log_telmar_pass"), QStringLiteral("ゲート認証リスト"),
            QStringLiteral("<< ゲート認証リスト>> ")};
}

void DeclareUserAuthFields(rdo_cntl &db)
{
    static const Column columns[] = {
        {"log_dt", "yyyy/mm/dd HH:MM:SS", "ログ出力日付"}, {"gate_id", "00000", "ゲートID"},
        {"zone_name", "", "ゾーン"},                       {"gate_name", "", "ゲート名"},
        {"gate_direction", "", "入／退"},                  {"auth_result", "", "認証結果"},
        {"log_message", "", "詳細"},
    };
    Declare(db, columns);
}

void ApplyUserAuthFilter(rdo_cntl &db, const QString &from, const QString &to, qint64 userCode)
{
    db.setWhere(QStringLiteral("log_dt >= #") + from + QStringLiteral(" 00:00:00#"));
    db.setWhereS(QStringLiteral("log_dt <= #") + to + QStringLiteral(" 23:59:59#"));
    db.setWhereS(QStringLiteral("user_id = '") + QStringLiteral("%1").arg(userCode, 10, 10, QLatin1Char('0')) +
                 QStringLiteral("'"));
}

QString UserAuthTitleBlock(const UserAuthKindInfo &kind, const QString &userText, const QString &from,
                           const QString &to)
{
    return kind.heading + kCrLf + QStringLiteral("ユーザ名： ") + userText + kCrLf + QStringLiteral("期　　間： ") +
           from + QStringLiteral(" ～ ") + to + kCrLf;
}

} // namespace orvel::logs
