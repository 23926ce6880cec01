#include "cli/LinkSession.h"

#include "link/BleLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "protocol/FrameDispatcher.h"
#include "sim/SimSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <mutex>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace cli {

namespace {

std::mutex g_outputLock;
#ifndef _WIN32
int g_signalPipe[2] = { -1, -1 };

void OnSignal(int)
{
    const char c = 's';
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
#endif

} // namespace

void PrepareLinkSession()
{
    sim::RegisterSimPort();
}

bool ParseSeconds(const Args& args, double* seconds)
{
    if (!args.has(QStringLiteral("--seconds")))
        return true;
    bool ok = false;
    const double s = args.value(QStringLiteral("--seconds")).toDouble(&ok);
    if (!ok || !(s > 0) || s > 1e7)
        return false;
    *seconds = s;
    return true;
}

int ParseMeterTarget(const Args& args, const char* verb, MeterTarget* target)
{
    target->port = args.value(QStringLiteral("--port"));
    target->address = args.value(QStringLiteral("--address")).trimmed().toLower();
    if (target->port.isEmpty() || target->address.isEmpty())
        return usageError(QStringLiteral("%1 needs --port and --address").arg(QLatin1String(verb)));
    uint8_t parsed[6];
    if (!CBleLink::ParseAddress(target->address, parsed))
        return usageError(QStringLiteral("not a device address: %1").arg(target->address));
    if (!ParseSeconds(args, &target->seconds))
        return usageError(QStringLiteral("--seconds needs a positive number"));
    return 0;
}

QString PortOpenReason(int openResult, uint32_t error)
{
    if (openResult == CBleLink::OpenNoPort)
        return QStringLiteral("it does not exist");
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("it does not exist");
    case ENOTTY:
    case EISDIR:
    case EINVAL:
        return QStringLiteral("it is not a serial device");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("permission denied");
    case EBUSY:
        return QStringLiteral("it is busy (another program has it open)");
    default:
        return error ? QString::fromLocal8Bit(std::strerror(int(error))) : QStringLiteral("unknown error");
    }
}

int PortError(const QString& port, int openResult, uint32_t error)
{
    std::fprintf(stderr, "multimeter-cli: cannot open port %s: %s\n", qPrintable(port),
        qPrintable(PortOpenReason(openResult, error)));
    return ExitIo;
}

void PrintLine(const char* text, size_t length)
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    std::fwrite(text, 1, length, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    PrintLine(bytes.constData(), size_t(bytes.size()));
}

void RunEventLoop(CBleLink* link, double seconds, int* status, CReconnector* reconnect)
{
    QObject guard;
    QObject::connect(
        link, &CBleLink::portLost, &guard,
        [link, status, reconnect] {
            if (reconnect)
                return;
            std::fprintf(stderr, "multimeter-cli: lost the port %s\n", qPrintable(link->m_ComPort.PortName()));
            *status = ExitIo;
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    // A run lasts at least the seconds asked for: a coarse timer may fire up to 5 % early, and a
    // precise one is still checked against the clock.
    QElapsedTimer ran;
    ran.start();
    QTimer runTimer;
    runTimer.setSingleShot(true);
    runTimer.setTimerType(Qt::PreciseTimer);
    const qint64 runMs = qint64(std::ceil(seconds * 1000.0));
    QObject::connect(&runTimer, &QTimer::timeout, &guard, [&runTimer, &ran, runMs] {
        const qint64 left = runMs - ran.elapsed();
        if (left > 0)
            runTimer.start(int(std::min<qint64>(left, std::numeric_limits<int>::max())));
        else
            QCoreApplication::quit();
    });
    if (seconds > 0)
        runTimer.start(int(std::min<qint64>(runMs, std::numeric_limits<int>::max())));

#ifndef _WIN32
    // SIGINT and SIGTERM end the loop, so that the link is closed in order. (On Windows Ctrl+C
    // ends the process, and the system closes the port.)
    std::unique_ptr<QSocketNotifier> notifier;
    if (g_signalPipe[0] < 0 && ::pipe(g_signalPipe) != 0)
        g_signalPipe[0] = g_signalPipe[1] = -1;
    if (g_signalPipe[0] >= 0) {
        notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &guard, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
    }
#endif
    QCoreApplication::exec();
#ifndef _WIN32
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#endif
}

} // namespace cli

std::function<void()> cli::EndOnSilence(
    CLinkController* links, std::atomic<bool>* savedReadings, const QString& address, bool* ended)
{
    // The window's rule on a finer clock and tick: the run ends within a quarter second of the
    // meter's allowed silence.
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    links->SetClock([clock] { return clock->elapsed(); }, 1000);
    links->SetWatchdogInterval(250);
    links->SetSavedReadingsFlag(savedReadings);
    QObject::connect(links, &CLinkController::linkLost, links, [links, address, ended] {
        if (*ended)
            return;
        *ended = true;
        // The watchdog gives a meter that sends its memory up one tick after its longer pause
        // ran out: a silence that long was that pause.
        const bool memory = links->SilentSeconds() >= CLinkController::kSavedReadingsSeconds;
        std::fprintf(stderr, "multimeter-cli: the meter %s sent nothing for %d s\n", qPrintable(address),
            memory ? CLinkController::kSavedReadingsSeconds : CLinkController::kSilenceSeconds);
        QCoreApplication::quit();
    });
    auto started = std::make_shared<std::atomic<bool>>(false);
    return [links, started] {
        if (started->exchange(true))
            return;
        QMetaObject::invokeMethod(links, [links] { links->LinkUp(); }, Qt::QueuedConnection);
    };
}

void cli::WatchAndReconnect(CReconnector* reconnect, const CFrameDispatcher* dispatcher)
{
    // Saved readings come in bursts with long pauses: the meter gets 21 s then.
    reconnect->WatchSilence(CLinkController::kSilenceSeconds, [dispatcher] {
        return dispatcher && dispatcher->m_bStoreMarker.load() ? CLinkController::kSavedReadingsSeconds : 0;
    });
    QObject::connect(reconnect, &CReconnector::lost, reconnect, [reconnect] {
        std::fprintf(stderr, "multimeter-cli: lost the meter %s on %s; reconnecting\n",
            qPrintable(reconnect->Address()), qPrintable(reconnect->Port()));
    });
    QObject::connect(reconnect, &CReconnector::attemptStarted, reconnect,
        [](int attempt) { std::fprintf(stderr, "multimeter-cli: reconnecting (attempt %d)\n", attempt); });
    QObject::connect(reconnect, &CReconnector::reconnected, reconnect,
        [] { std::fprintf(stderr, "multimeter-cli: reconnected\n"); });
}

void cli::ConnectWhenListed(CBleLink* link, const QString& address, std::atomic<bool>* listed)
{
    QObject::connect(
        link, &CBleLink::scanRow, link,
        [link, listed, address](const QStringList& columns) {
            if (columns.size() < 3 || columns[2].toLower() != address || listed->exchange(true))
                return;
            // Connect runs on the thread that owns the link (its pause is a timer there).
            QMetaObject::invokeMethod(
                link, [link, address] { link->Connect(address); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

int cli::ScanAndRun(CBleLink* link, const QString& port, double seconds, CReconnector* reconnect)
{
    int status = ExitOk;
    bool failed = false;
    link->Scan(port, [&](int result) {
        if (result != CBleLink::OpenOk) {
            failed = true;
            status = PortError(port, result, link->m_ComPort.LastError());
        }
    });
    if (failed)
        return status;
    RunEventLoop(link, seconds, &status, reconnect);
    if (reconnect)
        reconnect->Cancel();
    link->Close();
    return status;
}
