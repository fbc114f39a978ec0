#pragma once

// Gate picker of the gate and user screens: lists m_gate by name and remarks, with a base
// condition and a caption given by the opener, and reports each chosen gate to the current
// screen's GATE_SetGateId.

#include "frmAssistBase.h"

class frmGateAssist : public frmAssistBase
{
    Q_OBJECT
public:
    // baseWhere: e.g. "use_flag = 1" (only gates in use); caption: the window title, empty for
    // the default "ゲート検索".
    explicit frmGateAssist(const QString &baseWhere = QString(), const QString &caption = QString(),
                           QWidget *parent = nullptr);

protected:
    QStringList ExtraConditions() const override;
    QString NameColumn() const override { return QStringLiteral("gate_name"); }
    QString BikouColumn() const override { return QStringLiteral("gate_bikou"); }
    void SelectRows(int first, int last) override;

private:
    QString m_baseWhere;
};
