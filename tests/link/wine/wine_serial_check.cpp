// Runs the cross-compiled serial driver under Wine with pseudo-terminals mapped as COM ports in a
// scratch Wine prefix: COM5 is metersim (the simulated dongle and meter), COM6 a terminal whose
// far end this program plays when the driver asks (see serial_driver.cpp). Prints the driver's
// report and exits with its result; 77 (skipped) when Wine is not installed.
//
// usage: wine_serial_check --driver EXE --metersim PATH --work DIR [--timeout SECONDS]
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/prctl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kSkipped = 77;

std::string g_log; // where Wine's own output goes

bool OnPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

// Starts argv in a process group of its own; stdin/stdout as given (-1: /dev/null or the log).
// The child is terminated when this program dies, so that nothing outlives a killed test.
pid_t Spawn(const std::vector<std::string>& args, int in, int out, bool toLog)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* log = g_log.c_str();
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // The child: only async-signal-safe calls until exec.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    const int logFd = open(log, O_WRONLY | O_APPEND | O_CREAT, 0644);
    const int nullFd = open("/dev/null", O_RDONLY);
    dup2(in >= 0 ? in : nullFd, 0);
    dup2(out >= 0 ? out : logFd, 1);
    if (toLog)
        dup2(logFd, 2);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits for pid until deadline; kills its group when it does not end. Returns the exit status
// (-1 when killed or failed).
int WaitUntil(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0)
            return -1;
        if (Clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void Relink(const std::string& link, const std::string& target)
{
    unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0)
        std::fprintf(stderr, "wine_serial_check: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
}

// The far end of COM6: a pseudo-terminal master; sends go out on a thread of their own.
class Terminal {
public:
    explicit Terminal(std::string link)
        : m_link(std::move(link))
    {
    }
    ~Terminal() { Close(); }

    bool Renew()
    {
        Close();
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return false;
        termios t {};
        if (tcgetattr(m_master, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_master, TCSANOW, &t);
        }
        const char* name = ptsname(m_master);
        if (!name)
            return false;
        Relink(m_link, name);
        m_stop = false;
        m_writer = std::thread([this] { Run(); });
        return true;
    }
    void Close()
    {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_stop = true;
            m_queue.clear();
            m_wake.notify_all();
        }
        if (m_writer.joinable())
            m_writer.join();
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }
    void Send(Bytes bytes)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_queue.push_back(std::move(bytes));
        m_wake.notify_all();
    }
    Bytes Receive(size_t count, int timeoutMs)
    {
        Bytes all;
        while (all.size() < count && m_master >= 0) {
            pollfd p { m_master, POLLIN, 0 };
            if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
                break;
            uint8_t buffer[4096];
            const ssize_t n = read(m_master, buffer, std::min(sizeof buffer, count - all.size()));
            if (n <= 0)
                break;
            all.insert(all.end(), buffer, buffer + n);
        }
        return all;
    }

private:
    void Run()
    {
        for (;;) {
            Bytes next;
            {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait(g, [&] { return m_stop.load() || !m_queue.empty(); });
                if (m_stop)
                    return;
                next = std::move(m_queue.front());
                m_queue.pop_front();
            }
            size_t done = 0;
            while (done < next.size() && !m_stop) {
                pollfd p { m_master, POLLOUT, 0 };
                if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLOUT))
                    continue;
                const ssize_t n = write(m_master, next.data() + done, next.size() - done);
                if (n > 0)
                    done += size_t(n);
                else if (n < 0 && errno != EINTR && errno != EAGAIN)
                    break;
            }
        }
    }

    std::string m_link;
    int m_master = -1;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Bytes> m_queue;
    std::atomic<bool> m_stop { false };
    std::thread m_writer;
};

std::string Hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

