#pragma once
// Behavioural checks of the serial device and its reader that every platform must pass. Standard
// library only: the native test runs them over a pseudo-terminal, and the Win32 driver runs the
// same list under Wine over a pseudo-terminal mapped as a COM port. The far end of the line (the
// "device" side) is played by whoever runs the cases.
#include "link/SerialCore.h"
#include "link/SerialReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace serialcases {

using Bytes = std::vector<uint8_t>;

// The device side of the line.
class FarEnd {
public:
    virtual ~FarEnd() = default;
    // The name the cases open, and one that names no device.
    virtual std::string Device() = 0;
    virtual std::string MissingDevice() = 0;
    // The far end sends bytes; returns at once (the bytes go out while the cases read).
    virtual bool Send(const Bytes& bytes) = 0;
    // What the far end received: up to count bytes, waiting at most timeoutMs for each part.
    virtual Bytes Receive(size_t count, int timeoutMs) = 0;
    // The device goes away (unplugged, its driver gone).
    virtual bool Vanish() = 0;
    // A fresh device under the same name, after Vanish.
    virtual bool Renew() = 0;
    // Whether a second open of an open device is refused (Wine lets it through).
    virtual bool ExclusiveOpen() const { return true; }
};

struct Outcome {
    bool ok = true;
    std::string message;
};

#define SC_CHECK(cond)                                                                                                 \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            out.ok = false;                                                                                            \
            out.message = std::string(__func__) + ":" + std::to_string(__LINE__) + ": " #cond                          \
                + (out.message.empty() ? std::string() : " (" + out.message + ")");                                   \
            return out;                                                                                                \
        }                                                                                                              \
    } while (0)

inline Bytes Pattern(size_t n, uint8_t seed = 0)
{
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + i / 251);
    return v;
}

// Collects what a reader delivers.
struct Sink {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Bytes> chunks;
    size_t total = 0;
    std::atomic<int> lost { 0 };
    std::atomic<uint32_t> lostError { 0 };
    std::atomic<bool> stopped { false };
    std::atomic<int> afterStop { 0 };

    void Start(CSerialReader& reader, CSerialStream& stream)
    {
        reader.Start(
            &stream,
            [this](const uint8_t* b, size_t n) {
                if (stopped)
                    ++afterStop;
                std::lock_guard<std::mutex> g(lock);
                chunks.emplace_back(b, b + n);
                total += n;
                changed.notify_all();
            },
            [this](uint32_t error) {
                std::lock_guard<std::mutex> g(lock);
                ++lost;
                lostError = error;
                changed.notify_all();
            });
    }
    // Waits until pred() holds (under the lock) or timeoutMs pass; returns pred().
    template <class Pred> bool WaitFor(int timeoutMs, Pred pred)
    {
        std::unique_lock<std::mutex> g(lock);
        return changed.wait_for(g, std::chrono::milliseconds(timeoutMs), pred);
    }
    size_t Total()
    {
        std::lock_guard<std::mutex> g(lock);
        return total;
    }
    bool WaitTotal(size_t n, int timeoutMs)
    {
        return WaitFor(timeoutMs, [&] { return total >= n; });
    }
    Bytes All()
    {
        std::lock_guard<std::mutex> g(lock);
        Bytes all;
        for (const Bytes& c : chunks)
            all.insert(all.end(), c.begin(), c.end());
        return all;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(lock);
        chunks.clear();
        total = 0;
    }
};

inline void OpenDefault(CSerialDevice& device, const std::string& name)
{
    device.Open(name, 115200, ParityNone, 8, StopBitsOne, FlowNone);
}

