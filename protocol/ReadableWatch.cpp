#include "protocol/ReadableWatch.h"

bool CReadableWatch::Update(int64_t nowMs, const CFrameCounts& counts)
{
    if (!m_bStarted) {
        m_bStarted = true;
        m_last = counts;
        m_damagedAtRead = counts.damaged;
    }
    if (counts.framesRead != m_last.framesRead) {
        m_bRun = false;
        m_damagedAtRead = counts.damaged;
    } else if (counts.notifications != m_last.notifications) {
        if (!m_bRun) {
            m_bRun = true;
            m_runStartMs = nowMs;
        }
        m_lastRxMs = nowMs;
    }
    m_last = counts;
    m_nDamagedSinceRead = counts.damaged - m_damagedAtRead;

    const bool active = m_bRun && nowMs - m_runStartMs >= kQuietMs && nowMs - m_lastRxMs < kQuietMs;
    if (active && !m_bActive)
        m_bRaised = true;
    m_bActive = active;
    return active;
}

bool CReadableWatch::TakeRaised()
{
    const bool raised = m_bRaised;
    m_bRaised = false;
    return raised;
}

QString CReadableWatch::Text() const
{
    return QStringLiteral("%1 (%2 damaged)").arg(QLatin1String(kText)).arg(m_nDamagedSinceRead);
}
