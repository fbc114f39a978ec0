#pragma once

#include <QByteArray>
#include <QString>

namespace orvel {

// Text files of the system (CSV, the automatic log file, import files, errorlog.txt) are
// Shift_JIS (code page 932). Characters that the code page lacks become "?".
QByteArray ToSjis(const QString &text);
QString FromSjis(const QByteArray &bytes);

} // namespace orvel
