#include "frmGateError.h"

#include "Text.h"

#include "GateRules.h"

#include "MsgBox.h"
#include "ScreenRegistry.h"
#include "SqlDialect.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
std::function<QDateTime()> &Clock()
{
    static std::function<QDateTime()> clock;
    return clock;
}
} // namespace

void frmGateError::SetClock(std::function<QDateTime()> clock)
{
    Clock() = std::move(clock);
}

frmGateError::frmGateError(QWidget *parent)
    : QDialog(parent),
      // Supervision and the maintenance trigger would talk to gates behind this window.
      m_timers(std::make_unique<MainTimersPaused>(QStringList{QStringLiteral("timSrvChkSend"),
                                                              QStringLiteral("timDayMainte")}))
{
    setObjectName(QStringLiteral("frmGateError"));
    setWindowTitle(U("ゲート接続エラー"));
    auto *g = new QGridLayout(this);
    auto *head = new QLabel(U("ゲートとの通信に失敗しました。"), this);
    QFont bold = head->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    head->setFont(bold);
    head->setStyleSheet(QStringLiteral("color: #c00000"));
    g->addWidget(head, 0, 0, 1, 2);
    auto row = [&](const char *name, const char *caption, int r) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(220);
        g->addWidget(new QLabel(U(caption), this), r, 0);
        g->addWidget(l, r, 1);
        return l;
    };
    m_lblGateId = row("lblGateId", "ゲートID", 1);
    m_lblGateName = row("lblGateName", "ゲート名", 2);
    m_lblIpAddr = row("lblIpAddr", "IPアドレス", 3);
    m_lblPortNo = row("lblPortNo", "ポート番号", 4);
    m_lblErrorDT = row("lblErrorDT", "発生日時", 5);
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    g->addWidget(m_lblStatus, 6, 0, 1, 2);
    auto *cmdMukou = new QPushButton(U("ゲートを無効にする"), this);
    cmdMukou->setObjectName(QStringLiteral("cmdMukou"));
    auto *cmdYuukou = new QPushButton(U("再接続する"), this);
    cmdYuukou->setObjectName(QStringLiteral("cmdYuukou"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdYuukou);
    buttons->addWidget(cmdMukou);
    g->addLayout(buttons, 7, 0, 1, 2);
    connect(cmdMukou, &QPushButton::clicked, this, [this] { cmdMukou_Click(); });
    connect(cmdYuukou, &QPushButton::clicked, this, [this] { cmdYuukou_Click(); });

    QApplication::beep();
    QApplication::beep();
}

frmGateError::~frmGateError() = default;

void frmGateError::SetGateId(const QString &gateId)
{
    m_gateId = gateId;
    m_lblGateId->setText(gateId);
    const QDateTime at = Clock() ? Clock()() : QDateTime::currentDateTime();
    m_lblErrorDT->setText(at.toString(U("yyyy年MM月dd日 hh時mm分")));
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
        db.setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(gateId));
        m_lblGateName->setText(db.GetData(QStringLiteral("gate_name")).toString());
        m_lblIpAddr->setText(db.GetData(QStringLiteral("ip_addr")).toString());
        m_lblPortNo->setText(db.GetData(QStringLiteral("port_no")).toString());
    } catch (const RdoError &e) {
        m_lblStatus->setText(e.message());
    }
}

void frmGateError::cmdMukou_Click()
{
    if (!GateRules::TakeOutOfUse(m_gateId)) {
        MsgBox::Show(U("ゲートの無効化に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    MsgBox::Show(U("このゲートの接続は、無効になりました。"), QMessageBox::Ok, QMessageBox::Information);
    close();
}

void frmGateError::cmdYuukou_Click()
{
    m_lblStatus->setText(U("ゲート接続中。しばらくお待ちください。"));
    QCoreApplication::processEvents();
    const GateRules::Connect result =
        GateRules::ConnectAndSetClock(m_gateId, m_lblIpAddr->text(), m_lblPortNo->text());
    m_lblStatus->clear();
    switch (result) {
    case GateRules::Connect::LockFailed:
        MsgBox::Show(U("ゲートへのアクセスに失敗しました。数秒後に再度実行してください。"), QMessageBox::Ok,
                     QMessageBox::Warning);
        break;
    case GateRules::Connect::Connected:
        MsgBox::Show(U("ゲートへの接続に成功しました。"), QMessageBox::Ok, QMessageBox::Information);
        close();
        break;
    case GateRules::Connect::Failed:
        MsgBox::Show(U("ゲートへの接続に失敗しました。このゲートは利用出来ません。"), QMessageBox::Ok,
                     QMessageBox::Warning);
        break;
    }
}

void frmGateError::closeEvent(QCloseEvent *event)
{
    m_timers.reset(); // the timers that were running run again
    QDialog::closeEvent(event);
}

ORVEL_REGISTER_SCREEN(frmGateError)
