#pragma once
// The dongle's side of the HCI dialogue: the vendor events it answers with (04 FF L code status
// ...), and the cutting of the host's command packets (01 opcode len params) out of a byte stream.
#include "sim/SimFrames.h"

#include <cstdint>

namespace sim {

// Host command opcodes the dongle understands.
enum HciOpcode : uint16_t {
    OpcodeDeviceInit = 0xFE00,
    OpcodeDiscovery = 0xFE04,
    OpcodeDiscoveryCancel = 0xFE05,
    OpcodeEstablishLink = 0xFE09,
    OpcodeTerminateLink = 0xFE0A,
    OpcodeWriteValue = 0xFD92,
};

// Vendor event codes.
enum HciEvent : uint16_t {
    EventDeviceInitDone = 0x0600,
    EventDiscoveryDone = 0x0601,
    EventLinkEstablished = 0x0605,
    EventLinkTerminated = 0x0606,
    EventParamUpdate = 0x0607,
    EventDeviceInfo = 0x060D,
    EventCommandStatus = 0x067F,
    EventWriteResponse = 0x0513,
    EventNotification = 0x051B,
};

// Status codes.
enum HciStatus : uint8_t {
    StatusSuccess = 0x00,
    StatusFailure = 0x01,
    StatusInvalidParameter = 0x02,
    StatusAlreadyInMode = 0x11,
    StatusNotConnected = 0x14,
    StatusUserCancelled = 0x30,
};

// Attribute handles of the meter's GATT server.
constexpr uint16_t kCommandHandle = 0x0012; // command characteristic value
constexpr uint16_t kDataHandle = 0x0014; // data characteristic value (notified)
constexpr uint16_t kDataConfigHandle = 0x0015; // its client configuration
constexpr uint16_t kConnectionHandle = 0x0000;

// Advertising report event types.
enum AdvEventType : uint8_t { AdvConnectable = 0x00, AdvScanResponse = 0x04 };

struct HciCommand {
    uint16_t opcode = 0;
    Bytes params;
};

// Collects host bytes and cuts whole command packets off the front. Bytes that cannot start a
// packet (anything but 0x01) are skipped.
class CHciCommandReader {
public:
    void Append(const uint8_t* bytes, size_t count) { m_buffer.insert(m_buffer.end(), bytes, bytes + count); }
    bool Next(HciCommand* out);
    size_t Pending() const { return m_buffer.size(); }
    size_t Skipped() const { return m_nSkipped; }
    void Clear() { m_buffer.clear(); }

private:
    Bytes m_buffer;
    size_t m_nSkipped = 0;
};

// Event packets. Addresses are 6 bytes, least significant first.
Bytes CommandStatusEvent(uint8_t status, uint16_t opcode);
Bytes DeviceInitDoneEvent(uint8_t status, const uint8_t* ownAddress);
Bytes DeviceInfoEvent(uint8_t eventType, const uint8_t* address, int8_t rssi, const Bytes& data);
struct FoundDevice {
    uint8_t eventType;
    const uint8_t* address;
};
Bytes DiscoveryDoneEvent(uint8_t status, const std::vector<FoundDevice>& devices);
Bytes LinkEstablishedEvent(uint8_t status, const uint8_t* address);
Bytes LinkTerminatedEvent(uint8_t status, uint8_t reason);
Bytes ParamUpdateEvent(uint8_t status);
Bytes WriteResponseEvent(uint8_t status);
// A notification of one value (at most 98 bytes, so the event stays within 109 bytes).
Bytes NotificationEvent(uint16_t handle, const Bytes& value);

// Advertising data of a device that offers the meter's service: flags, the 16-bit service UUID
// list with 0xFFF0, and the complete local name (at most 22 characters).
Bytes MeterAdvertisingData(const std::string& name);

} // namespace sim
