#pragma once
// Watches every meter's readings against its alarm settings: each reading goes into the meter's
// CAlarmWatch, and a crossing leaves as alarm(). A change of the unit the meter shows makes the
// old judgement meaningless: the watch starts afresh (an alarm that was on is cleared first). A
// raised alarm starts the meter's program, if it has one, detached and without a shell, with
// the reading in its environment:
//   METER_VALUE  the reading ("11.43")          METER_UNIT   the unit shown ("VDC")
//   METER_ALARM  "low" or "high"                METER_INDEX  the meter's number, 1 for the first
//   METER_TIME   when it was read, ISO 8601 with milliseconds and the offset from UTC
// Core code: runs on the thread that delivers the readings (the GUI thread in the window).
#include "session/AlarmSettings.h"
#include "session/AlarmWatch.h"
#include "session/LiveReading.h"

#include <QObject>
#include <QProcessEnvironment>
#include <map>

class CAlarmMonitor : public QObject {
    Q_OBJECT
public:
    explicit CAlarmMonitor(QObject* parent = nullptr);

    // The settings of meter `meter` (0-based). New limits judge the next reading; an alarm that
    // is on stays on until a reading clears it (or is cleared now when the limits no longer
    // apply to the unit shown).
    void SetSettings(int meter, const MeterAlarmSettings& settings);
    MeterAlarmSettings Settings(int meter) const;

    // The alarm of `meter` now on: None, Low or High.
    AlarmCrossing State(int meter) const;
    // The unit the meter showed last (empty before any reading).
    QString LastUnit(int meter) const;

    // The environment the program of an alarm gets: the system's, plus the METER_ variables.
    static QProcessEnvironment CommandEnvironment(
        int meter, AlarmCrossing crossing, double value, const QString& unit, const QDateTime& time);

public slots:
    // One live reading of one meter.
    void OnReading(const LiveReading& reading);
    // The meter is gone (disconnected): its alarm, if on, is cleared and the next reading is
    // judged afresh.
    void ResetMeter(int meter);

signals:
    // Low or High when an alarm is raised, Cleared when it ends; `value` and `unit` are the
    // reading that did it (the last reading's, for a reset).
    void alarm(int meter, AlarmCrossing crossing, double value, const QString& unit, const QDateTime& time);
    // The program of an alarm could not be started.
    void commandFailed(int meter, const QString& program);

private:
    struct Meter {
        MeterAlarmSettings settings;
        CAlarmWatch watch;
        QString unit; // the unit of the last reading
        double value = 0; // the last reading
        QDateTime time;
    };
    bool Applies(const Meter& m) const;
    void Clear(int meter, Meter& m);
    void RunCommand(int meter, const Meter& m, AlarmCrossing crossing, double value, const QDateTime& time);

    std::map<int, Meter> m_meters;
};

Q_DECLARE_METATYPE(AlarmCrossing)
