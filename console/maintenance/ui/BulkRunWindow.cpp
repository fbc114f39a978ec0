#include "BulkRunWindow.h"

#include "MsfGrid.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "ScreenLayout.h"
#include "ScreenLook.h"
#include "ScreenRefresh.h"
#include "ScreenRegistry.h"
#include "gatecomm/GateLockScope.h"
#include "gatecomm/TcpCom.h"
#include "masterdata/PermitRules.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ORVEL_REGISTER_SCREEN(frmIK_GUser)
ORVEL_REGISTER_SCREEN(frmIK_GTime)

BulkRunWindow::BulkRunWindow(const QString &objectName, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(title);
    m_grid = new MsfGrid(this);
    m_txtUseFlagMsg = new QLineEdit(this);
    m_txtUseFlagMsg->setObjectName(QStringLiteral("txtUseFlagMsg"));
    m_txtUseFlagMsg->setReadOnly(true);
    NameField(m_txtUseFlagMsg, QStringLiteral("進行状況"));
    NameField(m_grid, title);
    m_cmdStart = new QPushButton(QStringLiteral("開始"), this);
    m_cmdStart->setObjectName(QStringLiteral("cmdStart"));
    m_cmdCancel = new QPushButton(QStringLiteral("閉じる"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_txtUseFlagMsg, 1);
    buttons->addWidget(m_cmdStart);
    buttons->addWidget(m_cmdCancel);
    auto *root = new QVBoxLayout(this);
    root->addWidget(m_grid, 1);
    root->addLayout(buttons);
    resize(760, 420);
    connect(m_cmdStart, &QPushButton::clicked, this, &BulkRunWindow::cmdStart_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &BulkRunWindow::cmdCancel_Click);
}

bool BulkRunWindow::GoOn()
{
    QCoreApplication::processEvents();
    if (!m_cancel)
        return true;
    if (MsgBox::Show(QStringLiteral("中止しますか？"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) ==
        QMessageBox::Yes)
        return false;
    m_cancel = false;
    return true;
}

bool BulkRunWindow::Run()
{
    for (int r = m_grid->fixedRows(); r < m_grid->rows(); ++r) {
        if (!GoOn())
            return true;
        RunRow(r);
    }
    return false;
}

void BulkRunWindow::SetColumns(const QStringList &headers)
{
    m_grid->setCols(int(headers.size()));
    for (int c = 0; c < headers.size(); ++c)
        m_grid->setTextMatrix(0, c, headers[c]);
}

void BulkRunWindow::KeepGridLayout()
{
    m_keepsLayout = true;
    RestoreGridLayout(objectName(), *m_grid);
}

void BulkRunWindow::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (m_keepsLayout && !event->spontaneous())
        SaveGridLayout(objectName(), *m_grid);
}

void BulkRunWindow::cmdCancel_Click()
{
    if (m_running)
        m_cancel = true;
    else
        reject();
}

void BulkRunWindow::cmdStart_Click()
{
    if (m_running)
        return;
    m_running = true;
    m_cancel = false;
    m_cmdStart->setEnabled(false);
    m_cmdCancel->setText(QStringLiteral("中止"));
    m_txtUseFlagMsg->setText(ProgressText());
    QCoreApplication::processEvents();

    bool cancelled = false;
    try {
        cancelled = Run();
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
        cancelled = true;
    }
    m_txtUseFlagMsg->setText(DoneText(cancelled));
    m_cmdCancel->setText(QStringLiteral("閉じる"));
    m_running = false;
    Finished();
}

// ---- bulk user send -------------------------------------------------------------------------------

namespace {
enum GUserCol { ZoneName, GateId, GateName, UserId, UserName, EmpName, GauthorityName, GauthTypeName, SyncDisp,
                GuserId, Gauthority, GauthType, SyncFlag, IpAddr, PortNo, GUserCols };
}

frmIK_GUser::frmIK_GUser(QWidget *parent)
    : BulkRunWindow(QStringLiteral("frmIK_GUser"), QStringLiteral("ゲートにユーザを反映"), parent)
{
    m_grid->setObjectName(QStringLiteral("msfGateUserList"));
    SetColumns({QStringLiteral("ゾーン"), QStringLiteral("ゲートID"), QStringLiteral("ゲート名"), QStringLiteral("ユーザID"),
                QStringLiteral("ユーザ名"), QStringLiteral("部署名"), QStringLiteral("権限"), QStringLiteral("認証方法"),
                QStringLiteral("状態"), QStringLiteral("ゲートユーザID"), QStringLiteral("gauthority"),
                QStringLiteral("gauth_type"), QStringLiteral("sync_flag"), QStringLiteral("IPアドレス"),
                QStringLiteral("ポート番号")});
    for (int c = GuserId; c < GUserCols; ++c)
        m_grid->setColumnHidden(c, true);
    // The shown columns, the state "状態" included, fit the window as it opens.
    static const int widths[] = {70, 60, 90, 90, 100, 90, 60, 80, 50};
    for (int c = 0; c < SyncDisp + 1; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    KeepGridLayout();
    LoadRows();
}

void frmIK_GUser::LoadRows()
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.v_gate_user_list4"));
    db.setWhere(QStringLiteral("sync_flag <> 0"));
    db.setWhereS(QStringLiteral("gate_use_flag <> 0"));
    db.setOrder(QStringLiteral("zone_name, gate_id, user_id ASC"));
    const char *columns[] = {"zone_name", "gate_id", "gate_name", "user_id", "user_name", "emp_name",
                             "gauthority_name", "gauth_type_name", "sync_disp", "guser_id", "gauthority",
                             "gauth_type", "sync_flag", "ip_addr", "port_no"};
    for (int c = 0; c < GUserCols; ++c)
        db.SetField(QLatin1String(columns[c]), QString(), false, c == 0);
    try {
        db.LoadGrid(m_grid, -1);
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
}

bool frmIK_GUser::Run()
{
    QList<PermitRules::SendRow> rows;
    for (int r = m_grid->fixedRows(); r < m_grid->rows(); ++r) {
        PermitRules::SendRow row;
        row.gateId = m_grid->textMatrix(r, GateId);
        row.ipAddr = m_grid->textMatrix(r, IpAddr);
        row.portNo = m_grid->textMatrix(r, PortNo);
        row.syncFlag = m_grid->textMatrix(r, SyncFlag).toInt();
        row.user.user_id = m_grid->textMatrix(r, UserId);
        row.user.guser_id = m_grid->textMatrix(r, GuserId);
        row.user.gauthority = static_cast<qint16>(m_grid->textMatrix(r, Gauthority).toInt());
        row.user.gauth_type = static_cast<qint16>(m_grid->textMatrix(r, GauthType).toInt());
        rows << row;
    }
    // Each row under its own gate's lock; the gate check wakes the gate and the requests decide.
    PermitRules::SendPolicy policy;
    policy.honourGateCheck = false;
    PermitRules::SendHooks hooks;
    bool stopped = false;
    hooks.beforeRow = [&] {
        stopped = !GoOn();
        return !stopped;
    };
    hooks.afterFailure = [this](int) {
        RequestStop(); // the next row first asks whether to stop
        return true;
    };
    hooks.rowDone = [this](int i, PermitRules::RowEnd end) {
        if (end == PermitRules::RowEnd::Sent || end == PermitRules::RowEnd::Withdrawn)
            m_grid->setTextMatrix(m_grid->fixedRows() + i, SyncDisp, QStringLiteral("済"));
    };
    hooks.tell = [](const QString &text) { MsgBox::Show(text, QMessageBox::Ok, QMessageBox::Warning); };
    PermitRules::SendRows(rows, policy, hooks);
    return stopped;
}

QString frmIK_GUser::ProgressText() const
{
    return QStringLiteral("処理中・・・");
}

QString frmIK_GUser::DoneText(bool cancelled) const
{
    return cancelled ? QStringLiteral("中止しました。") : QStringLiteral("完了しました。");
}

void frmIK_GUser::Finished()
{
    RefreshOpenScreens({QStringLiteral("frmUserMan"), QStringLiteral("frmGateMan")});
}

// ---- bulk clock setting ------------------------------------------------------------------------------

frmIK_GTime::frmIK_GTime(QWidget *parent)
    : BulkRunWindow(QStringLiteral("frmIK_GTime"), QStringLiteral("ゲートに日時を設定"), parent)
{
    m_grid->setObjectName(QStringLiteral("msfGateList"));
    SetColumns({QStringLiteral("ゾーン"), QStringLiteral("ゲートID"), QStringLiteral("ゲート名"),
                QStringLiteral("IPアドレス"), QStringLiteral("ポート番号"), QStringLiteral("結果")});
    KeepGridLayout();
    LoadRows();
}

void frmIK_GTime::LoadRows()
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    db.setWhere(QStringLiteral("use_flag = 1"));
    db.setOrder(QStringLiteral("gate_id asc"));
    db.SetField(QStringLiteral("zone_name"), QString(), false, true);
    db.SetField(QStringLiteral("gate_id"), QStringLiteral("00000"));
    db.SetField(QStringLiteral("gate_name"));
    db.SetField(QStringLiteral("ip_addr"));
    db.SetField(QStringLiteral("port_no"));
    db.SetField(QString());
    try {
        db.LoadGrid(m_grid, -1);
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
}

void frmIK_GTime::RunRow(int r)
{
    const GateLockScope lock(m_grid->textMatrix(r, 1), GateLockScope::Release::Once, [] {
        MsgBox::Show(GateUnlockFailedText(), QMessageBox::Ok, QMessageBox::Warning);
    });
    if (!lock) {
        m_grid->setTextMatrix(r, 5, QStringLiteral("失敗"));
        return;
    }
    const bool ok = TcpSetDeviceTime(m_grid->textMatrix(r, 3), m_grid->textMatrix(r, 4));
    m_grid->setTextMatrix(r, 5, ok ? QStringLiteral("完了") : QStringLiteral("失敗"));
}

QString frmIK_GTime::ProgressText() const
{
    return QStringLiteral("時計あわせ実行中・・・");
}

QString frmIK_GTime::DoneText(bool cancelled) const
{
    return cancelled ? QStringLiteral("中止しました。") : QStringLiteral("時計あわせを完了しました。");
}
