#pragma once
// The seam at the operating system's Bluetooth stack: what the direct link needs of a BLE central
// (scan for advertisements, connect to one device, find the meter's service, switch on the data
// characteristic's notifications, write the command characteristic). CQtBleCentral implements it
// with Qt Bluetooth; the simulator implements it for tests (sim/SimBleCentral). Everything runs on
// the thread the central lives on; signals come there too.
#include <QByteArray>
#include <QObject>
#include <QString>

// One advertisement seen while scanning.
struct BleAdvert {
    QString name; // complete local name, may be empty
    QString address; // "aa:bb:cc:dd:ee:ff", lower case
    int rssi = 0;
    bool meterService = false; // advertises the meter's 16-bit service 0xFFF0
};

class IBleCentral : public QObject {
    Q_OBJECT
public:
    // The meter's 16-bit service.
    static constexpr quint16 kMeterService = 0xFFF0;

    using QObject::QObject;

    // Scans for about timeoutMs; each device comes once as advertFound, then scanFinished.
    virtual void StartScan(int timeoutMs) = 0;
    virtual void StopScan() = 0;
    // Connects and looks up the meter's service and its two characteristics: ready() or failed().
    virtual void ConnectTo(const QString& address) = 0;
    virtual void Disconnect() = 0;
    // Switches on the data characteristic's notifications (after ready()).
    virtual bool EnableNotifications() = 0;
    // One write to the command characteristic (after ready()).
    virtual bool WriteCommand(const QByteArray& bytes) = 0;

signals:
    void advertFound(const BleAdvert& advert);
    void scanFinished();
    void ready();
    void failed(const QString& reason);
    // The connection ended (the meter went out of range, or Disconnect).
    void disconnected();
    // One notification of the data characteristic.
    void notification(const QByteArray& value);
};
