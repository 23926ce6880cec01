// metersim: the simulated dongle and meter behind a pseudo-terminal, so that a program can reach
// them through a real serial device path. Prints the path of the terminal on stdout, then runs
// until SIGINT or SIGTERM. The host may close and reopen the terminal as often as it likes.
#include "link/BleLink.h"
#include "sim/SimRunner.h"
#include "sim/SimScenario.h"

#include <QCoreApplication>
#include <QStringList>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = { -1, -1 };

void OnSignal(int)
{
    const char c = 's';
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}

int Usage(const char* why)
{
    if (why)
        std::fprintf(stderr, "metersim: %s\n", why);
    std::fprintf(stderr,
        "usage: metersim [--link PATH] [--scenario FILE] [--function NAME] [--name TEXT]\n"
        "                [--address MAC] [--period MS] [--seed N] [--silent-after MS]\n"
        "                [--osc] [--osc-stop-after N]\n"
        "                [--garbage-every N] [--split BYTES] [--drop-every N] [--uart-rate BYTES]\n"
        "                [--logger-empty] [--logger-fault-record N] [--logger-wrong-block N]\n"
        "                [--logger-silence N] [--logger-drop-link N]\n"
        "  --address MAC      the device address the meter advertises (default a4:c1:38:00:11:22);\n"
        "                     give each of several metersims its own\n"
        "  --silent-after MS  the meter falls silent for good MS after its notifications were first\n"
        "                     switched on; its link stays up\n"
        "  --garbage-every N  stray bytes before every Nth event\n"
        "  --split BYTES      every event delivered in pieces of BYTES bytes\n"
        "  --drop-every N     one byte missing from every Nth event\n"
        "  --uart-rate BYTES  dongle output paced at BYTES bytes per second (11520: 115200 baud)\n"
        "  --logger-empty     the meter's logger holds no records\n"
        "  --logger-fault-record N  the logger faults hit the Nth record asked for (default 2)\n"
        "  --logger-wrong-block N   that record's block N comes numbered N+1\n"
        "  --logger-silence N       the meter falls silent before that record's block N\n"
        "  --logger-drop-link N     the link drops before that record's block N\n"
        "  --osc              the meter starts in its oscilloscope mode (sends a2a2a2a2)\n"
        "  --osc-stop-after N a download of the stored waveforms stops after N of the ten\n"
        "functions:");
    for (const sim::MeterFunction& f : sim::MeterFunctions())
        std::fprintf(stderr, " %s", f.id);
    std::fprintf(stderr, "\n");
    return 1;
}

// Opens the master side of a new pseudo-terminal in raw mode; returns -1 on failure.
int OpenMaster(std::string* slavePath)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
        close(fd);
        return -1;
    }
    termios t {};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
        tcsetattr(fd, TCSANOW, &t);
    }
    const char* name = ptsname(fd);
    if (!name) {
        close(fd);
        return -1;
    }
    *slavePath = name;
    return fd;
}

// Writes as much as the terminal takes; what does not fit is dropped, as an overrun UART would.
void WriteAll(int fd, const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        count -= size_t(n);
    }
}

bool HungUp(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN);
}

