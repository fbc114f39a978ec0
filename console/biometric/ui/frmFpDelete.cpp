#include "frmFpDelete.h"

#include "ScreenRegistry.h"

frmFpDelete::frmFpDelete(QWidget *parent)
    : frmFpBase(QStringLiteral("frmFpDelete"), FpSession::Kind::Delete,
                Layout{QStringLiteral("指紋削除"), true, {}, 0, false, true}, parent)
{
    SetTopMost(true);
}

ORVEL_REGISTER_SCREEN(frmFpDelete)