// A missing device, bad framing codes and a second user are refused, and nothing stays open.
inline Outcome OpenFailuresLeaveNothingOpen(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    uint32_t error = 0;
    try {
        OpenDefault(device, far.MissingDevice());
    } catch (const CSerialException& e) {
        error = e.m_dwError;
    }
    SC_CHECK(error != 0);
    SC_CHECK(!device.IsOpen());
    bool threw = false;
    try {
        device.Write("x", 1);
    } catch (const CSerialException&) {
        threw = true;
    }
    SC_CHECK(threw);
    for (int bad : { 9, -1 }) {
        threw = false;
        try {
            device.Open(far.Device(), 115200, bad, 8, StopBitsOne, FlowNone);
        } catch (const CSerialException&) {
            threw = true;
        }
        SC_CHECK(threw && !device.IsOpen());
        threw = false;
        try {
            device.Open(far.Device(), 115200, ParityNone, 8, StopBitsOne, bad);
        } catch (const CSerialException&) {
            threw = true;
        }
        SC_CHECK(threw && !device.IsOpen());
    }

    OpenDefault(device, far.Device());
    SC_CHECK(device.IsOpen());
    if (far.ExclusiveOpen()) {
        CSerialDevice second;
        threw = false;
        try {
            OpenDefault(second, far.Device());
        } catch (const CSerialException&) {
            threw = true;
        }
        SC_CHECK(threw && !second.IsOpen());
    }
    device.Close();
    SC_CHECK(!device.IsOpen());
    device.Close(); // twice is harmless
    return out;
}

// A burst longer than the read size comes as several chunks, in order, none longer than the
// read size; a new read size holds from the next read on.
inline Outcome BurstArrivesInOrderInBoundedChunks(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    OpenDefault(device, far.Device());
    CSerialReader reader;
    Sink sink;
    reader.SetReadSize(100);
    sink.Start(reader, device);
    const Bytes burst = Pattern(3000);
    SC_CHECK(far.Send(burst));
    SC_CHECK(sink.WaitTotal(burst.size(), 10000));
    SC_CHECK(sink.All() == burst);
    SC_CHECK(sink.chunks.size() >= 30);
    for (const Bytes& c : sink.chunks)
        SC_CHECK(!c.empty() && c.size() <= 100);

    reader.SetReadSize(7);
    // A read already waiting keeps its size: one byte goes through first.
    SC_CHECK(far.Send(Pattern(1)));
    SC_CHECK(sink.WaitTotal(burst.size() + 1, 5000));
    sink.Clear();
    const Bytes second = Pattern(500, 3);
    SC_CHECK(far.Send(second));
    SC_CHECK(sink.WaitTotal(second.size(), 10000));
    SC_CHECK(sink.All() == second);
    for (const Bytes& c : sink.chunks)
        SC_CHECK(c.size() <= 7);
    reader.Stop();
    SC_CHECK(sink.lost == 0);
    device.Close();
    return out;
}

// A short packet is handed over at once, not held for the whole allowed silence on the line
// (200 ms): the best of three tries is well below it.
inline Outcome SmallPacketIsDeliveredAtOnce(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    OpenDefault(device, far.Device());
    CSerialReader reader;
    Sink sink;
    sink.Start(reader, device);
    long long best = 1000000;
    for (int i = 0; i < 3; ++i) {
        const size_t before = sink.Total();
        const auto sent = std::chrono::steady_clock::now();
        SC_CHECK(far.Send(Pattern(9, uint8_t(i))));
        SC_CHECK(sink.WaitTotal(before + 9, 5000));
        const auto ms
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
        best = std::min<long long>(best, ms);
    }
    out.message = "best " + std::to_string(best) + " ms";
    SC_CHECK(best < CSerialReader::kInterByteMs * 3 / 4);
    reader.Stop();
    device.Close();
    return out;
}

// What is written reaches the far end whole and in order, also while the reader runs.
inline Outcome WritesArriveWhole(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    OpenDefault(device, far.Device());
    CSerialReader reader;
    Sink sink;
    sink.Start(reader, device);
    Bytes sent;
    for (int i = 0; i < 40; ++i) {
        const Bytes packet = Pattern(50, uint8_t(i));
        SC_CHECK(device.Write(packet.data(), packet.size()) == packet.size());
        sent.insert(sent.end(), packet.begin(), packet.end());
    }
    const Bytes got = far.Receive(sent.size(), 5000);
    SC_CHECK(got == sent);
    reader.Stop();
    device.Close();
    return out;
}

