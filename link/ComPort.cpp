#include "link/ComPort.h"

#include <QMap>
#include <algorithm>
#include <cerrno>
#include <system_error>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace {

struct VirtualPorts {
    std::mutex lock;
    QMap<QString, SerialPortFactory> factories; // keyed by the lower-case name
};

// The port whose reader runs on this thread, so that a callback calling Close is recognised.
thread_local const CComPort* t_readerOf = nullptr;

VirtualPorts& virtualPorts()
{
    static VirtualPorts ports;
    return ports;
}

SerialPortFactory findVirtualPort(const QString& name)
{
    VirtualPorts& v = virtualPorts();
    std::lock_guard<std::mutex> guard(v.lock);
    return v.factories.value(name.trimmed().toLower());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Reader thread

CReadComThread::CReadComThread(CComPort* port)
    : m_pPort(port)
{
}

CReadComThread::~CReadComThread()
{
    Stop();
}

void CReadComThread::Start()
{
    CComPort* port = m_pPort;
    m_reader.Start(
        port->m_pSerialPort.get(), [port](const uint8_t* bytes, size_t count) { port->Deliver(bytes, count); },
        [port](uint32_t error) {
            if (!port->m_hStopEvent.load())
                port->ReaderFailed(error);
        },
        [port] {
#if !defined(_WIN32) && defined(__GLIBC__)
            pthread_setname_np(pthread_self(), "com-reader");
#endif
            t_readerOf = port;
        });
}

void CReadComThread::Stop()
{
    m_pPort->m_hStopEvent = true;
    m_reader.Stop();
}

// ---------------------------------------------------------------------------------------------
// Port object

CComPort::CComPort() = default;

CComPort::~CComPort()
{
    Close();
    FinishClose();
}

void CComPort::RegisterVirtualPort(const QString& name, SerialPortFactory factory)
{
    VirtualPorts& v = virtualPorts();
    std::lock_guard<std::mutex> guard(v.lock);
    const QString key = name.trimmed().toLower();
    if (factory)
        v.factories.insert(key, std::move(factory));
    else
        v.factories.remove(key);
}

bool CComPort::IsVirtualPort(const QString& name)
{
    return static_cast<bool>(findVirtualPort(name));
}

bool CComPort::ResolvePortName(const QString& port, QString* deviceName, int* number)
{
    const QString text = port.trimmed();
    QString device;
    int n = 0;
    bool ok = false;
    if (text.isEmpty())
        return false;
    if (IsVirtualPort(text)) {
        device = text;
    } else if (const int value = text.toInt(&ok); ok) {
        if (value <= 0)
            return false;
        n = value;
        device = CSerialPort::DeviceName(n);
    } else if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && text.size() > 3
        && (n = text.mid(3).toInt(&ok), ok)) {
        if (n <= 0)
            return false;
        device = CSerialPort::DeviceName(n);
    } else {
        device = text; // a device path
    }
    if (deviceName)
        *deviceName = device;
    if (number)
        *number = n;
    return true;
}

bool CComPort::Open(int port, int mode, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    return Open(QString::number(port), mode, baud, parity, dataBits, stopBits, flowControl);
}

bool CComPort::Open(const QString& port, int mode, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    return OpenDevice(port, mode, baud, parity, dataBits, stopBits, flowControl, false);
}

bool CComPort::OpenInstead(
    const QString& port, int mode, int baud, int parity, int dataBits, int stopBits, int flowControl)
{
    return OpenDevice(port, mode, baud, parity, dataBits, stopBits, flowControl, true);
}

bool CComPort::OpenDevice(const QString& port, int mode, int baud, int parity, int dataBits, int stopBits,
    int flowControl, bool keepOldUntilOpen)
{
    // The same device cannot be opened twice at once: reopening it closes it first.
    bool sameDevice = false;
    if (keepOldUntilOpen && IsOpen()) {
        QString newDevice, oldDevice;
        sameDevice = ResolvePortName(port, &newDevice, nullptr) && ResolvePortName(m_strPortName, &oldDevice, nullptr)
            && newDevice == oldDevice;
    }
    if (!keepOldUntilOpen || sameDevice) {
        Close();
        FinishClose();
    }
    if (mode != 2)
        return false;

    QString device;
    int number = 0;
    if (!ResolvePortName(port, &device, &number)) {
        m_nLastError = ENOENT;
        return false;
    }
    std::unique_ptr<CSerialPort> serial;
    const bool isVirtual = IsVirtualPort(device);
    if (isVirtual) {
        SerialPortFactory factory = findVirtualPort(device);
        serial = factory ? factory() : nullptr;
        if (!serial) {
            m_nLastError = ENODEV;
            return false;
        }
    } else {
        serial = std::make_unique<CSerialPort>();
    }
    m_nMode = mode;
    try {
        serial->Open(device, baud, parity, dataBits, stopBits, flowControl, true);
        serial->ResetCancel();
        serial->Purge(PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear);
    } catch (const CSerialException& e) {
        m_nLastError = e.m_dwError;
        serial->Close();
        return false;
    }

    // The new device is open: only now does the old one go.
    Close();
    FinishClose();
    m_pSerialPort = std::move(serial);
    m_hStopEvent = false;
    m_bFailed = false;
    m_nLastError = 0;
    m_nPort = number;
    m_strPortName = port.trimmed();

    m_pSerialPort->SetEventHandler([this](uint32_t mask, uint32_t status, uint32_t inQueue, uint32_t outQueue) {
        DeliverEvent(mask, status, inQueue, outQueue);
    });
    auto reader = std::make_unique<CReadComThread>(this);
    reader->SetReadSize(100);
    m_nReadSize = 100;
    try {
        reader->Start();
    } catch (const std::system_error& e) {
        m_nLastError = static_cast<uint32_t>(e.code().value());
        m_pSerialPort->Close();
        m_pSerialPort.reset();
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        m_pReadThread = std::move(reader);
    }
    m_bOpen = true;
    return true;
}

