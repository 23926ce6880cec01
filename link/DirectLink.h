#pragma once
// The meter reached through the computer's own Bluetooth adapter instead of the dongle. Connect
// asks the central to connect and find the meter's characteristics, then switches notifications
// on; every notification payload goes, as hex, into the frame text shared with the dongle link,
// and the frame hook (the dispatcher) runs after each one on the direct link's own receive
// thread, as it does on the dongle's. Commands become writes to the command characteristic.
#include "link/BleCentral.h"
#include "link/HexText.h"
#include "link/MeterLink.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CDirectLink : public QObject, public IMeterLink {
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Connected };

    // frameText: the frame text the dispatcher reads (the dongle link's); it is touched only on
    // the receive thread, which runs only while this link is connected.
    CDirectLink(IBleCentral& central, HexText& frameText, QObject* parent = nullptr);
    ~CDirectLink() override;

    // Called on the receive thread after each payload was appended. Set while not connected.
    void SetFrameHook(std::function<void()> hook) { m_fnFrameHook = std::move(hook); }

    // Connects to the meter at address (as listed by the central); connected() once
    // notifications are on, connectFailed() otherwise. The frame text starts empty.
    void Connect(const QString& address);
    void Close() override;
    bool SendToMeter(const uint8_t* bytes, int count) override;

    State state() const { return m_state.load(); }
    // Safe from any thread.
    bool IsConnected() const { return m_state.load() == State::Connected; }
    QString Address() const { return m_strAddress; }
    // Payloads waiting for the receive thread, at most this many (older ones are dropped).
    static constexpr size_t kMaxQueued = 4096;

signals:
    void connected();
    void connectFailed(const QString& reason);
    // The meter went away after it was connected (the watchdog decides what to do).
    void linkLost();

private:
    // The adapter failed or the meter closed the connection: a connected link is lost, a
    // connection being made failed for `reason`.
    void Ended(const QString& reason);
    void OnReady();
    void OnNotification(const QByteArray& value);
    void StartThread();
    void StopThread();
    void ReceiveLoop();

    IBleCentral& m_central;
    HexText& m_frameText;
    std::function<void()> m_fnFrameHook;
    std::atomic<State> m_state { State::Idle }; // written on the owner's thread only
    QString m_strAddress;

    std::mutex m_lock; // guards m_queue and m_bStop
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    bool m_bStop = false;
    std::thread m_thread;
};
