#include "sim/SimScope.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCentre = 135;

enum Shape { Sine, Square, Noisy, Clipped };

struct Capture {
    Shape shape;
    int status; // 1 HOLD, 2 REC, 3 FFT, 4 Single
    int timeBase; // 1..18
    int volt; // 1..11
    int period; // samples per cycle
    int amplitude; // counts
    int page; // REC
    int range; // FFT: the meter's frequency range byte
    int rateLabel; // 0 time-base label, 1 sample-rate label
    int dateOrder;
    int trigEdge;
};

// Slot 0 is the current waveform; 1..10 the stored ones.
constexpr Capture kCaptures[kOscStoredSlots + 1] = {
    { Sine, 1, 5, 7, 60, 40, 0, 0, 0, 0, 1 },
    { Sine, 1, 4, 7, 50, 45, 0, 0, 0, 0, 1 },
    { Square, 2, 9, 5, 75, 30, 3, 0, 0, 1, 2 },
    { Sine, 3, 6, 6, 40, 50, 0, 1, 0, 0, 1 },
    { Noisy, 4, 11, 10, 100, 35, 0, 0, 0, 0, 3 },
    { Clipped, 1, 2, 8, 60, 160, 0, 0, 1, 1, 1 },
    { Square, 2, 13, 11, 30, 25, 1, 0, 0, 0, 2 },
    { Sine, 3, 16, 9, 25, 40, 0, 2, 1, 1, 1 },
    { Sine, 4, 15, 4, 20, 55, 0, 0, 0, 0, 3 },
    { Noisy, 2, 1, 1, 75, 20, 7, 0, 0, 1, 1 }, // four cycles: two rising crossings to measure
    { Square, 3, 18, 3, 50, 45, 0, 3, 1, 0, 2 },
};

// Seconds per division of the time-base indexes.
constexpr double kDivisionSeconds[19] = { 0, 50e-3, 20e-3, 10e-3, 5e-3, 2e-3, 1e-3, 0.5e-3, 200e-6, 100e-6, 50e-6,
    20e-6, 10e-6, 5e-6, 2e-6, 1e-6, 0.5e-6, 250e-9, 125e-9 };
// The meter's own frequency count: hertz divided by this (per time-base row).
constexpr double kFreqCountHz[19] = { 0.01, 0.01, 0.01, 0.01, 0.01, 0.01, 0.01, 1, 1, 1, 1, 1, 1, 10, 10, 100, 1000,
    1000, 1000 };
// The computed period's factor per sample (the row's Tp).
constexpr int kPeriodFactor[19] = { 0, 200, 80, 40, 200, 80, 40, 200, 80, 40, 200, 80, 400, 200, 80, 400, 200, 100,
    50 };
// Peak-to-peak count scale per volts index, and volts (or mV) per division.
constexpr double kVppScale[12] = { 0, 1.0, 0.1, 0.1, 0.1, 0.01, 0.01, 0.01, 0.01, 1.0, 1.0, 1.0 };
constexpr double kVoltDiv[12] = { 0, 200, 100, 20, 10, 5, 2, 1, 0.5, 200, 100, 50 };

uint8_t Clamp(double v)
{
    return static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 0, 255));
}

void Put16(Bytes& f, int payloadIndex, int v)
{
    v = std::clamp(v, 0, 0xFFFF);
    f[static_cast<size_t>(payloadIndex + 2)] = static_cast<uint8_t>(v >> 8);
    f[static_cast<size_t>(payloadIndex + 3)] = static_cast<uint8_t>(v & 0xFF);
}

} // namespace

