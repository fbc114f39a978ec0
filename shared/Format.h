#pragma once

// The display format language of the console: number patterns ("00000", "0000000000", "#",
// "0#", "#,##0") and date-time patterns ("yyyy/mm/dd hh:mm:ss", "yyyy/mm/dd", "HH:MM:SS",
// "hh:nn"). Weeks start on Sunday; the first week of the year contains 1 January.

#include <QString>
#include <QVariant>

namespace orvel {

// Formats value with pattern; an empty pattern gives the value's plain text. A value that does
// not fit the pattern's kind (a word under a number pattern) is returned as its plain text.
QString FormatValue(const QVariant &value, const QString &pattern);

// The plain text of a database value: null gives empty text; date-times are written
// "yyyy/mm/dd hh:mm:ss".
QString ValueText(const QVariant &value);

// Today as the database stores dates ("yyyy/mm/dd"): the registration and update dates.
QString TodayText();

} // namespace orvel
