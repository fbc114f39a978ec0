#pragma once

// The log list: the gate log filtered by period, kind, names and direction, either as a monitor
// of the 21 newest entries refreshed every second while the screen is active, or on demand, and
// written to a CSV file.

#include "CurrentScreen.h"
#include "ScreenLayout.h"

#include <QWidget>

#include <memory>

class LogGridModel;
class LogGridView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;
class rdo_cntl;

namespace orvel::logs {
struct LogFilter;
}

class frmListMix : public QWidget, public CurrentScreen, public SavesLayout
{
    Q_OBJECT
public:
    explicit frmListMix(QWidget *parent = nullptr);
    ~frmListMix() override;

    // The screen became the active window / lost it: the refresh runs only while it is active.
    void Activated();
    void Deactivated();

    void Search();   // cmdSearch, and every tick in monitor mode
    void PrintCsv(); // cmdPrintCSV
    void SaveLayouts() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chbAutoRead_Click();
    bool SetSearchConditions();
    orvel::logs::LogFilter CurrentFilter() const;

    QComboBox *m_cmbListType;
    QLineEdit *m_imDateFrom;
    QLineEdit *m_imDateTo;
    QLineEdit *m_txtUserName;
    QLineEdit *m_txtEmpName;
    QLineEdit *m_txtGateName;
    QLineEdit *m_txtZoneName;
    QComboBox *m_cmbDoorMode;
    QCheckBox *m_chbAutoRead;
    QTimer *m_timAutoRead;
    QPushButton *m_cmdSearch;
    QPushButton *m_cmdPrintCSV;
    LogGridModel *m_rows;
    LogGridView *m_msfLogGateOpe;
    std::unique_ptr<rdo_cntl> m_grid;
    std::unique_ptr<rdo_cntl> m_csv;
};
