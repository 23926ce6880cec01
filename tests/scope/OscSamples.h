#pragma once
// Oscilloscope records for tests and the gallery: a sine of 2.5 divisions with a period of 50
// samples (two divisions), the meter's texts filled in as it would send them, and a spectrum
// with a peak at bin 12.
#include "scope/OscData.h"

#include <QString>
#include <cmath>

namespace osc_samples {

inline OSCData Record(int status, int timeBase = 9, double voltDiv = 1.0, const QString& unit = QStringLiteral("V"))
{
    OSCData d;
    d.nID = 1;
    d.bValid = true;
    const double pi = std::acos(-1.0);
    double hi = -1e9, lo = 1e9;
    for (int i = 0; i < OSCData::kWavePoints; ++i) {
        const double v = 2.5 * voltDiv * std::sin(2 * pi * i / 50.0) + 0.2 * voltDiv * std::sin(2 * pi * i / 7.0);
        d.fWave[size_t(i)] = float(v);
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
    for (int i = 0; i < OSCData::kSpectrumPoints; ++i)
        d.fSpectrum[size_t(i)] = float(i == 0 ? 15 : 4 + 150 * std::exp(-0.5 * std::pow((i - 12) / 1.5, 2)) + (i % 5));
    OSCInfo& in = d.info;
    in.nStatus = status;
    in.nTimeBase = timeBase;
    in.strRate = QStringLiteral("100uS/div");
    in.dVoltDiv = voltDiv;
    in.strVoltDiv = QString::number(voltDiv) + unit;
    in.dMax = hi;
    in.dMin = lo;
    in.dVpp = hi - lo;
    in.strVpp = QString::asprintf("%.2f %s", hi - lo, qPrintable(unit));
    in.nSpeed = 0;
    in.nPage = 3;
    in.nCoupling = status == 2 ? 1 : 0;
    in.nTrigEdge = status == 4 ? 3 : (status == 2 ? 2 : 1);
    in.dCross1 = 20;
    in.dCross2 = 70;
    in.strUnit = unit;
    in.dPeriod = 200;
    in.strPeriod = QStringLiteral("200.000 uS");
    in.dFreq = 5;
    in.strFreq = QStringLiteral("5.000 KHz");
    in.nYear = 2026;
    in.nMonth = 12;
    in.nDay = 7;
    in.nHour = 9;
    in.nMinute = 5;
    in.nSecond = 3;
    in.nTrigLevel = int(1200 * voltDiv);
    return d;
}

} // namespace osc_samples
