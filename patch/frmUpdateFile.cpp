#include "frmUpdateFile.h"

#include "PatchMsg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace patch {

frmUpdateFile::frmUpdateFile(const PatchData &data, const PatchEnv &env, const QString &installDir, QWidget *parent)
    : QDialog(parent), m_data(data), m_env(env), m_installDir(installDir)
{
    setObjectName(QStringLiteral("frmUpdateFile"));
    setWindowTitle(QStringLiteral("Kavrin Manager 2 ファイル更新"));
    setWindowFlag(Qt::WindowCloseButtonHint, false); // the run ends the window, not the user
    m_guide = new QLabel(this);
    m_guide->setObjectName(QStringLiteral("lblGuide"));
    QPalette guide = m_guide->palette();
    guide.setColor(QPalette::WindowText, kGuideColor);
    m_guide->setPalette(guide);
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("lblFile"));
    m_file->setTextInteractionFlags(Qt::NoTextInteraction);
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("lstFile"));
    m_files->setSelectionMode(QAbstractItemView::NoSelection);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgFile"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_guide);
    layout->addWidget(m_file);
    layout->addWidget(m_files, 1);
    layout->addWidget(m_progress);
    resize(640, 360);

    m_start = new QTimer(this);
    m_start->setObjectName(QStringLiteral("timStart"));
    m_start->setSingleShot(true);
    m_start->setInterval(m_env.timing.startMs);
    connect(m_start, &QTimer::timeout, this, &frmUpdateFile::timStart_Timer);
    m_exit = new QTimer(this);
    m_exit->setObjectName(QStringLiteral("timExit"));
    m_exit->setSingleShot(true);
    m_exit->setInterval(m_env.timing.exitMs);
    connect(m_exit, &QTimer::timeout, this, &QDialog::accept);
    m_start->start();
}

void frmUpdateFile::timStart_Timer()
{
    m_succeeded = RunUpdate(m_data, m_env.patchDir, m_installDir, *this).completed;
    m_ran = true;
    if (m_succeeded)
        m_progress->setValue(m_progress->maximum());
    m_exit->start();
}

void frmUpdateFile::reject()
{
    if (m_ran)
        QDialog::reject();
}

void frmUpdateFile::closeEvent(QCloseEvent *event)
{
    if (m_ran)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void frmUpdateFile::Guide(const QString &text)
{
    m_guide->setText(text);
    Refresh();
}

void frmUpdateFile::FileShown(int index, int count, const QString &text)
{
    m_file->setText(text);
    m_files->addItem(text);
    m_files->scrollToBottom();
    m_progress->setRange(0, count);
    m_progress->setValue(index + 1);
    Refresh();
}

void frmUpdateFile::CopyFailed(const QString &reason)
{
    m_files->addItem(reason);
    PatchMsg::Show(kMsgCopyFailed, QMessageBox::Critical);
}

void frmUpdateFile::Refresh()
{
    // The run is one timer handler: let the window paint between files, without user input.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace patch
