// The serial device on Windows: one communications handle opened for overlapped I/O. A read keeps
// an overlapped ReadFile and a WaitCommEvent pending at the same time and sleeps on them and on
// the stop event, so nothing polls; the stop event wakes a read or a write in progress.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include "link/SerialCore.h"

#include <windows.h>

#include <cstring>
#include <mutex>

namespace {

// Read interval given to the driver until the first read asks for its own.
constexpr DWORD kDefaultIntervalMs = 200;
// The interval a read actually uses: a read hands its bytes over once the line has been silent
// this long, so that a short packet reaches the reader within a few milliseconds (the next
// byte of a packet follows in far less) instead of waiting out the whole allowed gap.
constexpr DWORD kPromptIntervalMs = 10;
// A read that fails while the device still answers is retried this often before the device
// counts as lost (a line error, an abort by the driver).
constexpr int kMaxReadFailures = 3;

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length)
{
    if (length == 0)
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, int(length), &out[0], n, nullptr, nullptr);
    return out;
}

std::string SystemText(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
            | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 2048, nullptr);
    std::string text;
    if (n > 0 && buffer) {
        size_t length = n;
        while (length > 0 && (buffer[length - 1] == L' ' || buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n'))
            --length;
        text = Narrow(buffer, length);
    }
    if (buffer)
        LocalFree(buffer);
    return text;
}

[[noreturn]] void Fail(DWORD error)
{
    throw CSerialException(uint32_t(error));
}

// The DCB for the parameter codes of Open; false for a code that names nothing.
bool ApplyParameters(DCB& dcb, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    static const BYTE kParity[] = { EVENPARITY, MARKPARITY, NOPARITY, ODDPARITY, SPACEPARITY };
    static const BYTE kStopBits[] = { ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS };
    if (baud <= 0 || !ValidSerialFraming(parity, dataBits, stopBits, flowControl))
        return false;
    dcb.BaudRate = DWORD(baud);
    dcb.fBinary = TRUE;
    dcb.Parity = kParity[parity];
    dcb.fParity = parity != ParityNone;
    dcb.ByteSize = BYTE(dataBits);
    dcb.StopBits = kStopBits[stopBits];
    // A line error must not abort reads until someone clears it: the reader would stall.
    dcb.fAbortOnError = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutxCtsFlow = flowControl == FlowCtsRts || flowControl == FlowCtsDtr;
    dcb.fOutxDsrFlow = flowControl == FlowDsrRts || flowControl == FlowDsrDtr;
    dcb.fRtsControl
        = (flowControl == FlowCtsRts || flowControl == FlowDsrRts) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl
        = (flowControl == FlowCtsDtr || flowControl == FlowDsrDtr) ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    const bool xonXoff = flowControl == FlowXonXoff;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    if (xonXoff) {
        dcb.XonChar = 17;
        dcb.XoffChar = 19;
        dcb.XonLim = 100;
        dcb.XoffLim = 100;
    }
    return true;
}

HANDLE NewEvent()
{
    return CreateEventW(nullptr, TRUE, FALSE, nullptr); // manual reset, not signalled
}

void CloseEvent(HANDLE& event)
{
    if (event) {
        CloseHandle(event);
        event = nullptr;
    }
}

} // namespace

struct CSerialDevice::Impl {
    HANDLE comm = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr; // manual reset: set by CancelIo until ResetCancel
    HANDLE writeEvent = nullptr; // made at open, kept for the life of the handle
    OVERLAPPED read {};
    OVERLAPPED wait {};
    DWORD waitMask = 0;
    bool waitPending = false;
    // Cleared when the driver cannot wait for events (it refuses, or completes waits with an
    // empty mask); reads go on without them rather than spin.
    bool waitUsable = true;
    DWORD interval = kDefaultIntervalMs;
    int readFailures = 0;
    std::mutex writeLock;
    SerialEventHandler onEvent;

    void ReportEvent(DWORD mask)
    {
        if (!onEvent)
            return;
        DWORD errors = 0;
        COMSTAT stat {};
        uint32_t flags = 0;
        if (ClearCommError(comm, &errors, &stat)) {
            // The status flag word: the bit fields at the head of COMSTAT.
            static_assert(sizeof(COMSTAT) >= sizeof(uint32_t), "COMSTAT starts with its flag word");
            std::memcpy(&flags, &stat, sizeof flags);
        }
        onEvent(uint32_t(mask), flags, uint32_t(stat.cbInQue), uint32_t(stat.cbOutQue));
    }

