#include "link/DirectLink.h"

#include <QPointer>

CDirectLink::CDirectLink(IBleCentral& central, HexText& frameText, QObject* parent)
    : QObject(parent)
    , m_central(central)
    , m_frameText(frameText)
{
    connect(&m_central, &IBleCentral::ready, this, &CDirectLink::OnReady);
    connect(&m_central, &IBleCentral::failed, this, &CDirectLink::Ended);
    connect(&m_central, &IBleCentral::disconnected, this,
        [this] { Ended(QStringLiteral("The meter closed the connection.")); });
    connect(&m_central, &IBleCentral::notification, this, &CDirectLink::OnNotification);
}

CDirectLink::~CDirectLink()
{
    StopThread();
}

void CDirectLink::Connect(const QString& address)
{
    Close();
    m_strAddress = address.trimmed().toLower();
    m_state = State::Connecting;
    m_central.ConnectTo(m_strAddress);
}

void CDirectLink::Ended(const QString& reason)
{
    if (m_state == State::Idle)
        return;
    const bool wasConnected = m_state == State::Connected;
    StopThread();
    m_state = State::Idle;
    if (wasConnected)
        emit linkLost();
    else
        emit connectFailed(reason);
}

void CDirectLink::OnReady()
{
    if (m_state != State::Connecting)
        return;
    // The receive thread owns the frame text from here on; it starts empty, as a new dongle
    // connection's does.
    StartThread();
    if (!m_central.EnableNotifications()) {
        StopThread();
        m_state = State::Idle;
        m_central.Disconnect();
        emit connectFailed(QStringLiteral("The meter's notifications could not be switched on."));
        return;
    }
    m_state = State::Connected;
    emit connected();
}

void CDirectLink::Close()
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    StopThread();
    m_central.Disconnect();
}

bool CDirectLink::SendToMeter(const uint8_t* bytes, int count)
{
    if (!bytes || count <= 0)
        return false;
    const QByteArray value(reinterpret_cast<const char*>(bytes), count);
    // The central belongs to its own thread; callers may be anywhere.
    QPointer<CDirectLink> self(this);
    return QMetaObject::invokeMethod(
        this,
        [self, value] {
            if (self && self->m_state == State::Connected)
                self->m_central.WriteCommand(value);
        },
        Qt::QueuedConnection);
}

void CDirectLink::OnNotification(const QByteArray& value)
{
    if (m_state != State::Connected || value.isEmpty())
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_queue.size() >= kMaxQueued)
            m_queue.pop_front();
        m_queue.push_back(value);
    }
    m_wake.notify_one();
}

void CDirectLink::StartThread()
{
    StopThread();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = false;
        m_queue.clear();
    }
    m_frameText.clear();
    m_thread = std::thread([this] { ReceiveLoop(); });
}

void CDirectLink::StopThread()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void CDirectLink::ReceiveLoop()
{
    for (;;) {
        QByteArray value;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_bStop || !m_queue.empty(); });
            if (m_bStop)
                return;
            value = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // The same frame text and dispatcher as the dongle's notifications.
        m_frameText.appendBytes(reinterpret_cast<const uint8_t*>(value.constData()), size_t(value.size()));
        if (m_fnFrameHook)
            m_fnFrameHook();
    }
}
