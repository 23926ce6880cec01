#include "protocol/MeterTime.h"

namespace meter_time {

QDateTime MeterClock(int year, int month, int day, int hour, int minute, int second)
{
    // Fields beyond their range carry over into the next larger one, as a calendar does.
    const QDate firstOfYear(year, 1, 1);
    if (!firstOfYear.isValid())
        return QDateTime();
    const QDateTime midnight(firstOfYear.addMonths(month - 1).addDays(day - 1), QTime(0, 0), Qt::UTC);
    return midnight.addSecs(qint64(hour) * 3600 + qint64(minute) * 60 + second);
}

} // namespace meter_time
