#pragma once
// The simulated meter's inner working: its measuring function, display mode, HOLD and range
// state, MAX/MIN and PEAK statistics, REL reference, and its clock. It reacts to the 4-byte key
// commands and makes the live frame its display would show at a given moment. Time is given by the
// caller (milliseconds since the simulation started), so everything is deterministic.
#include "sim/SimFrames.h"

#include <QDateTime>
#include <random>
#include <string>
#include <vector>

namespace sim {

// One measuring function of the meter: what it sends and how its readings move.
struct MeterFunction {
    const char* id; // name used by scenarios and metersim options
    uint8_t code; // function-code table row
    int kind; // live frame kind of the normal display
    const char* unit; // unit text as sent
    double base; // typical reading, in the unit as sent (ohms, nanofarads, hertz)
    double swing; // slow drift around base
    double noise; // reading-to-reading noise
    double limit; // over-range limit, unit as sent
    uint8_t decimalCode; // decimals shown = 5 - code
    double scale; // sent value / scale = shown value ("ko": 1000, "uF": 1000, ...)
    bool alternating; // AC quantity: peaks are about 1.414 times the reading
};

const std::vector<MeterFunction>& MeterFunctions();
const MeterFunction* FindMeterFunction(const std::string& id);

enum DisplayMode { DisplayNormal = 0, DisplayMinMax, DisplayRelative, DisplayPeak };
enum FrequencyView { FrequencyDuty = 0, FrequencyPulseWidth, FrequencyPlain };

// Meter command bytes (B0 op arg B1) and the acknowledgement.
enum MeterOp : uint8_t {
    OpHold = 0x90,
    OpMax = 0x91,
    OpRel = 0x92,
    OpPeak = 0x93,
    OpRange = 0x94,
    OpLoggerList = 0x95,
    OpLoggerRecord = 0x96,
    OpOscLogger = 0x97,
    OpOscCurrent = 0x98,
    OpFirstItem = 0xA0, // back to the normal display; in it, the function's own sub-mode
};

class CSimMeter {
public:
    CSimMeter(const QDateTime& clockStart, uint32_t seed, uint8_t clockFlags);

    bool SetFunction(const std::string& id); // false for an unknown id
    const MeterFunction& Function() const { return *m_pFunction; }

    // A command written to the meter's command characteristic. Returns true when it is one of the
    // meter's commands (keys it acts on; logger, oscilloscope requests and acknowledgements it
    // accepts without a simulated answer).
    bool HandleCommand(const Bytes& command, int64_t nowMs);
    void PressKey(uint8_t op, int64_t nowMs);

    // The frame the display shows at nowMs; each call takes a new reading.
    Bytes NextFrame(int64_t nowMs, bool saved = false);
    // What the meter sends after its store marker when its memory holds one reading of every
    // display: saved frames (kinds 1 to 9 of the recording: normal, MAX/MIN, REL, PEAK, PEAK
    // with crest factor, DC and AC apart, DC+AC combined, dual AC, frequency), taken from a copy
    // of this meter so that its own state and readings are left as they are.
    std::vector<Bytes> SavedFramesOfEveryKind(int64_t nowMs) const;
    // The fields and kind of that frame, without the framing.
    FrameFields NextFields(int64_t nowMs, int* kind);
    int CurrentKind() const;
    // Digits after the decimal point of the main reading in the current display, as the frame's
    // decimal code tells them (frequency in the special displays follows its own unit).
    int ShownDecimals() const;

    bool Hold() const { return m_bHold; }
    bool AutoRange() const { return m_bAutoRange; }
    DisplayMode Mode() const { return m_mode; }
    bool RelPercent() const { return m_bRelPercent; }
    bool CrestFactor() const { return m_bCrest; }
    bool DcAcCombined() const { return m_bDcAcCombined; }
    bool LowPass() const { return m_bLowPass; }
    FrequencyView FreqView() const { return m_freqView; }
    MeterClock ClockAt(int64_t nowMs) const;

private:
    double Reading(int64_t nowMs); // drifting, noisy reading in the unit as sent
    double Quantise(double sent, int decimals) const;
    void ResetStatistics(int64_t nowMs);
    uint8_t Status() const;
    std::string FrequencyUnit(double hz, double* scale, uint8_t* code) const;

    const MeterFunction* m_pFunction;
    QDateTime m_clockStart;
    uint8_t m_byFlags;
    std::mt19937 m_rng;
    std::normal_distribution<double> m_noise { 0.0, 1.0 };

    DisplayMode m_mode = DisplayNormal;
    bool m_bHold = false;
    bool m_bAutoRange = true;
    bool m_bRelPercent = false;
    bool m_bCrest = false;
    bool m_bDcAcCombined = false;
    bool m_bLowPass = false;
    FrequencyView m_freqView = FrequencyDuty;
    bool m_bHaveHeld = false;
    double m_heldValue = 0;
    double m_reference = 0;

    // MAX/MIN and PEAK run
    int64_t m_runStartMs = 0;
    int m_nSamples = 0;
    double m_max = 0, m_min = 0, m_sum = 0;
    int64_t m_maxAtMs = 0, m_minAtMs = 0;
};

} // namespace sim
