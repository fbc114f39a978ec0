#pragma once

// What the department, user and gate screens share: the screen body inside a scroll area (so a
// screen taller than the window stays reachable), the four-mode bar and the current mode, the
// reload each time the screen is activated, the list whose rows the operator chooses with the
// mouse or the keyboard, the reload that keeps the shown ID highlighted, and the grid layouts
// (and, where a screen asks for it, the window position) kept in the settings store.

#include "CurrentScreen.h"
#include "ScreenLayout.h"

#include <QList>
#include <QPair>
#include <QWidget>

#include <functional>

class FuncModeBar;
class MsfGrid;
class MsfLayout;
class QGridLayout;
class QLineEdit;
class rdo_cntl;

class MasterScreen : public QWidget, public CurrentScreen, public SavesLayout
{
    Q_OBJECT
public:
    int mode() const;
    // Reloads what the screen shows, as each time it is activated.
    virtual void Form_Activate() = 0;
    // Stores the grid layouts (and the position where kept); also on close and unload.
    void SaveLayouts() override;
    // The whole body, without scrolling; the main window opens the screen no larger than it has
    // room for, and the scroll area takes up the rest.
    QSize sizeHint() const override;

protected:
    MasterScreen(const QString &objectName, const QString &title, QWidget *parent);

    // The widget the screen lays its controls out on (inside the scroll area).
    QWidget *Body() const { return m_body; }
    // Puts the mode bar across the top row of the screen's layout; its clicks reach
    // opbFuncMode_Click.
    void AddModeBar(QGridLayout *top);
    // The mode bar's click, the same on every screen: the subtitle shows the mode; new mode clears
    // the record and puts the focus into the ID field; then the screen's mode rules run.
    void opbFuncMode_Click(int mode);
    // ---- what each screen gives the mode click ----
    virtual QLineEdit *IdField() const = 0;
    virtual void ClearRecord() = 0;
    // Reads the record of the ID shown and sets every control by the mode.
    virtual void ApplyModeRules() = 0;
    // What else a screen shows again after a mode change.
    virtual void ModeShown() {}
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

    // The grid's column layout is restored now from the section "<screen><suffix>" and saved
    // there with the screen's other layouts.
    void KeepGridLayout(MsfLayout *grid, const QString &suffix);
    // The window position is restored when the screen is first shown and saved with the layouts.
    void KeepWindowPosition() { m_keepsPosition = true; }

    // The screen's list: a click on a data row or a keyboard move to one runs chosen(row), in
    // grid numbering.
    void ConnectList(MsfGrid *list, std::function<void(int row)> chosen);
    // The operator chose a row of the list: the row is highlighted and its key (column 0) goes
    // into the ID field. False for a row outside the list's data rows.
    bool ChooseListRow(MsfGrid &list, int row, QLineEdit *id);
    // Reloads the list from source and highlights (and makes current) the row whose key is id;
    // no row is current when id is not listed.
    void ReloadListShowing(rdo_cntl &source, MsfGrid &list, const QString &id);

    FuncModeBar *m_mode = nullptr;
    int m_highlighted = -1; // the highlighted row of the list

private:
    QWidget *m_body = nullptr;
    QList<QPair<MsfLayout *, QString>> m_grids;
    bool m_keepsPosition = false;
    bool m_positionRestored = false;
};
