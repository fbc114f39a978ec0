#pragma once

// Department screen: the department master (m_emp) and the membership of users (m_user.emp_id).
// Department "00000" is the built-in department of users without one; removing a member moves
// the user there.

#include "MasterScreen.h"
#include "ModeRules.h"
#include "ScreenRefresh.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class MsfGrid;
class rdo_cntl;

class frmJobMan : public MasterScreen, public ListsRefresh
{
    Q_OBJECT
public:
    explicit frmJobMan(QWidget *parent = nullptr);
    ~frmJobMan() override;

    // ---- called back by the pickers -----------------------------------------------------------
    void EMP_SetEmpId(const QString &empId) override;
    void USER_SetUserId(const QString &userId) override;

    void ShowEmpList();
    void ShowEmpUserList();
    // Both lists again, as each time the screen is activated.
    void Form_Activate() override;
    // The same two lists, when another window changed departments (the imports).
    void RefreshLists() override;

    // The table of locks and enabled buttons per mode (shared mechanism, this screen's rules).
    static const ModeRules &Rules();

private:
    void BuildControls();
    void SetupLists();
    QLineEdit *IdField() const override { return m_txtId; }
    void ModeShown() override { ShowEmpUserList(); }
    void ApplyModeRules() override;
    void txtId_LostFocus();
    void msfEmpList_Click(int row);
    void cmdRegist_Click();
    void cmdUpdate_Click();
    void cmdDelete_Click();
    void cmdSearch_Click();
    void cmdAddEmpUser_Click();
    void cmdDeleteEmpUser_Click();
    void ClearRecord() override;

    QLineEdit *m_txtId = nullptr;
    QLineEdit *m_txtName = nullptr;
    QLineEdit *m_txtBikou = nullptr;
    QLabel *m_lblRegistDT = nullptr;
    QLabel *m_lblRefixDT = nullptr;
    MsfGrid *m_msfEmpList = nullptr;
    MsfGrid *m_msfEmpUserList = nullptr;

    std::unique_ptr<rdo_cntl> m_empList;
    std::unique_ptr<rdo_cntl> m_userList;
    std::unique_ptr<rdo_cntl> m_read;
    std::unique_ptr<rdo_cntl> m_write;
};
