#include "link/LinkController.h"

#include "link/DirectLink.h"
#include "link/Reconnector.h"

#include <QDateTime>
#include <QThread>
#include <algorithm>

namespace {

constexpr int kMeterBaud = 9600;
constexpr int kOpenTries = 3;
constexpr int kReadSize = 100;

// The last reference to a direct link may be dropped by a sender on another thread; the link is
// a QObject of the owner's thread and is deleted there.
void DeleteOnOwnThread(CDirectLink* link)
{
    if (QThread::currentThread() == link->thread())
        delete link;
    else
        link->deleteLater();
}

} // namespace

CLinkController::CLinkController(QObject* parent)
    : QObject(parent)
    , m_fnNow([] { return QDateTime::currentSecsSinceEpoch(); })
{
    m_commandWriter.setMaxThreadCount(1);
    m_link.SetArrivalHook([this] { Heard(); });
    m_link.SetFrameHook([this] {
        if (m_fnFrameHook)
            m_fnFrameHook();
    });
    connect(&m_link, &CBleLink::linkLost, this, &CLinkController::linkEnded);
    m_watchdog.setInterval(1000);
    connect(&m_watchdog, &QTimer::timeout, this, &CLinkController::OnWatchdog);

    m_pReconnector = new CReconnector(m_link, {}, this);
    m_pReconnector->SetSilence([this] { return SilentSeconds(); });
    connect(m_pReconnector, &CReconnector::statusChanged, this, [this](const QString& text) {
        emit reconnectingChanged(m_pReconnector->Active());
        if (text.isEmpty())
            return;
        m_status.Reconnecting(text);
        Publish();
    });
    // The direct link restarts the watchdog itself when it connects (with its own name).
    connect(m_pReconnector, &CReconnector::linkReopened, this, [this] {
        const std::shared_ptr<CDirectLink> direct = Direct();
        if (!direct || !direct->IsConnected())
            LinkUp();
    });
}

CLinkController::~CLinkController()
{
    Close();
    std::lock_guard<std::mutex> guard(m_directLock);
    m_pDirect.reset();
}

void CLinkController::SetClock(Clock now, int ticksPerSecond)
{
    m_fnNow = std::move(now);
    m_nTicksPerSecond = std::max(1, ticksPerSecond);
}

std::shared_ptr<CDirectLink> CLinkController::Direct() const
{
    std::lock_guard<std::mutex> guard(m_directLock);
    return m_pDirect;
}

IBleCentral* CLinkController::Central()
{
    if (!m_pCentral && m_fnMakeCentral)
        SetBleCentral(m_fnMakeCentral());
    return m_pCentral;
}

void CLinkController::CloseDirect()
{
    if (const std::shared_ptr<CDirectLink> direct = Direct())
        direct->Close();
}

void CLinkController::SetBleCentral(IBleCentral* central)
{
    std::shared_ptr<CDirectLink> next;
    if (central) {
        next = std::shared_ptr<CDirectLink>(new CDirectLink(*central, m_link.m_strMeterRx), &DeleteOnOwnThread);
        next->SetFrameHook([this] {
            Heard();
            if (m_fnFrameHook)
                m_fnFrameHook();
        });
        CDirectLink* link = next.get();
        connect(link, &CDirectLink::connected, this, [this, link] {
            LinkUp();
            m_status.PortOpened(QStringLiteral("Bluetooth %1").arg(link->Address()));
            Publish();
            m_pReconnector->LinkReopened();
        });
        connect(link, &CDirectLink::connectFailed, this, [this](const QString& reason) {
            if (m_pReconnector->Plan().Trying()) {
                m_pReconnector->AttemptFailed();
                return;
            }
            emit statusChanged(reason);
        });
        // A lost direct link is left to the watchdog, like a silent dongle; only a transfer in
        // progress hears of it at once.
        connect(link, &CDirectLink::linkLost, this, &CLinkController::linkEnded);
    }
    CloseDirect(); // its receive thread stops before it is let go
    std::shared_ptr<CDirectLink> old;
    {
        std::lock_guard<std::mutex> guard(m_directLock);
        old = std::exchange(m_pDirect, std::move(next));
    }
    m_pCentral = central;
}