Bytes Unhex(const std::string& text)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    Bytes out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(uint8_t(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return out;
}

bool WriteLine(int fd, const std::string& line)
{
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Reads one line from fd before deadline; false at end of file or when time is up.
bool ReadLine(int fd, std::string& pending, std::string& line, Clock::time_point deadline)
{
    for (;;) {
        const size_t nl = pending.find('\n');
        if (nl != std::string::npos) {
            line = pending.substr(0, nl);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pending.erase(0, nl + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p { fd, POLLIN, 0 };
        if (poll(&p, 1, int(std::min<long long>(left, 1000))) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pending.append(buffer, size_t(n));
    }
}

int Usage()
{
    std::fprintf(stderr, "usage: wine_serial_check --driver EXE --metersim PATH --work DIR [--timeout SECONDS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string driver, metersim, work;
    int timeoutSeconds = 150;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--driver")
            driver = argv[i + 1];
        else if (a == "--metersim")
            metersim = argv[i + 1];
        else if (a == "--work")
            work = argv[i + 1];
        else if (a == "--timeout")
            timeoutSeconds = std::atoi(argv[i + 1]);
        else
            return Usage();
    }
    if (driver.empty() || metersim.empty() || work.empty() || timeoutSeconds <= 0)
        return Usage();
    if (!OnPath("wine") || !OnPath("wineserver") || !OnPath("wineboot")) {
        std::printf("wine is not installed (Debian packages wine and wine64): skipped\n");
        return kSkipped;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);

    // A fresh prefix every run: nothing left over from another run or another Wine version.
    const std::string prefix = work + "/prefix";
    g_log = work + "/wine.log";
    mkdir(work.c_str(), 0755);
    const pid_t rm = Spawn({ "rm", "-rf", prefix, g_log }, -1, -1, true);
    WaitUntil(rm, deadline);
    mkdir(prefix.c_str(), 0755);
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=", 1); // no Mono, Gecko or menus
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    pid_t server = -1;
    auto finish = [&](int code, pid_t sim) {
        if (sim > 0) {
            kill(-sim, SIGTERM);
            WaitUntil(sim, Clock::now() + std::chrono::seconds(5));
        }
        const pid_t stop = Spawn({ "wineserver", "-k" }, -1, -1, true);
        WaitUntil(stop, Clock::now() + std::chrono::seconds(10));
        if (server > 0)
            WaitUntil(server, Clock::now() + std::chrono::seconds(5));
        return code;
    };
    const auto bootStart = Clock::now();
    const pid_t boot = Spawn({ "wineboot", "-i" }, -1, -1, true);
    int booted = boot > 0 ? WaitUntil(boot, std::min(deadline, Clock::now() + std::chrono::seconds(100))) : -1;
    // Then let the server of the set-up end, and start one that stays for the whole run and
    // writes to the log (it reports the terminal's hang-up there).
    const pid_t settle = Spawn({ "wineserver", "-w" }, -1, -1, true);
    if (WaitUntil(settle, std::min(deadline, Clock::now() + std::chrono::seconds(30))) != 0)
        booted = -1;
    std::printf("wine prefix made in %.1f s\n", std::chrono::duration<double>(Clock::now() - bootStart).count());
    if (booted != 0) {
        std::printf("FAIL wineboot did not finish (see %s)\n", g_log.c_str());
        return finish(1, -1);
    }
    // Persistent, so that it does not come and go between the driver's steps, yet bounded.
    server = Spawn({ "wineserver", "--foreground", "--persistent=20" }, -1, -1, true);

    const std::string devices = prefix + "/dosdevices";
    int simOut[2];
    if (pipe2(simOut, O_CLOEXEC) != 0)
        return finish(1, -1);
    const pid_t sim = Spawn({ metersim, "--link", devices + "/com5", "--period", "100" }, -1, simOut[1], false);
    close(simOut[1]);
    std::string simPending, simPath;
    if (sim <= 0 || !ReadLine(simOut[0], simPending, simPath, std::min(deadline, Clock::now() + std::chrono::seconds(10)))) {
        std::printf("FAIL metersim did not start\n");
        return finish(1, sim);
    }
    std::printf("metersim on %s as COM5\n", simPath.c_str());
    Terminal terminal(devices + "/com6");
    if (!terminal.Renew()) {
        std::printf("FAIL no pseudo-terminal for COM6\n");
        return finish(1, sim);
    }

    int toDriver[2], fromDriver[2];
    if (pipe2(toDriver, O_CLOEXEC) != 0 || pipe2(fromDriver, O_CLOEXEC) != 0)
        return finish(1, sim);
    const pid_t wine = Spawn({ "wine", driver, "\\\\.\\COM6", "\\\\.\\COM5" }, toDriver[0], fromDriver[1], false);
    close(toDriver[0]);
    close(fromDriver[1]);
    if (wine <= 0) {
        std::printf("FAIL cannot start wine\n");
        return finish(1, sim);
    }

    pid_t simAlive = sim;
    std::string pending, line;
    bool sawEnd = false;
    while (ReadLine(fromDriver[0], pending, line, deadline)) {
        if (line.empty() || line[0] != '@') {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            sawEnd = sawEnd || line.rfind("ALL PASSED", 0) == 0 || line.rfind("FAILED", 0) == 0;
            continue;
        }
        std::string answer = "OK";
        if (line.rfind("@SEND ", 0) == 0) {
            terminal.Send(Unhex(line.substr(6)));
        } else if (line.rfind("@RECV ", 0) == 0) {
            size_t count = 0;
            int ms = 0;
            std::sscanf(line.c_str() + 6, "%zu %d", &count, &ms);
            answer = "DATA " + Hex(terminal.Receive(count, ms));
        } else if (line == "@VANISH") {
            terminal.Close();
        } else if (line == "@RENEW") {
            answer = terminal.Renew() ? "OK" : "FAILED";
        } else if (line == "@KILLSIM") {
            // Killed outright, as when the dongle is pulled: no goodbye on the line.
            kill(-simAlive, SIGKILL);
            WaitUntil(simAlive, Clock::now() + std::chrono::seconds(5));
            simAlive = -1;
        } else {
            answer = "UNKNOWN";
        }
        if (!WriteLine(toDriver[1], answer))
            break;
    }
    close(toDriver[1]);
    const int status = WaitUntil(wine, std::max(Clock::now() + std::chrono::seconds(5), deadline));
    close(fromDriver[0]);
    terminal.Close();
    if (!sawEnd)
        std::printf("FAIL the driver did not finish in time (%d s), exit status %d\n", timeoutSeconds, status);
    return finish(status == 0 && sawEnd ? 0 : 1, simAlive);
}