// Stopping the reader while data flows returns promptly and no byte is delivered after it;
// the same device then reads again, with the old backlog purged.
inline Outcome StopIsPromptAndSilentThenReadingResumes(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    OpenDefault(device, far.Device());
    CSerialReader reader;
    Sink sink;
    sink.Start(reader, device);
    const size_t flood = 30000;
    SC_CHECK(far.Send(Pattern(flood, 5))); // as fast as the line takes it
    SC_CHECK(sink.WaitTotal(1000, 10000));
    const auto t0 = std::chrono::steady_clock::now();
    reader.Stop();
    sink.stopped = true;
    const auto stopMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    SC_CHECK(stopMs < 2000);
    SC_CHECK(reader.Ended());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SC_CHECK(sink.afterStop == 0);
    SC_CHECK(sink.lost == 0);
    const size_t delivered = sink.Total();

    // Start over on the same device while the far end may still be sending its flood.
    device.Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    device.ResetCancel();
    sink.stopped = false;
    sink.Clear();
    CSerialReader again;
    sink.Start(again, device);
    const Bytes marker { 0xDE, 0xAD, 0xBE, 0xEF, 0x42 };
    SC_CHECK(far.Send(marker));
    SC_CHECK(sink.WaitFor(10000, [&] {
        Bytes all;
        for (const Bytes& c : sink.chunks)
            all.insert(all.end(), c.begin(), c.end());
        return all.size() >= marker.size() && Bytes(all.end() - 5, all.end()) == marker;
    }));
    // Nothing delivered before the stop comes again.
    SC_CHECK(sink.Total() <= flood - delivered + marker.size());
    again.Stop();
    device.Close();
    return out;
}

// A device that goes away ends the reader and is reported once, with an error code; it is not
// retried in a loop, and stopping and closing afterwards are quick.
inline Outcome VanishingDeviceIsReportedOnce(FarEnd& far)
{
    Outcome out;
    CSerialDevice device;
    OpenDefault(device, far.Device());
    CSerialReader reader;
    Sink sink;
    sink.Start(reader, device);
    SC_CHECK(far.Send(Pattern(10)));
    SC_CHECK(sink.WaitTotal(10, 5000));
    SC_CHECK(far.Vanish());
    SC_CHECK(sink.WaitFor(5000, [&] { return sink.lost > 0; }));
    SC_CHECK(sink.lostError != 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    SC_CHECK(sink.lost == 1);
    SC_CHECK(reader.Ended());
    bool threw = false;
    try {
        device.Write("abc", 3);
    } catch (const CSerialException&) {
        threw = true;
    }
    SC_CHECK(threw);
    reader.Stop();
    device.Close();
    SC_CHECK(!device.IsOpen());
    SC_CHECK(far.Renew());
    return out;
}

struct Case {
    const char* name;
    Outcome (*run)(FarEnd&);
};

inline const std::vector<Case>& AllCases()
{
    static const std::vector<Case> cases {
        { "openFailuresLeaveNothingOpen", &OpenFailuresLeaveNothingOpen },
        { "burstArrivesInOrderInBoundedChunks", &BurstArrivesInOrderInBoundedChunks },
        { "smallPacketIsDeliveredAtOnce", &SmallPacketIsDeliveredAtOnce },
        { "writesArriveWhole", &WritesArriveWhole },
        { "stopIsPromptAndSilentThenReadingResumes", &StopIsPromptAndSilentThenReadingResumes },
        { "vanishingDeviceIsReportedOnce", &VanishingDeviceIsReportedOnce },
    };
    return cases;
}

#undef SC_CHECK

} // namespace serialcases
