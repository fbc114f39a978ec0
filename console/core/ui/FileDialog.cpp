#include "FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QQueue>

namespace FileDialog {
namespace {
bool g_scripted = false;
QQueue<QString> g_names;
QString g_lastDefault;

QString Scripted()
{
    return g_names.isEmpty() ? QString() : g_names.dequeue();
}
} // namespace

QString GetSaveFileName(QWidget *parent, const QString &caption, const QString &defaultName,
                        const QString &filter, const QString &defaultSuffix)
{
    g_lastDefault = defaultName;
    if (g_scripted)
        return Scripted();
    QFileDialog dlg(parent, caption, QDir::current().filePath(defaultName), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(defaultSuffix);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString GetOpenFileName(QWidget *parent, const QString &caption, const QString &filter)
{
    if (g_scripted)
        return Scripted();
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

void SetScripted(bool on)
{
    g_scripted = on;
    g_names.clear();
}

void QueueFileName(const QString &name)
{
    g_names.enqueue(name);
}

QString LastDefaultName()
{
    return g_lastDefault;
}

} // namespace FileDialog
