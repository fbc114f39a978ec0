#pragma once

// "指紋削除": deletes one enrolled finger's l_fptpl row (the template file keeps its bytes) and
// reports through FP_SetTplId.

#include "frmFpBase.h"

class frmFpDelete : public frmFpBase
{
    Q_OBJECT
public:
    explicit frmFpDelete(QWidget *parent = nullptr);
};
