#include "scope/OscData.h"

#include <cstring>

bool OSCInfo::operator==(const OSCInfo& o) const
{
    // Doubles compared by their bits: a record read back from its own bytes is the same record.
    auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    return nStatus == o.nStatus && strRate == o.strRate && nTimeBase == o.nTimeBase && same(dVoltDiv, o.dVoltDiv)
        && strVoltDiv == o.strVoltDiv && same(dVpp, o.dVpp) && strVpp == o.strVpp && nSpare == o.nSpare
        && nSpeed == o.nSpeed && nPage == o.nPage && nCoupling == o.nCoupling && nTrigEdge == o.nTrigEdge
        && same(dMax, o.dMax) && same(dMin, o.dMin) && same(dCross1, o.dCross1) && same(dCross2, o.dCross2)
        && strUnit == o.strUnit && same(dPeriod, o.dPeriod) && strPeriod == o.strPeriod && same(dFreq, o.dFreq)
        && strFreq == o.strFreq && same(dSpare, o.dSpare) && strSpare == o.strSpare && nYear == o.nYear
        && nMonth == o.nMonth && nDay == o.nDay && nHour == o.nHour && nMinute == o.nMinute
        && nSecond == o.nSecond && nDateOrder == o.nDateOrder && nTrigLevel == o.nTrigLevel;
}

bool OSCData::operator==(const OSCData& o) const
{
    return nID == o.nID && bValid == o.bValid
        && std::memcmp(fWave.data(), o.fWave.data(), sizeof(float) * fWave.size()) == 0
        && std::memcmp(fSpectrum.data(), o.fSpectrum.data(), sizeof(float) * fSpectrum.size()) == 0
        && info == o.info;
}

namespace osc {

QString DateTimeText(const OSCInfo& i)
{
    const bool dayFirst = i.nDateOrder != 0;
    return QString::asprintf("%.2d/%.2d/%d %.2d:%.2d:%.2d", dayFirst ? i.nDay : i.nMonth,
        dayFirst ? i.nMonth : i.nDay, i.nYear, i.nHour, i.nMinute, i.nSecond);
}

QString StoredTitle(int number, const OSCInfo& i)
{
    const bool dayFirst = i.nDateOrder != 0;
    return QString::asprintf("%d | %.2d/%.2d/%d %.2d:%.2d:%.2d", number, dayFirst ? i.nDay : i.nMonth,
        dayFirst ? i.nMonth : i.nDay, i.nYear, i.nHour, i.nMinute, i.nSecond);
}

} // namespace osc
