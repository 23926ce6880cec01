#include "session/AlarmWatch.h"

#include <cmath>

AlarmCrossing CAlarmWatch::Feed(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return AlarmCrossing::None;
    const bool belowLow = m_limits.low && value < *m_limits.low;
    const bool aboveHigh = m_limits.high && value > *m_limits.high;

    if (aboveHigh && m_state != AlarmCrossing::High) {
        m_state = AlarmCrossing::High;
        return AlarmCrossing::High;
    }
    if (belowLow && m_state != AlarmCrossing::Low) {
        m_state = AlarmCrossing::Low;
        return AlarmCrossing::Low;
    }
    // Clearing needs the reading inside by the hysteresis; a limit taken away clears at once.
    if (m_state == AlarmCrossing::Low
        && (!m_limits.low || value >= *m_limits.low + m_limits.hysteresis)) {
        m_state = AlarmCrossing::None;
        return AlarmCrossing::Cleared;
    }
    if (m_state == AlarmCrossing::High
        && (!m_limits.high || value <= *m_limits.high - m_limits.hysteresis)) {
        m_state = AlarmCrossing::None;
        return AlarmCrossing::Cleared;
    }
    return AlarmCrossing::None;
}
