#pragma once

// The frame of the bulk windows: a grid of rows, a start button, a cancel button that stops a
// run after asking, and a progress text. A run goes over every row; after a row that asked to
// stop (or a click on cancel) the next row first asks "中止しますか？".

#include <QDialog>

class MsfGrid;
class QLineEdit;
class QPushButton;

class BulkRunWindow : public QDialog
{
    Q_OBJECT
public:
    void cmdStart_Click();
    void cmdCancel_Click();
    bool IsRunning() const { return m_running; }

protected:
    BulkRunWindow(const QString &objectName, const QString &title, QWidget *parent);

    virtual void LoadRows() = 0;
    // The run over the rows; true when it was stopped. By default each row in turn through RunRow,
    // with GoOn before each.
    virtual bool Run();
    virtual void RunRow(int row) { Q_UNUSED(row); }
    // Before a row: lets events run and, after a click on cancel or a row that asked to stop,
    // asks "中止しますか？". False: the run stops here.
    bool GoOn();
    virtual QString ProgressText() const = 0;
    virtual QString DoneText(bool cancelled) const = 0;
    virtual void Finished() {}

    // A row that failed asks to stop before the next one.
    void RequestStop() { m_cancel = true; }
    void SetColumns(const QStringList &headers);
    // The grid's column widths are restored now and kept in the settings store when the window
    // closes (section: the window's name).
    void KeepGridLayout();
    void hideEvent(QHideEvent *event) override;

    MsfGrid *m_grid = nullptr;
    QLineEdit *m_txtUseFlagMsg = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdCancel = nullptr;

private:
    bool m_running = false;
    bool m_cancel = false;
    bool m_keepsLayout = false;
};

// Every pending permit (a user to write to or delete from a gate) sent to its gate.
class frmIK_GUser : public BulkRunWindow
{
    Q_OBJECT
public:
    explicit frmIK_GUser(QWidget *parent = nullptr);

protected:
    void LoadRows() override;
        QString ProgressText() const override;
    QString DoneText(bool cancelled) const override;
    void Finished() override;
    bool Run() override;
};

// The clock of every gate in use set to the computer's time.
class frmIK_GTime : public BulkRunWindow
{
    Q_OBJECT
public:
    explicit frmIK_GTime(QWidget *parent = nullptr);

protected:
    void LoadRows() override;
    void RunRow(int row) override;
    QString ProgressText() const override;
    QString DoneText(bool cancelled) const override;
};
