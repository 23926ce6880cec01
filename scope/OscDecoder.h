#pragma once
// Decoding of the meter's oscilloscope frames: 514 bytes, the marker E0 E0, then 510 payload
// bytes p[0..509] with the settings, the meter's own measurements, 300 waveform samples and 120
// spectrum values. Pure functions over plain values; the lookup tables of the time bases and
// volts per division live here with their bounds checked.
#include "scope/OscData.h"

#include <QMetaType>
#include <array>
#include <cstdint>
#include <string_view>

namespace osc {

constexpr int kFrameChars = 1028; // 514 bytes as hexadecimal text
constexpr int kPayloadBytes = 510;

// The payload of one frame, as it travels from the receive thread to the GUI thread.
struct OscFrame {
    std::array<uint8_t, kPayloadBytes> p {};
    // The slot the frame is for (0 current, 1..10 stored; other values are refused).
    int Slot() const { return p[52]; }
};

// The payload of a frame whose text (starting with "e0e0") is at the front of `text`; characters
// beyond the text read as 0.
OscFrame FrameFromText(std::string_view text);

// Raw samples are centred on this value with 25 counts per division.
constexpr int kRawCentre = 135;
constexpr int kCountsPerDivision = 25;

// Labels of the time-base index 1..18 (p[1]); empty for 0 and anything outside the table.
QString TimeBaseLabel(int index);
QString SampleRateLabel(int index);
constexpr int kTimeBases = 18;

// The volts-per-division index 1..11 (p[2]).
struct VoltRange {
    const char* label; // "200 V/div" .. "50.00 mV/div"
    double voltDiv; // per division in the unit below
    double meterVppScale; // scale of the meter's own peak-to-peak count
    const char* unit; // "V" or "mV"
    const char* vppFormat; // text of the peak-to-peak value
};
// Index 0 and anything outside the table: empty label, zero values.
const VoltRange& VoltRangeAt(int index);
constexpr int kVoltRanges = 11;

// Fills `rec` from one frame's payload (everything but the slot check and nID): labels,
// measurements, texts, samples and spectrum. Fields the frame does not set keep their values.
void DecodeFrame(const OscFrame& frame, OSCData& rec);

// The text shown when a computed frequency has no finite value (equal crossing positions, or no
// time base): the row's unit after dashes, e.g. "---- Hz".
QString UnboundedFrequencyText(const char* unit);

} // namespace osc

Q_DECLARE_METATYPE(osc::OscFrame)
