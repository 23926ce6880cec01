#pragma once
// Byte layouts of what the simulated meter sends: the seven live frame kinds, its markers, and
// the cutting of a frame into notification payloads. Pure functions, no state.
#include <QDateTime>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// Live frame kinds, in the order of their kind byte (0x80 + kind live, 0x90 + kind saved).
enum FrameKind : uint8_t {
    KindNormal = 0,
    KindMinMax = 1,
    KindRelative = 2,
    KindPeak = 3,
    KindDcAc = 4,
    KindDualAc = 5,
    KindFrequency = 6,
};
constexpr int kFrameKinds = 7;
constexpr uint8_t kFrameStart = 0xA0;
constexpr uint8_t kFrameEnd = 0xA1;
// A notification carries at most this many payload bytes.
constexpr int kMaxNotifyBytes = 20;

// Frame length in bytes of a kind (27, 59, 35, 47, 36, 34, 21); 0 for an unknown kind.
int FrameLength(int kind);

// Status byte bits.
enum StatusBit : uint8_t {
    StatusHold = 0x01,
    StatusManualRange = 0x02,
    StatusSub = 0x04, // low-pass, REL percent, PEAK crest factor, frequency pulse width
    StatusSub2 = 0x08,
    StatusSub3 = 0x10, // frequency: neither duty nor pulse width shown
};
// Flags byte bits.
enum ClockFlag : uint8_t { Flag24Hour = 0x01, FlagMonthFirst = 0x02 };

// The meter's clock, decimal values; the frame carries them as BCD.
struct MeterClock {
    int year = 26; // 0..99, 2000 + value
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    static MeterClock From(const QDateTime& t);
};

// Hours, minutes and seconds of an elapsed time or a time of day, decimal values.
struct Hms {
    int h = 0;
    int m = 0;
    int s = 0;

    static Hms FromSeconds(qint64 seconds); // hours wrap at 100
};

uint8_t ToBcd(int value); // 0..99

// Every field any live kind carries; each kind writes the ones its layout holds. Units are the
// texts as the meter sends them ("VDC", "ko", "kHZ", "s" ...), padded with blanks to 4 characters.
struct FrameFields {
    uint8_t function = 2; // function-code table row
    uint8_t status = 0;
    float value = 0;
    float limit = 0;
    std::string unit;
    uint8_t decimalCode = 2; // decimals shown = 5 - code
    uint8_t packedDecimals = 0; // MAX/MIN and PEAK: main, max, min, average, 2 bits each
    float max = 0, min = 0, avg = 0;
    std::string maxUnit, minUnit, avgUnit;
    Hms maxTime, minTime, elapsed;
    float reference = 0, relValue = 0; // REL
    float dc = 0, ac = 0; // DC+AC parts
    uint8_t subKind = 3; // DC+AC: 2 combined, 3 apart
    float aux = 0; // dual AC second reading
    std::string auxUnit;
    float dutyFraction = 0; // frequency: duty cycle 0..1
    MeterClock clock;
    uint8_t flags = Flag24Hour;
};

// One complete frame: A0, kind byte, the kind's fields, two check bytes (a 16-bit sum of the
// bytes before them, least significant first) and A1.
Bytes BuildFrame(int kind, const FrameFields& fields, bool saved = false);

// Packs four decimal codes (each 0..3) as MAX/MIN and PEAK frames carry them.
uint8_t PackDecimals(int main, int max, int min, int avg);

// The meter's store marker and oscilloscope-mode marker.
Bytes StoreMarker();
Bytes OscMarker();

// Cuts a payload into notification values of at most kMaxNotifyBytes bytes.
std::vector<Bytes> SplitNotifications(const Bytes& payload, int maxBytes = kMaxNotifyBytes);

// Hex helpers: lowercase "%.2x" text, and its reverse (blanks ignored; false on odd length or a
// character that is not hexadecimal).
std::string ToHex(const Bytes& bytes);
bool FromHex(const std::string& text, Bytes* out);

} // namespace sim
