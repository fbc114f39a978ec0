#include "LogCategories.h"

#include <QStringList>

namespace orvel {
namespace {
QVector<int> Range(std::initializer_list<std::pair<int, int>> ranges)
{
    QVector<int> out;
    for (auto [a, b] : ranges)
        for (int t = a; t <= b; ++t)
            out << t;
    return out;
}
} // namespace

QVector<int> LogTypesOf(LogKind kind)
{
    switch (kind) {
    case LogKind::Authentication:
        return {kLogTypeAdmitted};
    case LogKind::Operation:
        return Range({{18, 19}, {24, 25}, {30, 38}, {144, 144}, {160, 162}, {164, 166}, {178, 181},
                      {192, 192}, {209, 211}});
    case LogKind::Error:
        return Range({{28, 29}, {48, 49}, {231, 231}, {234, 234}, {236, 236}, {246, 246}, {250, 250}});
    case LogKind::All:
        break;
    }
    return {};
}

QVector<int> AuthAttemptLogTypes()
{
    return {kLogTypeAdmitted, 28, 29, 231, 234, 236};
}

bool LogModeIncludes(int logMode, int logType)
{
    switch (logMode) {
    case 0:
        return false;
    case 1:
    case 2:
    case 3:
        return LogTypesOf(static_cast<LogKind>(logMode)).contains(logType);
    case 4:
        return logType != kLogTypeUndefined;
    default:
        return true;
    }
}

QString LogKindCondition(LogKind kind, const QString &column)
{
    if (kind == LogKind::All)
        return column + QStringLiteral(" <> ") + QString::number(kLogTypeUndefined);
    QStringList types;
    for (int t : LogTypesOf(kind))
        types << QString::number(t);
    return column + QStringLiteral(" IN (") + types.join(u',') + u')';
}

const QVector<LogTypeText> &KnownLogTypes()
{
    static const QVector<LogTypeText> types = {
        {1, "認証OK"},
        {18, "管理者メニュー開始"},
        {19, "管理者メニュー終了"},
        {24, "ユーザ登録(端末)"},
        {25, "ユーザ削除(端末)"},
        {28, "認証NG(未登録)"},
        {29, "認証NG(照合不一致)"},
        {30, "時刻設定"},
        {31, "設定変更"},
        {32, "遠隔開錠"},
        {33, "遠隔施錠"},
        {34, "常時開錠に設定"},
        {35, "常時施錠に設定"},
        {36, "通常運用に設定"},
        {37, "電源投入"},
        {38, "電源切断"},
        {48, "ドアこじ開け警報"},
        {49, "ドア開放警報"},
        {144, "ログ読出し"},
        {160, "ユーザデータ受信"},
        {161, "ユーザデータ削除"},
        {162, "未割当ユーザ一括削除"},
        {164, "指紋データ受信"},
        {165, "指紋データ削除"},
        {166, "カードデータ受信"},
        {178, "管理者登録"},
        {179, "管理者削除"},
        {180, "パスワード変更"},
        {181, "端末初期化"},
        {192, "通信開始"},
        {209, "センサー設定変更"},
        {210, "アラーム解除"},
        {211, "アラーム設定"},
        {231, "認証NG(有効期限切れ)"},
        {234, "認証NG(通行権限なし)"},
        {236, "認証NG(タイムアウト)"},
        {246, "通信エラー"},
        {250, "メモリエラー"},
        {255, "未定義"},
    };
    return types;
}

} // namespace orvel
