#include "sim/SimLogger.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {

void PutLe32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void PutClock(Bytes& b, size_t at, const MeterClock& c)
{
    const int fields[6] = { c.year, c.month, c.day, c.hour, c.minute, c.second };
    for (int i = 0; i < 6; ++i)
        b[at + size_t(i)] = ToBcd(fields[i]);
}

bool Is(const Bytes& c, uint8_t a, uint8_t b, uint8_t d)
{
    return c.size() == 4 && c[0] == a && c[1] == b && c[3] == d;
}

StoredRecord Make(uint8_t address, uint8_t function, MeterClock start, uint32_t interval, std::vector<float> r)
{
    StoredRecord s;
    s.address = address;
    s.function = function;
    s.start = start;
    s.interval = interval;
    s.readings = std::move(r);
    return s;
}

MeterClock Clock(int y, int mo, int d, int h, int mi, int s)
{
    MeterClock c;
    c.year = y;
    c.month = mo;
    c.day = d;
    c.hour = h;
    c.minute = mi;
    c.second = s;
    return c;
}

} // namespace

CSimLogger::CSimLogger()
    : m_records(DefaultRecords())
{
}

std::vector<StoredRecord> CSimLogger::DefaultRecords()
{
    std::vector<StoredRecord> out;
    // Frequency: hertz, kilohertz and over the limit of 1000.
    std::vector<float> hz;
    for (int i = 0; i < 120; ++i)
        hz.push_back(i % 40 == 39 ? 1500.0f : float(50 + (i * 37) % 900));
    out.push_back(Make(1, 16, Clock(26, 12, 5, 9, 3, 7), 1, hz));
    // Resistance: ohms, kilo-ohms, mega-ohms, and open leads.
    std::vector<float> ohm;
    const float steps[] = { 220.0f, 2200.0f, 47000.0f, 2200000.0f, 6.0e7f };
    for (int i = 0; i < 250; ++i)
        ohm.push_back(steps[(i / 10) % 5] * (1.0f + 0.001f * float(i % 10)));
    out.push_back(Make(2, 4, Clock(26, 11, 30, 23, 59, 0), 5, ohm));
    // DC volts, a few thousand readings over many blocks.
    std::vector<float> vdc;
    for (int i = 0; i < 3200; ++i)
        vdc.push_back(float(12.0 + 0.5 * std::sin(i / 50.0) + 0.001 * (i % 7)));
    out.push_back(Make(3, 2, Clock(26, 10, 1, 8, 0, 0), 2, vdc));
    // Temperature with the clock never set.
    std::vector<float> temp;
    for (int i = 0; i < 60; ++i)
        temp.push_back(float(21.5 + 0.1 * (i % 5)));
    out.push_back(Make(4, 6, Clock(0, 0, 0, 0, 0, 0), 10, temp));
    // Frequency over range from start to end.
    out.push_back(Make(5, 31, Clock(26, 9, 15, 14, 30, 0), 1, std::vector<float>(40, 2500.0f)));
    return out;
}

Bytes CSimLogger::ListEntry(const StoredRecord& r, int count)
{
    Bytes b(26, 0);
    b[0] = 0xA0;
    b[1] = 0xAA;
    b[2] = r.address;
    b[3] = uint8_t(count);
    b[4] = r.function;
    PutClock(b, 5, r.start);
    PutLe32(b, 11, r.interval);
    PutLe32(b, 19, uint32_t(r.readings.size()));
    return b;
}

Bytes CSimLogger::Header(const StoredRecord& r)
{
    Bytes b(26, 0);
    b[0] = 0xA0;
    b[1] = 0xA8;
    b[2] = r.function;
    PutClock(b, 3, r.start);
    PutLe32(b, 9, r.interval);
    PutLe32(b, 13, uint32_t(r.readings.size()));
    const int blocks = BlockCount(r);
    b[21] = uint8_t(blocks);
    b[22] = uint8_t(blocks >> 8);
    return b;
}

int CSimLogger::BlockCount(const StoredRecord& r)
{
    return int((r.readings.size() + kBlockReadings - 1) / kBlockReadings);
}

