#pragma once
// The serial channel below Qt: the device of the operating system (POSIX termios or a Win32
// communications handle, one implementation per platform behind CSerialDevice), the stream
// interface a reader needs, and the exception they throw. Standard library only, so that the
// Win32 side also builds on its own with a cross compiler and is checked under Wine.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

// Carries the system's error code (errno on POSIX, GetLastError on Windows).
class CSerialException : public std::exception {
public:
    explicit CSerialException(uint32_t error);
    // The system's text for the error code (UTF-8); empty when the system has none.
    std::string GetErrorMessage() const;
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
// Purge flags (the receive side is what the reader clears when it ends). The values are the
// Win32 ones, so they pass through unchanged there.
enum SerialPurge : uint32_t { PurgeTxAbort = 1, PurgeRxAbort = 2, PurgeTxClear = 4, PurgeRxClear = 8 };

// Communications events (the Win32 event mask bits; other systems report none).
constexpr uint32_t kSerialAllEvents = 0x1FF;
// event(mask, status flag word, bytes queued in, bytes queued out), called on the reading thread.
using SerialEventHandler = std::function<void(uint32_t mask, uint32_t status, uint32_t inQueue, uint32_t outQueue)>;

// What a reader thread needs from a device. Every failure throws CSerialException.
class CSerialStream {
public:
    virtual ~CSerialStream() = default;

    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Blocks until at least one byte has arrived, CancelIo() is called, or the device fails.
    // Returns 0 when cancelled. Otherwise it gathers up to maxCount bytes and never holds a
    // byte longer than interByteMs of silence on the line.
    virtual size_t ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs) = 0;
    // Wakes a pending ReadChunk or Write (and makes the next ReadChunk return 0 at once) until
    // ResetCancel().
    virtual void CancelIo() = 0;
    virtual void ResetCancel() = 0;
    // Writes all bytes, waiting until the device has taken them.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Discards queued input and/or output (SerialPurge flags).
    virtual void Purge(uint32_t flags) = 0;
};

// One serial device of the operating system.
class CSerialDevice final : public CSerialStream {
public:
    CSerialDevice();
    ~CSerialDevice() override;
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // Opens a device by name (UTF-8): "\\.\COMn" on Windows, a path elsewhere. Closes any open
    // device first. One user at a time: a device open elsewhere cannot be opened.
    void Open(const std::string& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl);
    void Close() override;
    bool IsOpen() const override;
    size_t ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs) override;
    void CancelIo() override;
    void ResetCancel() override;
    size_t Write(const void* buffer, size_t count) override;
    void Purge(uint32_t flags) override;

    // Communications events seen while ReadChunk waits. Set before reading starts.
    void SetEventHandler(SerialEventHandler handler);

    // The device a port number names: "\\.\COMn" on Windows; elsewhere /dev/ttyS(n-1), the usual
    // mapping of COM1 to the first serial line.
    static std::string DeviceName(int port);

private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};

// True when the codes name a framing the channel can set up (baud rate checked by the device).
bool ValidSerialFraming(int parity, int dataBits, int stopBits, int flowControl);
