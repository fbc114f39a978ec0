#pragma once

// The progress window of an update run: shown modally, its start timer runs the update once,
// its exit timer closes it.

#include "PatchUpdate.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QTimer;

namespace patch {

class frmUpdateFile : public QDialog, private UpdateObserver
{
    Q_OBJECT
public:
    frmUpdateFile(const PatchData &data, const PatchEnv &env, const QString &installDir, QWidget *parent = nullptr);

    bool Succeeded() const { return m_succeeded; }

    // Escape and a window close wait for the run: a run left unstarted would read as failed.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void timStart_Timer();
    void Guide(const QString &text) override;
    void FileShown(int index, int count, const QString &text) override;
    void CopyFailed(const QString &reason) override;
    void Refresh();

    PatchData m_data;
    PatchEnv m_env;
    QString m_installDir;
    bool m_succeeded = false;
    bool m_ran = false;
    QLabel *m_guide;
    QLabel *m_file;
    QListWidget *m_files;
    QProgressBar *m_progress;
    QTimer *m_start;
    QTimer *m_exit;
};

} // namespace patch
