#pragma once
// A meter's alarm settings as the user sets them: the limits with their hysteresis, the unit they
// are in, whether a sound plays, and a program to run when an alarm is raised. They live in the
// program's settings file, one section per meter keyed by the meter's address, so that they
// follow the meter whichever place it takes in the window.
#include "session/AlarmWatch.h"

#include <QString>
#include <QStringList>

struct MeterAlarmSettings {
    AlarmLimits limits;
    // The unit the limits are in ("VDC", "mADC", ...): they apply only while the meter shows it.
    // Empty: they apply to whatever the meter shows.
    QString unit;
    bool sound = true;
    // Started (never through a shell) when an alarm is raised, with the reading in its
    // environment; empty: nothing runs.
    QString program;
    QStringList arguments;

    bool operator==(const MeterAlarmSettings& o) const
    {
        return limits.low == o.limits.low && limits.high == o.limits.high && limits.hysteresis == o.limits.hysteresis
            && unit == o.unit && sound == o.sound && program == o.program && arguments == o.arguments;
    }
    bool operator!=(const MeterAlarmSettings& o) const { return !(*this == o); }
};

// What is wrong with settings the user typed, as a message for them; empty when they are usable.
QString AlarmSettingsProblem(const MeterAlarmSettings& settings);

class CAlarmSettings {
public:
    // `settingsFile`: the program's settings file (the one the port settings use).
    explicit CAlarmSettings(const QString& settingsFile) : m_strPath(settingsFile) { }

    // The settings of the meter at `address` ("aa:bb:cc:dd:ee:ff", a device path, "sim"); a
    // meter never set up has no limits, sound on and no program.
    MeterAlarmSettings Read(const QString& address) const;
    void Write(const QString& address, const MeterAlarmSettings& settings);

    // The section that holds the meter's settings: "ALARM_" and the address's letters and digits
    // in upper case ("ALARM_A4C138001122"); "ALARM" for a meter without an address.
    static QString SectionFor(const QString& address);

private:
    QString m_strPath;
};
