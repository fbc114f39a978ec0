#pragma once

// "管理者認証": the administrator login shown at start-up. An administrator's fingerprint (through
// frmFpLogin) or IC card (through frmCardAssist) lets the start-up go on three seconds after the
// success; "終了" ends the program after a question. Nothing else closes the window.

#include "CurrentScreen.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

class frmLogin : public QDialog, public CurrentScreen
{
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);

    // The results of the assist windows, which report to the current screen.
    void FP_SetTplId(bool ok, qint16 tplNo) override;
    void CARD_SetCardId(const QString &cardId) override;
    void ShowInfo(const QString &text, quint32 colour, bool beep);

    void cmdFpLogin_Click();
    void cmdICLogin_Click();
    void cmdExit_Click();
    void timLogin_Timer();

    bool IsCompleted() const { return m_completed; }
    int BeepCount() const { return m_beeps; } // beeps asked for so far (tests)

    void reject() override; // Escape

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void SetButtons(bool enabled);
    void Succeeded();
    void Failed();
    bool MayClose() const;

    QLabel *m_label1;
    QLabel *m_lblInfo;
    QPushButton *m_cmdFpLogin;
    QPushButton *m_cmdICLogin;
    QPushButton *m_cmdExit;
    QTimer *m_timLogin;
    bool m_succeeded = false; // timLogin is running or has run
    bool m_completed = false;
    int m_beeps = 0;
};
