#pragma once

// The three exports: the chosen columns of users, departments or gates written to a CSV file
// by the access component's CSV writer (Shift_JIS, CR LF, no header; a value with a comma, a
// quote or a line break is quoted so that the file reads back).

#include <QString>
#include <QVector>

namespace impexp {

enum class ExportKind { Users, Emps, Gates };

struct ExportColumn
{
    const char *column;  // database column
    const char *caption; // check box caption
    const char *format;  // value format of the file
};

// The columns of a kind, in file order.
const QVector<ExportColumn> &ExportColumns(ExportKind kind);
// The window title of a kind's screen ("ユーザをエクスポート" ...).
QString ExportTitle(ExportKind kind);

struct ExportOutcome
{
    enum class Kind {
        Done,        // message: the report (information)
        NoColumns,   // message without an icon
        NoFile,      // warning
        Failed       // the file or the database failed (critical)
    };
    Kind kind = Kind::Done;
    QString message;
    int rows = 0;
};

// Writes the rows of kind with the ticked columns (chosen[i] for column i) to fileName.
ExportOutcome RunExport(ExportKind kind, const QVector<bool> &chosen, const QString &fileName);

} // namespace impexp
