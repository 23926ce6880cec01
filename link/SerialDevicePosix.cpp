// The serial device on POSIX systems: a terminal in raw mode, read with poll() so that a
// self-pipe can wake a blocked read or write.
#include "link/SerialCore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string SystemText(int error)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text (possibly not in buffer); XSI fills buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* text = strerror_r(error, buffer, sizeof buffer);
#else
    const char* text = strerror_r(error, buffer, sizeof buffer) == 0 ? buffer : "";
#endif
    std::string s = text ? text : "";
    // The C library invents a text for codes it does not know; that is no message.
    if (s.rfind("Unknown error", 0) == 0)
        s.clear();
    return s;
}

speed_t BaudCode(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
#ifdef B460800
    case 460800:
        return B460800;
#endif
#ifdef B921600
    case 921600:
        return B921600;
#endif
    default:
        return 0;
    }
}

bool ApplyParameters(termios& tio, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    const speed_t speed = BaudCode(baud);
    if (speed == 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);

    tio.c_cflag &= ~CSIZE;
    switch (dataBits) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    case 8:
        tio.c_cflag |= CS8;
        break;
    default:
        return false;
    }

    tio.c_cflag &= ~(PARENB | PARODD);
#ifdef CMSPAR
    tio.c_cflag &= ~CMSPAR;
#endif
    tio.c_iflag &= ~(INPCK | ISTRIP);
    switch (parity) {
    case ParityNone:
        break;
    case ParityEven:
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK;
        break;
    case ParityOdd:
        tio.c_cflag |= PARENB | PARODD;
        tio.c_iflag |= INPCK;
        break;
#ifdef CMSPAR
    case ParityMark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case ParitySpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        return false;
    }

    switch (stopBits) {
    case StopBitsOne:
        tio.c_cflag &= ~CSTOPB;
        break;
    case StopBitsOneAndHalf: // POSIX knows only one or two; two is the safe side
    case StopBitsTwo:
        tio.c_cflag |= CSTOPB;
        break;
    default:
        return false;
    }

    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (flowControl) {
    case FlowNone:
        break;
    // termios has one hardware handshake; the DSR/DTR variants map onto it.
    case FlowCtsRts:
    case FlowCtsDtr:
    case FlowDsrRts:
    case FlowDsrDtr:
        tio.c_cflag |= CRTSCTS;
        break;
    case FlowXonXoff:
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 17;
        tio.c_cc[VSTOP] = 19;
        break;
    default:
        return false;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return true;
}

void DrainPipe(int fd)
{
    char sink[64];
    while (::read(fd, sink, sizeof sink) > 0) { }
}
} // namespace

struct CSerialDevice::Impl {
    int fd = -1; // -1 when closed
    int cancel[2] = { -1, -1 }; // self-pipe that wakes a blocked read
};

CSerialException::CSerialException(uint32_t error)
    : m_dwError(error)
{
    m_what = "serial port error " + std::to_string(error);
    const std::string text = SystemText(static_cast<int>(error));
    if (!text.empty())
        m_what += ": " + text;
}

std::string CSerialException::GetErrorMessage() const
{
    return SystemText(static_cast<int>(m_dwError));
}

