#pragma once
// Runs a simulated dongle and meter in real time on a thread of its own: host bytes go in through
// HostWrite, the dongle's bytes come out through the attached sink. The thread sleeps on a
// condition variable until the engine's next due time or new host bytes; it never polls.
#include "sim/SimEngine.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sim {

class CSimRunner {
public:
    // data(bytes, count): one delivery of dongle output, called on the runner's thread.
    // lost(): the simulated dongle was unplugged.
    struct Attachment {
        std::function<void(const uint8_t*, size_t)> data;
        std::function<void()> lost;
    };

    explicit CSimRunner(const SimConfig& config = SimConfig());
    ~CSimRunner(); // stops the thread
    CSimRunner(const CSimRunner&) = delete;
    CSimRunner& operator=(const CSimRunner&) = delete;

    void Start();
    void Stop();

    // Connects the host end; the previous attachment is replaced. Returns a token for Detach.
    uint64_t Attach(Attachment attachment);
    // Disconnects it if it is still the one attached; once this returns, no call reaches it.
    void Detach(uint64_t token);

    void HostWrite(const uint8_t* bytes, size_t count);

    // Runs fn with the engine under the runner's lock (from any thread; fn must not call back into
    // the runner). The thread re-examines the engine's timers afterwards.
    void WithEngine(const std::function<void(CSimEngine&)>& fn);

    // The dongle leaves the bus: the attachment is told, further Attach calls fail until Replug.
    void Unplug();
    void Replug();
    bool Unplugged() const;

private:
    void Run();
    int64_t NowMs() const;
    void Deliver(const std::vector<Bytes>& chunks);

    const std::chrono::steady_clock::time_point m_t0;
    mutable std::mutex m_mutex; // guards m_engine, m_bStop
    std::condition_variable m_wake;
    CSimEngine m_engine;
    bool m_bStop = false;
    std::thread m_thread;

    mutable std::mutex m_attachMutex; // guards the attachment; held while delivering to it
    Attachment m_attachment;
    uint64_t m_nToken = 0;
    bool m_bUnplugged = false;
};

} // namespace sim