bool CLinkController::TryOpenMeterPort(const QString& port, bool keepOldLink)
{
    CComPort& com = m_link.m_ComPort;
    if (!keepOldLink)
        com.Close();
    // The receive path goes in first, so that no early byte is lost.
    com.SetReceiveCallback(&CBleLink::OnComData, &m_link);
    com.SetEventCallback(nullptr);
    for (int attempt = 0; attempt < kOpenTries; ++attempt) {
        if (keepOldLink ? com.OpenInstead(port, 2, kMeterBaud) : com.Open(port, 2, kMeterBaud)) {
            com.SetReadSize(kReadSize);
            return true;
        }
    }
    return false;
}

void CLinkController::LinkUp()
{
    m_timeLastRx.store(Now());
    m_bOscMode.store(false);
    m_watchdog.start();
    // A new connection shows nothing of the previous meter: the display stays blank and the
    // status waits until this meter's first frame.
    emit connected();
    m_status.PortOpened(m_link.m_ComPort.PortName());
    Publish();
}

void CLinkController::ConnectDirect(const QString& address)
{
    const std::shared_ptr<CDirectLink> direct = Direct();
    if (!direct)
        return;
    // One link at a time feeds the frame text.
    m_link.Close();
    m_watchdog.stop();
    m_pReconnector->Remember(QStringLiteral("bluetooth"), address);
    m_pReconnector->SetAttempt([this](const QString& a) {
        if (const std::shared_ptr<CDirectLink> d = Direct())
            d->Connect(a);
    });
    direct->Connect(address);
    emit statusChanged(QStringLiteral("Connecting to %1 over Bluetooth...").arg(address));
}

void CLinkController::ResetLinks()
{
    m_pReconnector->Cancel();
    m_pReconnector->Forget();
    m_pReconnector->SetAttempt({});
    CloseDirect();
}

void CLinkController::Disconnect()
{
    // Closing the whole link also drops a Scan or Connect step still pending.
    ResetLinks();
    m_link.Close();
    m_bMeterSeen.store(false);
    m_bOscMode.store(false);
    m_watchdog.stop();
    m_status.Disconnected();
    Publish();
    emit disconnected();
}

void CLinkController::Close()
{
    // The receive threads run the frame hook: they stop before its owner goes.
    ResetLinks();
    m_link.Close();
    m_commandWriter.waitForDone();
    m_watchdog.stop();
}

bool CLinkController::SendToMeter(const uint8_t* bytes, int count)
{
    // The reference keeps the direct link alive for the write, even if it is replaced meanwhile.
    const std::shared_ptr<CDirectLink> direct = Direct();
    IMeterLink& up = direct && direct->IsConnected() ? static_cast<IMeterLink&>(*direct) : m_link;
    return up.SendToMeter(bytes, count);
}

void CLinkController::SendLater(const QByteArray& command)
{
    m_commandWriter.start([this, command] {
        SendToMeter(reinterpret_cast<const uint8_t*>(command.constData()), int(command.size()));
    });
}

void CLinkController::Heard()
{
    m_timeLastRx.store(Now());
    m_bMeterSeen.store(true);
}

void CLinkController::FrameDecoded()
{
    m_bOscMode.store(false);
    m_pReconnector->FrameSeen();
    if (m_status.FrameArrived())
        Publish();
}

void CLinkController::OscModeEntered()
{
    m_bOscMode.store(true);
    m_pReconnector->FrameSeen();
    if (m_status.FrameArrived())
        Publish();
}

void CLinkController::OnWatchdog()
{
    emit watchdogTick();
    const qint64 silent = SilentSeconds();
    if (m_pSavedReadings && m_pSavedReadings->load()) {
        // Saved readings come in bursts with long pauses; give the meter longer.
        if (silent >= kSavedReadingsSeconds) {
            m_pSavedReadings->store(false);
            m_bMeterSeen.store(false);
        }
        return;
    }
    if (silent >= kSilenceSeconds)
        LinkLost();
}

void CLinkController::LinkLost()
{
    m_bMeterSeen.store(false);
    ++m_nLostCount;
    // Only the first loss blanks the display, which leaves the oscilloscope's look too.
    if (m_nLostCount == 1)
        m_bOscMode.store(false);
    m_status.Silent();
    Publish();
    emit linkLost(m_nLostCount);
    m_pReconnector->LinkLost();
    if (m_pReconnector->Active()) {
        m_status.Reconnecting(m_pReconnector->Plan().StatusText());
        Publish();
    }
}

void CLinkController::Publish()
{
    emit statusChanged(m_status.Text());
}
