// Live frames decoded per second through the frame dispatcher and the decoders, compared with
// the most frames the dongle's serial link can carry. Frames arrive as the link delivers them:
// notifications of at most 20 bytes, the dispatcher called after each.
#include "link/HexText.h"
#include "protocol/MeterProtocol.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The link: 115200 baud carries 11,520 bytes/s; each notification is a 31-byte dongle event.
constexpr double kLinkEventsPerSecond = 11520.0 / 31.0;
constexpr size_t kFrameBytes[8] = { 0, 27, 59, 35, 47, 36, 34, 21 };

std::vector<uint8_t> Frame(int mode, int i)
{
    std::vector<uint8_t> b(kFrameBytes[mode], 0);
    b[0] = 0xA0;
    b[1] = uint8_t(0x80 + mode - 1);
    b[2] = 2;
    const float value = 1.0f + 0.001f * float(i % 1000);
    std::memcpy(&b[4], &value, 4);
    const char* units[8] = { "", "ko", "V", "ko", "VAC", "V", "VAC", "" };
    const int unitAt[8] = { 0, 12, 25, 20, 24, 16, 7, 0 };
    if (unitAt[mode])
        std::memcpy(&b[size_t(unitAt[mode])], units[mode], std::strlen(units[mode]));
    if (mode == 2 || mode == 4) { // a clock the date conversion has to work on
        const size_t clock = mode == 2 ? 50 : 38;
        const uint8_t c[6] = { 0x26, 0x12, 0x05, 0x09, 0x03, 0x07 };
        std::memcpy(&b[clock], c, 6);
    }
    b.back() = 0xA1;
    return b;
}

struct Result {
    double framesPerSecond;
    double linkFramesPerSecond;
};

Result Measure(const std::vector<int>& modes, bool listen)
{
    // The notifications of the stream, prepared beforehand.
    std::vector<std::string> notes;
    double notesPerFrame = 0;
    for (size_t i = 0; i < modes.size(); ++i) {
        const std::vector<uint8_t> f = Frame(modes[i], int(i));
        for (size_t at = 0; at < f.size(); at += 20) {
            notes.push_back(BytesToHex(f.data() + at, std::min<size_t>(20, f.size() - at)));
            notesPerFrame += 1;
        }
    }
    notesPerFrame /= double(modes.size());

    HexText text;
    CMeterProtocol protocol(
        text, [](const uint8_t*, int) { return true; }, [](int) {});
    MeterEvent last;
    if (listen) {
        // What a queued connection does: one copy of the event per frame.
        QObject::connect(&protocol.Decoder(), &CLiveDecoder::frameDecoded, [&](const MeterEvent& e) { last = e; });
    }
    long long frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double seconds = 0;
    while (seconds < 1.0) {
        for (const std::string& n : notes) {
            text.appendText(n);
            protocol.MeterFrameDispatcher();
        }
        frames += static_cast<long long>(modes.size());
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (!text.empty() || (listen && last.m_nMode == 0))
        std::fprintf(stderr, "bench_decode: stream not decoded completely\n");
    return { double(frames) / seconds, kLinkEventsPerSecond / notesPerFrame };
}

void Report(const char* name, const Result& r)
{
    std::printf("%-34s %10.0f frames/s   link max %6.1f frames/s   ratio %7.0fx\n", name, r.framesPerSecond,
        r.linkFramesPerSecond, r.framesPerSecond / r.linkFramesPerSecond);
}

} // namespace

int main()
{
    std::vector<int> normal(1000, 1);
    std::vector<int> mixed;
    for (int i = 0; i < 1000; ++i)
        mixed.push_back(i % 7 + 1);
    std::printf("link: %.1f notification events/s\n", kLinkEventsPerSecond);
    Report("normal frames, event copied", Measure(normal, true));
    Report("normal frames, no listener", Measure(normal, false));
    Report("all seven kinds, event copied", Measure(mixed, true));
    return 0;
}
