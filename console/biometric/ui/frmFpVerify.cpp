#include "frmFpVerify.h"

#include "ScreenRegistry.h"

frmFpVerify::frmFpVerify(QWidget *parent)
    : frmFpBase(QStringLiteral("frmFpVerify"), FpSession::Kind::Verify,
                Layout{QStringLiteral("指紋照合"), true, {}, 1, true, false}, parent)
{
    SetTopMost(true);
}

ORVEL_REGISTER_SCREEN(frmFpVerify)
