#pragma once
// One oscilloscope record of the meter: the 300 waveform samples, the meter's 120 spectrum values
// and the settings and measurements that go with them. The main window keeps eleven: slot 0 for
// the waveform on the meter's screen, slots 1..10 for the ones the meter has stored.
#include <QMetaType>
#include <QString>
#include <array>
#include <cstdint>

struct OSCInfo {
    int32_t nStatus = 0; // 1 HOLD, 2 REC, 3 FFT, 4 Single; 0 an empty slot
    QString strRate; // time-base or sample-rate label
    int32_t nTimeBase = 0; // time-base index as sent (1..18 when valid)
    double dVoltDiv = 0; // per division, in the unit of strUnit
    QString strVoltDiv;
    double dVpp = 0; // peak to peak, unit of strUnit
    QString strVpp;
    int32_t nSpare = 0; // kept for the file
    int32_t nSpeed = 0; // 0 "Fast", other "Slow"
    int32_t nPage = 0; // page shown with REC
    int32_t nCoupling = 0; // 0 AC, other DC
    int32_t nTrigEdge = 0; // 1 UP, 2 DOWN, 3 NO
    double dMax = 0; // highest sample, unit of strUnit
    double dMin = 0; // lowest sample
    double dCross1 = 0; // crossing positions (sample index)
    double dCross2 = 0;
    QString strUnit; // "V" or "mV"
    double dPeriod = 0; // the period shown in strPeriod, in that text's unit
    QString strPeriod;
    double dFreq = 0; // the frequency shown in strFreq, in that text's unit
    QString strFreq;
    double dSpare = 0; // kept for the file
    QString strSpare; // kept for the file
    int32_t nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0;
    int32_t nDateOrder = 0; // 0: month first, other: day first
    int32_t nTrigLevel = 0; // trigger level in thousandths of the unit of strUnit

    bool operator==(const OSCInfo& o) const;
    bool operator!=(const OSCInfo& o) const { return !(*this == o); }
};

struct OSCData {
    static constexpr int kWavePoints = 300;
    static constexpr int kSpectrumPoints = 120;

    int32_t nID = 0; // slot number (set for slots 1..10 when decoded)
    bool bValid = false;
    std::array<float, kWavePoints> fWave {};
    std::array<float, kSpectrumPoints> fSpectrum {};
    OSCInfo info;

    // Bitwise for the samples, so that two records read from the same bytes compare equal.
    bool operator==(const OSCData& o) const;
    bool operator!=(const OSCData& o) const { return !(*this == o); }
};

namespace osc {

constexpr int kSlotCount = 11; // slot 0 current, 1..10 stored
using OscSlots = std::array<OSCData, kSlotCount>;

// "%.2d/%.2d/%d %.2d:%.2d:%.2d" of the capture time, month first when nDateOrder is 0, day first
// otherwise.
QString DateTimeText(const OSCInfo& info);
// The title of a record shown from a store button or a single-record file:
// "%d | %.2d/%.2d/%d %.2d:%.2d:%.2d" with the same date order.
QString StoredTitle(int number, const OSCInfo& info);

} // namespace osc

Q_DECLARE_METATYPE(OSCData)
