#include "frmJobAssist.h"

#include "MasterUi.h"

#include "CurrentScreen.h"
#include "MsfGrid.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "rdo_cntl.h"

frmJobAssist::frmJobAssist(QWidget *parent)
    : frmAssistBase(QStringLiteral("frmJobAssist"), QStringLiteral("msfEmpList"), QString::fromUtf8("部署名"), parent)
{
    setWindowTitle(QString::fromUtf8("部署検索"));
    list().setDataSource(QStringLiteral("telmar_v1.m_emp"));
    list().SetField(QStringLiteral("emp_id"), QStringLiteral("00000"), true, true);
    list().SetField(QStringLiteral("emp_name"));
    list().setOrder(QStringLiteral("emp_id asc"));
    SetGridHeader(*grid(), {QString::fromUtf8("部署ID"), QString::fromUtf8("部署名")});
    const int w = grid()->minimumWidth();
    grid()->setColumnWidth(0, w * 20 / 100);
    grid()->setColumnWidth(1, w * 70 / 100);
    Start();
}

void frmJobAssist::SelectRows(int first, int last)
{
    Q_UNUSED(first);
    Q_UNUSED(last);
    // One department: the current row.
    const int row = grid()->curRow();
    if (row < grid()->fixedRows())
        return;
    if (CurrentScreen *screen = GetCurrentScreen())
        screen->EMP_SetEmpId(grid()->textMatrix(row, 0));
}

ORVEL_REGISTER_SCREEN(frmJobAssist)
