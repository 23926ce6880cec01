#pragma once
// The simulated meter's oscilloscope: the 514-byte record frames it sends for its current
// waveform (slot 0) and its ten stored ones. The stored set covers what the meter can show:
// sine, square, noisy and clipped waveforms at several time bases and volt ranges (the mV ranges
// too), the statuses HOLD, REC with pages, FFT with the meter's own measurements and a spectrum,
// and Single, in both date orders.
#include "sim/SimFrames.h"

namespace sim {

constexpr int kOscFrameBytes = 514;
constexpr int kOscStoredSlots = 10;

// The frame of stored slot 1..10 (or the current waveform, slot 0) captured at `clock`. `phase`
// moves the current waveform along from one request to the next.
Bytes OscRecordFrame(int slot, const MeterClock& clock, int phase = 0);

} // namespace sim
