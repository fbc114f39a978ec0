#pragma once

// Department picker: lists m_emp and reports the chosen department to the current screen's
// EMP_SetEmpId.

#include "frmAssistBase.h"

class frmJobAssist : public frmAssistBase
{
    Q_OBJECT
public:
    explicit frmJobAssist(QWidget *parent = nullptr);

protected:
    QStringList ExtraConditions() const override { return {}; }
    QString NameColumn() const override { return QStringLiteral("emp_name"); }
    QString BikouColumn() const override { return QStringLiteral("emp_bikou"); }
    void SelectRows(int first, int last) override;
};
