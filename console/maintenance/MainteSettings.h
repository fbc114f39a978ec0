#pragma once

// The checks of the maintenance settings dialogs, without widgets.

#include <QString>

namespace orvel::mainte {

// A two-digit field value within [low, high], formatted "0#" ("7" -> "07"). Empty text, a value
// that is no whole number or one out of range is refused (false).
bool FormatInRange(const QString &text, int low, int high, QString *formatted);

inline constexpr int kHourMax = 23;
inline constexpr int kMinuteMax = 59;
inline constexpr int kLeaveDaysMin = 1;
inline constexpr int kLeaveDaysMax = 90;

// Keys the time and day fields take: digits, backspace, "." and Enter (navigation keys pass).
bool IsAcceptedFieldKey(int key, const QString &text);

// Whether the automatic log file can be appended to (created when missing, never truncated).
bool CanAppendTo(const QString &path);

} // namespace orvel::mainte
