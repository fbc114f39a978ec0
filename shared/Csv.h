#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

// One CSV field as the system writes it: unchanged, unless it holds a comma, a double quote or a
// line break; then it is enclosed in double quotes with inner quotes doubled, so that it can
// never shift the columns that follow it.
QString CsvField(const QString &value);

// Splits one CSV line into fields: quoted fields may hold commas and doubled quotes. A quote
// that is never closed on the line quotes nothing: from it on, every comma separates.
QStringList CsvSplitLine(const QString &line);

} // namespace orvel
