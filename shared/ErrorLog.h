#pragma once

#include <QString>

namespace orvel {

// Appends one line "yyyy/mm/dd,hh:mm:ss,<code>,<message>" with CR LF, in Shift_JIS, to
// errorlog.txt in the site folder. Write failures are ignored: the log must never stop the
// caller.
void WriteErrorLog(int code, const QString &message);

// Where the lines go; tests and tools may point it elsewhere (empty = the site folder's file).
void SetErrorLogPath(const QString &path);
QString ErrorLogPath();

} // namespace orvel