void CComPort::Close()
{
    if (t_readerOf == this) {
        // Called from a callback: the reader ends when it returns; the rest waits for the
        // next Close or Open on another thread.
        m_bOpen = false;
        m_hStopEvent = true;
        if (m_pSerialPort)
            m_pSerialPort->CancelIo();
        return;
    }
    FinishClose();
}

void CComPort::FinishClose()
{
    if (t_readerOf == this)
        return;
    m_bOpen = false;
    std::unique_ptr<CReadComThread> reader;
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        reader = std::move(m_pReadThread);
    }
    if (reader) {
        reader->Stop(); // also wakes a write waiting for room
        reader.reset();
    } else if (m_pSerialPort) {
        m_pSerialPort->CancelIo();
    }
    std::lock_guard<std::mutex> guard(m_writeLock);
    if (m_pSerialPort) {
        m_pSerialPort->Close();
        m_pSerialPort.reset();
    }
}

size_t CComPort::Write(const void* buffer, size_t length)
{
    if (!buffer || length == 0)
        return 0;
    std::lock_guard<std::mutex> guard(m_writeLock);
    if (!m_bOpen.load() || !m_pSerialPort || !m_pSerialPort->IsOpen())
        return 0;
    try {
        return m_pSerialPort->Write(buffer, length);
    } catch (const CSerialException& e) {
        m_nLastError = e.m_dwError;
        return 0;
    }
}

void CComPort::SetReceiveCallback(ComReceiveCallback fn, void* owner)
{
    std::lock_guard<std::mutex> guard(m_callbackLock);
    m_pfnReceive = fn;
    m_pCallbackOwner = owner;
}

void CComPort::SetEventCallback(ComEventCallback fn)
{
    std::lock_guard<std::mutex> guard(m_callbackLock);
    m_pfnEvent = fn;
}

void CComPort::SetLostCallback(ComLostCallback fn)
{
    std::lock_guard<std::mutex> guard(m_callbackLock);
    m_pfnLost = fn;
}

bool CComPort::IsOpen() const
{
    return m_bOpen.load();
}

void CComPort::SetReadSize(int bytes)
{
    const int size = std::clamp(bytes, 1, CSerialReader::kBufferSize);
    std::lock_guard<std::mutex> guard(m_threadLock);
    m_nReadSize = size;
    if (m_pReadThread)
        m_pReadThread->SetReadSize(size);
}

int CComPort::GetReadSize() const
{
    return m_nReadSize.load();
}

void CComPort::Deliver(const uint8_t* bytes, size_t count)
{
    ComReceiveCallback fn;
    void* owner;
    {
        std::lock_guard<std::mutex> guard(m_callbackLock);
        fn = m_pfnReceive;
        owner = m_pCallbackOwner;
    }
    if (fn && count > 0)
        fn(owner, bytes, count);
}

void CComPort::DeliverEvent(uint32_t mask, uint32_t status, uint32_t inQueue, uint32_t outQueue)
{
    ComEventCallback fn;
    {
        std::lock_guard<std::mutex> guard(m_callbackLock);
        fn = m_pfnEvent;
    }
    if (fn)
        fn(m_pSerialPort.get(), mask, status, inQueue, outQueue);
}

void CComPort::ReaderFailed(uint32_t error)
{
    m_nLastError = error;
    m_bFailed = true;
    ComLostCallback fn;
    void* owner;
    {
        std::lock_guard<std::mutex> guard(m_callbackLock);
        fn = m_pfnLost;
        owner = m_pCallbackOwner;
    }
    if (fn)
        fn(owner, error);
}
