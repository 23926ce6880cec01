#include "display/LcdText.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace LcdText {

int ClampDecimals(int decimals)
{
    return std::clamp(decimals, 0, kMaxDecimals);
}

float PositiveZero(float value)
{
    return value == 0.0f ? 0.0f : value;
}

QString Number(float value, int decimals)
{
    QString text = QString::asprintf("%.*f", ClampDecimals(decimals), static_cast<double>(PositiveZero(value)));
    // A small negative value that rounds to zero at the shown decimals is zero on the display,
    // not "-0.000".
    if (text.startsWith(QLatin1Char('-')) && !std::any_of(text.cbegin() + 1, text.cend(), [](QChar c) {
            return c.isDigit() && c != QLatin1Char('0');
        }))
        text.remove(0, 1);
    return text;
}

QString Reading(float value, int decimals, float limit)
{
    if (value > limit)
        return QStringLiteral("OL");
    if (value < -limit)
        return QStringLiteral("-OL");
    return Number(value, decimals);
}

QString Clock(int hour, int minute, bool b24Hour)
{
    if (b24Hour)
        return QString::asprintf("%.2d:%.2d", hour, minute);
    if (hour > 12)
        return QString::asprintf("%.2d:%.2dPM", hour - 12, minute);
    return QString::asprintf("%.2d:%.2dAM", hour, minute);
}

QString Date(int year, int month, int day, bool bMonthFirst)
{
    if (bMonthFirst)
        return QString::asprintf("%.2d/%.2d/%.2d", month, day, year);
    return QString::asprintf("%.2d/%.2d/%.2d", day, month, year);
}

Moment MeterClock(const MeterData& d)
{
    Moment m;
    m.year = d.m_byYear;
    m.month = d.m_byMonth == 0 ? 1 : d.m_byMonth;
    m.day = d.m_byDay == 0 ? 1 : d.m_byDay;
    m.hour = d.m_byHour;
    m.minute = d.m_byMinute;
    m.second = d.m_bySecond;
    return m;
}

Moment RunClock(const MeterData& d)
{
    const Moment start = MeterClock(d);
    // Calendar arithmetic in UTC, so no daylight-saving step can move the run's time. Out-of-range
    // fields roll over into the next unit the way a C calendar normalisation does.
    const QDate date = QDate(2000 + start.year, 1, 1).addMonths(start.month - 1).addDays(start.day - 1);
    const qint64 seconds = qint64(start.hour) * 3600 + qint64(start.minute) * 60 + start.second
        + qint64(d.m_byElapsedH) * 3600 + qint64(d.m_byElapsedM) * 60 + d.m_byElapsedS;
    const QDateTime t = QDateTime(date, QTime(0, 0), QTimeZone::utc()).addSecs(seconds);
    Moment m;
    m.year = t.date().year() % 100;
    m.month = t.date().month();
    m.day = t.date().day();
    m.hour = t.time().hour();
    m.minute = t.time().minute();
    m.second = t.time().second();
    return m;
}

QString StartLine(const MeterData& d)
{
    const Moment m = MeterClock(d);
    const QString date = Date(m.year, m.month, m.day, d.m_bMonthFirst);
    if (d.m_b24Hour)
        return QString::asprintf("%ls %.2d:%.2d:%.2d", qUtf16Printable(date), m.hour, m.minute, m.second);
    if (m.hour > 12)
        return QString::asprintf("%ls %.2d:%.2d:%.2d PM", qUtf16Printable(date), m.hour - 12, m.minute, m.second);
    return QString::asprintf("%ls %.2d:%.2d:%.2d AM", qUtf16Printable(date), m.hour, m.minute, m.second);
}

QString CrestFactor(float peakMax, float peakMin, float reading)
{
    const QString fallback = QStringLiteral("1.3");
    if (reading == 0.0f)
        return fallback;
    const float cf = (peakMax - peakMin) / (2.0f * reading);
    // The comparisons are written so that a NaN factor also falls back.
    if (!(cf > 1.0f && cf < 5.0f))
        return fallback;
    // The 0.05 is taken off in double precision: a factor of exactly 2 reads 1.9, not 2.0.
    return QString::asprintf("%.1f", static_cast<double>(cf) - 0.05);
}

QString Frequency(float value)
{
    if (value > 100.0f)
        return Number(value, 2);
    if (value > 10.0f)
        return Number(value, 3);
    return Number(value, 4);
}

QString PulseWidth(const QString& unit, float frequency, float dutyPercent)
{
    if (frequency == 0.0f)
        return QStringLiteral("OL");
    float ms;
    if (unit == QLatin1String("HZ"))
        ms = dutyPercent * 10.0f / frequency;
    else if (unit == QLatin1String("KHZ"))
        ms = dutyPercent / (frequency * 100.0f);
    else if (unit == QLatin1String("MHZ"))
        ms = dutyPercent / (frequency * 100000.0f);
    else
        return QString();
    return Number(ms, 2);
}

QString FunctionMenuWord(int dialPos)
{
    // Eleven rows; the oscilloscope position 11 has none and shows an empty item.
    static const char* const kWords[11] = { "DC", "DC", "DC", "DC", "mVDC", "VDC", "VDC", "mVDC", "Ohms", "Hz", "Hz" };
    if (dialPos < 0 || dialPos >= 11)
        return QString();
    return QString::fromLatin1(kWords[dialPos]);
}

QString ShowDataValue(double value)
{
    if (value == 500000.0 || value == -500000.0)
        return QStringLiteral("OL");
    return QString::asprintf("%.4f", value);
}

} // namespace LcdText
