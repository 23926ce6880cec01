#pragma once
// Automatic reconnect of the dongle link: remembers the last connection (port and meter address),
// and once told the link is lost, follows a CReconnectPlan: each attempt reopens the port, scans,
// connects to the same meter as soon as it is listed, and counts as good when the meter's first
// frame arrives (MeterBack). An attempt that brings no frame within kAttemptTimeoutMs fails and
// the next one waits longer. Lives on the thread that owns the link (the GUI thread, or the
// command-line tool's main thread).
#include "link/ReconnectPlan.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>

class CBleLink;

class CReconnector : public QObject {
    Q_OBJECT
public:
    // The scan, the connection and the first frame must all come within this.
    static constexpr int kAttemptTimeoutMs = 8000;

    // clock: milliseconds; by default a steady clock.
    explicit CReconnector(CBleLink& link, CReconnectPlan::Clock clock = {}, QObject* parent = nullptr);
    ~CReconnector() override;

    // The connection to come back to. Forget goes back to taking the dongle link's own.
    void Remember(const QString& port, const QString& address);
    void Forget()
    {
        m_strPort.clear();
        m_strAddress.clear();
        m_bTakenFromLink = false;
    }
    // Another way to reach the meter than reopening the dongle (the direct link): attempt(address)
    // starts one try and reports through AttemptFailed or LinkReopened. Empty: the dongle.
    void SetAttempt(std::function<void(const QString& address)> attempt) { m_fnAttempt = std::move(attempt); }
    // The running attempt's outcome, from a custom attempt.
    void AttemptFailed() { FailAttempt(); }
    void LinkReopened();
    bool HasConnection() const { return !m_strPort.isEmpty() && !m_strAddress.isEmpty(); }
    QString Port() const { return m_strPort; }
    QString Address() const { return m_strAddress; }

    // The link was declared lost: retrying starts when a connection is remembered, or else the
    // dongle link's own port and last meter address are taken, when it is in the connected state.
    void LinkLost();
    // From any thread: a meter frame was decoded. The first after a (re)connection reaches
    // MeterBack on the reconnector's thread; later ones cost one atomic read.
    void FrameSeen();
    // A meter frame was decoded: a running retry has succeeded.
    void MeterBack();
    // Stops retrying; the link is left closed.
    void Cancel();

    // Seconds of silence after which the command-line watchdog calls the link lost; 0 leaves
    // the watchdog off (the window has its own). patience() may lengthen it for a while (the
    // meter pauses between bursts of saved readings).
    void WatchSilence(int seconds, std::function<int()> patience = {});
    // How many seconds the meter has been silent (its link controller knows); without it the
    // silence watchdog never acts.
    void SetSilence(std::function<qint64()> secondsSilent) { m_fnSilence = std::move(secondsSilent); }

    const CReconnectPlan& Plan() const { return m_plan; }
    bool Active() const { return m_plan.Active(); }

signals:
    // Retrying started after a loss (before the first attempt's wait).
    void lost();
    // Every change of the retry state, with CReconnectPlan::StatusText (empty when idle).
    void statusChanged(const QString& text);
    // An attempt starts (attempt number from 1).
    void attemptStarted(int attempt);
    // The port was reopened and the meter connected again; the first frame is still to come.
    void linkReopened();
    // The meter sends again: the retry is over.
    void reconnected();

private:
    void Arm();
    void OnDue();
    void FailAttempt();
    void Publish();
    void OnWatchdog();

    CBleLink& m_link;
    CReconnectPlan m_plan;
    QString m_strPort;
    QString m_strAddress;
    QTimer m_dueTimer; // fires when the next attempt is due
    QTimer m_attemptTimer; // the running attempt's time limit
    QTimer m_countdown; // refreshes the status text once a second while waiting
    QTimer m_watchdog;
    int m_nSilenceSeconds = 0;
    std::function<int()> m_fnPatience;
    std::function<qint64()> m_fnSilence;
    std::function<void(const QString&)> m_fnAttempt;
    QMetaObject::Connection m_scanRow;
    std::atomic<bool> m_bWantFrame { true };
    bool m_bTakenFromLink = false; // the connection came from the link at the loss
    bool m_bConnectedOnce = false; // a frame has come since the start: the watchdog may act
    quint64 m_nAttemptGen = 0; // bumped by every attempt's end, so its late callbacks lapse
};
