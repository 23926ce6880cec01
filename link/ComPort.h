#pragma once
// The port object the rest of the program holds: one serial device, a reader thread that hands
// every received chunk to one receive callback, and a write path. Only receive mode 2 (data and
// events both delivered) exists; it is the only one the program uses.
#include "link/SerialPort.h"
#include "link/SerialReader.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CComPort;
class CSerialPort;

// receive(owner, bytes, count): bytes valid only during the call; runs on the reader thread.
using ComReceiveCallback = void (*)(void* owner, const uint8_t* bytes, size_t count);
// event(port, mask, status, inQueue, outQueue): communications events (the program ignores them).
using ComEventCallback
    = void (*)(CSerialPort* port, uint32_t mask, uint32_t status, uint32_t inQueue, uint32_t outQueue);
// lost(owner, error): the device failed or disappeared and the reader has ended; runs on the
// reader thread just before it ends.
using ComLostCallback = void (*)(void* owner, uint32_t error);
using SerialPortFactory = std::function<std::unique_ptr<CSerialPort>()>;

// The port's reader thread: a CSerialReader on the port's device, delivering to the port.
class CReadComThread {
public:
    explicit CReadComThread(CComPort* port);
    virtual ~CReadComThread();

    // Starts the thread; throws std::system_error when the system cannot create it.
    void Start();
    // Cooperative stop: sets the stop flag, wakes the read and joins. No callback runs after it.
    // Called on the reader thread itself (from a callback) it only asks the thread to end.
    void Stop();
    void SetReadSize(int bytes) { m_reader.SetReadSize(bytes); }
    bool Ended() const { return m_reader.Ended(); }

    CComPort* m_pPort;

private:
    CSerialReader m_reader;
};

class CComPort {
public:
    CComPort();
    virtual ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // port: a number or "COMn" (see CSerialPort::DeviceName), a device path, or the name of a
    // registered virtual port such as "sim". mode must be 2. Returns false and leaves nothing open
    // when the device cannot be opened.
    bool Open(const QString& port, int mode, int baud, int parity = ParityNone, int dataBits = 8,
        int stopBits = StopBitsOne, int flowControl = FlowNone);
    bool Open(int port, int mode, int baud, int parity = ParityNone, int dataBits = 8, int stopBits = StopBitsOne,
        int flowControl = FlowNone);
    // Like Open, but whatever is open now stays open (reader, callbacks and all) until the new
    // device has opened; when it cannot be opened, the old link is left as it was.
    bool OpenInstead(const QString& port, int mode, int baud, int parity = ParityNone, int dataBits = 8,
        int stopBits = StopBitsOne, int flowControl = FlowNone);
    // Stops and joins the reader, then closes the device. Returns promptly; no callback runs after.
    // A write pending on another thread is abandoned (it returns what it had written). From
    // inside a callback it only asks the reader to end; the next Close or Open finishes the job.
    void Close();
    // Writes the whole buffer; blocks until written. Returns the count written, 0 when not open or
    // on failure. Safe from any thread.
    size_t Write(const void* buffer, size_t length);

    // The callbacks may be replaced while the reader runs; a call already under way finishes
    // with the old one.
    void SetReceiveCallback(ComReceiveCallback fn, void* owner);
    void SetEventCallback(ComEventCallback fn);
    void SetLostCallback(ComLostCallback fn);
    bool IsOpen() const;
    // True when the reader ended because the device failed (unplugged, simulator quit).
    bool HasFailed() const { return m_bFailed.load(); }
    uint32_t LastError() const { return m_nLastError.load(); }

    // The reader's read size (m_nReadSize); the link code changes it with the traffic.
    void SetReadSize(int bytes);
    int GetReadSize() const;

    // The name given to the last successful Open, and its number (0 when it was not a number).
    QString PortName() const { return m_strPortName; }
    int m_nPort = 0;

    // Virtual ports: a name that Open accepts in place of a device, made by the factory.
    static void RegisterVirtualPort(const QString& name, SerialPortFactory factory);
    static bool IsVirtualPort(const QString& name);
    // Resolves a port text to a device name and number; false when the text names nothing.
    static bool ResolvePortName(const QString& port, QString* deviceName, int* number);

private:
    friend class CReadComThread;
    void Deliver(const uint8_t* bytes, size_t count);
    void DeliverEvent(uint32_t mask, uint32_t status, uint32_t inQueue, uint32_t outQueue);
    void ReaderFailed(uint32_t error);

    void FinishClose();
    bool OpenDevice(const QString& port, int mode, int baud, int parity, int dataBits, int stopBits, int flowControl,
        bool keepOldUntilOpen);

    std::unique_ptr<CSerialPort> m_pSerialPort;
    mutable std::mutex m_callbackLock; // guards the three callbacks and their owner
    void* m_pCallbackOwner = nullptr;
    ComReceiveCallback m_pfnReceive = nullptr;
    ComEventCallback m_pfnEvent = nullptr;
    ComLostCallback m_pfnLost = nullptr;
    int m_nMode = 2;
    std::atomic<bool> m_hStopEvent { false };
    std::unique_ptr<CReadComThread> m_pReadThread;
    std::atomic<bool> m_bOpen { false };
    std::atomic<bool> m_bFailed { false };
    std::atomic<uint32_t> m_nLastError { 0 };
    std::atomic<int> m_nReadSize { 100 }; // kept for the next reader while none runs
    std::mutex m_threadLock; // guards m_pReadThread against SetReadSize from other threads
    std::mutex m_writeLock; // one writer at a time; Close takes it to retire the device
    QString m_strPortName;
};
