#include "protocol/MeterData.h"

bool MeterData::operator==(const MeterData& o) const
{
    return m_strFunction == o.m_strFunction && m_bHold == o.m_bHold && m_bAutoRange == o.m_bAutoRange
        && m_fLimit == o.m_fLimit && m_fValue == o.m_fValue && m_strUnit == o.m_strUnit
        && m_nDecimals == o.m_nDecimals && m_statMax == o.m_statMax && m_statMin == o.m_statMin
        && m_statAvg == o.m_statAvg && m_strStart == o.m_strStart && m_fReference == o.m_fReference
        && m_fRelValue == o.m_fRelValue && m_fAltValue == o.m_fAltValue && m_strAltUnit == o.m_strAltUnit
        && m_fSubValue == o.m_fSubValue && m_strSubUnit == o.m_strSubUnit && m_nSubKind == o.m_nSubKind
        && m_fAux == o.m_fAux && m_strAux == o.m_strAux && m_fDuty == o.m_fDuty && m_bSubMode == o.m_bSubMode
        && m_bSubMode2 == o.m_bSubMode2 && m_bSubMode3 == o.m_bSubMode3 && m_byYear == o.m_byYear
        && m_byMonth == o.m_byMonth && m_byDay == o.m_byDay && m_byHour == o.m_byHour
        && m_byMinute == o.m_byMinute && m_bySecond == o.m_bySecond && m_b24Hour == o.m_b24Hour
        && m_bMonthFirst == o.m_bMonthFirst && m_byElapsedH == o.m_byElapsedH && m_byElapsedM == o.m_byElapsedM
        && m_byElapsedS == o.m_byElapsedS;
}
