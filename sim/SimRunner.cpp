#include "sim/SimRunner.h"

namespace sim {

CSimRunner::CSimRunner(const SimConfig& config)
    : m_t0(std::chrono::steady_clock::now())
    , m_engine(config)
{
}

CSimRunner::~CSimRunner()
{
    Stop();
}

void CSimRunner::Start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable())
        return;
    m_bStop = false;
    m_thread = std::thread([this] { Run(); });
}

void CSimRunner::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

int64_t CSimRunner::NowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_t0).count();
}

uint64_t CSimRunner::Attach(Attachment attachment)
{
    std::lock_guard<std::mutex> lock(m_attachMutex);
    if (m_bUnplugged)
        return 0;
    m_attachment = std::move(attachment);
    return ++m_nToken;
}

void CSimRunner::Detach(uint64_t token)
{
    std::lock_guard<std::mutex> lock(m_attachMutex);
    if (token != 0 && token == m_nToken)
        m_attachment = Attachment();
}

void CSimRunner::HostWrite(const uint8_t* bytes, size_t count)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_engine.HostWrite(bytes, count, NowMs());
    }
    m_wake.notify_all();
}

void CSimRunner::WithEngine(const std::function<void(CSimEngine&)>& fn)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_engine.AdvanceTo(NowMs());
        fn(m_engine);
    }
    m_wake.notify_all();
}

void CSimRunner::Unplug()
{
    std::function<void()> lost;
    {
        std::lock_guard<std::mutex> lock(m_attachMutex);
        m_bUnplugged = true;
        lost = std::move(m_attachment.lost);
        m_attachment = Attachment();
        ++m_nToken;
    }
    if (lost)
        lost();
}

void CSimRunner::Replug()
{
    std::lock_guard<std::mutex> lock(m_attachMutex);
    m_bUnplugged = false;
}

bool CSimRunner::Unplugged() const
{
    std::lock_guard<std::mutex> lock(m_attachMutex);
    return m_bUnplugged;
}

void CSimRunner::Deliver(const std::vector<Bytes>& chunks)
{
    std::lock_guard<std::mutex> lock(m_attachMutex);
    if (!m_attachment.data)
        return; // nobody listening: the bytes are lost, as on a real line
    for (const Bytes& c : chunks)
        m_attachment.data(c.data(), c.size());
}

void CSimRunner::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        m_engine.AdvanceTo(NowMs());
        std::vector<Bytes> out = m_engine.TakeOutput();
        if (!out.empty()) {
            // Deliver outside the engine's lock so that the host may write back meanwhile.
            lock.unlock();
            Deliver(out);
            lock.lock();
            continue;
        }
        const int64_t next = m_engine.NextDueMs();
        if (next == kNever)
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, m_t0 + std::chrono::milliseconds(next));
    }
}

} // namespace sim
