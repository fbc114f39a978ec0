#include "frmLogin.h"

#include "AdminLogin.h"
#include "ConsoleTiming.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "ScreenLook.h"
#include "UiUnits.h"
#include "frmCardAssist.h"

#include "rdo_cntl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ORVEL_REGISTER_SCREEN(frmLogin)

namespace {
constexpr quint32 kSuccessColour = 0x00FF0000; // &H00FF0000: blue
constexpr quint32 kFailureColour = 0x000000FF; // &H000000FF: red
const char kSuccess[] = "管理者認証に成功しました。";
const char kFailure[] = "管理者認証に失敗しました。";
} // namespace

frmLogin::frmLogin(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("管理者認証"));
    // No help button; the close button stays but is refused until the login has succeeded.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_label1 = new QLabel(QStringLiteral("管理者のICカードまたは指紋を照合して下さい。"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignCenter);
    m_lblInfo = new QLabel(this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_lblInfo->setAlignment(Qt::AlignCenter);
    m_lblInfo->setFrameShape(QFrame::Panel);
    m_lblInfo->setFrameShadow(QFrame::Sunken);
    m_lblInfo->setMinimumHeight(m_lblInfo->fontMetrics().height() * 2);
    m_cmdFpLogin = new QPushButton(QStringLiteral("指紋照合"), this);
    m_cmdFpLogin->setObjectName(QStringLiteral("cmdFpLogin"));
    m_cmdICLogin = new QPushButton(QStringLiteral("ICカード照合"), this);
    m_cmdICLogin->setObjectName(QStringLiteral("cmdICLogin"));
    m_cmdExit = new QPushButton(QStringLiteral("終了"), this);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    for (QPushButton *b : {m_cmdFpLogin, m_cmdICLogin, m_cmdExit}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(TwipsToPx(1500));
    }

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdFpLogin);
    buttons->addWidget(m_cmdICLogin);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdExit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(TwipsToPx(360), TwipsToPx(300), TwipsToPx(360), TwipsToPx(300));
    layout->setSpacing(TwipsToPx(180));
    setMinimumWidth(TwipsToPx(6900));
    layout->addWidget(m_label1);
    layout->addWidget(m_lblInfo);
    layout->addLayout(buttons);

    m_timLogin = new QTimer(this);
    m_timLogin->setObjectName(QStringLiteral("timLogin"));
    m_timLogin->setInterval(Timing().loginMs);
    connect(m_timLogin, &QTimer::timeout, this, &frmLogin::timLogin_Timer);
    connect(m_cmdFpLogin, &QPushButton::clicked, this, &frmLogin::cmdFpLogin_Click);
    connect(m_cmdICLogin, &QPushButton::clicked, this, &frmLogin::cmdICLogin_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &frmLogin::cmdExit_Click);

    SetButtons(true);
}

void frmLogin::SetButtons(bool enabled)
{
    m_cmdFpLogin->setEnabled(enabled);
    m_cmdICLogin->setEnabled(enabled);
    m_cmdExit->setEnabled(enabled);
}

void frmLogin::ShowInfo(const QString &text, quint32 colour, bool beep)
{
    ShowInfoLine(m_lblInfo, text, colour);
    if (beep) {
        ++m_beeps;
        QApplication::beep();
    }
}

void frmLogin::Succeeded()
{
    ShowInfo(QString::fromUtf8(kSuccess), kSuccessColour, false);
    m_succeeded = true;
    m_timLogin->start(); // the buttons stay disabled until the window closes
}

void frmLogin::Failed()
{
    ShowInfo(QString::fromUtf8(kFailure), kFailureColour, true);
    SetButtons(true);
}

void frmLogin::cmdFpLogin_Click()
{
    SetButtons(false);
    SetCurrentScreen(this); // the fingerprint window reports here
    QPointer<QWidget> fp = ScreenRegistry::Create(QStringLiteral("frmFpLogin"), this);
    if (!fp) {
        Failed();
        return;
    }
    fp->setAttribute(Qt::WA_DeleteOnClose, true);
    OpenUnderBusy(fp);
    delete fp.data();
    // However the window went (its buttons, the title bar), without a success the operator may
    // try again.
    if (!m_succeeded && !IsProgramEnding())
        SetButtons(true);
}

void frmLogin::cmdICLogin_Click()
{
    SetButtons(false);
    SetCurrentScreen(this); // the card window reports here
    frmCardAssist::Open(this);
    if (!m_succeeded && !IsProgramEnding())
        SetButtons(true);
}

void frmLogin::FP_SetTplId(bool ok, qint16 tplNo)
{
    Q_UNUSED(tplNo);
    // The fingerprint window matches against the login view, which holds live administrators only.
    if (ok)
        Succeeded();
    else
        Failed();
}

void frmLogin::CARD_SetCardId(const QString &cardId)
{
    bool admin = false;
    try {
        admin = AdminLogin::IsAdministratorCard(cardId, GetEdition());
    } catch (const RdoError &e) {
        // Without an answer nobody is let in; the operator sees why and may try again.
        MsgBox::Show(e.message(), QMessageBox::Ok, QMessageBox::Critical);
    }
    if (admin)
        Succeeded();
    else
        Failed();
}

void frmLogin::timLogin_Timer()
{
    m_timLogin->stop();
    m_completed = true;
    accept();
}

void frmLogin::cmdExit_Click()
{
    if (MsgBox::Show(QStringLiteral("終了します。よろしいですか？"), QMessageBox::Ok | QMessageBox::Cancel,
                     QMessageBox::Question) != QMessageBox::Ok)
        return;
    EndProgram();
    QDialog::reject(); // the start-up sees the program ending and goes no further
}

bool frmLogin::MayClose() const
{
    return m_completed || IsProgramEnding();
}

void frmLogin::reject()
{
    if (MayClose())
        QDialog::reject();
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    if (MayClose())
        QDialog::closeEvent(event);
    else
        event->ignore();
}
