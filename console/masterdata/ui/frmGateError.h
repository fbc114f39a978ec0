#pragma once

// The window the console shows when a gate in use stops answering: it holds the main window's
// timers, names the gate and the time of the failure, and lets the administrator take the gate
// out of use or try it again. Opened through ScreenRegistry::ShowGateError.

#include "MasterUi.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

class QLabel;

class frmGateError : public QDialog
{
    Q_OBJECT
public:
    explicit frmGateError(QWidget *parent = nullptr);
    ~frmGateError() override;

    // Shows the gate (its m_gate row) and now as the failure time.
    Q_INVOKABLE void SetGateId(const QString &gateId);

    void cmdMukou_Click();
    void cmdYuukou_Click();

    // Time of the failure; tests fix it (empty = the system clock).
    static void SetClock(std::function<QDateTime()> clock);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString m_gateId;
    QLabel *m_lblGateId = nullptr;
    QLabel *m_lblGateName = nullptr;
    QLabel *m_lblIpAddr = nullptr;
    QLabel *m_lblPortNo = nullptr;
    QLabel *m_lblErrorDT = nullptr;
    QLabel *m_lblStatus = nullptr;
    std::unique_ptr<MainTimersPaused> m_timers;
};
