#pragma once
// The meter link over the BLE dongle: the port, the link text the port's reader fills, the receive
// thread that cuts it into dongle events and acts on them by link state, the frame text of meter
// payloads, and the Open / Scan / Connect command sequences. A link controller owns one.
#include "link/BleCommand.h"
#include "link/ComPort.h"
#include "link/HexText.h"
#include "link/MeterLink.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Link states (m_nBleState).
enum BleState : uint8_t {
    BleIdle = 0, // the first text is discarded
    BleDiscardOnce = 1, // one batch of text is discarded
    BleScanning = 2, // device reports fill the scan list
    BleConnecting = 3, // waiting for the status of the connection request
    BleConnected = 4, // notifications go to the frame text
    BleCancelling = 6, // waiting for the discovery cancel's status
    BleInitialised = 7, // waiting for Scan; text stays unprocessed
};

class CBleLink : public QObject, public IMeterLink {
    Q_OBJECT
public:
    // Result codes of Open (the Scan Device dialog adds 1 for an empty port field).
    enum OpenResult { OpenOk = 0, OpenNoPort = 1, OpenPortFailed = 2, OpenThreadFailed = 3 };

    explicit CBleLink(QObject* parent = nullptr);
    ~CBleLink() override; // stops the receive thread and closes the port

    // Opens the dongle's port at 115200 baud (three tries), installs OnComData, sets the read size
    // to 100, restarts the receive thread, empties the link text and initialises the dongle
    // (device init -> state 1, terminate link -> state 7). Open, Scan, StartDiscovery, Connect
    // and Close belong to the thread the link lives in (their pauses are its timers).
    int Open(const QString& port);
    // Open, then after a 500 ms pause (a timer, never a sleep) empties the link text and starts
    // discovery (state 2). done(openResult) runs on the caller's thread once the request is out,
    // or at once with the failing Open result. Resets the scan row counter.
    void Scan(const QString& port, std::function<void(int)> done = {});
    // The part of Scan after Open: the 500 ms pause, then the link text is emptied, discovery is
    // requested and the state becomes 2; done() runs after that write.
    void StartDiscovery(std::function<void()> done = {});
    // mac: "aa:bb:cc:dd:ee:ff" as listed. Discovery cancel (state 6), establish link (state 3),
    // a 600 ms pause, enable notifications (state 4); done() runs after the last write.
    // Returns false (and sends nothing) for an address that does not parse.
    bool Connect(const QString& mac, std::function<void()> done = {});
    // Stops the receive thread and closes the port; a pending Scan or Connect step is dropped.
    void Close() override;
    // The meter address of the last Connect (lower case), for reconnecting; empty before any.
    QString LastAddress() const { return m_strLastAddress; }
    // True while a Scan or Connect pause is pending.
    bool StepPending() const { return m_stepTimer.isActive(); }

    // Wraps a 4-byte meter command into one characteristic-value write. Safe from any thread.
    bool SendToMeter(const uint8_t* bytes, int count) override;

    // Receive callback installed on the port (runs on the reader thread).
    static void OnComData(void* owner, const uint8_t* bytes, size_t count);

    // Called on the receive thread after each notification payload has been appended to
    // m_strMeterRx (the frame dispatcher). Set it while no receive thread runs.
    void SetFrameHook(std::function<void()> hook) { m_fnFrameHook = std::move(hook); }
    // Called on the port's reader thread for every chunk that arrives (the meter is heard). Set
    // it while the port is closed.
    void SetArrivalHook(std::function<void()> hook) { m_fnArrivalHook = std::move(hook); }

    void SetState(uint8_t state); // also wakes the receive thread
    uint8_t State() const { return m_nBleState.load(); }

    bool StartReceiveThread(); // (re)starts it: a running one is stopped first; false if none
    void StopReceiveThread(); // cooperative; joins (from the receive thread itself: only asks)
    bool ReceiveThreadRunning() const { return m_receiveThread.joinable(); }

    // One pass of the receive thread on the calling thread, for tests and fuzzing only (never
    // while the receive thread runs). Returns true when it consumed text or changed state.
    bool RunReceivePass() { return ReceivePass(); }

    // Parses "aa:bb:cc:dd:ee:ff" into 6 bytes, least significant first.
    static bool ParseAddress(const QString& mac, uint8_t out[6]);
    // Maximum link text kept while no event header ("04ff") is in it.
    static constexpr size_t kMaxJunkText = 64 * 1024;
    // Link text beyond this is not being consumed (no receive thread, or one stuck in a hook);
    // the oldest text is dropped down to kMaxJunkText.
    static constexpr size_t kMaxLinkText = 16 * kMaxJunkText;
    // Events longer than this (L > 106) are dropped whole.
    static constexpr int kMaxEventBytes = CBleCommand::kMaxEventBytes;

    CComPort m_ComPort;
    // Guards the link text (m_strBleRx), m_bBleRxNew and the receive thread's wake-up state;
    // never held while calling out.
    std::mutex m_rxLock;
    HexText m_strBleRx; // link text; guarded by m_rxLock
    bool m_bBleRxNew = false; // guarded by m_rxLock
    std::atomic<uint8_t> m_nBleState { BleIdle };
    HexText m_strMeterRx; // frame text; receive thread only (and the frame hook)
    CBleCommand m_bleCommand;

signals:
    // A device report while scanning: the four column texts ("%d" index, "Device Name:%s",
    // address, RSSI). Emitted on the receive thread.
    void scanRow(const QStringList& columns);
    // The port's device failed or disappeared (emitted on the port's reader thread).
    void portLost();
    // The dongle reported that the connected meter's link ended (emitted on the receive thread;
    // the watchdog decides what to do about the link).
    void linkLost();

private:
    void ReceiveLoop();
    // One pass over the link text; returns true when it consumed text or changed state.
    bool ReceivePass();
    // Acts on one whole event taken off the link text while the link was in state.
    void HandleEvent(const uint8_t* event, int length, uint8_t state);
    bool WritePacket(const uint8_t* packet, int length);
    // The receive thread's own state changes apply only if nobody changed the state meanwhile.
    void AdvanceState(uint8_t from, uint8_t to);
    void Wake();
    void RunAfter(int ms, std::function<void()> step);
    static void OnPortLost(void* owner, uint32_t error);

    std::function<void()> m_fnFrameHook;
    std::function<void()> m_fnArrivalHook;
    std::thread m_receiveThread;
    std::condition_variable m_wake;
    uint64_t m_nRxGeneration = 0; // guarded by m_rxLock; bumped by every arrival and state change
    bool m_bStopThread = false; // guarded by m_rxLock
    std::atomic<int> m_nScanRows { 0 }; // rows listed since the last Scan
    QTimer m_stepTimer; // the pauses of Scan and Connect
    std::function<void()> m_fnPendingStep;
    QString m_strLastAddress; // owner thread only
};
