#include "sim/SimMeter.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Readings are in the unit as sent: ohms for "ko" and "Mo", nanofarads for "uF", hertz for the
// frequency functions (whose shown unit depends on the magnitude).
const std::vector<MeterFunction> kFunctions = {
    { "vdc", 2, KindNormal, "VDC", 5.012, 0.010, 0.0015, 6.0, 2, 1, false },
    { "mvdc", 3, KindNormal, "mVDC", 123.4, 0.6, 0.12, 600.0, 4, 1, false },
    { "vac", 1, KindNormal, "VAC", 230.1, 1.2, 0.2, 600.0, 4, 1, true },
    { "mvac", 11, KindNormal, "mVAC", 45.6, 0.3, 0.08, 600.0, 4, 1, true },
    { "adc", 7, KindNormal, "ADC", 1.234, 0.012, 0.002, 10.0, 2, 1, false },
    { "aac", 12, KindNormal, "AAC", 2.345, 0.02, 0.003, 10.0, 2, 1, true },
    { "madc", 8, KindNormal, "mADC", 12.34, 0.05, 0.01, 60.0, 3, 1, false },
    { "uadc", 9, KindNormal, "uADC", 234.5, 1.0, 0.2, 600.0, 4, 1, false },
    { "ohm", 4, KindNormal, "o", 220.3, 0.2, 0.05, 600.0, 4, 1, false },
    { "kohm", 4, KindNormal, "ko", 4703.0, 4.0, 1.0, 6000.0, 2, 1000, false },
    { "mohm", 4, KindNormal, "Mo", 1.502e6, 2000.0, 400.0, 6.0e6, 2, 1e6, false },
    { "nf", 5, KindNormal, "nF", 47.12, 0.05, 0.01, 60.0, 2, 1, false },
    { "uf", 5, KindNormal, "uF", 10020.0, 8.0, 2.0, 60000.0, 2, 1000, false },
    { "tempc", 0, KindNormal, "s", 23.5, 0.4, 0.05, 1000.0, 4, 1, false },
    { "tempf", 6, KindNormal, "h", 74.3, 0.7, 0.1, 1800.0, 4, 1, false },
    { "diode", 15, KindNormal, "VE", 0.563, 0.002, 0.0005, 3.0, 2, 1, false },
    { "beep", 18, KindNormal, "o@", 12.3, 0.1, 0.05, 600.0, 4, 1, false },
    { "hz", 16, KindFrequency, "kHZ", 1000.0, 0.6, 0.1, 10000.0, 2, 1000, true },
    { "mhz", 16, KindFrequency, "MHZ", 2.5e6, 600.0, 80.0, 10.0e6, 2, 1e6, true },
    { "dcac", 21, KindDcAc, "V", 5.012, 0.010, 0.0015, 6.0, 2, 1, false },
    { "dualac", 1, KindDualAc, "VAC", 230.1, 1.2, 0.2, 600.0, 4, 1, true },
};

} // namespace

const std::vector<MeterFunction>& MeterFunctions()
{
    return kFunctions;
}

const MeterFunction* FindMeterFunction(const std::string& id)
{
    for (const MeterFunction& f : kFunctions) {
        if (id == f.id)
            return &f;
    }
    return nullptr;
}

CSimMeter::CSimMeter(const QDateTime& clockStart, uint32_t seed, uint8_t clockFlags)
    : m_pFunction(&kFunctions.front())
    , m_clockStart(clockStart)
    , m_byFlags(clockFlags)
    , m_rng(seed)
{
}

bool CSimMeter::SetFunction(const std::string& id)
{
    const MeterFunction* f = FindMeterFunction(id);
    if (!f)
        return false;
    // Turning the dial ends every special display, as on the meter itself.
    m_pFunction = f;
    m_mode = DisplayNormal;
    m_bHold = false;
    m_bHaveHeld = false;
    m_bAutoRange = true;
    m_bLowPass = false;
    m_bDcAcCombined = false;
    m_freqView = FrequencyDuty;
    return true;
}

bool CSimMeter::HandleCommand(const Bytes& c, int64_t nowMs)
{
    if (c.size() != 4)
        return false;
    if (c[0] == 0xF3 && c[1] == 0x00 && c[2] == 0x01 && c[3] == 0xF4)
        return true; // acknowledgement of a logger block
    if (c[0] != 0xB0 || c[3] != 0xB1)
        return false;
    const uint8_t op = c[1];
    if ((op >= OpHold && op <= OpOscCurrent) || op == OpFirstItem) {
        PressKey(op, nowMs);
        return true;
    }
    return false;
}

