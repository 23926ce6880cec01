#include "link/BleCommand.h"

#include <algorithm>
#include <cstring>

namespace {

// HCI packet types and the vendor event code.
constexpr uint8_t kCommandPacket = 0x01;
constexpr uint8_t kEventPacket = 0x04;

// Vendor event codes the dongle answers with.
constexpr int kCommandStatus = 0x067F;
constexpr int kDeviceInitDone = 0x0600;
constexpr int kDeviceInformation = 0x060D;
constexpr int kNotification = 0x051B;
constexpr int kWriteResponse = 0x0513;
constexpr int kParamUpdate = 0x0607;
constexpr int kLinkEstablished = 0x0605;
constexpr int kLinkTerminated = 0x0606;

// Device information layout.
constexpr int kEventTypeByte = 6;
constexpr int kScanResponseType = 4;
constexpr int kReportCopyBytes = 25;
constexpr int kServiceUuidByte = 21; // 16-bit UUID, little-endian
constexpr int kNameLengthByte = 23; // AD length of the name (type byte included)
constexpr int kNameTypeByte = 24;
constexpr int kNameByte = 25;
constexpr uint16_t kMeterService = 0xFFF0;
constexpr uint8_t kCompleteLocalName = 0x09;

// Notification layout: connection handle at 6, PDU length at 8, attribute handle at 9,
// value from 11.
constexpr int kPduLengthByte = 8;
constexpr int kValueByte = 11;

// Characteristic handles of the meter.
constexpr uint8_t kCommandHandle = 0x12;
constexpr uint8_t kNotifyConfigHandle = 0x15;

bool Put(uint8_t* out, int* outLen, const uint8_t* packet, int n)
{
    if (!out)
        return true;
    std::memcpy(out, packet, static_cast<size_t>(n));
    if (outLen)
        *outLen = n;
    return false;
}

} // namespace

bool CBleCommand::BuildDeviceInit(uint8_t* out, int* outLen) const
{
    uint8_t p[42] = { kCommandPacket, 0x00, 0xFE, 0x26, 0x08, 0x05 };
    // IRK and CSRK (16 bytes each) stay zero; the sign counter is 1.
    p[38] = 0x01;
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildTerminateLink(uint8_t* out, int* outLen) const
{
    const uint8_t p[] = { kCommandPacket, 0x0A, 0xFE, 0x03, 0x00, 0x00, 0x13 };
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildDiscoveryRequest(uint8_t* out, int* outLen) const
{
    const uint8_t p[] = { kCommandPacket, 0x04, 0xFE, 0x03, 0x03, 0x01, 0x00 };
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildDiscoveryCancel(uint8_t* out, int* outLen) const
{
    const uint8_t p[] = { kCommandPacket, 0x05, 0xFE, 0x00 };
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildEstablishLink(uint8_t* out, int* outLen, const uint8_t* address) const
{
    if (!address)
        return true;
    uint8_t p[13] = { kCommandPacket, 0x09, 0xFE, 0x09, 0x00, 0x00, 0x00 };
    std::memcpy(p + 7, address, 6);
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildEnableNotify(uint8_t* out, int* outLen) const
{
    const uint8_t p[] = { kCommandPacket, 0x92, 0xFD, 0x06, 0x00, 0x00, kNotifyConfigHandle, 0x00, 0x01, 0x00 };
    return Put(out, outLen, p, sizeof p);
}

bool CBleCommand::BuildWriteValue(uint8_t* out, int* outLen, const uint8_t* data, int n) const
{
    if (!out)
        return true;
    // The packet must fit the caller's buffer: at most kWriteBufferSize - 8 data bytes.
    n = std::clamp(n, 0, kWriteBufferSize - 8);
    if (!data)
        n = 0;
    const uint8_t head[]
        = { kCommandPacket, 0x92, 0xFD, static_cast<uint8_t>(n + 4), 0x00, 0x00, kCommandHandle, 0x00 };
    std::memcpy(out, head, sizeof head);
    if (n > 0)
        std::memcpy(out + sizeof head, data, static_cast<size_t>(n));
    if (outLen)
        *outLen = n + 8;
    return false;
}

int CBleCommand::ParseEvent(
    const uint8_t* packet, int count, uint8_t* out, int* outLen, uint8_t* name, int* nameLen) const
{
    if (outLen)
        *outLen = 0;
    if (nameLen)
        *nameLen = 0;
    if (!packet || count < 6)
        return BleEventUnknown;

    const int code = packet[3] | (packet[4] << 8);
    const uint8_t status = packet[5];
    auto byteAt = [&](int i) -> int { return i < count ? packet[i] : -1; };

    switch (code) {
    case kCommandStatus:
        return status == 0 ? BleEventStatusOk : BleEventFailed;
    case kDeviceInitDone:
        return status == 0 ? BleEventInitDone : BleEventFailed;
    case kDeviceInformation: {
        const int result = byteAt(kEventTypeByte) == kScanResponseType ? BleEventScanResponse : BleEventDeviceInfo;
        if (out) {
            // The head of the report; what a short event lacks reads as zero.
            const int n = std::min(count, kReportCopyBytes);
            std::memcpy(out, packet, static_cast<size_t>(n));
            std::memset(out + n, 0, static_cast<size_t>(kReportCopyBytes - n));
            if (outLen)
                *outLen = n;
        }
        const bool meterName = packet[0] == kEventPacket && byteAt(kServiceUuidByte) == (kMeterService & 0xFF)
            && byteAt(kServiceUuidByte + 1) == (kMeterService >> 8) && byteAt(kNameTypeByte) == kCompleteLocalName
            && status == 0;
        if (meterName) {
            const int adLength = packet[kNameLengthByte];
            const int length = adLength - 1;
            // Taken only when the event holds the whole name and it fits the caller's buffer.
            if (length > 0 && length <= kNameBufferSize && count >= adLength + 24 && name) {
                std::memcpy(name, packet + kNameByte, static_cast<size_t>(length));
                if (nameLen)
                    *nameLen = length;
            }
        }
        return result;
    }
    case kNotification: {
        const int value = byteAt(kPduLengthByte) - 2;
        // Copy only what the event really holds and the caller's buffer can take.
        const int n = std::clamp(std::min(value, count - kValueByte), 0, kPayloadBufferSize);
        if (out && n > 0)
            std::memcpy(out, packet + kValueByte, static_cast<size_t>(n));
        if (outLen)
            *outLen = out ? n : 0;
        return BleEventNotification;
    }
    case kWriteResponse:
        return status == 0 ? BleEventWriteOk : BleEventStatusOk;
    case kParamUpdate:
        return BleEventParamUpdate;
    case kLinkEstablished:
        return status == 0 ? BleEventLinkUp : BleEventFailed;
    case kLinkTerminated:
        return status == 0 ? BleEventLinkDown : BleEventFailed;
    default:
        return BleEventUnknown;
    }
}
