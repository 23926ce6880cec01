#include "link/LinkStatus.h"

void CLinkStatus::PortOpened(const QString& port)
{
    m_strPort = port;
    m_state = State::Waiting;
}

bool CLinkStatus::FrameArrived()
{
    // Frames still queued after a disconnect do not bring the link back.
    if (m_state != State::Waiting && m_state != State::Silent && m_state != State::Reconnecting)
        return false;
    m_state = State::Connected;
    return true;
}

void CLinkStatus::Silent()
{
    if (m_state == State::Waiting || m_state == State::Connected)
        m_state = State::Silent;
}

void CLinkStatus::Disconnected()
{
    m_state = State::Disconnected;
}

void CLinkStatus::Reconnecting(const QString& text)
{
    if (text.isEmpty())
        return;
    m_strRetry = text;
    m_state = State::Reconnecting;
}

QString CLinkStatus::Text() const
{
    switch (m_state) {
    case State::NoPort:
        return QStringLiteral("Ready");
    case State::Waiting:
        return QStringLiteral("waiting for the meter on %1").arg(m_strPort);
    case State::Connected:
        return QStringLiteral("Connected on %1").arg(m_strPort);
    case State::Silent:
        return QStringLiteral("No data from the meter");
    case State::Disconnected:
        return QStringLiteral("Disconnected");
    case State::Reconnecting:
        return m_strRetry;
    }
    return QString();
}
