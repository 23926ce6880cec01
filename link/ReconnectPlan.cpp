#include "link/ReconnectPlan.h"

#include <algorithm>

CReconnectPlan::CReconnectPlan(Clock clock)
    : m_clock(std::move(clock))
{
}

int CReconnectPlan::DelayBefore(int attempt)
{
    if (attempt <= 1)
        return kFirstDelayMs;
    // Doubling stops long before an int could overflow.
    int64_t delay = kFirstDelayMs;
    for (int i = 1; i < attempt && delay < kMaxDelayMs; ++i)
        delay *= 2;
    return int(std::min<int64_t>(delay, kMaxDelayMs));
}

void CReconnectPlan::LinkLost()
{
    if (m_bActive)
        return;
    m_bActive = true;
    m_bTrying = false;
    m_nAttempt = 1;
    m_dueMs = m_clock() + DelayBefore(1);
}

int64_t CReconnectPlan::MsUntilNextAttempt() const
{
    if (!m_bActive || m_bTrying)
        return -1;
    return std::max<int64_t>(0, m_dueMs - m_clock());
}

bool CReconnectPlan::StartDueAttempt()
{
    if (MsUntilNextAttempt() != 0)
        return false;
    m_bTrying = true;
    return true;
}

void CReconnectPlan::AttemptFailed()
{
    if (!m_bActive || !m_bTrying)
        return;
    m_bTrying = false;
    ++m_nAttempt;
    m_dueMs = m_clock() + DelayBefore(m_nAttempt);
}

void CReconnectPlan::Connected()
{
    m_bActive = m_bTrying = false;
    m_nAttempt = 0;
}

void CReconnectPlan::Cancel()
{
    Connected();
}

QString CReconnectPlan::StatusText() const
{
    if (!m_bActive)
        return QString();
    if (m_bTrying)
        return QStringLiteral("Reconnecting (attempt %1)...").arg(m_nAttempt);
    const int64_t seconds = (MsUntilNextAttempt() + 999) / 1000;
    return QStringLiteral("Link lost: next attempt in %1 s (attempt %2)").arg(seconds).arg(m_nAttempt);
}
