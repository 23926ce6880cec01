#pragma once
// Tells when the meter's bytes keep arriving but none of them makes a readable frame (a bad
// radio link, a meter speaking something else): after kQuietMs of that, the link is up yet the
// user sees nothing, and should be told so. Fed the dispatcher's counters on a clock the caller
// gives (milliseconds from any fixed start), so it runs without timers of its own.
#include "protocol/FrameDispatcher.h"

#include <QString>
#include <cstdint>

struct CFrameCounts {
    uint64_t notifications = 0; // notifications received so far
    uint64_t framesRead = 0; // frames and markers read so far
    uint64_t damaged = 0; // live frames dropped as damaged so far

    static CFrameCounts Of(const CFrameDispatcher& d)
    {
        return CFrameCounts { d.m_nNotifications.load(), d.m_nFramesRead.load(), d.m_nDamagedFrames.load() };
    }
};

class CReadableWatch {
public:
    static constexpr int64_t kQuietMs = 5000;
    static constexpr const char* kText = "receiving, but no readable frames";

    // Takes the counters as they stand at nowMs (time never goes back). Returns true while the
    // warning stands: notifications arrived within the last kQuietMs, and none of those since
    // the first that followed the last readable frame (at least kQuietMs ago) was readable.
    bool Update(int64_t nowMs, const CFrameCounts& counts);
    bool Active() const { return m_bActive; }
    // True once when the warning comes on (for one-off reports such as a line on stderr).
    bool TakeRaised();

    // The warning with the damaged frames counted since the last readable frame, e.g.
    // "receiving, but no readable frames (12 damaged)".
    QString Text() const;
    uint64_t DamagedSinceRead() const { return m_nDamagedSinceRead; }

private:
    CFrameCounts m_last;
    bool m_bStarted = false;
    bool m_bRun = false; // notifications have come since the last readable frame
    int64_t m_runStartMs = 0; // when the first of them was seen
    int64_t m_lastRxMs = 0;
    uint64_t m_damagedAtRead = 0;
    uint64_t m_nDamagedSinceRead = 0;
    bool m_bActive = false;
    bool m_bRaised = false;
};
