// Link benchmarks, printed as ratios measured in this run:
//  (a) throughput of notification events from the receive callback to the frame text, against
//      the dongle UART's 11,520 bytes/s, both on one thread and through the real receive thread;
//  (b) the CPU the link's threads use over 5 s connected with no traffic, as a share of one core.
#include "link/BleLink.h"

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kUartBytesPerSecond = 11520.0; // 115200 baud, 10 bits a byte

using Clock = std::chrono::steady_clock;

// One notification event carrying value bytes, as the dongle sends it.
std::vector<uint8_t> Notification(const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> e { 0x04, 0xFF, uint8_t(8 + value.size()), 0x1B, 0x05, 0x00, 0x00, 0x00,
        uint8_t(value.size() + 2), 0x12, 0x00 };
    e.insert(e.end(), value.begin(), value.end());
    return e;
}

// A stream of live traffic: 20-byte notifications, as the meter splits its frames.
std::vector<uint8_t> Stream(size_t events, size_t* payload)
{
    std::vector<uint8_t> all;
    *payload = 0;
    for (size_t i = 0; i < events; ++i) {
        std::vector<uint8_t> v(20);
        for (size_t k = 0; k < v.size(); ++k)
            v[k] = uint8_t(i + k);
        const std::vector<uint8_t> e = Notification(v);
        all.insert(all.end(), e.begin(), e.end());
        *payload += v.size();
    }
    return all;
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

double ProcessCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

constexpr size_t kChunk = 100; // the reader's usual read size

// (a1) callback and receive passes on one thread.
double SingleThreadBytesPerSecond(const std::vector<uint8_t>& stream, size_t payload)
{
    CBleLink link;
    size_t frameChars = 0;
    link.SetFrameHook([&] {
        frameChars += link.m_strMeterRx.size();
        link.m_strMeterRx.clear();
    });
    link.SetState(BleConnected);
    const auto start = Clock::now();
    for (size_t off = 0; off < stream.size(); off += kChunk) {
        CBleLink::OnComData(&link, stream.data() + off, std::min(kChunk, stream.size() - off));
        while (link.RunReceivePass()) {
        }
    }
    const double s = Seconds(start, Clock::now());
    if (frameChars != 2 * payload) {
        std::fprintf(stderr, "single thread: %zu of %zu frame characters\n", frameChars, 2 * payload);
        std::exit(1);
    }
    return double(stream.size()) / s;
}

// (a2) a feeding thread in the reader's place, the real receive thread cutting events. The
// feeder waits for each batch to be taken so the link text never reaches its ceiling.
double ThreadedBytesPerSecond(const std::vector<uint8_t>& stream, size_t payload)
{
    CBleLink link;
    std::mutex lock;
    std::condition_variable cv;
    size_t frameChars = 0;
    link.SetFrameHook([&] {
        std::lock_guard<std::mutex> g(lock);
        frameChars += link.m_strMeterRx.size();
        link.m_strMeterRx.clear();
        cv.notify_one();
    });
    link.SetState(BleConnected);
    link.StartReceiveThread();
    constexpr size_t kBatch = 32 * 1024;
    const auto start = Clock::now();
    std::thread feeder([&] {
        for (size_t batch = 0; batch < stream.size(); batch += kBatch) {
            const size_t end = std::min(stream.size(), batch + kBatch);
            for (size_t off = batch; off < end; off += kChunk)
                CBleLink::OnComData(&link, stream.data() + off, std::min(kChunk, end - off));
            std::unique_lock<std::mutex> g(lock);
            const size_t wanted = 2 * payload * end / stream.size();
            cv.wait(g, [&] { return frameChars + 40 >= wanted; });
        }
    });
    feeder.join();
    {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return frameChars >= 2 * payload; });
    }
    const double s = Seconds(start, Clock::now());
    link.StopReceiveThread();
    return double(stream.size()) / s;
}

// (b) link open on a pseudo-terminal, connected state, no traffic.
bool IdleCost(double seconds, double* share)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return false;
    CBleLink link;
    if (link.Open(QString::fromLocal8Bit(ptsname(master))) != CBleLink::OpenOk)
        return false;
    link.SetState(BleConnected);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let the open settle
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = Seconds(t0, Clock::now());
    link.Close();
    close(master);
    *share = cpu / wall;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    size_t payload = 0;
    const std::vector<uint8_t> stream = Stream(200000, &payload); // 6.2 MB of events
    std::printf("link throughput, %zu bytes of notification events (%zu payload bytes):\n", stream.size(), payload);
    const double single = SingleThreadBytesPerSecond(stream, payload);
    std::printf("  callback + passes, one thread : %10.0f bytes/s = %7.0fx the dongle UART\n", single,
        single / kUartBytesPerSecond);
    const double threaded = ThreadedBytesPerSecond(stream, payload);
    std::printf("  callback -> receive thread    : %10.0f bytes/s = %7.0fx the dongle UART\n", threaded,
        threaded / kUartBytesPerSecond);

    double share = 0;
    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (IdleCost(idleSeconds, &share))
        std::printf("idle link over %.0f s (reader + receive thread): %.4f%% of one core\n", idleSeconds,
            100.0 * share);
    else
        std::printf("idle link: no pseudo-terminal available\n");
    return 0;
}
