#include "frmDayMainte.h"

#include "ConsoleTiming.h"
#include "MainteRuns.h"
#include "MainteUi.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "RdoAdapters.h"
#include "ScreenLook.h"
#include "ScreenRefresh.h"
#include "ScreenRegistry.h"
#include "SiteFolder.h"
#include "ShellCtrl_Orvel.h"
#include "SrvRequest.h"
#include "mdifVantr.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvel::mainte;

ORVEL_REGISTER_SCREEN(frmDayMainte)

namespace {
MsfGrid *Grid(const char *name, const QStringList &headers, QWidget *parent)
{
    auto *g = new MsfGrid(parent);
    g->setObjectName(QLatin1String(name));
    NameField(g, QLatin1String(name) == QLatin1String("msfGateList") ? QStringLiteral("ゲート一覧")
                                                                    : QStringLiteral("通行許可ユーザ"));
    g->setCols(int(headers.size()));
    for (int c = 0; c < headers.size(); ++c)
        g->setColumnWidth(c, 85); // every column readable in the window as it opens
    for (int c = 0; c < headers.size(); ++c)
        g->setTextMatrix(0, c, headers[c]);
    return g;
}

QTimer *SupervisionTimer()
{
    QWidget *main = MainWindow();
    return main ? main->findChild<QTimer *>(QStringLiteral("timSrvChkSend")) : nullptr;
}
} // namespace

frmDayMainte::frmDayMainte(QWidget *parent)
    : QDialog(parent), m_db(std::make_unique<rdo_cntl>())
{
    setObjectName(QStringLiteral("frmDayMainte"));
    setWindowTitle(QStringLiteral("日次処理"));
    m_txtLogtel_leave_days = HiddenField("txtLogtel_leave_days", this);
    m_txtDayMainteTime = HiddenField("txtDayMainteTime", this);
    m_txtSetTimeFlag = HiddenField("txtSetTimeFlag", this);
    m_txtGUserMainteFlag = HiddenField("txtGUserMainteFlag", this);
    m_txtDbMainteFlag = HiddenField("txtDbMainteFlag", this);
    m_lblInfo = new QLabel(QStringLiteral("日次処理を実行中です．．．"), this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_msfGateList = Grid("msfGateList", {QStringLiteral("ゲートID"), QStringLiteral("IPアドレス"),
                                         QStringLiteral("ポート番号"), QStringLiteral("ゲート名")},
                         this);
    m_msfGateUserList = Grid("msfGateUserList", {QStringLiteral("ユーザID"), QStringLiteral("ゲートユーザID"),
                                                 QStringLiteral("権限"), QStringLiteral("認証方法"),
                                                 QStringLiteral("状態")},
                             this);
    auto *root = new QVBoxLayout(this);
    root->addWidget(m_lblInfo);
    root->addWidget(m_msfGateList);
    root->addWidget(m_msfGateUserList);
    resize(480, 420);

    m_db->setDataSource(QStringLiteral("telmar_v1.set_mainte"));
    m_db->setWhere(QStringLiteral("mainte_id = 1"));
    m_db->SetBind(QStringLiteral("logtel_leave_days"), RdoText(m_txtLogtel_leave_days), false, true);
    m_db->SetBind(QStringLiteral("day_mainte_time"), RdoText(m_txtDayMainteTime));
    m_db->SetBind(QStringLiteral("set_time_flag"), RdoText(m_txtSetTimeFlag));
    m_db->SetBind(QStringLiteral("guser_mainte_flag"), RdoText(m_txtGUserMainteFlag));
    m_db->SetBind(QStringLiteral("db_mainte_flag"), RdoText(m_txtDbMainteFlag));
    try {
        m_db->LoadBind();
    } catch (const RdoError &) {
        // Flags left empty: only the purge runs.
    }

    m_timStart = new QTimer(this);
    m_timStart->setObjectName(QStringLiteral("timStart"));
    m_timStart->setInterval(Timing().mainteStartMs);
    connect(m_timStart, &QTimer::timeout, this, &frmDayMainte::timStart_Timer);
    m_timStart->start();
}

frmDayMainte::~frmDayMainte() = default;

void frmDayMainte::Info(const QString &text)
{
    m_lblInfo->setText(text);
    QCoreApplication::processEvents();
}

void frmDayMainte::timStart_Timer()
{
    m_timStart->stop();
    if (QTimer *supervision = SupervisionTimer())
        supervision->stop();

    PurgeOldLogs();
    const auto on = [](const QLineEdit *flag) { return flag->text().trimmed() == QLatin1String("1"); };
    try {
        if (on(m_txtSetTimeFlag))
            SetGateClocks(*m_msfGateList);
        if (on(m_txtGUserMainteFlag)) {
            // Every failed gate is reported, however many there are.
            const QStringList failed = RewriteGateUsers(*m_msfGateList, *m_msfGateUserList);
            if (!failed.isEmpty())
                MsgBox::Show(FailedGatesMessage(failed));
            RefreshOpenScreens({QStringLiteral("frmUserMan"), QStringLiteral("frmGateMan")});
        }
    } catch (const RdoError &e) {
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
    // Compaction stops the services: only the PC that runs them compacts.
    if (on(m_txtDbMainteFlag) && orvel::SiteRunsServices())
        RestartServicesAroundCompaction();

    Info(QStringLiteral("完了しました。"));
    if (QTimer *supervision = SupervisionTimer())
        supervision->start();
    accept();
}

void frmDayMainte::RestartServicesAroundCompaction()
{
    if (auto *main = qobject_cast<mdifVantr *>(MainWindow()))
        main->SendSrvExit();
    rdo_cntl db;
    db.CompactDB();
    ArmServiceRows();
    // Started through the process records, so that the supervision can still stop them.
    ShellCtrl_Orvel::StartHarvester();
    ShellCtrl_Orvel::StartCourier();
}
