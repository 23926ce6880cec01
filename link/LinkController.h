#pragma once
// One meter's link, whichever way it is reached: the dongle (CBleLink) or the computer's own
// Bluetooth adapter (CDirectLink). The controller owns both links, the reconnector, the port
// opening with its three tries, the watchdog (4 s of silence lose the meter, 21 s while saved
// readings arrive), the lost count, "meter seen / last arrival", whether the meter shows its
// oscilloscope, and the one SendToMeter that goes out over whichever link is up. What a window
// shows of it leaves as signals; the dialogs that pick a port or a meter belong to the window,
// which calls the controller's open / connect API.
//
// Lives on the GUI thread (or the command-line tool's main thread). MeterSeen, LastArrival,
// OscMode and SendToMeter are safe from any thread; the rest belongs to the owner's thread.
#include "link/BleLink.h"
#include "link/LinkStatus.h"

#include <QByteArray>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class CDirectLink;
class CReconnector;
class IBleCentral;

class CLinkController : public QObject {
    Q_OBJECT
public:
    // Seconds since the epoch; tests drive the watchdog with their own. Called from the port's
    // reader and the receive threads too.
    using Clock = std::function<qint64()>;

    // Silence after which the meter is lost, and the longer pause allowed between bursts of
    // saved readings.
    static constexpr int kSilenceSeconds = 4;
    static constexpr int kSavedReadingsSeconds = 21;

    explicit CLinkController(QObject* parent = nullptr);
    ~CLinkController() override; // closes both links and waits for queued commands

    // Set these before a link runs. frame: runs on a receive thread after each meter payload was
    // appended to FrameText() (the dispatcher). savedReadings: the dispatcher's store marker,
    // which gives the meter the longer pause and is cleared when that runs out.
    void SetFrameHook(std::function<void()> frame) { m_fnFrameHook = std::move(frame); }
    void SetSavedReadingsFlag(std::atomic<bool>* savedReadings) { m_pSavedReadings = savedReadings; }
    // ticksPerSecond: the clock's resolution, for a clock finer than seconds (the command-line
    // tool ends a run within a quarter second of the silence rule).
    void SetClock(Clock now, int ticksPerSecond = 1);
    qint64 Now() const { return m_fnNow(); }
    // Whole seconds since the last arrival, by which the watchdog judges the silence.
    qint64 SilentSeconds() const { return (Now() - m_timeLastRx.load()) / m_nTicksPerSecond; }
    // Makes the computer's Bluetooth adapter on first use (the window's Qt one).
    void SetCentralFactory(std::function<IBleCentral*()> make) { m_fnMakeCentral = std::move(make); }
    // Replaces the adapter (tests put the simulated meter behind it); closes the direct link.
    void SetBleCentral(IBleCentral* central);
    IBleCentral* Central();

    CBleLink& Dongle() { return m_link; }
    HexText& FrameText() { return m_link.m_strMeterRx; }
    CReconnector& Reconnector() { return *m_pReconnector; }
    // The direct link, or null before an adapter is known.
    std::shared_ptr<CDirectLink> Direct() const;

    // Opens a meter's own serial port at 9600 baud (three tries) with the receive path installed.
    // With keepOldLink the link open now stays up until the new port has opened, and stays as it
    // was when the new port cannot be opened.
    bool TryOpenMeterPort(const QString& port, bool keepOldLink = false);
    // A connection was made (a port opened, Connect sent its last command): the watchdog starts
    // and the status waits for the meter's first frame.
    void LinkUp();
    // Connects through the computer's own adapter; the dongle is closed first.
    void ConnectDirect(const QString& address);
    // Before a new connection is picked: no retry and no direct link of the old one stays.
    void ResetLinks();
    // The user's Disconnect: both links closed, retrying ended, the watchdog stopped.
    void Disconnect();
    // Shutdown: both links closed, queued commands written. Nothing runs the frame hook after.
    void Close();

    // One meter command over whichever link is connected. Safe from any thread.
    bool SendToMeter(const uint8_t* bytes, int count);
    // The same, written later by the controller's one command writer, in order, off the caller's
    // thread (a write waits for the port).
    void SendLater(const QByteArray& command);

    // Any arrival from the meter's side (reader and receive threads).
    void Heard();
    bool MeterSeen() const { return m_bMeterSeen.load(); }
    qint64 LastArrival() const { return m_timeLastRx.load(); }
    bool OscMode() const { return m_bOscMode.load(); }

    // GUI thread: the decoder read a meter frame, or the meter's oscilloscope marker.
    void FrameDecoded();
    void OscModeEntered();

    // Timer 2, every second while a link is up (or as often as set here, for a finer clock).
    void OnWatchdog();
    void SetWatchdogInterval(int ms) { m_watchdog.setInterval(ms); }
    bool WatchdogRunning() const { return m_watchdog.isActive(); }
    int LostCount() const { return m_nLostCount; }
    const CLinkStatus& Status() const { return m_status; }

signals:
    // What the status bar says about the link, or a passing message of the link's.
    void statusChanged(const QString& text);
    // A new connection: nothing of the previous meter is shown.
    void connected();
    // The watchdog gave the meter up (lostCount from 1); retrying starts afterwards.
    void linkLost(int lostCount);
    void disconnected();
    // The dongle or the direct link reported that the meter's link ended (before the watchdog
    // notices the silence): a transfer in progress can stop at once and say where.
    void linkEnded();
    // Every watchdog tick, before the silence rules (the readable-frame watch).
    void watchdogTick();
    // Automatic reconnect started or ended.
    void reconnectingChanged(bool active);

private:
    void LinkLost();
    void Publish();
    void CloseDirect();

    CBleLink m_link;
    CReconnector* m_pReconnector = nullptr;
    std::function<void()> m_fnFrameHook;
    std::atomic<bool>* m_pSavedReadings = nullptr;
    Clock m_fnNow;
    int m_nTicksPerSecond = 1;
    std::function<IBleCentral*()> m_fnMakeCentral;
    IBleCentral* m_pCentral = nullptr;
    // The direct link is replaced on the owner's thread while the command writer and the receive
    // threads may be sending through it: they take a reference under the lock.
    mutable std::mutex m_directLock;
    std::shared_ptr<CDirectLink> m_pDirect;

    std::atomic<bool> m_bMeterSeen { false };
    std::atomic<qint64> m_timeLastRx { 0 };
    std::atomic<bool> m_bOscMode { false };
    int m_nLostCount = 0;
    CLinkStatus m_status;
    QTimer m_watchdog;
    QThreadPool m_commandWriter;
};
