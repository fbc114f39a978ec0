#include "frmOrvPatch.h"

#include "PatchMsg.h"
#include "frmSelFolder.h"
#include "frmUpdateFile.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace patch {

frmOrvPatch::frmOrvPatch(const PatchEnv &env, QWidget *parent) : QWidget(parent), m_env(env)
{
    setObjectName(QStringLiteral("frmOrvPatch"));
    setWindowTitle(QStringLiteral("Kavrin Manager 2 更新モジュール"));

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    titleFont.setBold(true);
    m_title->setFont(titleFont);

    m_changeDir = new QCheckBox(QStringLiteral("インストールフォルダを変更する"), this);
    m_changeDir->setObjectName(QStringLiteral("chbChangeDir"));
    m_frame = new QGroupBox(QStringLiteral("インストールフォルダ"), this);
    m_frame->setObjectName(QStringLiteral("fraChangeDir"));
    m_dir = new QLineEdit(m_frame);
    m_dir->setObjectName(QStringLiteral("txtInstallDir"));
    m_search = new QPushButton(QStringLiteral("参照..."), m_frame);
    m_search->setObjectName(QStringLiteral("cmdSearch"));
    auto *frameLayout = new QHBoxLayout(m_frame);
    frameLayout->addWidget(m_dir, 1);
    frameLayout->addWidget(m_search);

    m_guide = new QLabel(this);
    m_guide->setObjectName(QStringLiteral("lblGuide"));
    m_ok = new QPushButton(QStringLiteral("開始"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addSpacing(8);
    layout->addWidget(m_changeDir);
    layout->addWidget(m_frame);
    layout->addWidget(m_guide);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(560, 280);

    connect(m_dir, &QLineEdit::textChanged, this, &frmOrvPatch::txtInstallDir_Change);
    connect(m_changeDir, &QCheckBox::toggled, this, &frmOrvPatch::chbChangeDir_Click);
    connect(m_search, &QPushButton::clicked, this, &frmOrvPatch::cmdSearch_Click);
    connect(m_ok, &QPushButton::clicked, this, &frmOrvPatch::cmdOK_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
}

bool frmOrvPatch::Load()
{
    const std::optional<PatchData> data = ReadVersDat(m_env.patchDir);
    if (!data) {
        PatchMsg::Show(kMsgBadPatchData, QMessageBox::Critical);
        return false;
    }
    m_data = *data;
    m_title->setText(QStringLiteral("Kavrin Manager 2 更新モジュールのインストールを行います。\n")
                     + QStringLiteral("version %1 (%2)\n").arg(m_data.version, m_data.edition)
                     + QStringLiteral("インストールフォルダーを確認して下さい。"));

    const InstallDirChoice choice = FindInstallDir(m_data.edition, m_env.defaultDir);
    {
        const QSignalBlocker block(m_dir);
        m_dir->setText(choice.dir);
    }
    m_changeDir->setChecked(false);
    m_changeDir->setEnabled(!choice.accepted);
    m_frame->setEnabled(false);
    m_search->setEnabled(false);
    txtInstallDir_Change();
    // A found installation needs only Start: it has the focus (Space starts).
    if (choice.accepted)
        m_ok->setFocus();
    return true;
}

void frmOrvPatch::txtInstallDir_Change()
{
    if (m_runState != 0)
        return; // one run per start: the folder no longer matters
    const bool accepted = IsInstallDir(m_dir->text().trimmed(), m_data.edition);
    m_ok->setEnabled(accepted);
    ShowGuide(accepted ? kGuideStart : kGuidePickFolder, kGuideColor);
}

void frmOrvPatch::chbChangeDir_Click()
{
    const bool on = m_changeDir->isChecked();
    m_frame->setEnabled(on);
    m_search->setEnabled(on);
}

void frmOrvPatch::cmdSearch_Click()
{
    frmSelFolder picker(m_dir->text().trimmed(), this);
    if (picker.exec() == QDialog::Accepted && !picker.Folder().isEmpty())
        m_dir->setText(picker.Folder());
}

void frmOrvPatch::cmdOK_Click()
{
    const QString typed = m_dir->text().trimmed();
    if (!IsInstallDir(typed, m_data.edition))
        return;
    const QString installDir = QDir::cleanPath(QFileInfo(typed).absoluteFilePath());
    m_ok->setEnabled(false);
    m_cancel->setEnabled(false);

    // Nothing is replaced under a running console or service; they cannot start meanwhile.
    InstallLock lock;
    QStringList running;
    if (!lock.Acquire(installDir, &running)) {
        PatchMsg::Show(RunningMessage(running), QMessageBox::Warning);
        m_ok->setEnabled(true);
        m_cancel->setEnabled(true);
        return;
    }

    frmUpdateFile progress(m_data, m_env, installDir, this);
    progress.exec();
    lock.Release();

    m_runState = progress.Succeeded() ? 1 : -1;
    m_changeDir->setEnabled(false);
    m_frame->setEnabled(false);
    m_search->setEnabled(false);
    if (progress.Succeeded())
        ShowGuide(kDoneCompleted, kGuideColor);
    else
        ShowGuide(kDoneFailed, kFailColor);
    m_cancel->setText(QStringLiteral("終了"));
    m_cancel->setEnabled(true);
}

void frmOrvPatch::ShowGuide(const QString &text, const QColor &color)
{
    m_guide->setText(text);
    QPalette p = m_guide->palette();
    p.setColor(QPalette::WindowText, color);
    m_guide->setPalette(p);
}

} // namespace patch
