#pragma once

// The folder picker: a list of drives (the mounted file systems) and the folders of the chosen
// drive. OK hands the chosen folder back.

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QTreeView;

namespace patch {

class frmSelFolder : public QDialog
{
    Q_OBJECT
public:
    explicit frmSelFolder(const QString &start, QWidget *parent = nullptr);

    // The drive (mount point) whose folders are listed. A drive that cannot be read says
    // "ドライブエラーです｡" and the list stays on the previous drive; returns false then.
    bool SetDrive(const QString &root);
    // Chooses a folder (and its drive).
    void SetFolder(const QString &folder);
    QString Folder() const { return m_folder; }

private:
    void drvDrive_Change(int index);
    void dirFolder_Change();
    static QString DriveOf(const QString &path, const QStringList &drives);

    QComboBox *m_drives;
    QTreeView *m_tree;
    QFileSystemModel *m_model;
    QLabel *m_path;
    QString m_drive;
    QString m_folder;
};

} // namespace patch
