#include "frmGateAssist.h"

#include "MasterUi.h"

#include "CurrentScreen.h"
#include "MsfGrid.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "rdo_cntl.h"

frmGateAssist::frmGateAssist(const QString &baseWhere, const QString &caption, QWidget *parent)
    : frmAssistBase(QStringLiteral("frmGateAssist"), QStringLiteral("msfGateList"), QString::fromUtf8("ゲート名"),
                    parent),
      m_baseWhere(baseWhere)
{
    setWindowTitle(caption.isEmpty() ? QString::fromUtf8("ゲート検索") : caption);
    list().setDataSource(QStringLiteral("telmar_v1.m_gate"));
    list().SetField(QStringLiteral("gate_id"), QStringLiteral("00000"), true, true);
    list().SetField(QStringLiteral("gate_name"));
    list().setOrder(QStringLiteral("gate_id asc"));
    SetGridHeader(*grid(), {QString::fromUtf8("ゲートID"), QString::fromUtf8("ゲート名")});
    const int w = grid()->minimumWidth();
    grid()->setColumnWidth(0, w * 25 / 100);
    grid()->setColumnWidth(1, w * 65 / 100);
    Start();
}

QStringList frmGateAssist::ExtraConditions() const
{
    if (m_baseWhere.isEmpty())
        return {};
    return {QStringLiteral("(") + m_baseWhere + QStringLiteral(")")};
}

void frmGateAssist::SelectRows(int first, int last)
{
    // The IDs first: the screen reloads its lists while it takes each gate.
    QStringList ids;
    for (int r = first; r <= last; ++r)
        ids << grid()->textMatrix(r, 0);
    for (const QString &id : ids)
        if (CurrentScreen *screen = GetCurrentScreen())
            screen->GATE_SetGateId(id);
}

ORVEL_REGISTER_SCREEN_FACTORY("frmGateAssist", [](QWidget *parent) -> QWidget * { return new frmGateAssist({}, {}, parent); })
