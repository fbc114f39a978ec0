#pragma once

// The console's main window: a multiple-document frame with the title strip, the menu panel
// cmdMenu_0..6, the menus, the status bar with the two service states and the three timers that
// drive start-up, service supervision and the daily maintenance. Child screens are created
// through ScreenRegistry, once each.

#include "DayMainteTrigger.h"
#include "SupervisionHost.h"

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QTimer;
class frmSubTitle;
class clSettingInfo;
class rdo_cntl;
class SrvSupervision;

class mdifVantr : public QMainWindow, public SupervisionHost
{
    Q_OBJECT
public:
    static constexpr int kMenuButtons = 7;
    static constexpr int kExitIndex = 6;

    explicit mdifVantr(int edition, QWidget *parent = nullptr);
    ~mdifVantr() override;

    // Start-up up to arming timStart: title, Orvel.ini, database, schema, service bindings.
    void Load();

    // Opens the screen of a menu-panel entry (0-3) or asks whether to quit (6).
    void cmdMenu_Click(int index);
    // Asks both services to stop and waits for them (through the installed supervision).
    void SendSrvExit();

    // ---- what other parts of the console reach ----------------------------------------------
    frmSubTitle *SubTitle() const { return m_subTitle; }
    QMdiArea *MdiArea() const { return m_mdi; }
    QPushButton *cmdMenu(int index) const { return m_cmdMenu[index]; }
    QTimer *timStart() const { return m_timStart; }
    QTimer *timSrvChkSend() const { return m_timSrvChkSend; }
    QTimer *timDayMainte() const { return m_timDayMainte; }
    // Panels 1-4 of StatusBar1; 2 and 4 show the states of the log collector and the
    // provisioning service.
    void SetStatusPanel(int panel, const QString &text) override;
    QString StatusPanel(int panel) const;
    // The bindings of the t_srv_ctrl rows of server 1 and 2 to the hidden text boxes; null when
    // start-up did not get that far.
    rdo_cntl *SrvBinding(int serverId) const;
    QDateTime LastRestart(int serverId) const override;
    void SetLastRestart(int serverId, const QDateTime &when) override;
    // The service rows as the bindings read them into the hidden boxes.
    SrvRow ReadSrvRow(int serverId) override;
    QString RespTimeoutSetting() const override;
    // The open instance of a menu-panel screen, if it has been opened.
    QWidget *Screen(const QString &key) const;

    // Time source of the daily-maintenance trigger; tests set it before timDayMainte runs.
    void SetClock(DayMainteTrigger::Clock clock);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildMenuPanel(QWidget *panel);
    void BuildMenus();
    void BuildStatusBar();
    void BuildServiceBoxes();
    QLineEdit *HiddenBox(const char *name);
    void BindSrvRow(rdo_cntl &db, int serverId, QLineEdit *const boxes[5]);
    void OpenScreen(int index);
    void ConfirmExit();
    void StartFailed(const char *tag);
    void EndWithoutUnload();
    // Shows the administrator login; false when start-up must not go on (abandoned, or no
    // login window to show, which ends the program).
    bool RunLogin();
    void Unload();

    void timStart_Timer();
    void timSrvChkSend_Timer();
    void timDayMainte_Timer();
    QString ReadDayMainteTime() const;

    int m_edition;
    frmSubTitle *m_subTitle = nullptr;
    QMdiArea *m_mdi = nullptr;
    QPushButton *m_cmdMenu[kMenuButtons] = {};
    QLabel *m_panel[4] = {};
    QLineEdit *m_logBoxes[5] = {};
    QLineEdit *m_userBoxes[5] = {};
    QTimer *m_timStart = nullptr;
    QTimer *m_timSrvChkSend = nullptr;
    QTimer *m_timDayMainte = nullptr;

    std::unique_ptr<clSettingInfo> m_settings;
    std::unique_ptr<rdo_cntl> m_db;
    std::unique_ptr<rdo_cntl> m_logSrv;
    std::unique_ptr<rdo_cntl> m_userSrv;
    std::unique_ptr<SrvSupervision> m_supervision;
    QDateTime m_lastRestart[2];
    DayMainteTrigger m_trigger;
    QHash<QString, QPointer<QMdiSubWindow>> m_screens;
    bool m_unloaded = false;
    bool m_skipUnload = false;
    bool m_inDayMainte = false;
};
