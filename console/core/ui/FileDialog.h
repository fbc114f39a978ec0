#pragma once

// The one way the console asks for a file name. Production shows a QFileDialog; tests queue the
// names the "operator" picks (an empty name is a cancelled dialog).

#include <QString>

class QWidget;

namespace FileDialog {

// A file to write: defaultName is proposed (in the current folder), defaultSuffix is added to
// a name typed without one. Empty text when the operator cancels.
QString GetSaveFileName(QWidget *parent, const QString &caption, const QString &defaultName,
                        const QString &filter, const QString &defaultSuffix);
// A file to read. Empty text when the operator cancels.
QString GetOpenFileName(QWidget *parent, const QString &caption, const QString &filter);

// ---- scripting for tests ------------------------------------------------------------------
void SetScripted(bool on);
void QueueFileName(const QString &name); // "" = cancel
// The default name of the last save dialog (what the operator would have been offered).
QString LastDefaultName();

} // namespace FileDialog
