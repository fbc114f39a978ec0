#pragma once

// One user's gate passages, or all of that user's authentication attempts, over a period, with
// CSV output. No menu opens it; it is registered as "frmListUserAuth" so that it can be opened
// by name (tests, a later menu entry).

#include "CurrentScreen.h"

#include <QWidget>

#include <memory>

class MsfGrid;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class rdo_cntl;

class frmListUserAuth : public QWidget, public CurrentScreen
{
    Q_OBJECT
public:
    explicit frmListUserAuth(QWidget *parent = nullptr);
    ~frmListUserAuth() override;

    // Selects the user whose item code is userId as a number and runs Search; nothing happens
    // when no entry matches.
    void USER_SetUserId(const QString &userId) override;

    void ReloadUsers(); // on every activation and on chbShowDelUser
    void Search();
    void PrintCsv();

private:
    void optListType_Click();
    void cmdSearchUser_Click();
    bool CheckDates();

    QRadioButton *m_optListType[2];
    QLineEdit *m_imDateFrom;
    QLineEdit *m_imDateTo;
    QComboBox *m_cmbUser;
    QCheckBox *m_chbShowDelUser;
    QPushButton *m_cmdSearchUser;
    QPushButton *m_cmdSearch;
    QPushButton *m_cmdPrintCSV;
    MsfGrid *m_msfLogGateOpe;
    std::unique_ptr<rdo_cntl> m_list;
    std::unique_ptr<rdo_cntl> m_users;
};
