#include "HarvesterWindow.h"

#include "Collector.h"
#include "HarvesterInput.h"
#include "HarvesterMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace harvester {

HarvesterWindow::HarvesterWindow(Collector &collector, int waitSec, bool trayIcon, QWidget *parent)
    : QWidget(parent), m_collector(collector), m_waitSec(waitSec)
{
    setObjectName(QStringLiteral("frmHarvester"));
    setWindowTitle(QStringLiteral("Harvester"));
    m_lblInterval = new QLabel(this);
    m_lblInterval->setObjectName(QStringLiteral("lblInterval"));
    m_lblLog = new QLabel(this);
    m_lblLog->setObjectName(QStringLiteral("lblLog"));
    m_lblLog->setMinimumWidth(420);

    auto *wait = new QPushButton(QStringLiteral("WAIT_SEC"), this);
    wait->setObjectName(QStringLiteral("cmdWaitSec"));
    auto *logWait = new QPushButton(QStringLiteral("LOG_WAIT_INTERVAL"), this);
    logWait->setObjectName(QStringLiteral("cmdLogWaitInterval"));
    auto *start = new QPushButton(QStringLiteral("START DATE"), this);
    start->setObjectName(QStringLiteral("cmdStartDate"));
    connect(wait, &QPushButton::clicked, this, &HarvesterWindow::AskWaitSec);
    connect(logWait, &QPushButton::clicked, this, &HarvesterWindow::AskLogWaitInterval);
    connect(start, &QPushButton::clicked, this, &HarvesterWindow::AskStartDate);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(wait);
    buttons->addWidget(logWait);
    buttons->addWidget(start);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblInterval);
    layout->addWidget(m_lblLog);
    layout->addLayout(buttons);
    UpdateLabel();

    if (trayIcon && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_ComputerIcon), this);
        m_tray->setToolTip(QString::fromUtf8(kTrayTip));
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
                showNormal();
                raise();
                activateWindow();
            } else if (reason == QSystemTrayIcon::Context) {
                hide();
            }
        });
        m_tray->show();
    }
}

HarvesterWindow::~HarvesterWindow()
{
    if (m_tray)
        m_tray->hide(); // no icon left behind in the notification area
}

void HarvesterWindow::UpdateLabel()
{
    m_lblInterval->setText(IntervalLabelText(m_waitSec, m_collector.LogWaitInterval()));
}

void HarvesterWindow::ShowLine(const QString &text)
{
    m_lblLog->setText(text);
}

void HarvesterWindow::CloseForStop()
{
    m_closingForStop = true;
    close();
}

void HarvesterWindow::closeEvent(QCloseEvent *event)
{
    if (m_closingForStop || Messages::Ask(QString::fromUtf8(kExitQuestion))) {
        event->accept();
        QApplication::quit();
    } else {
        event->ignore();
    }
}

bool HarvesterWindow::ApplyWaitSec(const QString &text)
{
    int v = 0;
    if (!ParseIntervalInput(text, &v)) {
        Messages::Error(QString::fromUtf8(kOutOfRangeText));
        return false;
    }
    m_waitSec = v;
    UpdateLabel();
    emit waitSecChanged(v);
    return true;
}

bool HarvesterWindow::ApplyLogWaitInterval(const QString &text)
{
    int v = 0;
    if (!ParseIntervalInput(text, &v)) {
        Messages::Error(QString::fromUtf8(kOutOfRangeText));
        return false;
    }
    m_collector.SetLogWaitInterval(v);
    UpdateLabel();
    return true;
}

bool HarvesterWindow::ApplyStartDate(const QString &text)
{
    int y = 0, m = 0, d = 0;
    if (!ParseStartDateInput(text, &y, &m, &d)) {
        Messages::Error(QString::fromUtf8(kOutOfRangeText));
        return false;
    }
    m_collector.SetStartDate(y, m, d);
    return true;
}

void HarvesterWindow::AskWaitSec()
{
    bool ok = false;
    const QString t = QInputDialog::getText(this, QStringLiteral("WAIT_SEC"), QStringLiteral("WAIT_SEC"),
                                            QLineEdit::Normal, QString::number(m_waitSec), &ok);
    if (ok)
        ApplyWaitSec(t);
}

void HarvesterWindow::AskLogWaitInterval()
{
    bool ok = false;
    const QString t =
        QInputDialog::getText(this, QStringLiteral("LOG_WAIT_INTERVAL"), QStringLiteral("LOG_WAIT_INTERVAL"),
                              QLineEdit::Normal, QString::number(m_collector.LogWaitInterval()), &ok);
    if (ok)
        ApplyLogWaitInterval(t);
}

void HarvesterWindow::AskStartDate()
{
    bool ok = false;
    const QString t = QInputDialog::getText(this, QStringLiteral("START DATE"), QStringLiteral("yyyy/mm/dd"),
                                            QLineEdit::Normal, QString(), &ok);
    if (ok)
        ApplyStartDate(t);
}

} // namespace harvester
