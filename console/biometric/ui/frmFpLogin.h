#pragma once

// "指紋認証": identifies an administrator among every login template; shown modally by the
// administrator login, which is the current screen and receives FP_SetTplId. Scanning starts
// when the window is shown.

#include "frmFpBase.h"

class frmFpLogin : public frmFpBase
{
    Q_OBJECT
public:
    explicit frmFpLogin(QWidget *parent = nullptr);
    Q_INVOKABLE void StartVerify() { session().StartVerify(); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_loaded = false;
};
