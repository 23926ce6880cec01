#pragma once
// A meter's alarm limits and the watch that turns its readings into alarm crossings. Limits are
// in the unit the meter shows; a unit change makes old limits meaningless, so the owner resets
// the watch when the unit changes.
#include <optional>

struct AlarmLimits {
    std::optional<double> low; // alarm while the reading is below it
    std::optional<double> high; // alarm while the reading is above it
    // How far back inside a limit the reading must come before the alarm clears, so that a
    // reading trembling on the limit does not raise it again and again. Zero: any reading back
    // inside clears it.
    double hysteresis = 0;

    bool IsSet() const { return low.has_value() || high.has_value(); }
};

enum class AlarmCrossing {
    None, // no change
    Low, // the reading fell below the low limit
    High, // the reading rose above the high limit
    Cleared, // an alarm's reading came back inside its limit (by the hysteresis)
};

class CAlarmWatch {
public:
    explicit CAlarmWatch(const AlarmLimits& limits = AlarmLimits()) : m_limits(limits) { }

    // New limits; an alarm that is on stays on until a reading clears it under the new limits.
    void SetLimits(const AlarmLimits& limits) { m_limits = limits; }
    const AlarmLimits& Limits() const { return m_limits; }

    // Feeds one reading and returns what it changed: Low or High once per crossing, Cleared
    // once when the reading is back inside. A reading that is not a number (over range) changes
    // nothing. A reading that jumps from below the low limit to above the high one reports High
    // (the low alarm is over, the high one begins).
    AlarmCrossing Feed(double value);

    // The alarm now on: None, Low or High.
    AlarmCrossing State() const { return m_state; }
    bool IsOn() const { return m_state != AlarmCrossing::None; }

    // Forgets the state (a new unit, a new session); the next reading is judged afresh.
    void Reset() { m_state = AlarmCrossing::None; }

private:
    AlarmLimits m_limits;
    AlarmCrossing m_state = AlarmCrossing::None;
};
