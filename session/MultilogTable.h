#pragma once
// The multi-meter log as a table: one row per second of the computer's clock from the first
// reading on, holding each meter's last reading of that second (both cells empty when none came),
// and, when meter 1 and meter 2 are a DC voltage and a DC current meter ("VDC" and "ADC", either
// way round), the row's power and the running energy and charge. The header waits until every
// meter has read once, since the units say whether the derived columns apply; rows of the
// seconds before are kept until then. Also the alarm limits of the log and their crossings.
// Core: no clock and no file of its own; the caller gives the seconds and writes the lines.
#include "session/AlarmWatch.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace multilog {

// A field of a comma-separated line (RFC 4180): quoted, with its quotes doubled, when it holds a
// comma, a quote or a line break.
QString CsvField(const QString& text);
// ISO 8601 local time with its offset from UTC and whole seconds: "2026-12-07T11:05:03+01:00".
QString TimeText(const QDateTime& time);

// --alarm N:low:high: meter N (1-based, at most `meters`), either bound may be empty but not
// both, each a finite number, low not above high.
struct Alarm {
    int meter = 0; // 0-based
    AlarmLimits limits; // no hysteresis: back inside is back inside
};
bool ParseAlarm(const QString& text, int meters, Alarm* out, QString* error);

// The alarms of a log: each watches its meter's readings, as given (the limits are in the unit
// the meter shows; a change of unit starts the watch afresh).
class CAlarms {
public:
    void Add(const Alarm& alarm);
    // A reading of `meter` (0-based): its value as shown ("11.21", "OL", empty), unit and time.
    // Returns a line "alarm m<N> low|high VALUE UNIT TIME" for each limit it crossed.
    QStringList Feed(int meter, const QString& value, const QString& unit, const QDateTime& time);

private:
    struct Watch {
        int meter;
        CAlarmWatch watch;
        QString unit; // of the last reading fed
    };
    std::vector<Watch> m_watches;
};

class CTable {
public:
    explicit CTable(int meters);

    // A live reading of `meter` (0-based) that arrived in `second` (seconds since the epoch):
    // its value as shown ("5.012", "OL", empty) and its unit. A reading for a second whose row
    // was already given out (the clock went back) counts for the oldest second still open.
    void Add(int meter, qint64 second, const QString& value, const QString& unit);
    // The lines (without line ends) due once the clock reads second `now`: the header when it is
    // first known, then the row of every second before `now` not given out yet. Nothing while
    // the header waits for a meter's first reading.
    QStringList Take(qint64 now);
    // The run ends in second `last`: what is still due, the row of `last` too when a reading
    // came in it, and the header even when some meter never read (then without the derived
    // columns).
    QStringList Finish(qint64 last);

    int Meters() const { return m_nMeters; }
    bool HasRead(int meter) const { return m_read[size_t(meter)]; }
    bool HeaderDone() const { return m_bHeaderDone; }
    // The header carries power_W, energy_Wh and charge_Ah.
    bool Derived() const { return m_volts >= 0; }
    double EnergyWh() const { return m_energyWh; }
    double ChargeAh() const { return m_chargeAh; }

private:
    struct Cell {
        bool read = false;
        QString value;
        QString unit;
    };
    using Row = std::vector<Cell>;

    QString Header();
    QString RowLine(qint64 second, const Row& row);
    QStringList Rows(qint64 end); // rows of the seconds before `end`

    int m_nMeters;
    std::vector<QString> m_firstUnit; // the unit of each meter's first reading
    std::vector<bool> m_read; // the meter has read
    bool m_bHeaderDone = false;
    int m_volts = -1, m_amps = -1; // meter indexes of the derived columns, -1 without them
    qint64 m_next = -1; // the oldest second whose row is not given out; -1 before any reading
    std::map<qint64, Row> m_rows; // seconds from m_next on that received readings
    double m_energyWh = 0;
    double m_chargeAh = 0;
};

} // namespace multilog
