#pragma once

// The card reading window: opens the reader of the console's edition, polls it until a card is
// held over it, shows the ID for a second and hands it to the current screen's CARD_SetCardId.
// "読み取り中止" closes it without a result. The reading itself is CardReading.

#include <QDialog>

#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class CardReading;

class frmCardAssist : public QDialog
{
    Q_OBJECT
public:
    explicit frmCardAssist(QWidget *parent = nullptr);
    ~frmCardAssist() override;

    // How a caller reads a card: it is (or makes itself) the current screen, then calls this,
    // which raises the busy flag, shows the window modally and returns once it has closed.
    static void Open(QWidget *parent);

    void ShowInfo(const QString &text, quint32 colour, bool beep);
    int BeepCount() const { return m_beeps; } // beeps asked for so far (tests)

    void timInitialize_Timer();
    void timCard_Timer();
    void timReadOK_Timer();
    void cmdStopExit_Click();

    void done(int result) override;

private:
    void Unload();

    std::unique_ptr<CardReading> m_reading;
    QGroupBox *m_fraTitle;
    QLabel *m_lblIDm;
    QLabel *m_lblInfo;
    QPushButton *m_cmdStopExit;
    QTimer *m_timInitialize;
    QTimer *m_timCard;
    QTimer *m_timReadOK;
    int m_beeps = 0;
    bool m_unloaded = false;
};
