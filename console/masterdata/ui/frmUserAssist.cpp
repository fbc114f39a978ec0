#include "frmUserAssist.h"

#include "MasterUi.h"

#include "CurrentScreen.h"
#include "MsfGrid.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "rdo_cntl.h"

bool frmUserAssist::g_bSearchDelUserAdd = false;

frmUserAssist::frmUserAssist(const QString &extraWhere, const QString &caption, QWidget *parent)
    : frmAssistBase(QStringLiteral("frmUserAssist"), QStringLiteral("msfUserList"), QString::fromUtf8("ユーザ名"),
                    parent),
      m_extraWhere(extraWhere)
{
    setWindowTitle(caption.isEmpty() ? QString::fromUtf8("ユーザ検索") : caption);
    list().setDataSource(QStringLiteral("telmar_v1.m_user"));
    list().SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    list().SetField(QStringLiteral("user_name"));
    list().SetField(QStringLiteral("user_bikou"));
    list().setOrder(QStringLiteral("user_id asc"));
    SetGridHeader(*grid(), {QString::fromUtf8("ユーザID"), QString::fromUtf8("ユーザ名"), QString::fromUtf8("備考")});
    const int w = grid()->minimumWidth();
    grid()->setColumnWidth(0, w * 25 / 100);
    grid()->setColumnWidth(1, w * 40 / 100);
    grid()->setColumnWidth(2, w * 30 / 100);
    Start();
}

QStringList frmUserAssist::ExtraConditions() const
{
    QStringList c;
    if (!g_bSearchDelUserAdd)
        c << QStringLiteral("delete_flag = 0");
    if (!m_extraWhere.isEmpty())
        c << QStringLiteral("(") + m_extraWhere + QStringLiteral(")");
    return c;
}

void frmUserAssist::SelectRows(int first, int last)
{
    QStringList ids;
    for (int r = first; r <= last; ++r)
        ids << grid()->textMatrix(r, 0);
    for (const QString &id : ids)
        if (CurrentScreen *screen = GetCurrentScreen())
            screen->USER_SetUserId(id);
}

// Opened by name with no extra condition (the caption and condition need the constructor).
ORVEL_REGISTER_SCREEN_FACTORY("frmUserAssist", [](QWidget *parent) -> QWidget * { return new frmUserAssist({}, {}, parent); })
