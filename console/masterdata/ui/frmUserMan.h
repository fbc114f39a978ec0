#pragma once

// User screen: the user master (m_user) with department, authority and authentication methods,
// the user's gate permits with their sending to the gates, and the IC card and fingerprint
// areas that tie the user to the credentials the gates check.

#include "MasterRules.h"
#include "MasterScreen.h"
#include "ModeRules.h"
#include "ScreenRefresh.h"

#include <QWidget>

#include <memory>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class MsfGrid;
class PermitPanel;
class rdo_cntl;

class frmUserMan : public MasterScreen, public ListsRefresh
{
    Q_OBJECT
public:
    explicit frmUserMan(QWidget *parent = nullptr);
    ~frmUserMan() override;

    // ---- called back by the pickers and other screens -----------------------------------------
    void USER_SetUserId(const QString &userId) override;
    // Adds a permit for the user shown at the gate (the gate picker).
    void GATE_SetGateId(const QString &gateId) override;
    void RefreshLists() override;
    // The card reading window hands over the card it read, for verification or registration.
    void CARD_SetCardId(const QString &cardId) override;
    // A fingerprint window ended an enrolment or deletion.
    void FP_SetTplId(bool ok, qint16 tplNo) override;

    void ShowuserList();
    void ShowGateUserList();
    // Writes text into lblInfo in colour (0x00BBGGRR) and beeps when beep is true.
    void ShowInfo(const QString &text, quint32 colour, bool beep);
    // Reloads both department combos keeping their selections.
    void EmpRefresh();
    // Combos, mode rules and the user list again, as each time the screen is activated.
    void Form_Activate() override;

    static const ModeRules &Rules();
    // The user shown, as last read or written (with the authority and methods the options show).
    const UserRules::Record &Shown() const { return m_user; }

private:
    void BuildControls();
    void SetupDb();
    QLineEdit *IdField() const override { return m_txtId; }
    void ApplyModeRules() override;
    void txtId_LostFocus();
    void msfUserList_Click(int row);
    void cmdRegist_Click();
    void cmdUpdate_Click();
    // Validates and writes the record as the update button does; false when refused.
    bool SaveRecord();
    void cmdDelete_Click();
    void cmdSearch_Click();
    void opbGAuthority_Click(int index);
    void chbAuthType_Click();
    void AuthorityChanged(bool methods);
    QString Validate();
    void ClearRecord() override;
    // The record into the controls (all but the ID field), and the operator's fields into it.
    void ShowRecord();
    void TakeInput();
    void SetAuthorityControls();
    void SelectEmp(QComboBox *combo, int code);
    void SetPlaceholderCard();
    int PermitRows() const;
    void SetSendButton();
    void cmdAddUseGate_Click();
    void cmdDeleteUseGate_Click();
    void cmdSendGUser_Click();
    // ---- IC card and fingerprint areas ----
    void BuildCredentialAreas(QGridLayout *grid);
    void SetCardButtons();
    bool SaveCard(const QString &cardId);
    void cmdReadIC_Click();
    void cmdVerifyIC_Click();
    void cmdDeleteIC_Click();
    void ShowFpImages();
    void opbFpFuncMode_Click(int fpMode);
    void picFpImg_Click(int finger);
    bool eventFilter(QObject *watched, QEvent *event) override;

    QLineEdit *m_txtId = nullptr;
    QLineEdit *m_txtName = nullptr;
    QLineEdit *m_txtNameYomi = nullptr;
    QLineEdit *m_txtBikou = nullptr;
    QComboBox *m_cmbEmp = nullptr;
    QComboBox *m_cmbEmp2 = nullptr;
    QCheckBox *m_chbAllUserList = nullptr;
    QLabel *m_lblRegistDT = nullptr;
    QLabel *m_lblRefixDT = nullptr;
    QLabel *m_lblInfo = nullptr;
    QLineEdit *m_txtCardID = nullptr;
    QRadioButton *m_opbGAuthority[2] = {};
    QCheckBox *m_chbAuthType[3] = {}; // 1 fingerprint, 2 IC card
    QCheckBox *m_chbAllGUserList = nullptr;
    MsfGrid *m_msfUserList = nullptr;
    PermitPanel *m_permits = nullptr;
    QLineEdit *m_txtCardStatus = nullptr; // txtCARD_XXX
    QPushButton *m_cmdReadIC = nullptr;
    QPushButton *m_cmdVerifyIC = nullptr;
    QPushButton *m_cmdDeleteIC = nullptr;
    QRadioButton *m_opbFpFuncMode[3] = {};
    QLabel *m_picFpImg[6] = {};

    enum class CardPurpose { None, Verify, Register };
    CardPurpose m_cardPurpose = CardPurpose::None;
    UserRules::Record m_user;
    bool m_found = false;          // the user shown exists
    QList<int> m_enrolledFingers; // fingers with a finished template, as last shown

    std::unique_ptr<rdo_cntl> m_userList;
    std::unique_ptr<rdo_cntl> m_emp;
    std::unique_ptr<rdo_cntl> m_emp2;
};
