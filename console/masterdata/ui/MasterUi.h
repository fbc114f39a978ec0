#pragma once

// Pieces every management screen and picker of the master data shares: the mode option
// buttons, ID fields, grid selection blocks, grid layouts in the settings store, and a guard
// that turns a database error inside a click handler into a message instead of a crash.

#include "MasterRules.h"
#include "ScreenLayout.h"

#include <QGroupBox>
#include <QPair>
#include <QString>

#include <functional>

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QAbstractButton;
class QLineEdit;
class QButtonGroup;
class MsfGrid;
class QAbstractItemView;

// opbFuncMode_0..3 ("照会", "編集", "新規登録", "詳細設定を編集") in one group box. Clicks by
// the operator arrive through onClick; select() ticks a button as if it had been clicked.
class FuncModeBar : public QGroupBox
{
    Q_OBJECT
public:
    explicit FuncModeBar(QWidget *parent = nullptr);
    int mode() const { return m_mode; }
    // Ticks the button of mode without running the click handler.
    void setMode(int mode);
    // Ticks the button of mode and runs the click handler.
    void select(int mode);
    QAbstractButton *button(int mode) const;
    std::function<void(int)> onClick;

private:
    QButtonGroup *m_group;
    int m_mode = 0;
};

// Shows mode in the main window's title strip (defaults of the mode); nothing without one.
void ShowModeSubTitle(int mode);

// An ID field of width digits: only digits can be typed (other characters beep) and losing the
// focus pads the text with leading zeros ("7" -> "00007"; empty stays empty), then runs lostFocus.
void SetupIdField(QLineEdit *field, int width, std::function<void()> lostFocus);

// Rows of the block between the view's current row and the other end of its selection, as model
// rows, smaller first. {-1, -1} when no row is current.
QPair<int, int> SelectedRows(const QAbstractItemView &view);
// The same for a grid, in grid numbering (first data row = fixedRows()).
QPair<int, int> SelectedBlock(const MsfGrid &grid);


// A flag of the settings store under section/key ("0" or "1").
bool LoadSettingFlag(const QString &section, const QString &key, bool def);
void SaveSettingFlag(const QString &section, const QString &key, bool on);

// Runs work; a database error it raises is shown with its driver text and ends the action.
// Returns false when an error was caught.
bool GuardDb(const std::function<void()> &work);

// Sets the header captions of a grid's fixed row.
void SetGridHeader(MsfGrid &grid, const QStringList &captions);

// Stops those of the main window's timers (by object name: "timSrvChkSend", "timDayMainte")
// that are running, and starts exactly those again when it ends. A timer its owner had already
// stopped (the daily maintenance stops both for its whole run) stays stopped.
class MainTimersPaused
{
public:
    explicit MainTimersPaused(const QStringList &names);
    ~MainTimersPaused();
    MainTimersPaused(const MainTimersPaused &) = delete;
    MainTimersPaused &operator=(const MainTimersPaused &) = delete;

private:
    QList<QPointer<QTimer>> m_stopped;
};

// Disables the main window (when there is one) until it ends.
class MainWindowDisabled
{
public:
    MainWindowDisabled();
    ~MainWindowDisabled();
    MainWindowDisabled(const MainWindowDisabled &) = delete;
    MainWindowDisabled &operator=(const MainWindowDisabled &) = delete;

private:
    QPointer<QWidget> m_main;
};
