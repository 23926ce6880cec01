#pragma once
// Thin, exception-throwing wrapper of one serial device (POSIX termios here; a Win32 handle on
// Windows would sit behind the same interface). Virtual so that an in-process device, such as the
// simulated dongle, can stand in for the operating system's port.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

class CSerialException : public std::exception {
public:
    explicit CSerialException(uint32_t error);
    // The system's text for the error code; empty when the system has none.
    QString GetErrorMessage() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    uint32_t m_dwError;

private:
    std::string m_what;
};

// Port parameter codes of Open.
enum SerialParity { ParityEven = 0, ParityMark = 1, ParityNone = 2, ParityOdd = 3, ParitySpace = 4 };
enum SerialStopBits { StopBitsOne = 0, StopBitsOneAndHalf = 1, StopBitsTwo = 2 };
enum SerialFlowControl {
    FlowNone = 0,
    FlowCtsRts = 1,
    FlowCtsDtr = 2,
    FlowDsrRts = 3,
    FlowDsrDtr = 4,
    FlowXonXoff = 5
};
// Purge flags (the receive side is what the reader clears when it ends).
enum SerialPurge : uint32_t { PurgeTxAbort = 1, PurgeRxAbort = 2, PurgeTxClear = 4, PurgeRxClear = 8 };

class CSerialPort {
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port with the given number (see DeviceName).
    void Open(int port, int baud, int parity, int dataBits, int stopBits, int flowControl, bool overlapped);
    // Opens a device by name. Closes any open device first. Throws CSerialException.
    virtual void Open(const QString& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl,
        bool overlapped);
    virtual void Close();
    virtual bool IsOpen() const;

    // Blocks until at least one byte has arrived, CancelIo() is called, or the device fails.
    // Returns 0 when cancelled. Otherwise it gathers up to maxCount bytes and returns as soon as
    // no further byte is queued, and never holds a byte longer than interByteMs of silence.
    // Throws CSerialException when the device fails or disappears.
    virtual size_t ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs);
    // Wakes a pending ReadChunk (and makes the next one return 0 at once) until ResetCancel().
    virtual void CancelIo();
    virtual void ResetCancel();
    // Writes all bytes, waiting until the device has taken them. Throws CSerialException.
    virtual size_t Write(const void* buffer, size_t count);
    // Discards queued input and/or output (SerialPurge flags).
    virtual void Purge(uint32_t flags);

    // The device a port number names: "\\.\COMn" on Windows; elsewhere /dev/ttyS(n-1), the usual
    // mapping of COM1 to the first serial line.
    static QString DeviceName(int port);

protected:
    int m_hComm = -1; // file descriptor; -1 when closed
    bool m_bOverlapped = false;
    int m_hCancel[2] = { -1, -1 }; // self-pipe that wakes a blocked read
};