void Drain(int fd)
{
    char buf[4096];
    while (read(fd, buf, sizeof buf) > 0) { }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // for QFile and QDateTime; no event loop runs
    QStringList args = app.arguments().mid(1);
    QString linkPath, scenarioPath;
    sim::SimConfig config;
    sim::FaultSwitches faults;
    sim::LoggerFaults loggerFaults;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        QString v;
        bool ok = true;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            Usage(nullptr);
            return 0;
        } else if (a == QLatin1String("--link")) {
            ok = value(&linkPath);
        } else if (a == QLatin1String("--scenario")) {
            ok = value(&scenarioPath);
        } else if (a == QLatin1String("--function")) {
            ok = value(&v) && sim::FindMeterFunction(v.toStdString());
            config.function = v.toStdString();
        } else if (a == QLatin1String("--name")) {
            ok = value(&v) && !v.isEmpty() && v.toUtf8().size() <= 22;
            config.meterName = v.toStdString();
        } else if (a == QLatin1String("--address")) {
            ok = value(&v) && CBleLink::ParseAddress(v, config.meterAddress);
        } else if (a == QLatin1String("--silent-after")) {
            ok = value(&v);
            config.silentAfterMs = v.toLongLong(&ok);
            ok = ok && config.silentAfterMs >= 0;
        } else if (a == QLatin1String("--period")) {
            ok = value(&v);
            config.framePeriodMs = v.toInt(&ok);
            ok = ok && config.framePeriodMs >= 10 && config.framePeriodMs <= 60000;
        } else if (a == QLatin1String("--seed")) {
            ok = value(&v);
            config.seed = v.toUInt(&ok);
        } else if (a == QLatin1String("--osc")) {
            config.oscMode = true;
        } else if (a == QLatin1String("--osc-stop-after")) {
            ok = value(&v);
            config.oscStopAfter = v.toInt(&ok);
            ok = ok && config.oscStopAfter >= 0 && config.oscStopAfter <= 10;
        } else if (a == QLatin1String("--garbage-every") || a == QLatin1String("--split")
            || a == QLatin1String("--drop-every")) {
            ok = value(&v);
            const int n = v.toInt(&ok);
            ok = ok && n >= 0 && n <= 255;
            int& field = a == QLatin1String("--garbage-every") ? faults.garbageEvery
                : a == QLatin1String("--split")                ? faults.splitBytes
                                                               : faults.dropEvery;
            field = n;
        } else if (a == QLatin1String("--uart-rate")) {
            ok = value(&v);
            config.uartBytesPerSecond = v.toInt(&ok);
            ok = ok && config.uartBytesPerSecond >= 0 && config.uartBytesPerSecond <= 10000000;
        } else if (a == QLatin1String("--logger-empty")) {
            loggerFaults.emptyList = true;
        } else if (a == QLatin1String("--logger-fault-record") || a == QLatin1String("--logger-wrong-block")
            || a == QLatin1String("--logger-silence") || a == QLatin1String("--logger-drop-link")) {
            ok = value(&v);
            const int n = v.toInt(&ok);
            ok = ok && n >= 1 && n <= 65535;
            int& field = a == QLatin1String("--logger-fault-record") ? loggerFaults.faultRecord
                : a == QLatin1String("--logger-wrong-block")       ? loggerFaults.wrongBlock
                : a == QLatin1String("--logger-silence")           ? loggerFaults.silenceBlock
                                                                   : loggerFaults.dropLinkBlock;
            field = n;
        } else {
            return Usage(qPrintable(QStringLiteral("unknown argument %1").arg(a)));
        }
        if (!ok)
            return Usage(qPrintable(QStringLiteral("bad or missing value for %1").arg(a)));
    }

    sim::Scenario scenario;
    if (!scenarioPath.isEmpty()) {
        QString error;
        if (!sim::LoadScenarioFile(scenarioPath, &scenario, &error)) {
            std::fprintf(stderr, "metersim: %s\n", qPrintable(error));
            return 1;
        }
    }

    std::string slavePath;
    const int master = OpenMaster(&slavePath);
    if (master < 0) {
        std::fprintf(stderr, "metersim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 2;
    }
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 2;
    struct sigaction sa { };
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Opens of the terminal by the host tell us when it is back after a close.
    const int notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify >= 0)
        inotify_add_watch(notify, slavePath.c_str(), IN_OPEN);

    if (!linkPath.isEmpty()) {
        struct stat st { };
        const QByteArray p = linkPath.toLocal8Bit();
        if (lstat(p.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(p.constData());
        if (symlink(slavePath.c_str(), p.constData()) != 0) {
            std::fprintf(stderr, "metersim: cannot make the link %s: %s\n", p.constData(), std::strerror(errno));
            return 2;
        }
    }

    std::atomic<bool> hostPresent { true };
    sim::CSimRunner runner(config);
    sim::CSimRunner::Attachment attachment;
    attachment.data = [&](const uint8_t* bytes, size_t count) {
        if (hostPresent.load())
            WriteAll(master, bytes, count);
    };
    runner.Attach(std::move(attachment));
    runner.WithEngine([&](sim::CSimEngine& e) {
        e.SetFaults(faults);
        e.Logger().SetFaults(loggerFaults);
        if (!scenario.empty())
            e.PlayScenario(scenario);
    });
    runner.Start();

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    bool running = true;
    while (running) {
        pollfd fds[3] = {
            { g_signalPipe[0], POLLIN, 0 },
            { hostPresent.load() ? master : -1, POLLIN, 0 },
            { notify, POLLIN, 0 },
        };
        // Without inotify, look for the host's return twice a second while it is away.
        const int timeout = (notify < 0 && !hostPresent.load()) ? 500 : -1;
        const int r = poll(fds, 3, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            running = false;
        if (fds[1].revents & POLLIN) {
            uint8_t buf[512];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0)
                runner.HostWrite(buf, size_t(n));
            else if (n < 0 && errno == EIO)
                fds[1].revents |= POLLHUP;
        }
        if (fds[1].revents & POLLHUP && !(fds[1].revents & POLLIN)) {
            // The host closed the terminal: the dongle's bytes go nowhere until it reopens it.
            hostPresent = false;
        }
        if (!hostPresent.load()) {
            if (notify >= 0 && (fds[2].revents & POLLIN))
                Drain(notify);
            if (!HungUp(master))
                hostPresent = true;
        } else if (notify >= 0 && (fds[2].revents & POLLIN)) {
            Drain(notify);
        }
    }

    runner.Stop();
    if (!linkPath.isEmpty())
        unlink(linkPath.toLocal8Bit().constData());
    close(master);
    return 0;
}
