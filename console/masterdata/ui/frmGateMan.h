#pragma once

// Gate screen: the gate master (m_gate) with zone, address and direction, the connection check
// that alone puts a gate in use (and sets its clock), the door-unlock mode and alarm kept on the
// device itself, and the users permitted at the gate with their sending to it.

#include "GateRules.h"
#include "MasterScreen.h"
#include "ModeRules.h"
#include "ScreenRefresh.h"

#include <QWidget>

#include <memory>

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class MsfGrid;
class PermitPanel;
class rdo_cntl;

class frmGateMan : public MasterScreen, public ListsRefresh
{
    Q_OBJECT
public:
    explicit frmGateMan(QWidget *parent = nullptr);
    ~frmGateMan() override;

    // ---- called back by the pickers and other windows ------------------------------------------
    // Shows the gate (the gate picker).
    void GATE_SetGateId(const QString &gateId) override;
    // Adds a permit for the user at the gate shown (the user picker).
    void USER_SetUserId(const QString &userId) override;
    void RefreshLists() override;

    void ShowgateList();
    void ShowGateUserList();
    // Mode rules and both lists again, as each time the screen is activated.
    void Form_Activate() override;

    static const ModeRules &Rules();
    // The gate shown, as last read or written.
    const GateRules::Record &Shown() const { return m_gate; }
    // The door-unlock mode and alarm the gate was last read or set to (-1: not read).
    int DeviceDoorMode() const { return m_doorMode; }
    int DeviceAlarm() const { return m_alarm; }

private:
    void BuildControls();
    void SetupDb();
    QLineEdit *IdField() const override { return m_txtId; }
    void ApplyModeRules() override;
    void LoadRecord(bool found);
    void txtId_LostFocus();
    void msfGateList_Click(int row);
    void cmbZone_Change(const QString &text);
    void JoinIpBoxes();
    void cmdRegist_Click();
    void cmdUpdate_Click();
    void cmdDelete_Click();
    void cmdSearch_Click();
    void cmdPollGate_Click();
    void opbUseFlag_Click(int index);
    void optDoorMode_Click(int index);
    void optAlarm_Click(int index);
    void cmdAddGateUser_Click();
    void cmdDeleteGateUser_Click();
    void cmdSendGUser_Click();
    QString Validate() const;
    void ClearRecord() override;
    // The operator's fields into the record (the address joined from its four boxes).
    void TakeInput();
    void ShowUseState();
    void ShowDeviceSettings();
    void SetDeviceControlsEnabled(bool on);
    void SetSendButton();
    bool InUse() const;
    int PermitRows() const;

    QLineEdit *m_txtId = nullptr;
    QComboBox *m_cmbZone = nullptr;
    QLineEdit *m_txtName = nullptr;
    QLineEdit *m_txtIP[4] = {};
    QLineEdit *m_txtPort = nullptr;
    QLineEdit *m_txtBikou = nullptr;
    QLineEdit *m_txtUseFlagMsg = nullptr;
    QRadioButton *m_opbGateMode[3] = {}; // 1 entry, 2 exit
    QRadioButton *m_opbUseFlag[2] = {};  // 0 not in use, 1 in use
    QRadioButton *m_optDoorMode[3] = {};
    QRadioButton *m_optAlarm[2] = {};
    QGroupBox *m_fraDoorMode = nullptr;
    QGroupBox *m_fraAlarm = nullptr;
    QPushButton *m_cmdPollGate = nullptr;
    QLabel *m_lblRegistDT = nullptr;
    QLabel *m_lblRefixDT = nullptr;
    MsfGrid *m_msfGateList = nullptr;
    PermitPanel *m_permits = nullptr;
    GateRules::Record m_gate;
    QString m_loadedIpAddr; // the address as loaded, to see whether an update changes it
    int m_doorMode = -1;
    int m_alarm = -1;

    std::unique_ptr<rdo_cntl> m_gateList;
    std::unique_ptr<rdo_cntl> m_zones;
};
