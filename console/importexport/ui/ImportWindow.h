#pragma once

// The frame of the three import screens: the file row, the ID option with the first automatic
// ID, the column boxes of the screen, the progress of the write pass and the start and close
// buttons. The import itself runs in the widget-free import library; this window only asks and
// shows.

#include <QDialog>

#include <memory>

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace impexp {
class ImportRun;
}

class ImportWindow : public QDialog
{
    Q_OBJECT
public:
    void cmdFileSearch_Click();
    void cmdStart_Click();
    bool IsRunning() const { return m_running; }

protected:
    // optName: object name of the ID option array ("optUID"); idCaption its first caption.
    ImportWindow(const QString &objectName, const QString &title, const QString &optName, const QString &idCaption,
                 int idWidth, QWidget *parent);

    virtual std::unique_ptr<impexp::ImportRun> MakeRun() const = 0;
    // Screens refreshed after a run (object names).
    virtual QStringList ScreensToRefresh() const = 0;

    // A check box of the column group, initially ticked, on a row of its own (indented under
    // the box before it when asked); a required one re-ticks itself when clicked.
    QCheckBox *AddColumnBox(const char *objectName, const QString &caption, bool required = false,
                            bool indented = false);
    // A check box below the columns (overwrite and the like), initially clear.
    QCheckBox *AddOptionBox(const char *objectName, const QString &caption);
    bool AutoId() const;
    QString FirstId() const;

    QGroupBox *m_columns = nullptr;
    QGroupBox *m_options = nullptr;

    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void optId_Click(int index);

    int m_idWidth;
    int m_columnRows = 0;
    bool m_running = false;
    QLineEdit *m_txtImportFName = nullptr;
    QRadioButton *m_optId[2] = {nullptr, nullptr};
    QLineEdit *m_txtId = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdClose = nullptr;
};
