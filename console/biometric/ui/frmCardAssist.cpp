#include "frmCardAssist.h"

#include "CardReading.h"
#include "ConsoleTiming.h"
#include "CurrentScreen.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "ScreenLook.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ORVEL_REGISTER_SCREEN(frmCardAssist)

namespace {
QTimer *MakeTimer(QObject *parent, const char *name, int ms)
{
    auto *t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(ms);
    return t;
}
} // namespace

frmCardAssist::frmCardAssist(QWidget *parent)
    : QDialog(parent)
    , m_reading(std::make_unique<CardReading>(GetEdition()))
{
    setObjectName(QStringLiteral("frmCardAssist"));
    setWindowTitle(m_reading->Caption());

    m_fraTitle = new QGroupBox(m_reading->FrameTitle(), this);
    m_fraTitle->setObjectName(QStringLiteral("fraTitle"));
    m_lblIDm = new QLabel(m_fraTitle);
    m_lblIDm->setObjectName(QStringLiteral("lblIDm"));
    m_lblIDm->setAlignment(Qt::AlignCenter);
    m_lblIDm->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblIDm->setFrameShape(QFrame::Panel);
    m_lblIDm->setFrameShadow(QFrame::Sunken);
    // Room for the 32 characters of a FeliCa ID in a fixed-width font.
    QFont idFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    idFont.setPointSize(idFont.pointSize() + 2);
    m_lblIDm->setFont(idFont);
    m_lblIDm->setMinimumWidth(QFontMetrics(idFont).horizontalAdvance(QString(40, u'0')));
    m_lblIDm->setMinimumHeight(QFontMetrics(idFont).height() * 2);
    auto *frameLayout = new QVBoxLayout(m_fraTitle);
    frameLayout->addWidget(m_lblIDm);

    m_lblInfo = new QLabel(this);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_lblInfo->setAlignment(Qt::AlignCenter);

    m_cmdStopExit = new QPushButton(QStringLiteral("読み取り中止"), this);
    m_cmdStopExit->setObjectName(QStringLiteral("cmdStopExit"));
    m_cmdStopExit->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_fraTitle);
    layout->addWidget(m_lblInfo);
    layout->addWidget(m_cmdStopExit, 0, Qt::AlignHCenter);

    m_timInitialize = MakeTimer(this, "timInitialize", Timing().cardInitializeMs);
    m_timCard = MakeTimer(this, "timCard", Timing().cardPollMs);
    m_timReadOK = MakeTimer(this, "timReadOK", Timing().cardReadOkMs);
    connect(m_timInitialize, &QTimer::timeout, this, &frmCardAssist::timInitialize_Timer);
    connect(m_timCard, &QTimer::timeout, this, &frmCardAssist::timCard_Timer);
    connect(m_timReadOK, &QTimer::timeout, this, &frmCardAssist::timReadOK_Timer);
    connect(m_cmdStopExit, &QPushButton::clicked, this, &frmCardAssist::cmdStopExit_Click);
    m_timInitialize->start();
}

frmCardAssist::~frmCardAssist()
{
    Unload();
}

void frmCardAssist::Open(QWidget *parent)
{
    SetBusyOn();
    ScreenRegistry::ShowModal(QStringLiteral("frmCardAssist"), parent);
    WaitBusyOff();
}

void frmCardAssist::ShowInfo(const QString &text, quint32 colour, bool beep)
{
    ShowInfoLine(m_lblInfo, text, colour);
    if (beep) {
        ++m_beeps;
        QApplication::beep();
    }
}

void frmCardAssist::timInitialize_Timer()
{
    m_timInitialize->stop();
    if (m_reading->IsFelica())
        clWinTool::SetWinOrder(this);
    const bool ok = m_reading->Open([this](const CardInfo &info) { ShowInfo(info.text, info.colour, info.beep); });
    // After a failed opening the window waits for "読み取り中止"; it does not retry.
    if (ok)
        m_timCard->start();
}

void frmCardAssist::timCard_Timer()
{
    const CardInfo hold = CardReading::HoldCardInfo();
    ShowInfo(hold.text, hold.colour, hold.beep);
    QString id;
    if (!m_reading->Poll(&id)) {
        m_lblIDm->clear();
        return;
    }
    m_timCard->stop();
    const CardInfo ok = CardReading::ReadOkInfo();
    ShowInfo(ok.text, ok.colour, ok.beep);
    m_lblIDm->setText(id);
    m_timReadOK->start();
}

void frmCardAssist::timReadOK_Timer()
{
    m_timReadOK->stop();
    if (CurrentScreen *screen = GetCurrentScreen())
        screen->CARD_SetCardId(m_lblIDm->text());
    accept();
}

void frmCardAssist::cmdStopExit_Click()
{
    m_timCard->stop();
    reject();
}

void frmCardAssist::done(int result)
{
    // However the window closes (the stop button, Escape, the title bar), nothing is handed over
    // afterwards and the reader is closed.
    m_timInitialize->stop();
    m_timCard->stop();
    m_timReadOK->stop();
    Unload();
    QDialog::done(result);
}

void frmCardAssist::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_reading->Close();
    SetBusyOff();
}
