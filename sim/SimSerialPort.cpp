#include "sim/SimSerialPort.h"

#include "link/ComPort.h"

#include <algorithm>
#include <iterator>

namespace sim {

CSimSerialPort::CSimSerialPort(std::shared_ptr<CSimRunner> runner)
    : m_runner(std::move(runner))
    , m_queue(std::make_shared<Queue>())
{
}

CSimSerialPort::~CSimSerialPort()
{
    Close();
}

void CSimSerialPort::Open(const QString&, int, int, int, int, int, bool)
{
    Close();
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->bytes.clear();
        m_queue->lost = false;
        m_queue->open = true;
    }
    std::weak_ptr<Queue> weak = m_queue;
    CSimRunner::Attachment a;
    a.data = [weak](const uint8_t* bytes, size_t count) {
        if (auto q = weak.lock()) {
            {
                std::lock_guard<std::mutex> lock(q->mutex);
                if (!q->open)
                    return;
                q->bytes.insert(q->bytes.end(), bytes, bytes + count);
            }
            q->ready.notify_all();
        }
    };
    a.lost = [weak] {
        if (auto q = weak.lock()) {
            {
                std::lock_guard<std::mutex> lock(q->mutex);
                q->lost = true;
            }
            q->ready.notify_all();
        }
    };
    m_nToken = m_runner->Attach(std::move(a));
    if (m_nToken == 0) {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->open = false;
        throw CSerialException(kErrorUnplugged);
    }
}

void CSimSerialPort::Close()
{
    if (m_nToken) {
        m_runner->Detach(m_nToken);
        m_nToken = 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->open = false;
        m_queue->bytes.clear();
    }
    m_queue->ready.notify_all();
}

bool CSimSerialPort::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    return m_queue->open;
}

size_t CSimSerialPort::ReadChunk(uint8_t* buffer, size_t maxCount, int)
{
    std::unique_lock<std::mutex> lock(m_queue->mutex);
    Queue& q = *m_queue;
    q.ready.wait(lock, [&q] { return q.cancelled || q.lost || !q.open || !q.bytes.empty(); });
    if (q.cancelled)
        return 0;
    if (q.lost)
        throw CSerialException(kErrorUnplugged);
    if (!q.open)
        throw CSerialException(kErrorNotOpen);
    const size_t n = std::min(maxCount, q.bytes.size());
    std::copy_n(q.bytes.begin(), n, buffer);
    q.bytes.erase(q.bytes.begin(), q.bytes.begin() + long(n));
    return n;
}

void CSimSerialPort::CancelIo()
{
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->cancelled = true;
    }
    m_queue->ready.notify_all();
}

void CSimSerialPort::ResetCancel()
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    m_queue->cancelled = false;
}

size_t CSimSerialPort::Write(const void* buffer, size_t count)
{
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        if (m_queue->lost)
            throw CSerialException(kErrorUnplugged);
        if (!m_queue->open)
            throw CSerialException(kErrorNotOpen);
    }
    m_runner->HostWrite(static_cast<const uint8_t*>(buffer), count);
    return count;
}

void CSimSerialPort::Purge(uint32_t flags)
{
    if (flags & (PurgeRxAbort | PurgeRxClear)) {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->bytes.clear();
    }
}

namespace {

std::mutex g_sharedMutex;
std::shared_ptr<CSimRunner> g_shared;
std::shared_ptr<CSimRunner> g_second;

} // namespace

std::shared_ptr<CSimRunner> SharedSimulator()
{
    std::lock_guard<std::mutex> lock(g_sharedMutex);
    if (!g_shared) {
        g_shared = std::make_shared<CSimRunner>();
        g_shared->Start();
    }
    return g_shared;
}

SimConfig SecondMeterConfig()
{
    SimConfig config;
    const uint8_t address[6] = { 0x23, 0x11, 0x00, 0x38, 0xC1, 0xA4 }; // a4:c1:38:00:11:23
    std::copy(std::begin(address), std::end(address), std::begin(config.meterAddress));
    config.meterName = "SimMeter 2";
    config.meterRssi = -61;
    const uint8_t dongle[6] = { 0x67, 0x55, 0x44, 0x33, 0x22, 0x11 };
    std::copy(std::begin(dongle), std::end(dongle), std::begin(config.dongleAddress));
    config.function = "adc";
    config.seed = 2;
    return config;
}

std::shared_ptr<CSimRunner> SecondSimulator()
{
    std::lock_guard<std::mutex> lock(g_sharedMutex);
    if (!g_second) {
        g_second = std::make_shared<CSimRunner>(SecondMeterConfig());
        g_second->Start();
    }
    return g_second;
}

std::shared_ptr<CSimRunner> ResetSharedSimulator(const SimConfig& config)
{
    auto fresh = std::make_shared<CSimRunner>(config);
    fresh->Start();
    std::shared_ptr<CSimRunner> old;
    {
        std::lock_guard<std::mutex> lock(g_sharedMutex);
        old = std::move(g_shared);
        g_shared = fresh;
    }
    return fresh; // the old one stops when its last port lets go of it
}

void RegisterSimPort()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CComPort::RegisterVirtualPort(
            QStringLiteral("sim"), [] { return std::make_unique<CSimSerialPort>(SharedSimulator()); });
        CComPort::RegisterVirtualPort(
            QStringLiteral("sim2"), [] { return std::make_unique<CSimSerialPort>(SecondSimulator()); });
    });
}

} // namespace sim
