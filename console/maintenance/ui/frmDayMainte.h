#pragma once

// The daily maintenance run, opened by the main window at the configured minute: purge, gate
// clocks, rewriting every gate's users, and a database compaction with the services stopped.
// Runs once without input and closes.

#include <QDialog>

#include <memory>

class MsfGrid;
class QLabel;
class QLineEdit;
class QTimer;
class rdo_cntl;

class frmDayMainte : public QDialog
{
    Q_OBJECT
public:
    explicit frmDayMainte(QWidget *parent = nullptr);
    ~frmDayMainte() override;

    void timStart_Timer(); // the whole run; runs on the first tick

private:
    void Info(const QString &text);
    void RestartServicesAroundCompaction();

    QLineEdit *m_txtLogtel_leave_days;
    QLineEdit *m_txtDayMainteTime;
    QLineEdit *m_txtSetTimeFlag;
    QLineEdit *m_txtGUserMainteFlag;
    QLineEdit *m_txtDbMainteFlag;
    QLabel *m_lblInfo;
    MsfGrid *m_msfGateList;
    MsfGrid *m_msfGateUserList;
    QTimer *m_timStart;
    std::unique_ptr<rdo_cntl> m_db;
};
