#pragma once
// When to try the meter again after the link was lost. The first attempt comes a second after the
// loss, and each failed one doubles the wait, up to 30 s between attempts, until one succeeds or
// the user cancels. The plan keeps no timer: it reads the time from the clock it is given and says
// how long the caller should wait, so tests drive it with a made-up clock.
#include <QString>
#include <cstdint>
#include <functional>

class CReconnectPlan {
public:
    using Clock = std::function<int64_t()>; // milliseconds from any fixed start

    static constexpr int kFirstDelayMs = 1000;
    static constexpr int kMaxDelayMs = 30000;

    explicit CReconnectPlan(Clock clock);

    // The wait before attempt n (1-based): 1 s, 2 s, 4 s, ... 30 s, 30 s ...
    static int DelayBefore(int attempt);

    // The link was declared lost: retrying starts, unless it is already under way.
    void LinkLost();
    // Whether retrying is under way (between LinkLost and Connected or Cancel).
    bool Active() const { return m_bActive; }
    // An attempt is running (between AttemptStarted and AttemptFailed or Connected).
    bool Trying() const { return m_bTrying; }
    // The number of the attempt that is running or comes next (1-based); 0 while idle.
    int Attempt() const { return m_bActive ? m_nAttempt : 0; }
    // Milliseconds until the next attempt is due: 0 when due, -1 while idle or trying.
    int64_t MsUntilNextAttempt() const;
    // The caller starts the attempt that is due. False (and nothing changes) when none is due.
    bool StartDueAttempt();
    // The running attempt failed: the next one waits twice as long.
    void AttemptFailed();
    // The meter is back: the plan is idle again and the next loss starts over at 1 s.
    void Connected();
    // The user gave up: idle, no more attempts.
    void Cancel();

    // "Link lost: next attempt in 4 s (attempt 3)", "Reconnecting (attempt 3)...", or empty.
    QString StatusText() const;

private:
    Clock m_clock;
    bool m_bActive = false;
    bool m_bTrying = false;
    int m_nAttempt = 0;
    int64_t m_dueMs = 0;
};
