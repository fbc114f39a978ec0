#pragma once

// orvelctl import and export: the console's CSV imports and exports of users, departments and
// gates, for scripts.
//
//   orvelctl import users|departments|gates FILE [--site DIR] [--auto-id FIRST] [--columns LIST]
//                   [--register-departments] [--overwrite] [--edition 1|2]
//   orvelctl export users|departments|gates FILE [--site DIR] [--columns LIST]
//
// The report goes to standard output (exit 0); the first error to standard error (exit 1);
// usage errors exit 2.

#include <QStringList>

class QTextStream;

namespace orvel {

// args: the command line after the program name, starting with "import" or "export".
int RunImportExportCommand(const QStringList &args, QTextStream &out, QTextStream &err);

// The usage lines of the two commands.
QString ImportExportUsage();

} // namespace orvel