void CSimMeter::PressKey(uint8_t op, int64_t nowMs)
{
    switch (op) {
    case OpHold:
        m_bHold = !m_bHold;
        m_bHaveHeld = false; // the next reading becomes the held one
        break;
    case OpMax:
        if (m_mode != DisplayMinMax) {
            m_mode = DisplayMinMax;
            ResetStatistics(nowMs);
        }
        break;
    case OpRel:
        if (m_mode == DisplayRelative) {
            m_bRelPercent = !m_bRelPercent;
        } else {
            m_mode = DisplayRelative;
            m_bRelPercent = false;
            m_reference = Reading(nowMs);
        }
        break;
    case OpPeak:
        if (m_mode == DisplayPeak) {
            m_bCrest = !m_bCrest;
        } else {
            m_mode = DisplayPeak;
            m_bCrest = false;
            ResetStatistics(nowMs);
        }
        break;
    case OpRange:
        m_bAutoRange = !m_bAutoRange;
        break;
    case OpFirstItem:
        if (m_mode != DisplayNormal) {
            m_mode = DisplayNormal;
        } else if (m_pFunction->kind == KindFrequency) {
            m_freqView = FrequencyView((int(m_freqView) + 1) % 3);
        } else if (m_pFunction->kind == KindDcAc) {
            m_bDcAcCombined = !m_bDcAcCombined;
        } else if (m_pFunction->alternating) {
            m_bLowPass = !m_bLowPass;
        }
        break;
    default:
        break; // logger and oscilloscope requests: accepted, not simulated
    }
}

void CSimMeter::ResetStatistics(int64_t nowMs)
{
    m_runStartMs = nowMs;
    m_nSamples = 0;
    m_max = m_min = m_sum = 0;
    m_maxAtMs = m_minAtMs = nowMs;
}

MeterClock CSimMeter::ClockAt(int64_t nowMs) const
{
    return MeterClock::From(m_clockStart.addMSecs(nowMs));
}

double CSimMeter::Reading(int64_t nowMs)
{
    const MeterFunction& f = *m_pFunction;
    const double t = double(nowMs) / 1000.0;
    double v = f.base + f.swing * std::sin(2 * kPi * t / 17.0) + f.noise * m_noise(m_rng);
    if (m_bHold) {
        if (!m_bHaveHeld) {
            m_heldValue = v;
            m_bHaveHeld = true;
        }
        v = m_heldValue;
    }
    return v;
}

double CSimMeter::Quantise(double sent, int decimals) const
{
    const double scale = m_pFunction->scale;
    const double step = std::pow(10.0, decimals);
    return std::round(sent / scale * step) / step * scale;
}

// MAX/MIN and PEAK frames pack each decimal code into two bits (2 to 5 decimals): a reading
// whose function shows fewer decimals is sent, and shown, with two.
static int CodeForKind(int code, int kind)
{
    return (kind == KindMinMax || kind == KindPeak) ? std::min(code, 3) : code;
}

int CSimMeter::ShownDecimals() const
{
    const MeterFunction& f = *m_pFunction;
    int d = 5 - CodeForKind(f.decimalCode, CurrentKind());
    // Capacitance in the normal display shows one decimal fewer than its code says.
    if (m_mode == DisplayNormal && f.code == 5)
        --d;
    return d;
}

std::string CSimMeter::FrequencyUnit(double hz, double* scale, uint8_t* code) const
{
    if (hz >= 1.0e6) {
        *scale = 1e6;
        *code = 2;
        return "MHZ";
    }
    if (hz >= 1.0e3) {
        *scale = 1e3;
        *code = 2;
        return "kHZ";
    }
    *scale = 1;
    *code = 3;
    return "HZ";
}

uint8_t CSimMeter::Status() const
{
    uint8_t s = 0;
    if (m_bHold)
        s |= StatusHold;
    if (!m_bAutoRange)
        s |= StatusManualRange;
    switch (m_mode) {
    case DisplayNormal:
        if (m_pFunction->kind == KindFrequency) {
            if (m_freqView == FrequencyPulseWidth)
                s |= StatusSub;
            else if (m_freqView == FrequencyPlain)
                s |= StatusSub3;
        } else if (m_bLowPass) {
            s |= StatusSub;
        }
        break;
    case DisplayRelative:
        if (m_bRelPercent)
            s |= StatusSub;
        break;
    case DisplayPeak:
        if (m_bCrest)
            s |= StatusSub;
        break;
    case DisplayMinMax:
        break;
    }
    return s;
}

int CSimMeter::CurrentKind() const
{
    switch (m_mode) {
    case DisplayMinMax:
        return KindMinMax;
    case DisplayRelative:
        return KindRelative;
    case DisplayPeak:
        return KindPeak;
    case DisplayNormal:
        break;
    }
    return m_pFunction->kind;
}

