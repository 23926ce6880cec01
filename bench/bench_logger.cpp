// The logger download of a 50,000-reading record in the real program, against the built-in
// simulated meter whose dongle output is paced like the 115200-baud UART (11520 bytes/s).
//  (a) transfer time from the command to the end of the download, against the time the UART
//      needs for the same dongle bytes (list, header, blocks as notification events, and the
//      write responses to the host's requests and acknowledgements);
//  (b) the worst GUI frame time during the transfer: the longest gap between turns of the GUI
//      thread's event loop, seen by a 4 ms timer, against one 60 Hz frame (16 ms) and against the
//      same measure over a few seconds of live readings only; and the GUI thread's own CPU time in
//      its busiest gap, which tells the program's work from the rest of the machine's load;
//  (c) the time to show the record in the "DataLogger" document;
//  (d) the GUI thread's own CPU time in each turn of its event loop (between two waits for
//      events), downloading and showing the record: another program's load does not count.
// Run it on the offscreen platform: QT_QPA_PLATFORM=offscreen build/bench/bench_logger
#include "app/MainFrame.h"
#include "link/LinkController.h"
#include "display/LeftDlg.h"
#include "logger/LoggerDownload.h"
#include "logger/LoggerUi.h"
#include "sim/SimHci.h"
#include "sim/SimSerialPort.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <ctime>
#include <vector>

namespace {

constexpr int kReadings = 50000;
constexpr int kUartBytesPerSecond = 11520;

double ThreadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

size_t EventBytes(const sim::Bytes& frame)
{
    size_t n = 0;
    for (const sim::Bytes& part : sim::SplitNotifications(frame))
        n += sim::NotificationEvent(sim::kDataHandle, part).size();
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    sim::RegisterSimPort();
    sim::SimConfig config;
    config.uartBytesPerSecond = kUartBytesPerSecond;
    auto simulator = sim::ResetSharedSimulator(config);
    sim::StoredRecord record;
    record.address = 1;
    record.function = 2;
    record.start = sim::MeterClock { 26, 12, 5, 9, 3, 7 };
    record.interval = 1;
    for (int i = 0; i < kReadings; ++i)
        record.readings.push_back(float(12.0 + 0.5 * std::sin(i / 100.0)));
    simulator->WithEngine([&](sim::CSimEngine& e) { e.Logger().SetRecords({ record }); });

    // The dongle bytes of the exchange: the list, the header and every block, and a command status
    // and a write response for each of the host's writes (request, acknowledgements, end).
    const int blocks = sim::CSimLogger::BlockCount(record);
    size_t bytes = EventBytes(sim::CSimLogger::ListEntry(record, 1)) + EventBytes(sim::CSimLogger::Header(record));
    for (int b = 1; b <= blocks; ++b)
        bytes += EventBytes(sim::CSimLogger::Block(record, b, b));
    const int writes = 1 + 1 + blocks + 1; // B0 95, B0 96, the acknowledgements, B0 A0
    bytes += size_t(writes)
        * (sim::CommandStatusEvent(0, sim::OpcodeWriteValue).size() + sim::WriteResponseEvent(0).size());
    const double uartSeconds = double(bytes) / kUartBytesPerSecond;

    CMainFrame frame;
    frame.resize(1280, 800);
    frame.show();
    frame.StartDemo();
    QElapsedTimer wait;
    wait.start();
    while (frame.leftDlg()->DisplayMode() != 1 && wait.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (frame.leftDlg()->DisplayMode() != 1) {
        std::fprintf(stderr, "the simulated meter did not connect\n");
        return 1;
    }

    CLoggerDownload* dl = frame.loggerDownload();
    std::vector<double> gaps; // ms between turns of the event loop
    QElapsedTimer gap;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(4);
    QElapsedTimer transfer;
    // The GUI thread's own CPU time in each gap tells its work from the machine's other load.
    std::vector<double> busy;
    double lastCpu = ThreadCpuMs();
    double worstSeen = 0, worstAt = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double ms = gap.nsecsElapsed() / 1e6;
        const double cpu = ThreadCpuMs();
        gaps.push_back(ms);
        busy.push_back(cpu - lastCpu);
        lastCpu = cpu;
        if (ms > worstSeen && transfer.isValid()) {
            worstSeen = ms;
            worstAt = transfer.nsecsElapsed() / 1e9;
        }
        gap.restart();
    });
    auto summary = [&gaps](double* worst, double* p99) {
        std::vector<double> v = gaps;
        std::sort(v.begin(), v.end());
        *worst = v.empty() ? 0 : v.back();
        *p99 = v.empty() ? 0 : v[size_t(0.99 * double(v.size() - 1))];
    };

    // The same measure over a few seconds of live readings first, on the same machine and load.
    gap.start();
    ticker.start();
    {
        QEventLoop idle;
        QTimer::singleShot(5000, &idle, &QEventLoop::quit);
        idle.exec();
    }
    ticker.stop();
    double idleWorst, idleP99;
    summary(&idleWorst, &idleP99);
    gaps.clear();
    busy.clear();

