#pragma once
// The BLE central of the operating system's Bluetooth stack (BlueZ on Linux, WinRT on Windows)
// through Qt Bluetooth. Scanning reports every low-energy device, marking those that advertise the
// meter's service 0xFFF0; connecting finds that service and, by their properties, its data
// characteristic (the one that notifies) and its command characteristic (the one that is written).
#include "link/BleCentral.h"

#include <QBluetoothDeviceInfo>
#include <QHash>
#include <QLowEnergyCharacteristic>
#include <memory>

class QBluetoothDeviceDiscoveryAgent;
class QLowEnergyController;
class QLowEnergyService;

class CQtBleCentral : public IBleCentral {
    Q_OBJECT
public:
    explicit CQtBleCentral(QObject* parent = nullptr);
    ~CQtBleCentral() override;

    void StartScan(int timeoutMs) override;
    void StopScan() override;
    void ConnectTo(const QString& address) override;
    void Disconnect() override;
    bool EnableNotifications() override;
    bool WriteCommand(const QByteArray& bytes) override;

private:
    void OnDevice(const QBluetoothDeviceInfo& info);
    void OnServiceState();
    void Fail(const QString& reason);

    QBluetoothDeviceDiscoveryAgent* m_pAgent = nullptr;
    QHash<QString, QBluetoothDeviceInfo> m_seen; // by address, from the last scan
    QLowEnergyController* m_pController = nullptr;
    QLowEnergyService* m_pService = nullptr;
    QLowEnergyCharacteristic m_data;
    QLowEnergyCharacteristic m_command;
};
