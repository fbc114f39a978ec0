#include "frmIK_ImportUser.h"

#include "MasterImports.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "Public.h"
#include "ScreenRegistry.h"

#include <QCheckBox>

ORVEL_REGISTER_SCREEN(frmIK_ImportUser)

namespace {
const QString kAutoEmpNeedsBoth =
    QStringLiteral("部署の自動登録をおこなう場合、部署IDと部署名をインポート項目に含める必要があります。");
}

frmIK_ImportUser::frmIK_ImportUser(QWidget *parent)
    : ImportWindow(QStringLiteral("frmIK_ImportUser"), QStringLiteral("ユーザをインポート"), QStringLiteral("optUID"),
                   QStringLiteral("ユーザID"), orvel::kUserIdWidth, parent)
{
    AddColumnBox("chbUserName", QStringLiteral("ユーザ名　※必須"), true);
    AddColumnBox("chbUserYomi", QStringLiteral("ユーザ名（ローマ字） ※必須"), true);
    m_chbEmp = AddColumnBox("chbEmp", QStringLiteral("部署"));
    m_chbEmpId = AddColumnBox("chbEmpId", QStringLiteral("部署ID"), false, true);
    m_chbEmpName = AddColumnBox("chbEmpName", QStringLiteral("部署名"), false, true);
    m_chbAutoEmpId = AddColumnBox("chbAutoEmpId", QStringLiteral("未登録の部署を自動登録"), false, true);
    m_chbAutoEmpId->setChecked(false);
    m_chbBikou = AddColumnBox("chbBikou", QStringLiteral("備考"));
    m_chbGAuthority = AddColumnBox("chbGAuthority", QStringLiteral("ゲート権限（ユーザ=1, 管理者=2）"));
    m_chbOverWrite = AddOptionBox("chbOverWrite", QStringLiteral("ユーザIDが登録済みの場合、上書きする"));

    connect(m_chbEmp, &QCheckBox::clicked, this, &frmIK_ImportUser::chbEmp_Click);
    connect(m_chbEmpId, &QCheckBox::clicked, this, [this] { chbEmpIdOrName_Click(m_chbEmpId); });
    connect(m_chbEmpName, &QCheckBox::clicked, this, [this] { chbEmpIdOrName_Click(m_chbEmpName); });
    connect(m_chbAutoEmpId, &QCheckBox::clicked, this, &frmIK_ImportUser::chbAutoEmpId_Click);
    resize(520, sizeHint().height());
}

void frmIK_ImportUser::EnableAutoEmp()
{
    m_chbAutoEmpId->setEnabled(m_chbEmp->isChecked() && m_chbEmpId->isChecked() && m_chbEmpName->isChecked());
}

void frmIK_ImportUser::chbEmp_Click()
{
    const bool on = m_chbEmp->isChecked();
    for (QCheckBox *box : {m_chbEmpId, m_chbEmpName}) {
        box->setEnabled(on);
        box->setChecked(on);
    }
    m_chbAutoEmpId->setChecked(false);
    EnableAutoEmp();
}

void frmIK_ImportUser::chbEmpIdOrName_Click(QCheckBox *box)
{
    if (!box->isChecked() && m_chbAutoEmpId->isChecked()) {
        MsgBox::Show(kAutoEmpNeedsBoth, QMessageBox::Ok, QMessageBox::Warning);
        box->setChecked(true);
    }
    EnableAutoEmp();
}

void frmIK_ImportUser::chbAutoEmpId_Click()
{
    if (m_chbAutoEmpId->isChecked() && !(m_chbEmpId->isChecked() && m_chbEmpName->isChecked())) {
        MsgBox::Show(kAutoEmpNeedsBoth, QMessageBox::Ok, QMessageBox::Warning);
        m_chbAutoEmpId->setChecked(false);
    }
}

std::unique_ptr<impexp::ImportRun> frmIK_ImportUser::MakeRun() const
{
    impexp::UserImportOptions o;
    o.autoId = AutoId();
    o.firstId = FirstId();
    o.emp = m_chbEmp->isChecked();
    o.empId = m_chbEmpId->isChecked();
    o.empName = m_chbEmpName->isChecked();
    o.autoEmp = m_chbAutoEmpId->isChecked();
    o.bikou = m_chbBikou->isChecked();
    o.gauthority = m_chbGAuthority->isChecked();
    o.overwrite = m_chbOverWrite->isChecked();
    o.edition = GetEdition();
    return std::make_unique<impexp::UserImport>(o);
}

QStringList frmIK_ImportUser::ScreensToRefresh() const
{
    return {QStringLiteral("frmJobMan"), QStringLiteral("frmUserMan"), QStringLiteral("frmGateMan")};
}
