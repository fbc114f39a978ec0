#pragma once

// "指紋登録": enrols one finger of one user: a capture makes the template, a second capture must
// match it, then the template is stored (l_fptpl row and template file record) and its number
// reported through FP_SetTplId.

#include "frmFpBase.h"

class frmFpEnroll : public frmFpBase
{
    Q_OBJECT
public:
    explicit frmFpEnroll(QWidget *parent = nullptr);
    Q_INVOKABLE void StartEnroll() { session().StartEnroll(); }
};