FrameFields CSimMeter::NextFields(int64_t nowMs, int* kindOut)
{
    const MeterFunction& f = *m_pFunction;
    const int kind = CurrentKind();
    FrameFields x;
    x.function = f.code;
    x.status = Status();
    x.clock = ClockAt(nowMs);
    x.flags = m_byFlags;
    x.limit = float(f.limit);
    x.unit = f.unit;
    x.decimalCode = f.decimalCode;

    double sent = Quantise(Reading(nowMs), ShownDecimals());
    if (f.kind == KindFrequency && kind != KindFrequency) {
        // The special displays show frequency with a unit chosen by its magnitude.
        double scale;
        uint8_t code;
        x.unit = FrequencyUnit(sent, &scale, &code);
        x.decimalCode = code;
        const double step = std::pow(10.0, 5 - code);
        sent = std::round(sent / scale * step) / step * scale;
    } else if (f.kind == KindDualAc || f.kind == KindDcAc) {
        x.unit = f.kind == KindDualAc ? "VAC" : "V";
    }

    const int code = CodeForKind(x.decimalCode, kind);
    const uint8_t packed = PackDecimals(code, code, code, code);
    const qint64 elapsedS = (nowMs - m_runStartMs) / 1000;
    switch (kind) {
    case KindNormal:
        x.value = float(sent);
        break;
    case KindFrequency: {
        x.value = float(sent);
        const double duty = 0.5 + 0.02 * std::sin(double(nowMs) / 3000.0) + 0.002 * m_noise(m_rng);
        x.dutyFraction = float(std::round(duty * 1000.0) / 1000.0);
        break;
    }
    case KindDcAc: {
        const double ac = std::round((0.120 + 0.002 * m_noise(m_rng)) * 1000.0) / 1000.0;
        x.dc = float(sent);
        x.ac = float(ac);
        x.subKind = m_bDcAcCombined ? 2 : 3;
        const double combined = std::sqrt(sent * sent + ac * ac);
        x.value = float(m_bDcAcCombined ? std::round(combined * 100.0) / 100.0 : sent);
        break;
    }
    case KindDualAc: {
        x.value = float(sent);
        x.aux = float(std::round((50.0 + 0.01 * m_noise(m_rng)) * 100.0) / 100.0);
        x.auxUnit = "HZ  ";
        break;
    }
    case KindRelative:
        x.value = float(sent);
        x.reference = float(m_reference);
        x.relValue = float(sent - m_reference);
        break;
    case KindMinMax:
    case KindPeak: {
        double high = sent, low = sent;
        if (kind == KindPeak) {
            // Peaks of the waveform: AC quantities reach about 1.414 times their RMS reading,
            // DC ones only their ripple.
            const double ripple = f.alternating ? std::fabs(sent) * (std::sqrt(2.0) + 0.01 * m_noise(m_rng))
                                                : std::fabs(f.noise * 3 * m_noise(m_rng));
            // The peaks are shown with the reading's decimals.
            const int decimals = 5 - code;
            high = Quantise(f.alternating ? ripple : sent + ripple, decimals);
            low = Quantise(f.alternating ? -ripple : sent - ripple, decimals);
        }
        if (m_nSamples == 0 || high > m_max) {
            m_max = high;
            m_maxAtMs = nowMs;
        }
        if (m_nSamples == 0 || low < m_min) {
            m_min = low;
            m_minAtMs = nowMs;
        }
        m_sum += sent;
        ++m_nSamples;
        x.value = float(sent);
        x.max = float(m_max);
        x.min = float(m_min);
        x.avg = float(m_sum / m_nSamples);
        x.maxUnit = x.minUnit = x.avgUnit = x.unit;
        x.packedDecimals = packed;
        x.maxTime = Hms::FromSeconds((m_maxAtMs - m_runStartMs) / 1000);
        x.minTime = Hms::FromSeconds((m_minAtMs - m_runStartMs) / 1000);
        x.elapsed = Hms::FromSeconds(elapsedS);
        break;
    }
    }
    if (kindOut)
        *kindOut = kind;
    return x;
}

Bytes CSimMeter::NextFrame(int64_t nowMs, bool saved)
{
    int kind = KindNormal;
    const FrameFields fields = NextFields(nowMs, &kind);
    return BuildFrame(kind, fields, saved);
}

std::vector<Bytes> CSimMeter::SavedFramesOfEveryKind(int64_t nowMs) const
{
    struct Stored {
        const char* function;
        std::vector<uint8_t> keys;
    };
    const Stored stored[] = {
        { "vdc", {} },
        { "vdc", { OpMax } },
        { "vdc", { OpRel } },
        { "vac", { OpPeak } },
        { "vac", { OpPeak, OpPeak } },
        { "dcac", {} },
        { "dcac", { OpFirstItem } },
        { "dualac", {} },
        { "hz", {} },
    };
    // The MAX/MIN and PEAK runs were started half a minute before the memory was sent.
    constexpr int64_t kRunMs = 30000;
    std::vector<Bytes> frames;
    for (const Stored& s : stored) {
        CSimMeter m = *this;
        m.SetFunction(s.function);
        const int64_t start = nowMs - kRunMs;
        for (uint8_t key : s.keys)
            m.PressKey(key, start);
        for (int64_t t = start; t < nowMs; t += kRunMs / 6)
            m.NextFields(t, nullptr);
        frames.push_back(m.NextFrame(nowMs, true));
    }
    return frames;
}

} // namespace sim
