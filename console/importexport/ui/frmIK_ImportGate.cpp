#include "frmIK_ImportGate.h"

#include "MasterImports.h"
#include "OrvelDefs.h"
#include "ScreenRegistry.h"

#include <QCheckBox>
#include <QGroupBox>

ORVEL_REGISTER_SCREEN(frmIK_ImportGate)

frmIK_ImportGate::frmIK_ImportGate(QWidget *parent)
    : ImportWindow(QStringLiteral("frmIK_ImportGate"), QStringLiteral("ゲートをインポート"), QStringLiteral("optGateID"),
                   QStringLiteral("ゲートID"), orvel::kGateIdWidth, parent)
{
    AddColumnBox("chbZoneName", QStringLiteral("ゾーン　　　※必須"), true);
    AddColumnBox("chbGateName", QStringLiteral("ゲート名　　※必須"), true);
    AddColumnBox("chbIPAdress", QStringLiteral("IPアドレス　※必須"), true);
    m_chbPortNo = AddColumnBox("chbPortNo", QStringLiteral("ポート番号"));
    m_chbBikou = AddColumnBox("chbBikou", QStringLiteral("備考"));
    m_chbGateMode = AddColumnBox("chbGateMode", QStringLiteral("入退室区分（入室=1、退室=2）"));
    m_options->hide(); // no overwrite for gates
    resize(480, sizeHint().height());
}

std::unique_ptr<impexp::ImportRun> frmIK_ImportGate::MakeRun() const
{
    impexp::GateImportOptions o;
    o.autoId = AutoId();
    o.firstId = FirstId();
    o.port = m_chbPortNo->isChecked();
    o.bikou = m_chbBikou->isChecked();
    o.direction = m_chbGateMode->isChecked();
    return std::make_unique<impexp::GateImport>(o);
}

QStringList frmIK_ImportGate::ScreensToRefresh() const
{
    return {QStringLiteral("frmGateMan")};
}
