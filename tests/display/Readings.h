#pragma once
// A reading record for the display tests: the given function, unit, value, decimals and limit,
// with the meter's clock at 12/05/26 14:07:33 in 24-hour mode.
#include "protocol/MeterData.h"

inline MeterData Reading(const char* function, const char* unit, float value, int decimals, float limit)
{
    MeterData d;
    d.m_strFunction = QString::fromLatin1(function);
    d.m_strUnit = QString::fromUtf8(unit);
    d.m_fValue = value;
    d.m_nDecimals = decimals;
    d.m_fLimit = limit;
    d.m_byYear = 26;
    d.m_byMonth = 5;
    d.m_byDay = 12;
    d.m_byHour = 14;
    d.m_byMinute = 7;
    d.m_bySecond = 33;
    d.m_b24Hour = true;
    return d;
}
