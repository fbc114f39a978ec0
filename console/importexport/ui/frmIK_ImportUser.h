#pragma once

// "ユーザをインポート": users from a CSV file, optionally registering their departments and
// overwriting registered users.

#include "ImportWindow.h"

class frmIK_ImportUser : public ImportWindow
{
    Q_OBJECT
public:
    explicit frmIK_ImportUser(QWidget *parent = nullptr);

    void chbEmp_Click();
    void chbEmpIdOrName_Click(QCheckBox *box);
    void chbAutoEmpId_Click();

protected:
    std::unique_ptr<impexp::ImportRun> MakeRun() const override;
    QStringList ScreensToRefresh() const override;

private:
    void EnableAutoEmp();

    QCheckBox *m_chbEmp = nullptr;
    QCheckBox *m_chbEmpId = nullptr;
    QCheckBox *m_chbEmpName = nullptr;
    QCheckBox *m_chbAutoEmpId = nullptr;
    QCheckBox *m_chbBikou = nullptr;
    QCheckBox *m_chbGAuthority = nullptr;
    QCheckBox *m_chbOverWrite = nullptr;
};
