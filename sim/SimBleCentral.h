#pragma once
// A BLE central with the simulated meter behind it, for testing the direct link without an
// adapter: it plays the part of the operating system's Bluetooth stack, driving the simulated
// dongle's controller (CSimEngine) the way a stack drives its own, and reports what it sees through
// the IBleCentral seam. It keeps no clock: Advance(ms) runs the simulator that far and emits what
// came, so tests are exact.
#include "link/BleCentral.h"
#include "sim/SimEngine.h"

#include <QStringList>

namespace sim {

class CSimBleCentral : public IBleCentral {
    Q_OBJECT
public:
    explicit CSimBleCentral(const SimConfig& config = SimConfig(), QObject* parent = nullptr);

    void StartScan(int timeoutMs) override;
    void StopScan() override;
    void ConnectTo(const QString& address) override;
    void Disconnect() override;
    bool EnableNotifications() override;
    bool WriteCommand(const QByteArray& bytes) override;

    // Runs the simulator ms further and emits what it produced.
    void Advance(int64_t ms);
    CSimEngine& Engine() { return m_engine; }
    int64_t NowMs() const { return m_now; }
    // The meter moves out of reach: it is neither listed nor connectable until it comes back.
    void SetInRange(bool on);

private:
    void Write(const Bytes& bytes);
    void HandleEvent(const Bytes& event);

    CSimEngine m_engine;
    int64_t m_now = 0;
    Bytes m_stream;
    bool m_bInitialised = false;
    bool m_bScanning = false;
    bool m_bConnecting = false;
    bool m_bConnected = false;
    bool m_bInRange = true;
    QString m_strTarget;
    QStringList m_listed;
};

} // namespace sim
