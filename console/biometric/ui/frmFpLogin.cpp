#include "frmFpLogin.h"

#include "ScreenRegistry.h"

frmFpLogin::frmFpLogin(QWidget *parent)
    : frmFpBase(QStringLiteral("frmFpLogin"), FpSession::Kind::Login,
                Layout{QStringLiteral("指紋認証"), false, {}, 1, true, false}, parent)
{
}

void frmFpLogin::showEvent(QShowEvent *event)
{
    frmFpBase::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        StartVerify();
    }
}

ORVEL_REGISTER_SCREEN(frmFpLogin)