    bool complete = false;
    double transferSeconds = 0;
    QObject::connect(dl, &CLoggerDownload::finished, [&](bool ok, const QString& why) {
        transferSeconds = transfer.nsecsElapsed() / 1e9;
        complete = ok;
        if (!ok)
            std::fprintf(stderr, "download failed: %s\n", qPrintable(why));
        ticker.stop();
        QCoreApplication::quit();
    });
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE")) {
        QObject::connect(dl, &CLoggerDownload::listReceived, [&](const std::vector<LoggerListData>& l) {
            std::fprintf(stderr, "%.2f s: list of %zu\n", transfer.nsecsElapsed() / 1e9, l.size());
        });
        QObject::connect(dl, &CLoggerDownload::progressChanged, [&](const LoggerProgress& p) {
            if (p.blocksDone % 50 == 0)
                std::fprintf(stderr, "%.2f s: block %d of %d\n", transfer.nsecsElapsed() / 1e9, p.blocksDone, p.blocks);
        });
    }
    // (d) CPU time of each turn of the GUI thread's event loop: the thread's CPU time from one
    // "about to block" to the next. While it waits it spends none, so that is the work of the
    // turn (and of any turns that ran on without waiting, counted as one).
    std::vector<double> turns;
    double lastBlock = -1;
    bool measureTurns = false;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [&] {
        const double now = ThreadCpuMs();
        if (measureTurns && lastBlock >= 0)
            turns.push_back(now - lastBlock);
        lastBlock = now;
    });
    measureTurns = true;
    transfer.start();
    gap.start();
    ticker.start();
    frame.action(QStringLiteral("downloadLogger"))->trigger();
    app.exec();
    if (!complete || dl->Records().size() != 1 || dl->Records()[0].points.size() != size_t(kReadings)) {
        std::fprintf(stderr, "the record did not arrive whole; display mode %d, link state %d\n",
            frame.leftDlg()->DisplayMode(), int(frame.links().Dongle().State()));
        simulator->WithEngine([](sim::CSimEngine& e) {
            for (const auto& c : e.MeterCommands())
                std::fprintf(stderr, "  meter got %s at %lld ms\n", sim::ToHex(c.bytes).c_str(), (long long)c.timeMs);
            std::fprintf(stderr, "  now %lld ms, busy %d connected %d notify %d host commands %zu\n",
                (long long)e.NowMs(), int(e.Logger().Busy()), int(e.Connected()), int(e.NotificationsOn()),
                e.HostCommands().size());
            for (const auto& c : e.HostCommands())
                std::fprintf(stderr, "  host %04x at %lld\n", c.opcode, (long long)c.timeMs);
        });
        return 1;
    }

    const std::vector<double> downloadTurns = turns;
    turns.clear();
    // Shown from a turn of the event loop, as the program does, then painted.
    QElapsedTimer show;
    double showMs = 0;
    QTimer::singleShot(0, [&] {
        show.start();
        frame.loggerUi()->ShowRecord(dl->Records()[0]);
        showMs = show.nsecsElapsed() / 1e6;
    });
    {
        QEventLoop settle;
        QTimer::singleShot(1000, &settle, &QEventLoop::quit);
        settle.exec();
    }
    measureTurns = false;
    auto worstTurn = [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()); };
    auto p99Turn = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[size_t(0.99 * double(v.size() - 1))];
    };

    double worstMs, p99Ms;
    summary(&worstMs, &p99Ms);
    std::printf("record                               %d readings in %d blocks\n", kReadings, blocks);
    std::printf("dongle bytes of the exchange         %zu (UART byte-time %.2f s at %d bytes/s)\n", bytes, uartSeconds,
        kUartBytesPerSecond);
    std::printf(
        "transfer time                        %.2f s (includes the 500 ms pause after the record)\n", transferSeconds);
    std::printf("  as a fraction of the byte-time     %.3f\n", transferSeconds / uartSeconds);
    std::printf(
        "GUI loop gap while downloading       worst %.2f ms, p99 %.2f ms (%zu turns)\n", worstMs, p99Ms, gaps.size());
    std::printf("GUI loop gap with live readings only worst %.2f ms, p99 %.2f ms\n", idleWorst, idleP99);
    std::printf("GUI thread busy in one gap           worst %.2f ms while downloading\n",
        busy.empty() ? 0.0 : *std::max_element(busy.begin(), busy.end()));
    std::printf("  worst as a fraction of 16 ms       %.3f downloading, %.3f live only (target < 1)\n", worstMs / 16.0,
        idleWorst / 16.0);
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        std::fprintf(stderr, "worst gap %.2f ms at %.2f s of the transfer\n", worstSeen, worstAt);
    std::printf("show the record in its document      %.1f ms\n", showMs);
    std::printf("GUI thread CPU in one loop turn      downloading: worst %.2f ms, p99 %.3f ms (%zu turns)\n",
        worstTurn(downloadTurns), p99Turn(downloadTurns), downloadTurns.size());
    std::vector<double> busiest = turns;
    std::sort(busiest.begin(), busiest.end(), std::greater<double>());
    busiest.resize(std::min<size_t>(busiest.size(), 3));
    std::printf("                                     showing and painting the record: worst %.2f ms\n",
        worstTurn(turns));
    std::printf("                                     its busiest turns:");
    for (double t : busiest)
        std::printf(" %.2f", t);
    std::printf(" ms\n");
    std::printf("  worst turn as a fraction of 8 ms   %.3f (target < 1)\n",
        std::max(worstTurn(downloadTurns), worstTurn(turns)) / 8.0);
    frame.close();
    return 0;
}
