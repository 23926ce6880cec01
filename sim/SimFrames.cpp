#include "link/HexText.h"
#include "sim/SimFrames.h"

#include <cstring>

namespace sim {

namespace {

const int kLengths[kFrameKinds] = { 27, 59, 35, 47, 36, 34, 21 };

class FrameWriter {
public:
    FrameWriter(int kind, bool saved)
        : m_bytes(size_t(FrameLength(kind)), 0)
    {
        m_bytes[0] = kFrameStart;
        m_bytes[1] = uint8_t((saved ? 0x90 : 0x80) + kind);
    }

    void Byte(int at, uint8_t v) { m_bytes[size_t(at)] = v; }
    void Float(int at, float v)
    {
        // Least significant byte first, whatever the host's byte order.
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[size_t(at + i)] = uint8_t(bits >> (8 * i));
    }
    void Unit(int at, const std::string& unit)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[size_t(at + i)] = i < int(unit.size()) ? uint8_t(unit[size_t(i)]) : uint8_t(' ');
    }
    void Time(int at, const Hms& t)
    {
        Byte(at, ToBcd(t.h));
        Byte(at + 1, ToBcd(t.m));
        Byte(at + 2, ToBcd(t.s));
    }
    void Clock(int at, const MeterClock& c)
    {
        const int parts[6] = { c.year, c.month, c.day, c.hour, c.minute, c.second };
        for (int i = 0; i < 6; ++i)
            Byte(at + i, ToBcd(parts[i]));
    }
    Bytes Finish()
    {
        const size_t n = m_bytes.size();
        unsigned sum = 0;
        for (size_t i = 0; i + 3 < n; ++i)
            sum += m_bytes[i];
        m_bytes[n - 3] = uint8_t(sum);
        m_bytes[n - 2] = uint8_t(sum >> 8);
        m_bytes[n - 1] = kFrameEnd;
        return std::move(m_bytes);
    }

private:
    Bytes m_bytes;
};


} // namespace

int FrameLength(int kind)
{
    return kind >= 0 && kind < kFrameKinds ? kLengths[kind] : 0;
}

MeterClock MeterClock::From(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    return MeterClock { d.year() % 100, d.month(), d.day(), tm.hour(), tm.minute(), tm.second() };
}

Hms Hms::FromSeconds(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return Hms { int((seconds / 3600) % 100), int((seconds / 60) % 60), int(seconds % 60) };
}

uint8_t ToBcd(int value)
{
    value = value < 0 ? 0 : value % 100;
    return uint8_t(((value / 10) << 4) | (value % 10));
}

uint8_t PackDecimals(int main, int max, int min, int avg)
{
    return uint8_t((main & 3) | ((max & 3) << 2) | ((min & 3) << 4) | ((avg & 3) << 6));
}

Bytes BuildFrame(int kind, const FrameFields& f, bool saved)
{
    if (FrameLength(kind) == 0)
        return {};
    FrameWriter w(kind, saved);
    switch (kind) {
    case KindNormal:
        w.Byte(2, f.function);
        w.Byte(3, f.status);
        w.Float(4, f.value);
        w.Float(8, f.limit);
        w.Unit(12, f.unit);
        w.Byte(16, f.decimalCode);
        w.Clock(17, f.clock);
        w.Byte(23, f.flags);
        break;
    case KindMinMax:
        w.Byte(2, f.function);
        w.Byte(3, f.status);
        w.Float(4, f.value);
        w.Float(8, f.max);
        w.Float(12, f.min);
        w.Float(16, f.avg);
        w.Float(20, f.limit);
        w.Byte(24, f.packedDecimals);
        w.Unit(25, f.unit);
        w.Unit(29, f.maxUnit);
        w.Unit(33, f.minUnit);
        w.Unit(37, f.avgUnit);
        w.Time(41, f.maxTime);
        w.Time(44, f.minTime);
        w.Time(47, f.elapsed);
        w.Clock(50, f.clock);
        break;
    case KindRelative:
        w.Byte(2, f.function);
        w.Byte(3, f.status);
        w.Float(4, f.value);
        w.Float(8, f.reference);
        w.Float(12, f.relValue);
        w.Float(16, f.limit);
        w.Unit(20, f.unit);
        w.Byte(24, f.decimalCode);
        w.Clock(25, f.clock);
        w.Byte(31, f.flags);
        break;
    case KindPeak:
        w.Byte(2, f.function);
        w.Byte(3, f.status);
        w.Float(4, f.value);
        w.Float(8, f.max);
        w.Float(12, f.min);
        w.Float(16, f.avg);
        w.Float(20, f.limit);
        w.Unit(24, f.unit);
        w.Byte(28, f.packedDecimals);
        w.Time(29, f.maxTime);
        w.Time(32, f.minTime);
        w.Time(35, f.elapsed);
        w.Clock(38, f.clock);
        break;
    case KindDcAc:
        w.Byte(2, f.function);
        w.Byte(3, f.status);
        w.Float(4, f.dc);
        w.Float(8, f.ac);
        w.Float(12, f.value);
        w.Unit(16, f.unit);
        w.Float(20, f.limit);
        w.Byte(24, f.decimalCode);
        w.Byte(25, f.subKind);
        w.Clock(26, f.clock);
        w.Byte(32, f.flags);
        break;
    case KindDualAc:
        w.Byte(2, uint8_t(f.status & 0x0F));
        w.Float(3, f.value);
        w.Unit(7, f.unit);
        w.Byte(11, f.decimalCode);
        w.Float(12, f.limit);
        w.Float(16, f.aux);
        w.Unit(20, f.auxUnit);
        w.Clock(24, f.clock);
        w.Byte(30, f.flags);
        break;
    case KindFrequency:
        w.Byte(2, uint8_t(f.status & 0x1F));
        w.Float(3, f.value);
        w.Float(7, f.dutyFraction);
        w.Clock(11, f.clock);
        w.Byte(17, f.flags);
        break;
    }
    return w.Finish();
}

Bytes StoreMarker()
{
    return Bytes { 0xF8, 0xF8, 0xF8, 0xF8 };
}
Bytes OscMarker()
{
    return Bytes { 0xA2, 0xA2, 0xA2, 0xA2 };
}

std::vector<Bytes> SplitNotifications(const Bytes& payload, int maxBytes)
{
    std::vector<Bytes> parts;
    if (maxBytes < 1)
        maxBytes = 1;
    for (size_t at = 0; at < payload.size(); at += size_t(maxBytes)) {
        const size_t n = std::min(payload.size() - at, size_t(maxBytes));
        parts.emplace_back(payload.begin() + long(at), payload.begin() + long(at + n));
    }
    return parts;
}

std::string ToHex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

bool FromHex(const std::string& text, Bytes* out)
{
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        const int d = HexDigitValue(c);
        if (d < 0)
            return false;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(uint8_t((high << 4) | d));
            high = -1;
        }
    }
    if (high >= 0)
        return false;
    *out = std::move(bytes);
    return true;
}

} // namespace sim
