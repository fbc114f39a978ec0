#include "LogListLogic.h"

#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <QDate>

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

void ApplyLogFilter(const LogFilter &f, rdo_cntl &db, bool isGrid)
{
    db.setDataSource(LogKind(f.listType).view);
    db.setWhere(QStringLiteral("log_dt >= #") + f.from + QStringLiteral(" 00:00:00#"));
    db.setWhereS(QStringLiteral("log_dt <= #") + f.to + QStringLiteral(" 23:59:59#"));
    // Prefix matches; what the operator typed stays inside its literal, quotes included.
    const std::pair<const char *, const QString *> names[] = {
        {"user_name", &f.userName}, {"emp_name", &f.empName}, {"gate_name", &f.gateName}, {"zone_name", &f.zoneName}};
    for (const auto &[column, text] : names)
        if (!text->isEmpty())
            db.setWhereS(QLatin1String(column) + QStringLiteral(" like '") + SqlEscape(*text) + QStringLiteral("%'"));
    if (f.doorMode == 1)
        db.setWhereS(QStringLiteral("gate_mode = '入室'"));
    else if (f.doorMode == 2)
        db.setWhereS(QStringLiteral("gate_mode = '退室'"));
    if (isGrid)
        db.setLimit(QString::number(f.monitor ? kMonitorRows : kManualRows));
}

void DeclareLogGridFields(rdo_cntl &db)
{
    db.SetField(QStringLiteral("log_dt"), QStringLiteral("yyyy/mm/dd hh:mm:ss"), false, true, 0, QStringLiteral("ログ出力日付"));
    db.SetField(QStringLiteral("log_type"), QString(), false, false, 0, QStringLiteral("ログNo."));
    db.SetField(QStringLiteral("log_message"), QString(), false, false, 0, QStringLiteral("ログ内容"));
    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), false, false, 0, QStringLiteral("ユーザID"));
    db.SetField(QStringLiteral("user_name"), QString(), false, false, 0, QStringLiteral("ユーザ名"));
    db.SetField(QStringLiteral("emp_name"), QString(), false, false, 0, QStringLiteral("部署名"));
    db.SetField(QStringLiteral("gate_name"), QString(), false, false, 0, QStringLiteral("ゲート名"));
    db.SetField(QStringLiteral("gate_mode"), QString(), false, false, 0, QStringLiteral("ゲート入退区分"));
    db.SetField(QStringLiteral("zone_name"), QString(), false, false, 0, QStringLiteral("ゾーン名"));
    db.SetField(QStringLiteral("gauth_type_name"), QString(), false, false, 0, QStringLiteral("認証方法"));
    db.setOrder(QStringLiteral("log_dt DESC, log_type DESC, log_id DESC"));
}

void DeclareLogCsvFields(rdo_cntl &db)
{
    db.SetField(QStringLiteral("log_dt"), QStringLiteral("yyyy/mm/dd hh:mm:ss"), false, true, 0, QStringLiteral("ログ出力日付"));
    db.SetField(QStringLiteral("log_type"), QString(), false, false, 0, QStringLiteral("ログNo."));
    db.SetField(QStringLiteral("log_message"), QString(), false, false, 0, QStringLiteral("ログ内容"));
    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), false, false, 0, QStringLiteral("ユーザID"));
    db.SetField(QStringLiteral("user_name"), QString(), false, false, 0, QStringLiteral("ユーザ名"));
    db.SetField(QStringLiteral("emp_id"), QStringLiteral("00000"), false, false, 0, QStringLiteral("部署ID"));
    db.SetField(QStringLiteral("emp_name"), QString(), false, false, 0, QStringLiteral("部署名"));
    db.SetField(QStringLiteral("gate_id"), QString(), false, false, 0, QStringLiteral("ゲートID"));
    db.SetField(QStringLiteral("gate_name"), QString(), false, false, 0, QStringLiteral("ゲート名"));
    db.SetField(QStringLiteral("gate_mode"), QString(), false, false, 0, QStringLiteral("ゲート入退区分"));
    db.SetField(QStringLiteral("ip_addr"), QString(), false, false, 0, QStringLiteral("ゲートIPアドレス"));
    db.SetField(QStringLiteral("zone_name"), QString(), false, false, 0, QStringLiteral("ゾーン名"));
    db.SetField(QStringLiteral("gauth_type_name"), QString(), false, false, 0, QStringLiteral("認証方法"));
    db.setOrder(QStringLiteral("log_dt DESC, log_type DESC, log_id DESC"));
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
    db.SetField(QStringLiteral("log_dt"), QStringLiteral("yyyy/mm/dd HH:MM:SS"), false, true, 0, QStringLiteral("ログ出力日付"));
    db.SetField(QStringLiteral("gate_id"), QStringLiteral("00000"), false, false, 0, QStringLiteral("ゲートID"));
    db.SetField(QStringLiteral("zone_name"), QString(), false, false, 0, QStringLiteral("ゾーン"));
    db.SetField(QStringLiteral("gate_name"), QString(), false, false, 0, QStringLiteral("ゲート名"));
    db.SetField(QStringLiteral("gate_direction"), QString(), false, false, 0, QStringLiteral("入／退"));
    db.SetField(QStringLiteral("auth_result"), QString(), false, false, 0, QStringLiteral("認証結果"));
    db.SetField(QStringLiteral("log_message"), QString(), false, false, 0, QStringLiteral("詳細"));
    db.setOrder(QStringLiteral("log_dt DESC, log_type DESC, log_id DESC"));
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
