#include "frmSelFolder.h"

#include "PatchMsg.h"
#include "Public.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace patch {

frmSelFolder::frmSelFolder(const QString &start, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelFolder"));
    setWindowTitle(QStringLiteral("フォルダの選択"));
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("drvDrive"));
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        roots << volume.rootPath();
    if (!roots.contains(QStringLiteral("/")))
        roots << QStringLiteral("/");
    roots.sort();
    roots.removeDuplicates();
    m_drives->addItems(roots);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QStringLiteral("/"));
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("dirFolder"));
    m_tree->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_tree->hideColumn(c);
    m_tree->header()->hide();
    m_path = new QLabel(this);
    m_path->setObjectName(QStringLiteral("lblFolder"));

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_drives);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_path);
    layout->addWidget(buttons);
    resize(420, 420);

    connect(m_drives, &QComboBox::activated, this, &frmSelFolder::drvDrive_Change);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmSelFolder::dirFolder_Change);
    SetFolder(QFileInfo(start).isDir() ? start : QDir::rootPath());
}

QString frmSelFolder::DriveOf(const QString &path, const QStringList &drives)
{
    QString best = QStringLiteral("/");
    for (const QString &d : drives)
        if ((path == d || path.startsWith(d.endsWith(QLatin1Char('/')) ? d : d + QLatin1Char('/'))) && d.size() > best.size())
            best = d;
    return best;
}

bool frmSelFolder::SetDrive(const QString &root)
{
    const QFileInfo info(root);
    if (!info.isDir() || !info.isReadable() || !QDir(root).isReadable()) {
        PatchMsg::Show(kMsgDriveError, QMessageBox::Warning);
        m_drives->setCurrentIndex(m_drives->findText(m_drive));
        return false;
    }
    m_drive = root;
    if (m_drives->findText(root) < 0)
        m_drives->addItem(root);
    m_drives->setCurrentIndex(m_drives->findText(root));
    m_tree->setRootIndex(m_model->index(root));
    return true;
}

void frmSelFolder::SetFolder(const QString &folder)
{
    const QString path = QFileInfo(folder).absoluteFilePath();
    QStringList drives;
    for (int i = 0; i < m_drives->count(); ++i)
        drives << m_drives->itemText(i);
    if (!SetDrive(DriveOf(path, drives)))
        return;
    const QModelIndex index = m_model->index(path);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    m_folder = path;
    m_path->setText(path);
}

void frmSelFolder::drvDrive_Change(int index)
{
    const QString root = m_drives->itemText(index);
    if (SetDrive(root)) {
        m_folder = root;
        m_path->setText(root);
    }
}

void frmSelFolder::dirFolder_Change()
{
    const QString path = m_model->filePath(m_tree->currentIndex());
    if (path.isEmpty())
        return;
    m_folder = path;
    m_path->setText(path);
}

} // namespace patch
