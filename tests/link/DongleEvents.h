#pragma once
// Vendor events as the dongle sends them, built byte by byte for the link tests.
#include <cstdint>
#include <string>
#include <vector>

namespace dongle {

using Bytes = std::vector<uint8_t>;

// 04 FF L, code (little-endian), status, then body.
inline Bytes Event(uint16_t code, uint8_t status, const Bytes& body = {})
{
    Bytes e { 0x04, 0xFF, uint8_t(3 + body.size()), uint8_t(code & 0xFF), uint8_t(code >> 8), status };
    e.insert(e.end(), body.begin(), body.end());
    return e;
}

inline Bytes CommandStatus(uint16_t opcode, uint8_t status = 0)
{
    return Event(0x067F, status, { uint8_t(opcode & 0xFF), uint8_t(opcode >> 8), 0x00 });
}

inline Bytes InitDone(uint8_t status = 0)
{
    Bytes body(41, 0);
    body[0] = 0x1B; // data packet length and a few more fields; contents do not matter here
    return Event(0x0600, status, body);
}

// An advertising report: event type, address type, address (least significant first), RSSI,
// data length, then the advertising data: flags, the 16-bit UUID list with FFF0, the name.
inline Bytes DeviceInfo(const uint8_t address[6], int8_t rssi, const std::string& name, uint8_t eventType = 0,
    uint16_t uuid = 0xFFF0, uint8_t nameType = 0x09, uint8_t status = 0)
{
    Bytes adv { 0x02, 0x01, 0x06, 0x03, 0x03, uint8_t(uuid & 0xFF), uint8_t(uuid >> 8) };
    adv.push_back(uint8_t(name.size() + 1));
    adv.push_back(nameType);
    adv.insert(adv.end(), name.begin(), name.end());
    Bytes body { eventType, 0x00 };
    body.insert(body.end(), address, address + 6);
    body.push_back(uint8_t(rssi));
    body.push_back(uint8_t(adv.size()));
    body.insert(body.end(), adv.begin(), adv.end());
    return Event(0x060D, status, body);
}

inline Bytes DiscoveryDone()
{
    return Event(0x0601, 0x00, { 0x00 });
}

inline Bytes Notification(const Bytes& value, uint16_t handle = 0x0012)
{
    Bytes body { 0x00, 0x00, uint8_t(value.size() + 2), uint8_t(handle & 0xFF), uint8_t(handle >> 8) };
    body.insert(body.end(), value.begin(), value.end());
    return Event(0x051B, 0x00, body);
}

inline Bytes LinkEstablished(uint8_t status = 0)
{
    Bytes body(16, 0);
    return Event(0x0605, status, body);
}

inline Bytes WriteResponse(uint8_t status = 0)
{
    return Event(0x0513, status, { 0x00, 0x00, 0x00 });
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline std::string Hex(const Bytes& b)
{
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (uint8_t x : b) {
        s += d[x >> 4];
        s += d[x & 15];
    }
    return s;
}

} // namespace dongle
