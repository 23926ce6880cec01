#pragma once
// What the code above the link needs of it, whichever way the meter is reached: the USB dongle
// (CBleLink) or the computer's own Bluetooth adapter (CDirectLink). Both put the meter's
// notification payloads, as hex, into the same frame text and run the same frame hook (the
// dispatcher) on a thread of their own; both wrap a 4-byte meter command into one write.
#include <cstdint>

class IMeterLink {
public:
    virtual ~IMeterLink() = default;
    // One meter command as one write to the meter's command characteristic. Safe from any thread.
    virtual bool SendToMeter(const uint8_t* bytes, int count) = 0;
    // Ends the connection; nothing more reaches the frame text afterwards.
    virtual void Close() = 0;
};
