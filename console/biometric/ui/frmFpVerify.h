#pragma once

// "指紋照合": tests one enrolled finger of one user against a fresh capture; shows the outcome only.

#include "frmFpBase.h"

class frmFpVerify : public frmFpBase
{
    Q_OBJECT
public:
    explicit frmFpVerify(QWidget *parent = nullptr);
    Q_INVOKABLE void StartVerify() { session().StartVerify(); }
};
