#pragma once

// User picker of the department screen: offers live users outside the department, asks
// before taking a user away from another department, and reports each user to the current
// screen's USER_SetUserId.

#include "frmAssistBase.h"

class frmUserAssist_Job : public frmAssistBase
{
    Q_OBJECT
public:
    frmUserAssist_Job(const QString &empId, QWidget *parent = nullptr);

protected:
    QStringList ExtraConditions() const override;
    QString NameColumn() const override { return QStringLiteral("user_name"); }
    QString BikouColumn() const override { return QStringLiteral("user_bikou"); }
    void SelectRows(int first, int last) override;

private:
    QString m_empId;
};
