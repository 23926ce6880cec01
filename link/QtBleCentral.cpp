#include "link/QtBleCentral.h"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothUuid>
#include <QLowEnergyController>
#include <QLowEnergyDescriptor>
#include <QLowEnergyService>

namespace {

QString AddressText(const QBluetoothDeviceInfo& info)
{
    // Where the system hides addresses (macOS) the device identifier stands in.
    const QString a = info.address().isNull() ? info.deviceUuid().toString() : info.address().toString();
    return a.toLower();
}

} // namespace

CQtBleCentral::CQtBleCentral(QObject* parent)
    : IBleCentral(parent)
{
}

CQtBleCentral::~CQtBleCentral()
{
    Disconnect();
}

void CQtBleCentral::StartScan(int timeoutMs)
{
    if (!m_pAgent) {
        m_pAgent = new QBluetoothDeviceDiscoveryAgent(this);
        connect(m_pAgent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this, &CQtBleCentral::OnDevice);
        connect(m_pAgent, &QBluetoothDeviceDiscoveryAgent::finished, this, &IBleCentral::scanFinished);
        connect(m_pAgent, &QBluetoothDeviceDiscoveryAgent::canceled, this, &IBleCentral::scanFinished);
        // No adapter, adapter off, no permission: the scan simply ends with nothing listed.
        connect(m_pAgent, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this, &IBleCentral::scanFinished);
    }
    m_seen.clear();
    m_pAgent->setLowEnergyDiscoveryTimeout(timeoutMs);
    m_pAgent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
}

void CQtBleCentral::StopScan()
{
    if (m_pAgent && m_pAgent->isActive())
        m_pAgent->stop();
}

void CQtBleCentral::OnDevice(const QBluetoothDeviceInfo& info)
{
    if (!(info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration))
        return;
    const QString address = AddressText(info);
    const bool first = !m_seen.contains(address);
    m_seen.insert(address, info);
    if (!first)
        return;
    BleAdvert advert;
    advert.name = info.name();
    advert.address = address;
    advert.rssi = info.rssi();
    advert.meterService = info.serviceUuids().contains(QBluetoothUuid(quint16(kMeterService)));
    emit advertFound(advert);
}

void CQtBleCentral::ConnectTo(const QString& address)
{
    Disconnect();
    const auto it = m_seen.constFind(address.toLower());
    if (it == m_seen.constEnd()) {
        Fail(QStringLiteral("The meter %1 was not seen by the Bluetooth adapter; scan again.").arg(address));
        return;
    }
    m_pController = QLowEnergyController::createCentral(*it, this);
    connect(
        m_pController, &QLowEnergyController::connected, m_pController, [this] { m_pController->discoverServices(); });
    connect(m_pController, &QLowEnergyController::discoveryFinished, this, [this] {
        m_pService = m_pController->createServiceObject(QBluetoothUuid(quint16(kMeterService)), this);
        if (!m_pService) {
            Fail(QStringLiteral("The device does not offer the meter's service."));
            return;
        }
        connect(m_pService, &QLowEnergyService::stateChanged, this, &CQtBleCentral::OnServiceState);
        connect(m_pService, &QLowEnergyService::characteristicChanged, this,
            [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                if (c.uuid() == m_data.uuid())
                    emit notification(value);
            });
        m_pService->discoverDetails();
    });
    connect(m_pController, &QLowEnergyController::errorOccurred, this,
        [this](QLowEnergyController::Error) { Fail(m_pController->errorString()); });
    connect(m_pController, &QLowEnergyController::disconnected, this, &IBleCentral::disconnected);
    m_pController->connectToDevice();
}

void CQtBleCentral::OnServiceState()
{
    if (!m_pService || m_pService->state() != QLowEnergyService::RemoteServiceDiscovered)
        return;
    m_data = m_command = QLowEnergyCharacteristic();
    for (const QLowEnergyCharacteristic& c : m_pService->characteristics()) {
        const auto p = c.properties();
        if (!m_data.isValid() && (p & QLowEnergyCharacteristic::Notify))
            m_data = c;
        else if (!m_command.isValid()
            && (p & (QLowEnergyCharacteristic::Write | QLowEnergyCharacteristic::WriteNoResponse)))
            m_command = c;
    }
    if (!m_data.isValid() || !m_command.isValid()) {
        Fail(QStringLiteral("The meter's data or command characteristic is missing."));
        return;
    }
    emit ready();
}

bool CQtBleCentral::EnableNotifications()
{
    if (!m_pService || !m_data.isValid())
        return false;
    const QLowEnergyDescriptor config
        = m_data.descriptor(QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration);
    if (!config.isValid())
        return false;
    m_pService->writeDescriptor(config, QLowEnergyCharacteristic::CCCDEnableNotification);
    return true;
}

bool CQtBleCentral::WriteCommand(const QByteArray& bytes)
{
    if (!m_pService || !m_command.isValid())
        return false;
    const bool noResponse = m_command.properties() & QLowEnergyCharacteristic::WriteNoResponse;
    m_pService->writeCharacteristic(
        m_command, bytes, noResponse ? QLowEnergyService::WriteWithoutResponse : QLowEnergyService::WriteWithResponse);
    return true;
}

void CQtBleCentral::Disconnect()
{
    delete m_pService;
    m_pService = nullptr;
    m_data = m_command = QLowEnergyCharacteristic();
    if (m_pController) {
        QLowEnergyController* c = m_pController;
        m_pController = nullptr;
        c->disconnect();
        c->disconnectFromDevice();
        c->deleteLater();
    }
}

void CQtBleCentral::Fail(const QString& reason)
{
    Disconnect();
    emit failed(reason);
}
