#include "frmIK_ImportEmp.h"

#include "MasterImports.h"
#include "OrvelDefs.h"
#include "ScreenRegistry.h"

#include <QCheckBox>

ORVEL_REGISTER_SCREEN(frmIK_ImportEmp)

frmIK_ImportEmp::frmIK_ImportEmp(QWidget *parent)
    : ImportWindow(QStringLiteral("frmIK_ImportEmp"), QStringLiteral("部署をインポート"), QStringLiteral("optEmpID"),
                   QStringLiteral("部署ID"), orvel::kEmpIdWidth, parent)
{
    AddColumnBox("chbEmpName", QStringLiteral("部署名　※必須"), true);
    m_chbBikou = AddColumnBox("chbBikou", QStringLiteral("備考"));
    m_chbOverWrite = AddOptionBox("chbOverWrite", QStringLiteral("部署IDが登録済みの場合、上書きする"));
    resize(480, sizeHint().height());
}

std::unique_ptr<impexp::ImportRun> frmIK_ImportEmp::MakeRun() const
{
    impexp::EmpImportOptions o;
    o.autoId = AutoId();
    o.firstId = FirstId();
    o.bikou = m_chbBikou->isChecked();
    o.overwrite = m_chbOverWrite->isChecked();
    return std::make_unique<impexp::EmpImport>(o);
}

QStringList frmIK_ImportEmp::ScreensToRefresh() const
{
    return {QStringLiteral("frmJobMan"), QStringLiteral("frmUserMan")};
}
