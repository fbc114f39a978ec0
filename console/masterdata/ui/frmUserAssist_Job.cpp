#include "frmUserAssist_Job.h"

#include "MasterRules.h"
#include "MasterUi.h"

#include "CurrentScreen.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

frmUserAssist_Job::frmUserAssist_Job(const QString &empId, QWidget *parent)
    : frmAssistBase(QStringLiteral("frmUserAssist_Job"), QStringLiteral("msfUserList"), QString::fromUtf8("ユーザ名"),
                    parent),
      m_empId(empId)
{
    setWindowTitle(QString::fromUtf8("ユーザ検索"));
    list().setDataSource(QStringLiteral("telmar_v1.v_emp_user"));
    list().SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    list().SetField(QStringLiteral("user_name"));
    list().SetField(QStringLiteral("emp_id"), QStringLiteral("00000"));
    list().SetField(QStringLiteral("emp_name"));
    list().setOrder(QStringLiteral("user_id asc"));
    SetGridHeader(*grid(), {QString::fromUtf8("ユーザID"), QString::fromUtf8("ユーザ名"), QString::fromUtf8("部署ID"),
                            QString::fromUtf8("部署名")});
    const int w = grid()->minimumWidth();
    grid()->setColumnWidth(0, w * 25 / 100);
    grid()->setColumnWidth(1, w * 30 / 100);
    grid()->setColumnWidth(2, w * 15 / 100);
    grid()->setColumnWidth(3, w * 25 / 100);
    Start();
}

QStringList frmUserAssist_Job::ExtraConditions() const
{
    // Users already in the department are not offered.
    return {QStringLiteral("emp_id <> ") + orvel::SqlText(m_empId), QStringLiteral("delete_flag = 0")};
}

void frmUserAssist_Job::SelectRows(int first, int last)
{
    // Read the block first: a callback reloads no picker rows, but a question lets events run.
    struct Row
    {
        QString userId, userName, empId;
    };
    QList<Row> rows;
    for (int r = first; r <= last; ++r)
        rows.append({grid()->textMatrix(r, 0), grid()->textMatrix(r, 1), grid()->textMatrix(r, 2)});
    for (const Row &row : rows) {
        if (JobRules::AsksBeforeMove(row.empId, m_empId)) {
            const auto answer =
                MsgBox::Show(QString::fromUtf8("このユーザ「") + row.userName +
                                 QString::fromUtf8("」の部署名は既に登録されています。変更しますか？"),
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question);
            if (answer != QMessageBox::Ok)
                continue;
        }
        if (CurrentScreen *screen = GetCurrentScreen())
            screen->USER_SetUserId(row.userId);
    }
}