    // Keeps one WaitCommEvent pending; completions that come at once are reported here.
    void ArmWait()
    {
        int immediate = 0;
        while (waitUsable && !waitPending) {
            ResetEvent(wait.hEvent);
            waitMask = 0;
            if (WaitCommEvent(comm, &waitMask, &wait)) {
                if (waitMask == 0 || ++immediate > 64) {
                    waitUsable = false; // the driver does not really wait: leave it
                    return;
                }
                ReportEvent(waitMask);
                continue;
            }
            if (GetLastError() == ERROR_IO_PENDING)
                waitPending = true;
            else
                waitUsable = false;
        }
    }

    void WaitDone()
    {
        waitPending = false;
        DWORD unused = 0;
        if (!GetOverlappedResult(comm, &wait, &unused, FALSE) || waitMask == 0) {
            waitUsable = false;
            return;
        }
        ReportEvent(waitMask);
    }

    // Ends the I/O this thread has pending; the OVERLAPPED records are free afterwards.
    void Abandon(bool readPending)
    {
        if (!readPending && !waitPending)
            return;
        ::CancelIo(comm);
        DWORD unused = 0;
        if (readPending)
            GetOverlappedResult(comm, &read, &unused, TRUE);
        if (waitPending)
            GetOverlappedResult(comm, &wait, &unused, TRUE);
        waitPending = false;
    }

    // A read failed with error. Throws when the device is gone; returns to retry otherwise.
    void ReadFailed(DWORD error)
    {
        DWORD errors = 0;
        COMSTAT stat {};
        const bool answers = ClearCommError(comm, &errors, &stat) != FALSE;
        if (!answers || error == ERROR_INVALID_HANDLE || ++readFailures >= kMaxReadFailures) {
            Abandon(false);
            Fail(error);
        }
    }

    void SetInterval(int interByteMs)
    {
        DWORD wanted = interByteMs > 0 ? DWORD(interByteMs) : kDefaultIntervalMs;
        if (wanted > kPromptIntervalMs)
            wanted = kPromptIntervalMs;
        if (wanted == interval)
            return;
        // A read returns once the buffer is full or the line was silent for the interval after
        // the first byte; it waits for that first byte without limit.
        COMMTIMEOUTS timeouts { wanted, 0, 0, 0, 0 };
        if (!SetCommTimeouts(comm, &timeouts))
            Fail(GetLastError());
        interval = wanted;
    }
};

CSerialException::CSerialException(uint32_t error)
    : m_dwError(error)
{
    m_what = "serial port error " + std::to_string(error);
    const std::string text = SystemText(DWORD(error));
    if (!text.empty())
        m_what += ": " + text;
}

std::string CSerialException::GetErrorMessage() const
{
    return SystemText(DWORD(m_dwError));
}

CSerialDevice::CSerialDevice()
    : m_p(std::make_unique<Impl>())
{
    m_p->stop = NewEvent();
}

CSerialDevice::~CSerialDevice()
{
    Close();
    CloseEvent(m_p->stop);
}

std::string CSerialDevice::DeviceName(int port)
{
    return "\\\\.\\COM" + std::to_string(port);
}

void CSerialDevice::SetEventHandler(SerialEventHandler handler)
{
    m_p->onEvent = std::move(handler);
}

