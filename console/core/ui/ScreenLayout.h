#pragma once

// Window positions and grid layouts in the settings store (sections named after the screen, a
// second grid under the screen's name followed by "1" or "2"). Nothing happens without a store.

#include <QString>

class MsfLayout;
class QWidget;

// A screen that keeps layouts: the main window asks each open screen to save them before it
// releases the settings store, and a screen saves them itself when it is closed.
class SavesLayout
{
public:
    virtual ~SavesLayout() = default;
    virtual void SaveLayouts() = 0;
};

void RestoreGridLayout(const QString &section, MsfLayout &grid);
void SaveGridLayout(const QString &section, const MsfLayout &grid);

// The position and size of a window (its frame when it sits in the main window's document area).
void RestoreWindowPos(const QString &section, QWidget &window);
void SaveWindowPos(const QString &section, const QWidget &window);
