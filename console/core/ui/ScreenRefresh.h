#pragma once

// Screens whose lists other windows refresh after changing the data behind them (the daily
// maintenance and the bulk send rewrite permits while the users and gates screens are open).

#include <QStringList>

class ListsRefresh
{
public:
    virtual ~ListsRefresh() = default;
    virtual void RefreshLists() = 0;
};

// Refreshes every open screen among names (object names such as "frmUserMan") that has lists.
void RefreshOpenScreens(const QStringList &names);
