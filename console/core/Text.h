#pragma once

// The console's one text helper: a UTF-8 literal (the sources are UTF-8) as a QString, for texts
// chosen at run time from tables of literals. Fixed texts are written QStringLiteral("...").

#include <QString>

inline QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
