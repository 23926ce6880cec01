#pragma once
// Host side of the dongle's HCI dialogue: the seven command packets the program writes and the
// parser of the vendor events the dongle answers with. Stateless.
#include <cstdint>

// Results of ParseEvent.
enum BleEventResult {
    BleEventUnknown = -1,
    BleEventNotification = 0, // handle value notification: payload copied to out
    BleEventStatusOk = 1,     // command status, success (also a failed write response)
    BleEventInitDone = 2,
    BleEventDeviceInfo = 3,   // advertising report: first 25 bytes to out, name when present
    BleEventWriteOk = 4,
    BleEventParamUpdate = 5,
    BleEventLinkUp = 6,
    BleEventLinkDown = 7,
    BleEventScanResponse = 8,
    BleEventFailed = 17,
};

class CBleCommand {
public:
    // Sizes of the caller's buffers.
    static constexpr int kCommandBufferSize = 50;
    static constexpr int kWriteBufferSize = 100; // BuildWriteValue; data at most 42 bytes
    static constexpr int kMaxEventBytes = 109;   // event packets longer than this are not parsed
    static constexpr int kPayloadBufferSize = 104;
    static constexpr int kNameBufferSize = 100;

    // Each builder writes its packet and length and returns false; given no buffer (or, for
    // BuildEstablishLink, no address) it writes nothing and returns true.
    bool BuildDeviceInit(uint8_t* out, int* outLen) const;
    bool BuildTerminateLink(uint8_t* out, int* outLen) const;
    bool BuildDiscoveryRequest(uint8_t* out, int* outLen) const;
    bool BuildDiscoveryCancel(uint8_t* out, int* outLen) const;
    // address: 6 bytes, least significant first.
    bool BuildEstablishLink(uint8_t* out, int* outLen, const uint8_t* address) const;
    bool BuildEnableNotify(uint8_t* out, int* outLen) const;
    bool BuildWriteValue(uint8_t* out, int* outLen, const uint8_t* data, int n) const;

    // Parses one whole event packet of count bytes. out must hold kPayloadBufferSize bytes and
    // name kNameBufferSize bytes; nothing is written past them.
    int ParseEvent(const uint8_t* packet, int count, uint8_t* out, int* outLen, uint8_t* name, int* nameLen) const;
};
