#pragma once
// Search of the system's Bluetooth serial ports for a talking meter: every candidate is opened
// in turn and given up to 11 seconds (22 steps of 500 ms) to deliver a byte. The waits are timer
// steps on the caller's thread, so a window stays responsive; Cancel() stops the search.
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

// The COM number in a Bluetooth serial port's friendly name, such as
// "Standard Serial over Bluetooth link (COM12)": the text after "(COM" with blanks and
// parentheses trimmed from both ends, read as a decimal number. 0 when there is none.
int ParseBluetoothComNumber(const QString& friendlyName);

// The candidate ports of this system: on Windows the COM numbers of ports whose description or
// manufacturer names Bluetooth; elsewhere also the /dev/rfcomm* devices.
QStringList EnumerateBluetoothPorts();

class CBluetoothPortSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kStepMs = 500;
    static constexpr int kStepsPerPort = 22;

    // tryOpen(port): closes the previous port, opens this one (true on success).
    // meterSeen(): whether a byte has arrived since the port was opened.
    CBluetoothPortSearch(std::function<bool(const QString&)> tryOpen, std::function<bool()> meterSeen,
        QObject* parent = nullptr);

    // candidates in discovery order; the remembered port is appended and tried first, then the
    // others from the last to the first.
    void Start(const QStringList& candidates, const QString& rememberedPort);
    void Cancel();
    bool IsRunning() const { return m_bRunning; }
    // The order in which ports are tried.
    static QStringList TryOrder(const QStringList& candidates, const QString& rememberedPort);

signals:
    void trying(const QString& port);
    void found(const QString& port);
    // Every candidate was tried and none talked (not emitted when the search is cancelled).
    void nothingFound();
    // No candidate talked (or the search was cancelled); the last candidate stays open.
    void finished(bool success);

private:
    void NextCandidate();
    void Step();

    std::function<bool(const QString&)> m_fnTryOpen;
    std::function<bool()> m_fnMeterSeen;
    QStringList m_order;
    int m_nSteps = 0;
    QString m_strCurrent;
    bool m_bRunning = false;
    QTimer m_timer;
};
