#include "link/Reconnector.h"

#include "link/BleLink.h"

#include <QPointer>
#include <algorithm>
#include <chrono>

namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CReconnector::CReconnector(CBleLink& link, CReconnectPlan::Clock clock, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_plan(clock ? std::move(clock) : CReconnectPlan::Clock(&SteadyMs))
{
    m_dueTimer.setSingleShot(true);
    m_attemptTimer.setSingleShot(true);
    m_countdown.setInterval(1000);
    m_watchdog.setInterval(1000);
    connect(&m_dueTimer, &QTimer::timeout, this, &CReconnector::OnDue);
    connect(&m_attemptTimer, &QTimer::timeout, this, &CReconnector::FailAttempt);
    connect(&m_countdown, &QTimer::timeout, this, &CReconnector::Publish);
    connect(&m_watchdog, &QTimer::timeout, this, &CReconnector::OnWatchdog);
    // A port that fails while retrying is one more failed attempt; otherwise it is a loss.
    connect(
        &m_link, &CBleLink::portLost, this,
        [this] {
            if (m_plan.Trying())
                FailAttempt();
            else if (m_nSilenceSeconds > 0)
                LinkLost();
        },
        Qt::QueuedConnection);
}

CReconnector::~CReconnector()
{
    disconnect(m_scanRow);
}

void CReconnector::Remember(const QString& port, const QString& address)
{
    m_strPort = port;
    m_strAddress = address.trimmed().toLower();
    m_bTakenFromLink = false;
}

void CReconnector::WatchSilence(int seconds, std::function<int()> patience)
{
    m_nSilenceSeconds = seconds;
    m_fnPatience = std::move(patience);
    if (seconds > 0)
        m_watchdog.start();
    else
        m_watchdog.stop();
}

void CReconnector::OnWatchdog()
{
    if (!m_bConnectedOnce || m_plan.Active() || !m_fnSilence)
        return;
    const int allowed = std::max(m_nSilenceSeconds, m_fnPatience ? m_fnPatience() : 0);
    if (m_fnSilence() >= allowed)
        LinkLost();
}

void CReconnector::LinkLost()
{
    if (m_plan.Active())
        return;
    // Only a dongle connection that was made through Connect is the link's own to retry; a
    // port opened by hand (Com Port > Other) is left to the user.
    if (!HasConnection() && !m_link.LastAddress().isEmpty() && m_link.State() == BleConnected) {
        Remember(m_link.m_ComPort.PortName(), m_link.LastAddress());
        m_bTakenFromLink = true;
    }
    if (!HasConnection())
        return;
    m_bWantFrame.store(true);
    m_plan.LinkLost();
    emit lost();
    Arm();
}

void CReconnector::FrameSeen()
{
    if (!m_bWantFrame.exchange(false))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bConnectedOnce = true;
            MeterBack();
        },
        Qt::QueuedConnection);
}

void CReconnector::Arm()
{
    const int64_t wait = m_plan.MsUntilNextAttempt();
    if (wait < 0)
        return;
    m_dueTimer.start(int(wait));
    m_countdown.start();
    Publish();
}

void CReconnector::OnDue()
{
    // A timer may fire a little early on some systems: wait for the rest.
    if (!m_plan.StartDueAttempt()) {
        Arm();
        return;
    }
    m_countdown.stop();
    const quint64 gen = ++m_nAttemptGen;
    emit attemptStarted(m_plan.Attempt());
    Publish();
    m_attemptTimer.start(kAttemptTimeoutMs);
    if (m_fnAttempt) {
        m_fnAttempt(m_strAddress);
        return;
    }

    // The old link is gone: start from a closed port, as the Scan Device dialog does.
    m_link.Close();
    disconnect(m_scanRow);
    const QString address = m_strAddress;
    QPointer<CReconnector> self(this);
    m_scanRow = connect(
        &m_link, &CBleLink::scanRow, this,
        [this, self, gen, address](const QStringList& columns) {
            if (gen != m_nAttemptGen || !m_plan.Trying() || columns.size() < 3 || columns[2].toLower() != address)
                return;
            disconnect(m_scanRow);
            m_link.Connect(address, [self, gen] {
                if (self && gen == self->m_nAttemptGen)
                    emit self->linkReopened();
            });
        },
        Qt::QueuedConnection);
    m_link.Scan(m_strPort, [self, gen](int result) {
        if (result == CBleLink::OpenOk || !self)
            return;
        // Done may run inside Scan: fail from the event loop, after Scan has returned.
        QMetaObject::invokeMethod(
            self,
            [self, gen] {
                if (self && gen == self->m_nAttemptGen)
                    self->FailAttempt();
            },
            Qt::QueuedConnection);
    });
}

void CReconnector::LinkReopened()
{
    if (m_plan.Trying())
        emit linkReopened();
}

void CReconnector::FailAttempt()
{
    if (!m_plan.Trying())
        return;
    ++m_nAttemptGen;
    m_attemptTimer.stop();
    disconnect(m_scanRow);
    if (!m_fnAttempt)
        m_link.Close();
    m_plan.AttemptFailed();
    Arm();
}

void CReconnector::MeterBack()
{
    if (!m_plan.Active())
        return;
    ++m_nAttemptGen;
    m_attemptTimer.stop();
    m_dueTimer.stop();
    m_countdown.stop();
    disconnect(m_scanRow);
    m_plan.Connected();
    // Taken from the link: the next loss looks at the link again (the user may have connected
    // elsewhere meanwhile).
    if (m_bTakenFromLink)
        Forget();
    Publish();
    emit reconnected();
}

void CReconnector::Cancel()
{
    if (!m_plan.Active())
        return;
    const bool trying = m_plan.Trying();
    ++m_nAttemptGen;
    m_attemptTimer.stop();
    m_dueTimer.stop();
    m_countdown.stop();
    disconnect(m_scanRow);
    if (trying && !m_fnAttempt)
        m_link.Close();
    m_plan.Cancel();
    if (m_bTakenFromLink)
        Forget();
    Publish();
}

void CReconnector::Publish()
{
    emit statusChanged(m_plan.StatusText());
}
