#pragma once
// One live reading of one meter of a session, as the session's parts (alarms, derived readings,
// the multi-meter log) see it: the value in the unit the meter shows, and when it arrived.
#include <QDateTime>
#include <QString>
#include <limits>

struct LiveReading {
    int meter = 0; // 0-based, in the order the meters were added
    double value = std::numeric_limits<double>::quiet_NaN(); // NaN: over range ("OL")
    QString unit; // as the meter shows it: "VDC", "mADC", ...
    QDateTime time; // the computer's clock when it arrived
};

// What a DC unit measures, for power and charge: volts or amperes, and the factor to them.
enum class DcQuantity { Other, Volts, Amperes };
struct DcUnit {
    DcQuantity quantity = DcQuantity::Other;
    double toBase = 1.0; // value * toBase is in V or A
};
DcUnit DcUnitOf(const QString& unit);
