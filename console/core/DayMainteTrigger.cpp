#include "DayMainteTrigger.h"

DayMainteTrigger::DayMainteTrigger(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTime(); };
}

bool DayMainteTrigger::Tick(const std::function<QString()> &readTime)
{
    const QString stamp = m_clock().toString(QStringLiteral("yyyyMMddHHmm"));
    if (stamp == m_lastStamp)
        return false;
    m_lastStamp = stamp;
    return stamp.mid(8, 4) == readTime().trimmed();
}
