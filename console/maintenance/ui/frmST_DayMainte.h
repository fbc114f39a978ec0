#pragma once

// Daily maintenance settings: the time of day, the log retention and what the run does.

#include <QDialog>

#include <memory>

class QLineEdit;
class QRadioButton;
class rdo_cntl;

class frmST_DayMainte : public QDialog
{
    Q_OBJECT
public:
    explicit frmST_DayMainte(QWidget *parent = nullptr);
    ~frmST_DayMainte() override;

    void cmdOK_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool LeaveField(QLineEdit *field);
    void ComposeTime();

    QLineEdit *m_txtHour;
    QLineEdit *m_txtMinute;
    QLineEdit *m_txtLogtel_leave_days;
    QLineEdit *m_txtDayMainteTime;
    QLineEdit *m_txtSetTimeFlag;
    QLineEdit *m_txtGUserMainteFlag;
    QLineEdit *m_txtDbMainteFlag;
    std::unique_ptr<rdo_cntl> m_db;
};
