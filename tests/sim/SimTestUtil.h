#pragma once
// Drives a CSimEngine on a made-up clock and takes its output apart into dongle events and
// meter payloads, independently of the program's own link code.
#include "sim/SimEngine.h"

#include <QByteArray>
#include <QTest>
#include <string>
#include <vector>

namespace simtest {

using sim::Bytes;

inline Bytes Hex(const char* text)
{
    Bytes b;
    if (!sim::FromHex(text, &b))
        qFatal("bad hex in test: %s", text);
    return b;
}

// Host command packets, built here byte by byte.
inline Bytes DeviceInit()
{
    Bytes b = Hex("0100fe26 0805");
    b.insert(b.end(), 32, 0);
    const Bytes tail = Hex("01000000");
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}
inline Bytes Discovery()
{
    return Hex("0104fe03 030100");
}
inline Bytes DiscoveryCancel()
{
    return Hex("0105fe00");
}
inline Bytes TerminateLink()
{
    return Hex("010afe03 000013");
}
inline Bytes EstablishLink(const uint8_t* address)
{
    Bytes b = Hex("0109fe09 000000");
    b.insert(b.end(), address, address + 6);
    return b;
}
inline Bytes EnableNotify()
{
    return Hex("0192fd06 0000 1500 0100");
}
inline Bytes WriteCommand(const Bytes& data)
{
    Bytes b { 0x01, 0x92, 0xFD, uint8_t(data.size() + 4), 0x00, 0x00, 0x12, 0x00 };
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

struct Event {
    int64_t atMs;
    Bytes bytes;
    uint16_t code() const { return uint16_t(bytes[3] | (bytes[4] << 8)); }
    uint8_t status() const { return bytes[5]; }
};

// Runs an engine on a made-up clock: everything it sends is collected with its time.
class Harness {
public:
    explicit Harness(const sim::SimConfig& config = DefaultConfig())
        : engine(config)
    {
    }

    static sim::SimConfig DefaultConfig()
    {
        sim::SimConfig c;
        c.meterClockStart = QDateTime(QDate(2026, 12, 5), QTime(9, 3, 7));
        c.seed = 7;
        return c;
    }

    void Write(const Bytes& bytes)
    {
        engine.HostWrite(bytes.data(), bytes.size(), now);
        Collect();
    }
    // Advances the clock by ms in 1 ms steps, collecting every delivery.
    void Run(int64_t ms)
    {
        const int64_t end = now + ms;
        while (now < end) {
            const int64_t next = std::min(engine.NextDueMs(), end);
            now = std::max(now + 1, next);
            if (now > end)
                now = end;
            engine.AdvanceTo(now);
            Collect();
        }
    }
    void Collect()
    {
        for (Bytes& chunk : engine.TakeOutput()) {
            reads.push_back({ now, chunk });
            stream.insert(stream.end(), chunk.begin(), chunk.end());
        }
    }
    // Cuts the collected stream into events; stray bytes before an event are counted.
    std::vector<Event> Events(size_t* strayBytes = nullptr)
    {
        std::vector<Event> out;
        size_t at = 0, stray = 0;
        while (at < stream.size()) {
            if (at + 3 <= stream.size() && stream[at] == 0x04 && stream[at + 1] == 0xFF) {
                const size_t n = size_t(stream[at + 2]) + 3;
                if (at + n > stream.size())
                    break;
                out.push_back({ 0, Bytes(stream.begin() + long(at), stream.begin() + long(at + n)) });
                at += n;
            } else {
                ++at;
                ++stray;
            }
        }
        if (strayBytes)
            *strayBytes = stray;
        return out;
    }
    std::vector<Event> EventsWithCode(uint16_t code)
    {
        std::vector<Event> out;
        for (const Event& e : Events()) {
            if (e.code() == code)
                out.push_back(e);
        }
        return out;
    }
    // The notification values joined in order: the meter's byte stream.
    Bytes Payload()
    {
        Bytes p;
        for (const Event& e : EventsWithCode(sim::EventNotification)) {
            const size_t pdu = e.bytes[8];
            p.insert(p.end(), e.bytes.begin() + 11, e.bytes.begin() + long(11 + pdu - 2));
        }
        return p;
    }
    void Clear()
    {
        stream.clear();
        reads.clear();
    }
    // Device init, discovery, establish link, enable notifications; output cleared afterwards.
    void Connect()
    {
        Write(DeviceInit());
        Run(50);
        Write(Discovery());
        Run(200);
        Write(DiscoveryCancel());
        Write(EstablishLink(engine.Config().meterAddress));
        Run(600);
        Write(EnableNotify());
        Run(20);
        Clear();
    }

    sim::CSimEngine engine;
    int64_t now = 0;
    Bytes stream;
    std::vector<std::pair<int64_t, Bytes>> reads;
};

// Frames found in a payload: every run that starts A0 8x/9x and has its kind's length.
inline std::vector<Bytes> CutFrames(const Bytes& payload)
{
    std::vector<Bytes> frames;
    size_t at = 0;
    while (at + 2 <= payload.size()) {
        const uint8_t k = payload[at + 1];
        const int kind = (k & 0x0F);
        const int len = sim::FrameLength(kind);
        if (payload[at] == 0xA0 && (k & 0xE0) == 0x80 && len > 0 && at + size_t(len) <= payload.size()) {
            frames.emplace_back(payload.begin() + long(at), payload.begin() + long(at) + len);
            at += size_t(len);
        } else {
            ++at;
        }
    }
    return frames;
}

inline float FloatAt(const Bytes& b, size_t at)
{
    uint32_t bits = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline std::string TextAt(const Bytes& b, size_t at, size_t n = 4)
{
    return std::string(b.begin() + long(at), b.begin() + long(at + n));
}

} // namespace simtest
