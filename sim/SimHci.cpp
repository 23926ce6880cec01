#include "sim/SimHci.h"

namespace sim {

namespace {

// 04 FF L code(LE) status, then the body; L counts everything after itself.
Bytes Event(uint16_t code, uint8_t status, const Bytes& body)
{
    Bytes e { 0x04, 0xFF, uint8_t(3 + body.size()), uint8_t(code), uint8_t(code >> 8), status };
    e.insert(e.end(), body.begin(), body.end());
    return e;
}

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void PutAddress(Bytes& b, const uint8_t* address)
{
    b.insert(b.end(), address, address + 6);
}

} // namespace

bool CHciCommandReader::Next(HciCommand* out)
{
    size_t skip = 0;
    while (skip < m_buffer.size() && m_buffer[skip] != 0x01)
        ++skip;
    if (skip) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + long(skip));
        m_nSkipped += skip;
    }
    if (m_buffer.size() < 4)
        return false;
    const size_t len = m_buffer[3];
    if (m_buffer.size() < 4 + len)
        return false;
    out->opcode = uint16_t(m_buffer[1] | (m_buffer[2] << 8));
    out->params.assign(m_buffer.begin() + 4, m_buffer.begin() + long(4 + len));
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + long(4 + len));
    return true;
}

Bytes CommandStatusEvent(uint8_t status, uint16_t opcode)
{
    Bytes body;
    Put16(body, opcode);
    body.push_back(0); // no data follows
    return Event(EventCommandStatus, status, body);
}

Bytes DeviceInitDoneEvent(uint8_t status, const uint8_t* ownAddress)
{
    Bytes body;
    PutAddress(body, ownAddress);
    Put16(body, 27); // data packet length
    body.push_back(4); // data packets the controller buffers
    body.insert(body.end(), 32, 0); // IRK and CSRK
    return Event(EventDeviceInitDone, status, body);
}

Bytes DeviceInfoEvent(uint8_t eventType, const uint8_t* address, int8_t rssi, const Bytes& data)
{
    Bytes body { eventType, 0x00 /* public address */ };
    PutAddress(body, address);
    body.push_back(uint8_t(rssi));
    body.push_back(uint8_t(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    return Event(EventDeviceInfo, StatusSuccess, body);
}

Bytes DiscoveryDoneEvent(uint8_t status, const std::vector<FoundDevice>& devices)
{
    Bytes body { uint8_t(devices.size()) };
    for (const FoundDevice& d : devices) {
        body.push_back(d.eventType);
        body.push_back(0x00);
        PutAddress(body, d.address);
    }
    return Event(EventDiscoveryDone, status, body);
}

Bytes LinkEstablishedEvent(uint8_t status, const uint8_t* address)
{
    Bytes body { 0x00 };
    PutAddress(body, address);
    Put16(body, kConnectionHandle);
    Put16(body, 0x0018); // interval, 1.25 ms units
    Put16(body, 0x0000); // latency
    Put16(body, 0x00C8); // supervision timeout, 10 ms units
    body.push_back(0x00); // clock accuracy
    return Event(EventLinkEstablished, status, body);
}

Bytes LinkTerminatedEvent(uint8_t status, uint8_t reason)
{
    Bytes body;
    Put16(body, kConnectionHandle);
    body.push_back(reason);
    return Event(EventLinkTerminated, status, body);
}

Bytes ParamUpdateEvent(uint8_t status)
{
    Bytes body;
    Put16(body, kConnectionHandle);
    Put16(body, 0x0018);
    Put16(body, 0x0000);
    Put16(body, 0x00C8);
    return Event(EventParamUpdate, status, body);
}

Bytes WriteResponseEvent(uint8_t status)
{
    Bytes body;
    Put16(body, kConnectionHandle);
    body.push_back(0); // PDU length: a write response carries nothing
    return Event(EventWriteResponse, status, body);
}

Bytes NotificationEvent(uint16_t handle, const Bytes& value)
{
    Bytes body;
    Put16(body, kConnectionHandle);
    body.push_back(uint8_t(2 + value.size())); // PDU length: handle and value
    Put16(body, handle);
    body.insert(body.end(), value.begin(), value.end());
    return Event(EventNotification, StatusSuccess, body);
}

Bytes MeterAdvertisingData(const std::string& name)
{
    const std::string n = name.substr(0, 22);
    Bytes d { 0x02, 0x01, 0x06, 0x03, 0x03, 0xF0, 0xFF, uint8_t(n.size() + 1), 0x09 };
    d.reserve(d.size() + n.size());
    for (char c : n)
        d.push_back(uint8_t(c));
    return d;
}

} // namespace sim
