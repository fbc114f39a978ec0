#include "ScreenRefresh.h"

#include "Public.h"

#include <QWidget>

void RefreshOpenScreens(const QStringList &names)
{
    QWidget *main = MainWindow();
    if (!main)
        return;
    for (const QString &name : names)
        for (QWidget *w : main->findChildren<QWidget *>(name))
            if (auto *r = dynamic_cast<ListsRefresh *>(w))
                r->RefreshLists();
}
