#pragma once

// Decides when the daily maintenance starts: the trigger is tested every few seconds but runs its
// test at most once per wall-clock minute, and fires when that minute's "HHMM" equals the
// configured time. A time changed to the current minute after that minute was tested therefore
// waits for the next day.

#include <QDateTime>
#include <QString>

#include <functional>

class DayMainteTrigger
{
public:
    using Clock = std::function<QDateTime()>;
    explicit DayMainteTrigger(Clock clock = {});

    // One tick. readTime is asked for the configured "HHMM" only when a new minute is tested.
    // Returns true when the maintenance is to start now.
    bool Tick(const std::function<QString()> &readTime);

    QString LastStamp() const { return m_lastStamp; } // "YYYYMMDDHHMM", empty before the first test

private:
    Clock m_clock;
    QString m_lastStamp;
};
