#include "scope/OscDecoder.h"

#include "link/HexText.h"

#include <cmath>
#include <limits>

namespace osc {

namespace {

constexpr const char* kTimeBaseLabels[kTimeBases + 1] = { "", "50mS/div", "20mS/div", "10mS/div", "5mS/div",
    "2mS/div", "1mS/div", "0.5mS/div", "200uS/div", "100uS/div", "50uS/div", "20uS/div", "10uS/div", "5uS/div",
    "2uS/div", "1uS/div", "0.5uS/div", "250nS/div", "125nS/div" };

constexpr const char* kSampleRateLabels[kTimeBases + 1] = { "", "500Sps", "1KSa/s", "2KSa/s", "5KSa/s", "10KSa/s",
    "20KSa/s", "50KSa/s", "100KSa/s", "200KSa/s", "500KSa/s", "1MSa/s", "2MSa/s", "5MSa/s", "10MSa/s", "20MSa/s",
    "50MSa/s", "100MSa/s", "200MSa/s" };

constexpr VoltRange kVoltTable[kVoltRanges + 1] = {
    { "", 0, 0, "", "" },
    { "200 V/div", 200, 1.0, "V", "%.1f V" },
    { "100 V/div", 100, 0.1, "V", "%.1f V" },
    { "20.00 V/div", 20, 0.1, "V", "%.1f V" },
    { "10.00 V/div", 10, 0.1, "V", "%.1f V" },
    { "5.00 V/div", 5, 0.01, "V", "%.2f V" },
    { "2.00 V/div", 2, 0.01, "V", "%.2f V" },
    { "1.00 V/div", 1, 0.01, "V", "%.2f V" },
    { "0.50 V/div", 0.5, 0.01, "V", "%.2f V" },
    { "200.0 mV/div", 200, 1.0, "mV", "%.0f mV" },
    { "100.0 mV/div", 100, 1.0, "mV", "%.0f mV" },
    { "50.00 mV/div", 50, 1.0, "mV", "%.0f mV" },
};

// Frequency and period by time base. With the crossing distance d (samples): frequency
// K / (d * tf) in the unit of freqFormat, period d * tp, shown divided by periodDiv. The meter's
// own counts are scaled by meterScale (frequency) and taken as they are (period).
struct TimeRow {
    double k;
    double tf;
    double tp;
    const char* freqFormat;
    const char* freqUnit;
    double periodDiv;
    const char* periodFormat;
    double meterScale;
};

// Row 15 (1uS/div): d * 400 counts tenths of a nanosecond; it is shown in microseconds like the
// neighbouring rows 12 to 14, two decimals being the 40 ns of one sample.
constexpr TimeRow kTimeRows[kTimeBases + 1] = {
    { 100000, 0, 0, "%.2f Hz", "Hz", 100, "%.2f mS", 0.01 }, // no time base: nothing to divide by
    { 100000, 200, 200, "%.2f Hz", "Hz", 100, "%.2f mS", 0.01 },
    { 100000, 80, 80, "%.2f Hz", "Hz", 100, "%.2f mS", 0.01 },
    { 100000, 40, 40, "%.2f Hz", "Hz", 100, "%.2f mS", 0.01 },
    { 100000, 20, 200, "%.2f Hz", "Hz", 1000, "%.3f mS", 0.01 },
    { 100000, 8, 80, "%.2f Hz", "Hz", 1000, "%.3f mS", 0.01 },
    { 100000, 4, 40, "%.2f Hz", "Hz", 1000, "%.3f mS", 0.01 },
    { 10000, 200, 200, "%.3f KHz", "KHz", 10, "%.1f uS", 0.001 },
    { 10000, 80, 80, "%.3f KHz", "KHz", 10, "%.1f uS", 0.001 },
    { 10000, 40, 40, "%.3f KHz", "KHz", 10, "%.1f uS", 0.001 },
    { 10000, 20, 200, "%.3f KHz", "KHz", 100, "%.2f uS", 0.001 },
    { 10000, 8, 80, "%.3f KHz", "KHz", 100, "%.2f uS", 0.001 },
    { 10000, 4, 400, "%.3f KHz", "KHz", 1000, "%.3f uS", 0.001 },
    { 100000, 20, 200, "%.2f KHz", "KHz", 1000, "%.3f uS", 0.01 },
    { 100000, 8, 80, "%.2f KHz", "KHz", 1000, "%.3f uS", 0.01 },
    { 1000, 40, 400, "%.4f MHz", "MHz", 10000, "%.2f uS", 0.0001 },
    { 10000, 200, 200, "%.3f MHz", "MHz", 10, "%.1f nS", 0.001 },
    { 10000, 100, 100, "%.3f MHz", "MHz", 10, "%.1f nS", 0.001 },
    { 10000, 50, 50, "%.3f MHz", "MHz", 10, "%.1f nS", 0.001 },
};

int Word(const OscFrame& f, int i)
{
    return f.p[static_cast<size_t>(i)] * 256 + f.p[static_cast<size_t>(i) + 1];
}

QString Format(const char* format, double v)
{
    return QString::asprintf(format, v);
}

void FrequencyAndPeriod(const OscFrame& f, OSCInfo& info, int c1, int c2)
{
    const int index = f.p[1];
    if (index > kTimeBases)
        return; // no such time base: no measurement
    const TimeRow& row = kTimeRows[index];
    const bool fft = info.nStatus == 3;
    const int delta = c2 - c1;
    const int meterFreq = Word(f, 14);
    const int meterPeriod = Word(f, 16);
    const int range = f.p[35];

    const bool meterValues = fft && (range == 1 || index >= 16);
    double freq = 0;
    double period = 0;
    bool bounded = true;
    if (meterValues) {
        freq = meterFreq * row.meterScale;
        period = meterPeriod;
    } else {
        const double divisor = delta * row.tf;
        bounded = divisor != 0;
        freq = bounded ? row.k / divisor : 0;
        period = delta * row.tp;
    }
    if (bounded) {
        info.dFreq = freq;
        info.strFreq = Format(row.freqFormat, freq);
    } else {
        info.dFreq = 0;
        info.strFreq = UnboundedFrequencyText(row.freqUnit);
    }
    info.dPeriod = period / row.periodDiv;
    info.strPeriod = Format(row.periodFormat, info.dPeriod);

    if (!fft || (range != 0 && range != 2 && range != 3))
        return;
    // The meter measured the frequency itself, in the range it names.
    switch (range) {
    case 2:
        info.dFreq = meterFreq * 0.1;
        info.strFreq = Format("%.1f KHz", info.dFreq);
        break;
    case 3:
        info.dFreq = meterFreq * 0.001;
        info.strFreq = Format("%.3f MHz", info.dFreq);
        break;
    default:
        info.dFreq = -1.0;
        info.strFreq = Format("%.1f MHz", info.dFreq);
        break;
    }
    info.dPeriod = meterPeriod / 10.0;
    info.strPeriod = Format("%.1f nS", info.dPeriod);
}

} // namespace

OscFrame FrameFromText(std::string_view text)
{
    OscFrame f;
    // The marker's four characters come first; byte k of the payload ends at 4 + 2(k + 1).
    HexToBytes(kPayloadBytes, f.p.data(), text, 6);
    return f;
}

QString TimeBaseLabel(int index)
{
    return index >= 0 && index <= kTimeBases ? QString::fromLatin1(kTimeBaseLabels[index]) : QString();
}

QString SampleRateLabel(int index)
{
    return index >= 0 && index <= kTimeBases ? QString::fromLatin1(kSampleRateLabels[index]) : QString();
}

const VoltRange& VoltRangeAt(int index)
{
    return index >= 0 && index <= kVoltRanges ? kVoltTable[index] : kVoltTable[0];
}

QString UnboundedFrequencyText(const char* unit)
{
    return QStringLiteral("---- ") + QString::fromLatin1(unit);
}

void DecodeFrame(const OscFrame& f, OSCData& rec)
{
    const auto p = [&f](int i) { return static_cast<int>(f.p[static_cast<size_t>(i)]); };
    OSCInfo& info = rec.info;

    info.nStatus = p(0);
    info.nTimeBase = p(1);
    info.strRate = p(50) == 0 ? TimeBaseLabel(p(1)) : SampleRateLabel(p(1));
    const VoltRange& range = VoltRangeAt(p(2));
    info.strVoltDiv = QString::fromLatin1(range.label);
    info.dVoltDiv = range.voltDiv;

    const double vpc = info.dVoltDiv / kCountsPerDivision;
    if (info.nStatus == 3)
        info.dVpp = Word(f, 12) * range.meterVppScale;
    else
        info.dVpp = (p(7) - p(8)) * vpc;
    if (p(2) >= 1 && p(2) <= kVoltRanges) {
        info.strVpp = Format(range.vppFormat, info.dVpp);
        info.strUnit = QString::fromLatin1(range.unit);
    }

    info.nCoupling = p(10);
    info.nSpeed = p(11);
    info.nPage = p(18);
    info.nTrigEdge = p(19);
    info.nYear = p(40) * 100 + p(41);
    info.nMonth = p(42);
    info.nDay = p(43);
    info.nHour = p(44);
    info.nMinute = p(45);
    info.nSecond = p(46);
    info.nDateOrder = p(47);

    rec.bValid = true;
    for (int k = 0; k < OSCData::kWavePoints; ++k)
        rec.fWave[static_cast<size_t>(k)] = static_cast<float>((p(80 + k) - kRawCentre) * vpc);

    // |level| <= 120 * 8 * 1000: always within an int.
    info.nTrigLevel = static_cast<int32_t>(std::trunc((p(36) - kRawCentre) * vpc * 1000));
    info.dMax = (p(7) - kRawCentre) * vpc;
    info.dMin = (p(8) - kRawCentre) * vpc;

    const int c1 = Word(f, 30);
    const int c2 = Word(f, 32);
    FrequencyAndPeriod(f, info, c1, c2);

    for (int k = 0; k < OSCData::kSpectrumPoints; ++k)
        rec.fSpectrum[static_cast<size_t>(k)] = static_cast<float>(p(390 + k));
    // The first bin carries the signal's mean; it would dwarf the rest of the spectrum.
    if (rec.fSpectrum[0] > 15)
        rec.fSpectrum[0] = 15;

    info.dCross1 = c1 - 8;
    info.dCross2 = c2 - 8;
}

} // namespace osc
