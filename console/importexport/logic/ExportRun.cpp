#include "ExportRun.h"

#include "ImportRun.h"
#include "rdo_cntl.h"

namespace impexp {

const QVector<ExportColumn> &ExportColumns(ExportKind kind)
{
    static const QVector<ExportColumn> users = {
        {"user_id", "ユーザID", "0000000000"},   {"user_name", "ユーザ名", ""}, {"user_yomi", "ユーザ名（ローマ字）", ""},
        {"emp_id", "部署ID", "00000"},            {"emp_name", "部署名", ""},    {"user_bikou", "備考", ""},
        {"gauthority", "ゲート権限", ""}};
    static const QVector<ExportColumn> emps = {
        {"emp_id", "部署ID", "00000"}, {"emp_name", "部署名", ""}, {"emp_bikou", "備考", ""}};
    static const QVector<ExportColumn> gates = {
        {"gate_id", "ゲートID", "00000"}, {"zone_name", "ゾーン", ""}, {"gate_name", "ゲート名", ""},
        {"ip_addr", "IPアドレス", ""},    {"port_no", "ポート番号", ""}, {"gate_bikou", "備考", ""},
        {"gate_mode", "入退室区分", ""}};
    switch (kind) {
    case ExportKind::Users:
        return users;
    case ExportKind::Emps:
        return emps;
    case ExportKind::Gates:
        break;
    }
    return gates;
}

QString ExportTitle(ExportKind kind)
{
    switch (kind) {
    case ExportKind::Users:
        return QStringLiteral("ユーザをエクスポート");
    case ExportKind::Emps:
        return QStringLiteral("部署をエクスポート");
    case ExportKind::Gates:
        break;
    }
    return QStringLiteral("ゲートをエクスポート");
}

namespace {
struct Source
{
    const char *table;
    const char *where;
    const char *order;
    const char *noun;
};
Source SourceOf(ExportKind kind)
{
    switch (kind) {
    case ExportKind::Users:
        return {"telmar_vb.v_user_emp", "", "user_id asc", "ユーザ"};
    case ExportKind::Emps:
        // The built-in department of users without one is never exported.
        return {"telmar_vb.m_emp", "emp_id <> '00000'", "emp_id asc", "部署"};
    case ExportKind::Gates:
        break;
    }
    return {"telmar_vb.m_gate", "gate_id <> '00000'", "gate_id asc", "ゲート"};
}
} // namespace

ExportOutcome RunExport(ExportKind kind, const QVector<bool> &chosen, const QString &fileName)
{
    ExportOutcome out;
    const Source src = SourceOf(kind);
    rdo_cntl db;
    db.setDataSource(QString::fromLatin1(src.table));
    db.setWhere(QString::fromLatin1(src.where));
    db.setOrder(QString::fromLatin1(src.order));

    const QVector<ExportColumn> &columns = ExportColumns(kind);
    bool first = true;
    for (int i = 0; i < columns.size(); ++i) {
        if (i >= chosen.size() || !chosen[i])
            continue;
        db.SetField(QString::fromLatin1(columns[i].column), QString::fromLatin1(columns[i].format), false, first, 0,
                    QString(), QStringLiteral("'"));
        first = false;
    }
    if (first) {
        out.kind = ExportOutcome::Kind::NoColumns;
        out.message = QStringLiteral("エクスポートする項目を選択して下さい。");
        return out;
    }
    if (fileName.isEmpty()) {
        out.kind = ExportOutcome::Kind::NoFile;
        out.message = QStringLiteral("エクスポートファイルを指定してください。");
        return out;
    }
    qint32 rows = -1;
    QString reason;
    try {
        rows = db.PrintCSV(fileName, QString());
    } catch (const RdoError &e) {
        reason = e.message();
    }
    if (rows < 0) {
        out.kind = ExportOutcome::Kind::Failed;
        out.message = QStringLiteral("エクスポートファイルの書き込みに失敗しました。") + kCrLf + fileName;
        if (!reason.isEmpty())
            out.message += kCrLf + reason;
        return out;
    }
    out.rows = rows;
    out.message = QString::number(rows) + QStringLiteral("件の") + QString::fromUtf8(src.noun) +
                  QStringLiteral("をエクスポートしました。");
    return out;
}

} // namespace impexp
