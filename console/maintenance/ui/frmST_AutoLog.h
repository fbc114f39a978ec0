#pragma once

// Automatic log output settings: whether the log collector writes a log file, which kind of
// records, which columns, and where.

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class rdo_cntl;

class frmST_AutoLog : public QDialog
{
    Q_OBJECT
public:
    explicit frmST_AutoLog(QWidget *parent = nullptr);
    ~frmST_AutoLog() override;

    void timStart_Timer(); // shows the loaded row; runs once, shortly after load
    void cmdOK_Click();

private:
    static constexpr int kItems = 13;
    QLineEdit *m_txtLogMode;
    QLineEdit *m_txtFName;
    QLineEdit *m_txtItem[kItems];
    QCheckBox *m_chbItem[12];
    QComboBox *m_cmbListType;
    QRadioButton *m_optLogWrite[2];
    QPushButton *m_cmdCancel;
    QTimer *m_timStart;
    std::unique_ptr<rdo_cntl> m_db;
};
