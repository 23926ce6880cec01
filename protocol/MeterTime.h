#pragma once
// The meter's clock has no time zone: its times are read as UTC (no daylight saving), so that
// arithmetic on them is plain calendar arithmetic whatever the computer's zone.
#include <QDateTime>

namespace meter_time {

// Fields beyond their range carry over (second 60 is the next minute, day 0 the last day of the
// month before). Invalid when the year cannot be read.
QDateTime MeterClock(int year, int month, int day, int hour, int minute, int second);

} // namespace meter_time
