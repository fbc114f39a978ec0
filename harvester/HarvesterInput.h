#pragma once

// Texts of the collector's window and the rules of its three settings boxes, kept apart from
// the widgets so that tests check them without a display.

#include <QString>

namespace harvester {

inline constexpr const char *kOutOfRangeText = "入力された値が範囲を超えています！";
inline constexpr const char *kExitQuestion = "システムを終了してよろしいですか？";
inline constexpr const char *kTrayTip = "左クリックで表示\n右クリックで非表示";

// "リクエスト発行間隔[...] ㍉秒   ログ取得間隔[...] ㍉秒" for the tick period and the ticks per pass.
QString IntervalLabelText(int waitSec, int logWaitInterval);

// A tick period or a number of ticks: a positive whole number; false for anything else.
bool ParseIntervalInput(const QString &text, int *value);

// The upload start date as typed, "yyyy/mm/dd" (2001-2255), or empty to clear it. year comes back
// counted from 2000 as Orvel.ini keeps it; a cleared date is 0/0/0.
bool ParseStartDateInput(const QString &text, int *year, int *month, int *day);

} // namespace harvester
