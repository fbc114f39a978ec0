#include "ScreenLayout.h"

#include "Public.h"
#include "clSettingInfo.h"

#include <QWidget>

void RestoreGridLayout(const QString &section, MsfLayout &grid)
{
    if (clSettingInfo *s = Settings()) {
        s->setSectionName(section);
        s->GetMsfInfo(grid);
    }
}

void SaveGridLayout(const QString &section, const MsfLayout &grid)
{
    if (clSettingInfo *s = Settings()) {
        s->setSectionName(section);
        s->SetMsfInfo(grid);
    }
}

void RestoreWindowPos(const QString &section, QWidget &window)
{
    if (clSettingInfo *s = Settings()) {
        s->setSectionName(section);
        s->GetPos(window);
    }
}

void SaveWindowPos(const QString &section, const QWidget &window)
{
    if (clSettingInfo *s = Settings()) {
        s->setSectionName(section);
        s->SavePos(window);
    }
}
