#pragma once
// The texts of the live display: number formats, over-range, clock and date, and the few derived
// readings (crest factor, pulse width). Pure functions of the reading record.
#include "protocol/MeterData.h"

#include <QString>

namespace LcdText {

// Decimal counts come from a frame byte; anything outside this range is damaged data and is
// clamped so that a format such as "%.-195f" can never be built.
constexpr int kMaxDecimals = 6;
int ClampDecimals(int decimals);

// A zero is shown without a sign: -0.0 becomes +0.0.
float PositiveZero(float value);

// "%.<decimals>f" of the value; any value that rounds to zero at these decimals shows as an
// unsigned zero ("0.000", never "-0.000").
QString Number(float value, int decimals);

// "OL" above the limit, "-OL" below its negative, otherwise Number().
QString Reading(float value, int decimals, float limit);

// "%.2d:%.2d" on a 24-hour clock; otherwise hours above 12 become hour - 12 with "PM" and
// hours 0 to 12 keep their number with "AM" (12:05AM, 00:05AM).
QString Clock(int hour, int minute, bool b24Hour);

// "%.2d/%.2d/%.2d": (month, day, year) when month-first, else (day, month, year).
QString Date(int year, int month, int day, bool bMonthFirst);

// Broken-down meter time, already normalised like a calendar (month 13 is January next year).
struct Moment {
    int year = 0; // two digits
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The meter's clock with month and day 0 read as 1.
Moment MeterClock(const MeterData& d);

// The run's current time: the meter's clock plus the elapsed time of its MAX/MIN or PEAK run.
Moment RunClock(const MeterData& d);

// The start line of a MAX/MIN run: "<date> %.2d:%.2d:%.2d" with " AM"/" PM" on a 12-hour clock.
QString StartLine(const MeterData& d);

// Crest factor text of a PEAK run: "1.3" when the reading is 0 or the factor is out of (1, 5),
// else "%.1f" of cf - 0.05.
QString CrestFactor(float peakMax, float peakMin, float reading);

// Frequency text: "%.2f" above 100, "%.3f" above 10, else "%.4f".
QString Frequency(float value);

// Pulse width in milliseconds from the duty cycle (percent) and the frequency in the unit given
// ("HZ", "KHZ", "MHZ"); "OL" for a zero frequency, empty for another unit.
QString PulseWidth(const QString& unit, float frequency, float dutyPercent);

// The word of the function pop-up's first item for a dial position; empty where none is defined.
QString FunctionMenuWord(int dialPos);

// The value box of the data-point info window: "OL" for exactly +-500000.0, else "%.4f".
QString ShowDataValue(double value);

} // namespace LcdText
