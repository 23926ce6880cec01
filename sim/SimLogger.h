#pragma once
// The simulated meter's logger memory: the records it has stored and its side of the download
// dialogue. B0 95 00 B1 asks for the list (26-byte entries back to back), B0 96 nn B1 for record
// nn's header, and each F3 00 01 F4 for the next block (A0 A9 count lo hi, count readings of a
// float and a 32-bit time offset, 00 00 A1); the last block is not acknowledged. B0 A0 00 B1
// ends the dialogue. Pure state: the engine sends what it returns and keeps the time.
#include "sim/SimFrames.h"

#include <cstdint>
#include <vector>

namespace sim {

struct StoredRecord {
    uint8_t address = 1;
    uint8_t function = 2; // function code
    MeterClock start; // all zero: the meter's clock was never set
    uint32_t interval = 1; // seconds between readings
    std::vector<float> readings; // in the unit the meter stores (hertz, ohms, nanofarads ...)
};

// Faults of the logger dialogue, applied to the faultRecord-th record the host asks for.
struct LoggerFaults {
    int faultRecord = 2;
    int wrongBlock = 0; // this block is numbered one higher (1, 2, 4 for wrongBlock 3)
    int silenceBlock = 0; // the meter stops answering before this block
    int dropLinkBlock = 0; // the link drops before this block
    bool emptyList = false; // the meter claims to hold no records
};

class CSimLogger {
public:
    // Readings per block (the count is one byte).
    static constexpr int kBlockReadings = 100;

    enum class Fault { None, Silence, DropLink };
    struct Reply {
        std::vector<Bytes> frames; // sent in order, each cut into notifications
        bool busy = false; // the live stream pauses while the dialogue runs
        Fault fault = Fault::None;
    };

    CSimLogger();

    // The default store: frequency and resistance across their unit steps, a long DC voltage
    // run over many blocks, a record with a zero date, one entirely over range.
    static std::vector<StoredRecord> DefaultRecords();

    void SetRecords(std::vector<StoredRecord> records) { m_records = std::move(records); }
    const std::vector<StoredRecord>& Records() const { return m_records; }
    void SetFaults(const LoggerFaults& faults) { m_faults = faults; }
    const LoggerFaults& Faults() const { return m_faults; }

    // A 4-byte command written to the meter. handled is false for commands of no concern here.
    Reply OnCommand(const Bytes& command, bool* handled = nullptr);
    // The meter sends record `index` of its store on its own (address 0 in the host's eyes).
    Reply SendUnasked(size_t index);
    bool Busy() const { return m_bBusy; }
    // The link ended: the dialogue is over.
    void Reset();

    // Frames of the protocol, for tests.
    static Bytes ListEntry(const StoredRecord& r, int count);
    static Bytes Header(const StoredRecord& r);
    static int BlockCount(const StoredRecord& r);
    static Bytes Block(const StoredRecord& r, int number, int numberSent);

private:
    Reply NextBlock();

    std::vector<StoredRecord> m_records;
    LoggerFaults m_faults;
    bool m_bBusy = false;
    const StoredRecord* m_pSending = nullptr;
    int m_nNextBlock = 0; // 1-based number of the block the next acknowledgement asks for
    int m_nRequests = 0; // records asked for since the list
    bool m_bFaulty = false; // the record being sent carries the faults
    bool m_bStopped = false; // silenced or dropped: nothing more for this record
    bool m_bUnasked = false; // the record went out on the meter's own initiative
};

} // namespace sim
