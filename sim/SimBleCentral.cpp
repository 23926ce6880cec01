#include "sim/SimBleCentral.h"

#include "sim/SimHci.h"

#include <algorithm>

namespace sim {

namespace {

Bytes Packet(uint16_t opcode, const Bytes& params)
{
    Bytes b { 0x01, uint8_t(opcode & 0xFF), uint8_t(opcode >> 8), uint8_t(params.size()) };
    b.insert(b.end(), params.begin(), params.end());
    return b;
}

QString AddressText(const uint8_t* lsbFirst)
{
    return QString::asprintf(
        "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", lsbFirst[5], lsbFirst[4], lsbFirst[3], lsbFirst[2], lsbFirst[1], lsbFirst[0]);
}

bool ParseAddressText(const QString& text, uint8_t out[6])
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint v = parts[5 - i].toUInt(&ok, 16);
        if (!ok || v > 0xFF)
            return false;
        out[i] = uint8_t(v);
    }
    return true;
}

// Reads the advertising data structures: the complete local name and whether a 16-bit service
// UUID list names the meter's service.
void ParseAdvertising(const uint8_t* data, size_t length, BleAdvert* advert)
{
    size_t at = 0;
    while (at < length) {
        const size_t n = data[at];
        if (n == 0 || at + 1 + n > length)
            break;
        const uint8_t type = data[at + 1];
        const uint8_t* value = data + at + 2;
        const size_t valueLength = n - 1;
        if (type == 0x02 || type == 0x03) {
            for (size_t i = 0; i + 1 < valueLength; i += 2) {
                if (uint16_t(value[i] | (value[i + 1] << 8)) == IBleCentral::kMeterService)
                    advert->meterService = true;
            }
        } else if (type == 0x09) {
            advert->name = QString::fromUtf8(reinterpret_cast<const char*>(value), int(valueLength));
        }
        at += 1 + n;
    }
}

} // namespace

CSimBleCentral::CSimBleCentral(const SimConfig& config, QObject* parent)
    : IBleCentral(parent)
    , m_engine(config)
{
}

void CSimBleCentral::Write(const Bytes& bytes)
{
    m_engine.HostWrite(bytes.data(), bytes.size(), m_now);
}

void CSimBleCentral::StartScan(int)
{
    if (!m_bInitialised) {
        Bytes init(38, 0);
        init[0] = 0x08;
        init[1] = 0x05;
        init[34] = 0x01;
        Write(Packet(OpcodeDeviceInit, init));
        m_bInitialised = true;
    }
    m_listed.clear();
    m_bScanning = true;
    Write(Packet(OpcodeDiscovery, { 0x03, 0x01, 0x00 }));
}

void CSimBleCentral::StopScan()
{
    if (!m_bScanning)
        return;
    m_bScanning = false;
    Write(Packet(OpcodeDiscoveryCancel, {}));
}

void CSimBleCentral::ConnectTo(const QString& address)
{
    uint8_t a[6];
    if (!ParseAddressText(address, a) || !m_bInRange) {
        emit failed(QStringLiteral("The meter %1 does not answer.").arg(address));
        return;
    }
    StopScan();
    m_strTarget = address;
    m_bConnecting = true;
    Bytes params { 0x00, 0x00, 0x00 };
    params.insert(params.end(), a, a + 6);
    Write(Packet(OpcodeEstablishLink, params));
}

void CSimBleCentral::Disconnect()
{
    if (!m_bConnected && !m_bConnecting)
        return;
    m_bConnected = m_bConnecting = false;
    Write(Packet(OpcodeTerminateLink, { 0x00, 0x00, 0x13 }));
}

bool CSimBleCentral::EnableNotifications()
{
    if (!m_bConnected)
        return false;
    Write(Packet(OpcodeWriteValue, { 0x00, 0x00, uint8_t(kDataConfigHandle), 0x00, 0x01, 0x00 }));
    return true;
}

bool CSimBleCentral::WriteCommand(const QByteArray& bytes)
{
    if (!m_bConnected || bytes.isEmpty())
        return false;
    Bytes params { 0x00, 0x00, uint8_t(kCommandHandle), 0x00 };
    params.insert(params.end(), bytes.begin(), bytes.end());
    Write(Packet(OpcodeWriteValue, params));
    return true;
}

void CSimBleCentral::SetInRange(bool on)
{
    m_bInRange = on;
    if (!on)
        m_engine.DropLink();
}

void CSimBleCentral::Advance(int64_t ms)
{
    const int64_t end = m_now + ms;
    while (m_now < end) {
        const int64_t next = std::min(m_engine.NextDueMs(), end);
        m_now = std::max(m_now + 1, next);
        if (m_now > end)
            m_now = end;
        m_engine.AdvanceTo(m_now);
        for (const Bytes& chunk : m_engine.TakeOutput())
            m_stream.insert(m_stream.end(), chunk.begin(), chunk.end());
        // Whole events only; the controller never sends anything else.
        size_t at = 0;
        while (at + 3 <= m_stream.size()) {
            if (m_stream[at] != 0x04 || m_stream[at + 1] != 0xFF) {
                ++at;
                continue;
            }
            const size_t n = size_t(m_stream[at + 2]) + 3;
            if (at + n > m_stream.size())
                break;
            HandleEvent(Bytes(m_stream.begin() + long(at), m_stream.begin() + long(at + n)));
            at += n;
        }
        m_stream.erase(m_stream.begin(), m_stream.begin() + long(at));
    }
}

void CSimBleCentral::HandleEvent(const Bytes& e)
{
    if (e.size() < 6)
        return;
    const uint16_t code = uint16_t(e[3] | (e[4] << 8));
    const uint8_t status = e[5];
    switch (code) {
    case EventDeviceInfo: {
        if (!m_bScanning || e.size() < 16)
            return;
        BleAdvert advert;
        advert.address = AddressText(&e[8]);
        advert.rssi = int(int8_t(e[14]));
        const size_t dataLength = std::min<size_t>(e[15], e.size() - 16);
        ParseAdvertising(e.data() + 16, dataLength, &advert);
        const bool isMeter = advert.address == AddressText(m_engine.Config().meterAddress);
        if ((isMeter && !m_bInRange) || m_listed.contains(advert.address))
            return;
        m_listed << advert.address;
        emit advertFound(advert);
        break;
    }
    case EventDiscoveryDone:
        if (m_bScanning) {
            m_bScanning = false;
            emit scanFinished();
        }
        break;
    case EventLinkEstablished:
        if (!m_bConnecting)
            return;
        m_bConnecting = false;
        if (status != StatusSuccess) {
            emit failed(QStringLiteral("The connection to %1 failed.").arg(m_strTarget));
            return;
        }
        m_bConnected = true;
        // The meter's service and its two characteristics are known (fixed handles).
        emit ready();
        break;
    case EventLinkTerminated:
        if (m_bConnected || m_bConnecting) {
            m_bConnected = m_bConnecting = false;
            emit disconnected();
        }
        break;
    case EventNotification: {
        // 04 FF L 1B 05 status conn(2) pduLen handle(2) value...
        if (!m_bConnected || e.size() < 11)
            return;
        const size_t pdu = e[8];
        if (pdu < 2 || 11 + pdu - 2 > e.size())
            return;
        emit notification(QByteArray(reinterpret_cast<const char*>(e.data() + 11), int(pdu - 2)));
        break;
    }
    default:
        break;
    }
}

} // namespace sim
