#pragma once
// What the status bar says about the meter link. A port that opens is not yet a meter: the text
// waits for the first meter frame before it says "connected", and says so again when a silent
// meter comes back.
#include <QString>

class CLinkStatus {
public:
    enum class State { NoPort, Waiting, Connected, Silent, Disconnected, Reconnecting };

    // A port or BLE link was opened for the meter (Port dialog, Bluetooth search, Connect).
    void PortOpened(const QString& port);
    // A meter frame was decoded. True when the text changed.
    bool FrameArrived();
    // The watchdog gave the meter up.
    void Silent();
    void Disconnected();
    // Automatic reconnect is under way; text says when the next attempt comes or that one runs.
    // An empty text (retrying ended) leaves the state as it is.
    void Reconnecting(const QString& text);

    State state() const { return m_state; }
    QString Text() const;

private:
    State m_state = State::NoPort;
    QString m_strPort;
    QString m_strRetry;
};
