#pragma once

// The start-up check: the automatic log output file, the purge of old logs, a connection test of
// every gate in use, then the services armed and started. Runs once without input and closes.

#include <QDialog>

class MsfGrid;
class QLabel;
class QTimer;

class frmStartChk : public QDialog
{
    Q_OBJECT
public:
    explicit frmStartChk(QWidget *parent = nullptr);

    void timStart_Timer(); // the whole check; runs on the first tick

private:
    void Info(const QString &text);

    QLabel *m_lblInfo;
    MsfGrid *m_msfGateList;
    QTimer *m_timStart;
};
