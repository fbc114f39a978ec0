#include "frmFpEnroll.h"

#include "ScreenRegistry.h"

frmFpEnroll::frmFpEnroll(QWidget *parent)
    : frmFpBase(QStringLiteral("frmFpEnroll"), FpSession::Kind::Enroll,
                Layout{QStringLiteral("指紋登録"), true, {QStringLiteral("指紋読取"), QStringLiteral("確認")}, 2, true, false},
                parent)
{
    SetTopMost(true);
}

ORVEL_REGISTER_SCREEN(frmFpEnroll)
