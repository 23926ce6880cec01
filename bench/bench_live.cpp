// The live road measured end to end in the real program: a pseudo-terminal plays the dongle, and
// each live frame goes pty -> port reader -> link receive thread -> dispatcher and decoder ->
// GUI thread -> LCD panel repaint.
//  (a) latency from the last byte of a frame written to the pty to the end of the panel's repaint,
//      p50 and p99 over 1000 frames, as a fraction of one 60 Hz frame time (16 ms);
//  (b) CPU of the whole program (less the thread that plays the dongle) over 10 s of three frames
//      a second, as a fraction of one core and of the 2% budget.
// Run it on the offscreen platform: QT_QPA_PLATFORM=offscreen build/bench/bench_live
#include "app/MainFrame.h"
#include "link/LinkController.h"
#include "display/LeftDlg.h"
#include "sim/SimFrames.h"
#include "sim/SimHci.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Notices the end of every paint of the panel.
class PaintWatchingApp : public QApplication {
public:
    using QApplication::QApplication;
    QWidget* panel = nullptr;
    std::mutex mutex;
    std::condition_variable painted;
    Clock::time_point lastPaint;
    uint64_t paints = 0;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const bool isPanelPaint = panel && receiver == panel && event->type() == QEvent::Paint;
        const bool result = QApplication::notify(receiver, event);
        if (isPanelPaint) {
            std::lock_guard<std::mutex> lock(mutex);
            lastPaint = Clock::now();
            ++paints;
            painted.notify_all();
        }
        return result;
    }
};

double processCpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The bytes of one live frame as the dongle sends it: notification events of at most 20 bytes.
std::vector<uint8_t> frameEvents(int n)
{
    sim::FrameFields f;
    f.function = 2;
    f.unit = "VDC ";
    f.value = 1.0f + 0.001f * static_cast<float>(n % 4000);
    f.limit = 6.0f;
    f.decimalCode = 2;
    f.clock = sim::MeterClock::From(QDateTime::currentDateTime());
    std::vector<uint8_t> out;
    for (const sim::Bytes& part : sim::SplitNotifications(sim::BuildFrame(1, f))) {
        const sim::Bytes event = sim::NotificationEvent(sim::kDataHandle, part);
        out.insert(out.end(), event.begin(), event.end());
    }
    return out;
}

void writeAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * (v.size() - 1))];
}

} // namespace

int main(int argc, char** argv)
{
    PaintWatchingApp app(argc, argv);
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    termios tio {};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    const QString slave = QString::fromLocal8Bit(ptsname(master));

    CMainFrame frame;
    frame.resize(1280, 800);
    frame.show();
    app.panel = frame.leftDlg();
    if (frame.links().Dongle().Open(slave) != CBleLink::OpenOk) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(slave));
        return 1;
    }
    frame.links().Dongle().SetState(BleConnected); // the dongle's dialogue is not under test here

    std::atomic<bool> stop { false };
    std::atomic<double> drainCpu { 0 };
    // Drain what the program writes to the dongle (it is not counted as the program's work).
    std::thread drain([&] {
        uint8_t buf[256];
        while (!stop) {
            pollfd p { master, POLLIN, 0 };
            if (poll(&p, 1, 100) > 0 && read(master, buf, sizeof buf) <= 0)
                break;
            drainCpu = threadCpuSeconds();
        }
    });

    std::vector<double> latencies;
    double writerCpu = 0;
    double cpuFraction = 0;
    std::thread player([&] {
        const double cpu0 = threadCpuSeconds();
        // (a) latency: one frame at a time, the next once the panel has painted the last.
        for (int i = 0; i < 1000 && !stop; ++i) {
            const std::vector<uint8_t> bytes = frameEvents(i);
            uint64_t paintsBefore;
            {
                std::lock_guard<std::mutex> lock(app.mutex);
                paintsBefore = app.paints;
            }
            writeAll(master, bytes);
            const Clock::time_point lastByte = Clock::now();
            std::unique_lock<std::mutex> lock(app.mutex);
            if (app.painted.wait_for(lock, std::chrono::seconds(2), [&] { return app.paints > paintsBefore; }))
                latencies.push_back(std::chrono::duration<double, std::milli>(app.lastPaint - lastByte).count());
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // (b) CPU: three frames a second for 10 s.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double writer0 = threadCpuSeconds();
        const double drain0 = drainCpu;
        const double process0 = processCpuSeconds();
        const Clock::time_point t0 = Clock::now();
        for (int i = 0; i < 30 && !stop; ++i) {
            writeAll(master, frameEvents(i));
            std::this_thread::sleep_until(t0 + std::chrono::milliseconds(333 * (i + 1)));
        }
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        writerCpu = threadCpuSeconds() - writer0 + (drainCpu - drain0);
        cpuFraction = (processCpuSeconds() - process0 - writerCpu) / wall;
        (void)cpu0;
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });

    app.exec();
    stop = true;
    player.join();
    drain.join();
    frame.links().Dongle().Close();
    close(master);

    if (latencies.empty()) {
        std::fprintf(stderr, "no frame reached the panel\n");
        return 1;
    }
    const double p50 = percentile(latencies, 0.5);
    const double p99 = percentile(latencies, 0.99);
    std::printf("frames measured                     %zu of 1000\n", latencies.size());
    std::printf("latency last byte -> repaint done   p50 %.2f ms, p99 %.2f ms\n", p50, p99);
    std::printf("  as a fraction of 16 ms            p50 %.3f, p99 %.3f (target p99 < 1)\n", p50 / 16.0, p99 / 16.0);
    std::printf("CPU while receiving 3 frames/s      %.3f%% of one core\n", 100.0 * cpuFraction);
    std::printf("  as a fraction of the 2%% budget    %.3f (target < 1)\n", cpuFraction / 0.02);
    return 0;
}
