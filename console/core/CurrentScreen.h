#pragma once

// The routines that assist windows (pickers, card and fingerprint windows) call back on the
// current screen. A screen overrides the ones it answers; the others do nothing.

#include <QString>
#include <QtGlobal>

class CurrentScreen
{
public:
    virtual ~CurrentScreen() = default;
    virtual void EMP_SetEmpId(const QString &empId) { Q_UNUSED(empId); }
    virtual void USER_SetUserId(const QString &userId) { Q_UNUSED(userId); }
    virtual void GATE_SetGateId(const QString &gateId) { Q_UNUSED(gateId); }
    virtual void CARD_SetCardId(const QString &cardId) { Q_UNUSED(cardId); }
    // ok: the fingerprint operation succeeded; tplNo: the template it concerned.
    virtual void FP_SetTplId(bool ok, qint16 tplNo) { Q_UNUSED(ok); Q_UNUSED(tplNo); }
};