void CSerialDevice::Open(
    const std::string& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    Close();
    if (!m_p->stop && !(m_p->stop = NewEvent()))
        Fail(GetLastError());
    ResetCancel();

    // No sharing: one user of the port at a time.
    HANDLE comm = CreateFileW(Widen(deviceName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (comm == INVALID_HANDLE_VALUE)
        Fail(GetLastError());

    Impl& p = *m_p;
    p.comm = comm;
    auto fail = [this](DWORD error) {
        Close();
        Fail(error);
    };
    if (!(p.writeEvent = NewEvent()) || !(p.read.hEvent = NewEvent()) || !(p.wait.hEvent = NewEvent()))
        fail(GetLastError());
    // Not every device takes queue sizes (virtual ports often do not); they are a wish.
    SetupComm(comm, 4096, 4096);

    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(comm, &dcb))
        fail(GetLastError());
    if (!ApplyParameters(dcb, baud, parity, dataBits, stopBits, flowControl))
        fail(ERROR_INVALID_PARAMETER);
    if (!SetCommState(comm, &dcb))
        fail(GetLastError());

    COMMTIMEOUTS timeouts { kDefaultIntervalMs, 0, 0, 0, 0 };
    if (!SetCommTimeouts(comm, &timeouts))
        fail(GetLastError());
    p.interval = kDefaultIntervalMs;
    if (!SetCommMask(comm, kSerialAllEvents))
        p.waitUsable = false; // data still flows; only the events are missing
    else
        p.waitUsable = true;
    p.waitPending = false;
    p.readFailures = 0;
}

void CSerialDevice::Close()
{
    Impl& p = *m_p;
    if (p.comm != INVALID_HANDLE_VALUE) {
        if (p.waitPending) {
            // Left pending by a reader that has ended; its record must not be freed under it.
            CancelIoEx(p.comm, &p.wait);
            DWORD unused = 0;
            GetOverlappedResult(p.comm, &p.wait, &unused, TRUE);
            p.waitPending = false;
        }
        CloseHandle(p.comm);
        p.comm = INVALID_HANDLE_VALUE;
    }
    CloseEvent(p.writeEvent);
    CloseEvent(p.read.hEvent);
    CloseEvent(p.wait.hEvent);
}

bool CSerialDevice::IsOpen() const
{
    return m_p->comm != INVALID_HANDLE_VALUE;
}

size_t CSerialDevice::ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs)
{
    Impl& p = *m_p;
    if (p.comm == INVALID_HANDLE_VALUE)
        Fail(ERROR_INVALID_HANDLE);
    if (maxCount == 0)
        return 0;
    p.SetInterval(interByteMs);
    const DWORD want = DWORD(maxCount > 0xFFFF ? 0xFFFF : maxCount);

    bool readPending = false;
    int emptyReads = 0;
    for (;;) {
        if (WaitForSingleObject(p.stop, 0) == WAIT_OBJECT_0) {
            p.Abandon(readPending);
            return 0;
        }
        if (!readPending) {
            ResetEvent(p.read.hEvent);
            DWORD got = 0;
            if (ReadFile(p.comm, buffer, want, &got, &p.read)) {
                if (got > 0) {
                    p.readFailures = 0;
                    return got;
                }
                // Nothing within the driver's timeouts: wait the interval on the stop event
                // before asking again, so a driver that keeps answering "nothing" is not spun on.
                if (++emptyReads > 1 && WaitForSingleObject(p.stop, p.interval) == WAIT_OBJECT_0) {
                    p.Abandon(false);
                    return 0;
                }
                continue;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                p.ReadFailed(error);
                continue;
            }
            readPending = true;
        }
        p.ArmWait();

        HANDLE handles[3] = { p.stop, p.read.hEvent, p.wait.hEvent };
        const DWORD woke = WaitForMultipleObjects(p.waitPending ? 3 : 2, handles, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0) {
            p.Abandon(readPending);
            return 0;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            readPending = false;
            DWORD got = 0;
            if (GetOverlappedResult(p.comm, &p.read, &got, FALSE)) {
                if (got > 0) {
                    p.readFailures = 0;
                    return got;
                }
                continue;
            }
            p.ReadFailed(GetLastError());
            continue;
        }
        if (woke == WAIT_OBJECT_0 + 2) {
            p.WaitDone();
            continue;
        }
        const DWORD error = GetLastError();
        p.Abandon(readPending);
        Fail(error);
    }
}

void CSerialDevice::CancelIo()
{
    if (m_p->stop)
        SetEvent(m_p->stop);
}

void CSerialDevice::ResetCancel()
{
    if (m_p->stop)
        ResetEvent(m_p->stop);
}

size_t CSerialDevice::Write(const void* buffer, size_t count)
{
    Impl& p = *m_p;
    std::lock_guard<std::mutex> guard(p.writeLock);
    if (p.comm == INVALID_HANDLE_VALUE)
        Fail(ERROR_INVALID_HANDLE);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        OVERLAPPED write {};
        write.hEvent = p.writeEvent;
        ResetEvent(write.hEvent);
        const DWORD chunk = DWORD(count - done > 0x10000 ? 0x10000 : count - done);
        DWORD put = 0;
        if (!WriteFile(p.comm, bytes + done, chunk, &put, &write)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING)
                Fail(error);
            // Writes never time out; only the port being shut down ends the wait early.
            HANDLE handles[2] = { write.hEvent, p.stop };
            const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0) {
                ::CancelIo(p.comm);
                GetOverlappedResult(p.comm, &write, &put, TRUE);
                Fail(ERROR_OPERATION_ABORTED);
            }
            if (!GetOverlappedResult(p.comm, &write, &put, FALSE))
                Fail(GetLastError());
        }
        if (put == 0)
            Fail(ERROR_WRITE_FAULT);
        done += put;
    }
    return done;
}

void CSerialDevice::Purge(uint32_t flags)
{
    if (m_p->comm == INVALID_HANDLE_VALUE)
        return;
    if (!PurgeComm(m_p->comm, DWORD(flags)))
        Fail(GetLastError());
}
