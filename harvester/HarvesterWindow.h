#pragma once

// The collector's small window: the interval label, the last record or message, the three
// settings boxes, the optional notification-area icon and the close question. It only shows and
// forwards; the collector does the work.

#include <QWidget>

class QLabel;
class QSystemTrayIcon;

namespace harvester {

class Collector;

class HarvesterWindow : public QWidget
{
    Q_OBJECT
public:
    HarvesterWindow(Collector &collector, int waitSec, bool trayIcon, QWidget *parent = nullptr);
    ~HarvesterWindow() override;

    void ShowLine(const QString &text);
    int WaitSec() const { return m_waitSec; }
    // Closes without the question (a stop request of the console).
    void CloseForStop();

    // The settings boxes, each with the text typed; false (and the box's refusal shown) for a
    // value they do not take.
    bool ApplyWaitSec(const QString &text);
    bool ApplyLogWaitInterval(const QString &text);
    bool ApplyStartDate(const QString &text);

signals:
    void waitSecChanged(int ms);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void UpdateLabel();
    void AskWaitSec();
    void AskLogWaitInterval();
    void AskStartDate();

    Collector &m_collector;
    int m_waitSec;
    QLabel *m_lblInterval;
    QLabel *m_lblLog;
    QSystemTrayIcon *m_tray = nullptr;
    bool m_closingForStop = false;
};

} // namespace harvester
