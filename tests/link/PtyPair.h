#pragma once
// A pseudo-terminal pair for the link tests: the test holds the master and plays the device; the
// code under test opens the slave by its path like any serial device.
#include <QString>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

class PtyPair {
public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            CloseMaster();
            return;
        }
        const char* name = ::ptsname(m_master);
        m_slave = name ? QString::fromLocal8Bit(name) : QString();
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }
    int master() const { return m_master; }

    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool Write(const std::vector<uint8_t>& bytes) const { return Write(bytes.data(), bytes.size()); }
    bool Write(const uint8_t* bytes, size_t n) const
    {
        size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_master, bytes + done, n - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += size_t(w);
        }
        return true;
    }

    // Reads what is there within timeoutMs; an empty result on timeout or hang-up.
    std::vector<uint8_t> Read(int timeoutMs) const
    {
        pollfd p { m_master, POLLIN, 0 };
        if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
            return {};
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return {};
        return std::vector<uint8_t>(buffer, buffer + n);
    }

    // Reads until count bytes have come or timeoutMs passes without any.
    std::vector<uint8_t> ReadExactly(size_t count, int timeoutMs) const
    {
        std::vector<uint8_t> all;
        while (all.size() < count) {
            std::vector<uint8_t> part = Read(timeoutMs);
            if (part.empty())
                break;
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

private:
    int m_master = -1;
    QString m_slave;
};