CSerialDevice::CSerialDevice()
    : m_p(std::make_unique<Impl>())
{
    if (::pipe2(m_p->cancel, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_p->cancel[0] = -1;
        m_p->cancel[1] = -1;
    }
}

CSerialDevice::~CSerialDevice()
{
    Close();
    for (int& fd : m_p->cancel) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

std::string CSerialDevice::DeviceName(int port)
{
    return "/dev/ttyS" + std::to_string(port - 1);
}

void CSerialDevice::SetEventHandler(SerialEventHandler)
{
    // A terminal reports no communications events.
}

void CSerialDevice::Open(
    const std::string& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    Close();
        if (m_p->cancel[0] < 0 && ::pipe2(m_p->cancel, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_p->cancel[0] = m_p->cancel[1] = -1;
        throw CSerialException(static_cast<uint32_t>(errno));
    }
    ResetCancel();

    const int fd = ::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw CSerialException(static_cast<uint32_t>(errno));

    auto fail = [fd](int error) {
        ::close(fd);
        throw CSerialException(static_cast<uint32_t>(error));
    };
    // One user at a time, as a serial device is on other systems.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        fail(errno == EWOULDBLOCK ? EBUSY : errno);
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        fail(errno);
    if (!ApplyParameters(tio, baud, parity, dataBits, stopBits, flowControl))
        fail(EINVAL);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        fail(errno);

    m_p->fd = fd;
}

void CSerialDevice::Close()
{
    if (m_p->fd >= 0) {
        ::close(m_p->fd);
        m_p->fd = -1;
    }
}

bool CSerialDevice::IsOpen() const
{
    return m_p->fd >= 0;
}

size_t CSerialDevice::ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs)
{
    // Bytes are handed on as soon as nothing more is queued, which is always well inside the
    // inter-byte silence allowed, so the limit needs no timer of its own here.
    (void)interByteMs;
    if (m_p->fd < 0)
        throw CSerialException(EBADF);
    if (maxCount == 0)
        return 0;

    for (;;) {
        pollfd fds[2] = { { m_p->fd, POLLIN, 0 }, { m_p->cancel[0], POLLIN, 0 } };
        const int ready = ::poll(fds, m_p->cancel[0] >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw CSerialException(static_cast<uint32_t>(errno));
        }
        if (m_p->cancel[0] >= 0 && (fds[1].revents & POLLIN))
            return 0;
        if (fds[0].revents & POLLNVAL)
            throw CSerialException(EBADF);
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;

        size_t got = 0;
        while (got < maxCount) {
            const ssize_t n = ::read(m_p->fd, buffer + got, maxCount - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break; // nothing more queued: deliver what there is now
            // End of file or a read error: the device hung up or went away. Bytes already
            // taken are delivered first; the next read reports the failure.
            if (got > 0)
                return got;
            throw CSerialException(n == 0 ? static_cast<uint32_t>(EIO) : static_cast<uint32_t>(errno));
        }
        if (got > 0)
            return got;
        if (fds[0].revents & (POLLHUP | POLLERR))
            throw CSerialException(EIO); // hung up and nothing left to read
        // Woken without data: wait again.
    }
}

void CSerialDevice::CancelIo()
{
    if (m_p->cancel[1] >= 0) {
        const char one = 1;
        // A full pipe already says "cancelled"; nothing to do then.
        [[maybe_unused]] const ssize_t n = ::write(m_p->cancel[1], &one, 1);
    }
}

void CSerialDevice::ResetCancel()
{
    if (m_p->cancel[0] >= 0)
        DrainPipe(m_p->cancel[0]);
}

size_t CSerialDevice::Write(const void* buffer, size_t count)
{
    if (m_p->fd < 0)
        throw CSerialException(EBADF);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_p->fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Wait until the device takes more, or until the port is being shut down.
            pollfd fds[2] = { { m_p->fd, POLLOUT, 0 }, { m_p->cancel[0], POLLIN, 0 } };
            const int ready = ::poll(fds, m_p->cancel[0] >= 0 ? 2 : 1, -1);
            if (ready < 0 && errno != EINTR)
                throw CSerialException(static_cast<uint32_t>(errno));
            if (m_p->cancel[0] >= 0 && (fds[1].revents & POLLIN))
                throw CSerialException(ECANCELED);
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                throw CSerialException(EIO);
            continue;
        }
        throw CSerialException(n == 0 ? static_cast<uint32_t>(EIO) : static_cast<uint32_t>(errno));
    }
    return done;
}

void CSerialDevice::Purge(uint32_t flags)
{
    if (m_p->fd < 0)
        return;
    const bool rx = flags & (PurgeRxAbort | PurgeRxClear);
    const bool tx = flags & (PurgeTxAbort | PurgeTxClear);
    if (rx && tx)
        ::tcflush(m_p->fd, TCIOFLUSH);
    else if (rx)
        ::tcflush(m_p->fd, TCIFLUSH);
    else if (tx)
        ::tcflush(m_p->fd, TCOFLUSH);
}

