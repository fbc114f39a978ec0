#pragma once

// What the department, user and gate screens share: the four-mode bar, the current mode, the
// reload each time the screen is activated, and the grid layouts saved when it closes.

#include "CurrentScreen.h"

#include <QWidget>

class FuncModeBar;
class MsfGrid;
class QGridLayout;
class QLineEdit;

class MasterScreen : public QWidget, public CurrentScreen
{
    Q_OBJECT
public:
    int mode() const;
    // Reloads what the screen shows, as each time it is activated.
    virtual void Form_Activate() = 0;

protected:
    MasterScreen(const QString &objectName, const QString &title, QWidget *parent);

    // Puts the mode bar across the top row of the screen's layout; its clicks reach
    // opbFuncMode_Click.
    void AddModeBar(QGridLayout *top);
    virtual void opbFuncMode_Click(int mode) = 0;
    // Stores the screen's grid layouts (and position); called on close. Derived destructors
    // call it too, since a base destructor cannot reach it.
    virtual void SaveLayouts() = 0;
    void closeEvent(QCloseEvent *event) override;
    // The operator chose a row of the screen's list: the row is highlighted and its key (column
    // 0) goes into the ID field. False for a click outside the list's rows.
    bool ChooseListRow(MsfGrid &list, int row, QLineEdit *id);

    FuncModeBar *m_mode = nullptr;
    int m_highlighted = -1; // the highlighted row of the list
};
