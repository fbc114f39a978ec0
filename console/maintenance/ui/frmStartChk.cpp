#include "frmStartChk.h"

#include "ConsoleTiming.h"
#include "MainteRuns.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenLook.h"
#include "ScreenRegistry.h"
#include "SiteFolder.h"
#include "ShellCtrl_Orvel.h"
#include "SrvRequest.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvel::mainte;

ORVEL_REGISTER_SCREEN(frmStartChk)

frmStartChk::frmStartChk(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmStartChk"));
    setWindowTitle(QStringLiteral("起動チェック"));
    m_lblInfo = new QLabel(this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_msfGateList = new MsfGrid(this);
    m_msfGateList->setObjectName(QStringLiteral("msfGateList"));
    NameField(m_msfGateList, QStringLiteral("接続テストの結果"));
    m_msfGateList->setCols(3);
    const char *headers[] = {"ゲートID", "IPアドレス", "ポート番号"};
    for (int c = 0; c < 3; ++c)
        m_msfGateList->setTextMatrix(0, c, QString::fromUtf8(headers[c]));
    auto *root = new QVBoxLayout(this);
    root->addWidget(m_lblInfo);
    root->addWidget(m_msfGateList);
    resize(420, 300);

    m_timStart = new QTimer(this);
    m_timStart->setObjectName(QStringLiteral("timStart"));
    m_timStart->setInterval(Timing().mainteStartMs);
    connect(m_timStart, &QTimer::timeout, this, &frmStartChk::timStart_Timer);
    m_timStart->start();
}

void frmStartChk::Info(const QString &text)
{
    m_lblInfo->setText(text);
    QCoreApplication::processEvents();
}

void frmStartChk::timStart_Timer()
{
    m_timStart->stop();
    if (AutoLogFileUnusable()) {
        MsgBox::Show(QStringLiteral("「ログの自動出力」設定を確認して下さい。"));
        ScreenRegistry::ShowModal(QStringLiteral("frmST_AutoLog"), this);
    }
    Info(QStringLiteral("古いログの消去中．．．"));
    PurgeOldLogs();
    Info(QStringLiteral("ゲートへの接続テスト実行中．．．"));
    try {
        TestGateConnections(*m_msfGateList);
    } catch (const RdoError &e) {
        // The services must still start: a gate list that cannot be read is reported and passed.
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
    // A console of a PC that does not run the services leaves them to the PC that does.
    if (orvel::SiteRunsServices()) {
        ArmServiceRows();
        ShellCtrl_Orvel::StartHarvester();
        ShellCtrl_Orvel::StartCourier();
    }
    accept();
}
