#include "protocol/FrameCheck.h"

#include "link/HexText.h"

#include <algorithm>
#include <cstdint>

namespace {

// Where the fixed fields of each mode sit (byte numbers from the start byte), as the decoders
// read them. Unused unit slots are -1.
struct FieldPlaces {
    int units[4];
    int clock;
};

const FieldPlaces kPlaces[8] = {
    { { -1, -1, -1, -1 }, -1 }, // no mode 0
    { { 12, -1, -1, -1 }, 17 }, // normal
    { { 25, 29, 33, 37 }, 50 }, // MAX/MIN: main unit and the three statistics
    { { 20, -1, -1, -1 }, 25 }, // relative
    { { 24, -1, -1, -1 }, 38 }, // PEAK
    { { 16, -1, -1, -1 }, 26 }, // DC+AC
    { { 7, 20, -1, -1 }, 24 }, // dual AC: main and auxiliary unit
    { { -1, -1, -1, -1 }, 11 }, // frequency: no unit text
};

bool UnitTextPlausible(std::string_view frame, int k)
{
    uint8_t b[4];
    HexToBytes(4, b, frame, 2 * k + 2);
    for (uint8_t c : b) {
        if (c == 0)
            return true; // the text ends here; what follows is never read
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// The largest value of each clock byte: year, month, day, hour (always 0..23, whatever the
// meter's display shows), minute, second. Month and day 0 stand for an unset clock.
constexpr int kClockMax[6] = { 99, 12, 31, 23, 59, 59 };

bool ClockPlausible(std::string_view frame, int k)
{
    uint8_t b[6];
    HexToBytes(6, b, frame, 2 * k + 2);
    for (int i = 0; i < 6; ++i) {
        const int high = b[i] >> 4, low = b[i] & 0x0F;
        if (high > 9 || low > 9 || high * 10 + low > kClockMax[i])
            return false;
    }
    return true;
}

} // namespace

bool LiveFrameFieldsPlausible(int mode, std::string_view frame)
{
    if (mode < 1 || mode > 7)
        return true;
    const FieldPlaces& places = kPlaces[mode];
    if (frame.size() < 2 * size_t(places.clock + 6))
        return true;
    for (int k : places.units) {
        if (k >= 0 && !UnitTextPlausible(frame, k))
            return false;
    }
    return ClockPlausible(frame, places.clock);
}

bool OscRecordFieldsPlausible(std::string_view record)
{
    // Only the fields whose bytes are in are looked at.
    const size_t have = record.size() < 4 ? 0 : std::min<size_t>((record.size() - 4) / 2, 53);
    uint8_t p[53] = {};
    HexToBytes(int(have), p, record, 6); // payload byte k follows the marker's four characters
    const auto within = [&](size_t i, int low, int high) { return i >= have || (p[i] >= low && p[i] <= high); };
    return within(0, 1, 4) && within(1, 1, 18) && within(2, 1, 11) && within(52, 0, 10) && within(40, 19, 21)
        && within(41, 0, 99) && within(42, 0, 12) && within(43, 0, 31) && within(44, 0, 23) && within(45, 0, 59)
        && within(46, 0, 59);
}