Bytes CSimLogger::Block(const StoredRecord& r, int number, int numberSent)
{
    const size_t first = size_t(number - 1) * kBlockReadings;
    const size_t count = std::min<size_t>(kBlockReadings, r.readings.size() - first);
    Bytes b = { 0xA0, 0xA9, uint8_t(count), uint8_t(numberSent), uint8_t(numberSent >> 8) };
    for (size_t i = first; i < first + count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &r.readings[i], 4);
        const size_t at = b.size();
        b.resize(at + 8);
        PutLe32(b, at, bits);
        PutLe32(b, at + 4, uint32_t(i) * r.interval);
    }
    b.insert(b.end(), { 0x00, 0x00, 0xA1 });
    return b;
}

CSimLogger::Reply CSimLogger::OnCommand(const Bytes& c, bool* handled)
{
    Reply reply;
    bool mine = true;
    if (Is(c, 0xB0, 0x95, 0xB1)) {
        m_bBusy = true;
        m_pSending = nullptr;
        m_nRequests = 0;
        Bytes list;
        if (m_faults.emptyList || m_records.empty()) {
            StoredRecord none;
            none.address = 0;
            list = ListEntry(none, 0);
        } else {
            for (const StoredRecord& r : m_records) {
                const Bytes e = ListEntry(r, int(m_records.size()));
                list.insert(list.end(), e.begin(), e.end());
            }
        }
        reply.frames.push_back(std::move(list));
    } else if (Is(c, 0xB0, 0x96, 0xB1)) {
        m_bBusy = true;
        // A repeated request while the record is already on its way changes nothing.
        const auto it = std::find_if(
            m_records.begin(), m_records.end(), [&](const StoredRecord& r) { return r.address == c[2]; });
        if (it != m_records.end() && !(m_pSending == &*it && m_nNextBlock > 0)) {
            m_pSending = &*it;
            m_nNextBlock = 1;
            m_bFaulty = ++m_nRequests == m_faults.faultRecord;
            m_bStopped = false;
            m_bUnasked = false;
            reply.frames.push_back(Header(*it));
        }
    } else if (c.size() == 4 && c[0] == 0xF3 && c[1] == 0x00 && c[2] == 0x01 && c[3] == 0xF4) {
        reply = NextBlock();
    } else if (Is(c, 0xB0, 0xA0, 0xB1)) {
        m_bBusy = false;
        m_pSending = nullptr;
        mine = false; // the meter also takes it as its function key
    } else {
        mine = false;
    }
    if (handled)
        *handled = mine;
    reply.busy = m_bBusy;
    return reply;
}

CSimLogger::Reply CSimLogger::NextBlock()
{
    Reply reply;
    reply.busy = m_bBusy;
    if (!m_pSending || m_bStopped || m_nNextBlock < 1)
        return reply;
    const StoredRecord& r = *m_pSending;
    const int number = m_nNextBlock;
    if (number > BlockCount(r)) {
        m_pSending = nullptr; // an acknowledgement of the last block: nothing follows
        return reply;
    }
    if (m_bFaulty && number == m_faults.silenceBlock) {
        m_bStopped = true;
        reply.fault = Fault::Silence;
        return reply;
    }
    if (m_bFaulty && number == m_faults.dropLinkBlock) {
        m_bStopped = true;
        reply.fault = Fault::DropLink;
        return reply;
    }
    const int sent = m_bFaulty && number == m_faults.wrongBlock ? number + 1 : number;
    reply.frames.push_back(Block(r, number, sent));
    ++m_nNextBlock;
    if (m_nNextBlock > BlockCount(r)) {
        m_pSending = nullptr; // the host does not acknowledge the last block
        if (m_bUnasked)
            m_bBusy = m_bUnasked = false; // nobody will end the dialogue of an unasked record
    }
    reply.busy = m_bBusy;
    return reply;
}

void CSimLogger::Reset()
{
    m_bBusy = false;
    m_bUnasked = false;
    m_pSending = nullptr;
}

CSimLogger::Reply CSimLogger::SendUnasked(size_t index)
{
    Reply reply;
    if (index < m_records.size()) {
        m_bBusy = true;
        m_pSending = &m_records[index];
        m_nNextBlock = 1;
        m_bFaulty = false;
        m_bStopped = false;
        m_bUnasked = true;
        reply.frames.push_back(Header(*m_pSending));
    }
    reply.busy = m_bBusy;
    return reply;
}

} // namespace sim