Bytes OscRecordFrame(int slot, const MeterClock& clock, int phase)
{
    const Capture& c = kCaptures[std::clamp(slot, 0, kOscStoredSlots)];
    Bytes f(kOscFrameBytes, 0);
    f[0] = 0xE0;
    f[1] = 0xE0;
    auto p = [&f](int i) -> uint8_t& { return f[static_cast<size_t>(i + 2)]; };

    // Samples, 300 of them, 25 per division.
    uint32_t noise = 0x9E3779B9u * static_cast<uint32_t>(slot + 1);
    uint8_t hi = 0, lo = 255;
    std::vector<int> clean(300); // without the noise: where the meter's measurement sees crossings
    for (int k = 0; k < 300; ++k) {
        const double x = 2 * kPi * (k + phase) / c.period;
        double v = 0;
        switch (c.shape) {
        case Sine:
        case Clipped:
            v = c.amplitude * std::sin(x);
            break;
        case Square:
            v = std::sin(x) >= 0 ? c.amplitude : -c.amplitude;
            break;
        case Noisy:
            noise = noise * 1664525u + 1013904223u;
            v = c.amplitude * std::sin(x) + static_cast<int>((noise >> 24) % 17) - 8;
            break;
        }
        uint8_t raw = Clamp(kCentre + v);
        if (c.shape == Clipped)
            raw = std::clamp<uint8_t>(raw, 20, 250);
        clean[static_cast<size_t>(k)] = c.shape == Noisy ? Clamp(kCentre + c.amplitude * std::sin(x)) : raw;
        p(80 + k) = raw;
        hi = std::max(hi, raw);
        lo = std::min(lo, raw);
    }
    // The first two rising crossings of the centre line, as positions 8 samples on. They are
    // taken from the signal under the noise: noise around a falling crossing would otherwise
    // count as a rising one, and the frequency sent would not match the cycles drawn.
    int crossing[2] = { 0, 0 };
    for (int k = 1, found = 0; k < 300 && found < 2; ++k) {
        if (clean[static_cast<size_t>(k - 1)] < kCentre && clean[static_cast<size_t>(k)] >= kCentre)
            crossing[found++] = k + 8;
    }

    p(0) = static_cast<uint8_t>(c.status);
    p(1) = static_cast<uint8_t>(c.timeBase);
    p(2) = static_cast<uint8_t>(c.volt);
    p(7) = hi;
    p(8) = lo;
    p(10) = slot % 2; // coupling
    p(11) = slot % 3 == 0; // speed
    p(18) = static_cast<uint8_t>(c.page);
    p(19) = static_cast<uint8_t>(c.trigEdge);
    Put16(f, 30, crossing[0]);
    Put16(f, 32, crossing[1]);
    p(36) = static_cast<uint8_t>(kCentre + c.amplitude / 3);

    // The meter's own measurements, as it sends them with an FFT.
    const double hz = 1.0 / (c.period * kDivisionSeconds[c.timeBase] / 25);
    const double vpp = (hi - lo) * kVoltDiv[c.volt] / 25;
    Put16(f, 12, static_cast<int>(std::lround(vpp / kVppScale[c.volt])));
    int freqCount = static_cast<int>(std::lround(hz / kFreqCountHz[c.timeBase]));
    int periodCount = c.period * kPeriodFactor[c.timeBase];
    if (c.range == 2) {
        freqCount = static_cast<int>(std::lround(hz / 100)); // tenths of kHz
        periodCount = static_cast<int>(std::lround(1e10 / hz)); // tenths of ns
    } else if (c.range == 3) {
        freqCount = static_cast<int>(std::lround(hz / 1000)); // thousandths of MHz
        periodCount = static_cast<int>(std::lround(1e10 / hz));
    }
    Put16(f, 14, freqCount);
    Put16(f, 16, periodCount);
    p(35) = static_cast<uint8_t>(c.range);

    const int year = 2000 + clock.year;
    p(40) = static_cast<uint8_t>(year / 100);
    p(41) = static_cast<uint8_t>(year % 100);
    p(42) = static_cast<uint8_t>(clock.month);
    p(43) = static_cast<uint8_t>(clock.day);
    p(44) = static_cast<uint8_t>(clock.hour);
    p(45) = static_cast<uint8_t>(clock.minute);
    p(46) = static_cast<uint8_t>(clock.second);
    p(47) = static_cast<uint8_t>(c.dateOrder);
    p(50) = static_cast<uint8_t>(c.rateLabel);
    p(52) = static_cast<uint8_t>(slot);

    // The spectrum: the signal's mean in bin 0, its fundamental and odd harmonics, a noise floor.
    const int fundamental = std::clamp(300 / c.period, 1, 40);
    for (int k = 0; k < 120; ++k) {
        int v = 3 + (k * 7 + slot) % 5;
        for (int h = 1; h * fundamental < 120; h += 2) {
            if (k == h * fundamental)
                v = std::max(v, 220 / h);
        }
        p(390 + k) = static_cast<uint8_t>(v);
    }
    p(390) = 200;
    return f;
}

} // namespace sim
