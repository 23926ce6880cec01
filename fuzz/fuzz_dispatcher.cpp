// Fuzz target of the frame dispatcher and the live decoders. The input is a little program:
// each step appends noise, live frames of every kind, markers, logger headers, blocks, list
// entries or oscilloscope records to the frame text, cut into notifications as the link cuts
// them, or changes the flags the GUI thread owns. Checks that nothing crashes and that the
// frame text cannot grow without bound.
#include "protocol/FrameCheck.h"
#include "protocol/MeterEventFormat.h"
#include "protocol/MeterProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size)
        : m_p(data)
        , m_n(size)
    {
    }
    bool done() const { return m_n == 0; }
    uint8_t next()
    {
        if (m_n == 0)
            return 0;
        --m_n;
        return *m_p++;
    }

private:
    const uint8_t* m_p;
    size_t m_n;
};

void Check(bool ok, const char* what, size_t size)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_dispatcher: %s (text %zu characters)\n", what, size);
        std::abort();
    }
}

struct Rig {
    HexText text;
    CMeterProtocol protocol { text, [](const uint8_t*, int) { return true; }, [](int) {}, &Rig::Consumers };
    bool idleBefore = true;
    size_t sizeBefore = 0;

    // Stand-ins for the GUI handlers, doing to the dispatcher what the real ones do.
    static void Consumers(CFrameDispatcher& d, FrameDispatcherHooks& h)
    {
        h.loggerHeader = [&d](const uint8_t* b) { d.SetTotalBlocks(b[21] | b[22] << 8); };
        h.loggerList = [](HexText& t) { t.clear(); };
        h.listHeader = [&d](std::string_view entry, HexText& t) {
            uint8_t b[26];
            HexToBytes(26, b, entry, 2);
            d.m_nLoggerListSize = b[3] * 26;
            if (b[3] == 0)
                t.clear();
        };
        h.transferComplete = [&d](HexText& t) {
            t.clear();
            d.m_nLoggerListSize = 0;
        };
        h.loggerBlock = [](std::string_view t, int records) { Check(records > 0 || t.size() >= 6, "block", t.size()); };
        h.oscRecord = [](HexText& t) { Check(t.size() >= 1028 && t.view().substr(0, 4) == "e0e0", "osc", t.size()); };
    }

    Rig()
    {
        QObject::connect(&protocol.Decoder(), &CLiveDecoder::frameDecoded, [](const MeterEvent& e) {
            Check(e.m_nMode >= 1 && e.m_nMode <= 7, "mode", 0);
            Check(!MeterEventToJson(e).empty() && !MeterEventToText(e).empty(), "format", 0);
        });
    }

    bool Idle()
    {
        CFrameDispatcher& d = protocol.Dispatcher();
        return !d.m_bLoggerDownload && !d.m_bOscDownload && d.m_nLoggerListSize == 0;
    }

    void Dispatch()
    {
        protocol.MeterFrameDispatcher();
        const bool idle = Idle();
        if (protocol.Dispatcher().m_bLoggerDownload)
            Check(text.size() <= CFrameDispatcher::kMaxTransferText, "transfer text unbounded", text.size());
        // Without a transfer the text holds at most one oscilloscope record, the fields of a record
        // that may begin inside its end, and a notification.
        if (idle && idleBefore)
            Check(text.size() <= std::max<size_t>(sizeBefore, 1028 + kOscFieldChars + 40), "idle text grew", text.size());
        idleBefore = idle;
        sizeBefore = text.size();
    }

    // Appends text as notifications of at most 20 bytes.
    void Notify(const std::string& hex)
    {
        for (size_t i = 0; i < hex.size(); i += 40) {
            text.appendText(std::string_view(hex).substr(i, 40));
            Dispatch();
        }
    }
    void NotifyBytes(const std::vector<uint8_t>& b) { Notify(BytesToHex(b.data(), b.size())); }
};

const size_t kFrameBytes[8] = { 0, 27, 59, 35, 47, 36, 34, 21 };

} // namespace

// Longer programs reach nothing shorter ones cannot, and would only slow the search down.
constexpr size_t kMaxInput = 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size = std::min(size, kMaxInput);
    static const char kAlphabet[] = "0123456789abcdefa1a0zZ \r";
    Rig rig;
    Input in(data, size);
    while (!in.done()) {
        switch (in.next() % 10) {
        case 0: { // noise text
            std::string t(in.next(), '0');
            for (char& c : t)
                c = kAlphabet[in.next() % (sizeof kAlphabet - 1)];
            rig.Notify(t);
            break;
        }
        case 1: { // a live frame with arbitrary contents
            const int mode = in.next() % 7 + 1;
            std::vector<uint8_t> b(kFrameBytes[mode]);
            b[0] = 0xA0;
            b[1] = uint8_t(((in.next() & 1) ? 0x90 : 0x80) + mode - 1);
            for (size_t i = 2; i + 1 < b.size(); ++i)
                b[i] = in.next();
            b.back() = 0xA1;
            rig.NotifyBytes(b);
            break;
        }
        case 2:
            rig.Notify("f8f8f8f8");
            break;
        case 3: { // logger record header
            std::vector<uint8_t> b(26);
            b[0] = 0xA0;
            b[1] = 0xA8;
            for (size_t i = 2; i < b.size(); ++i)
                b[i] = in.next();
            b[21] %= 5;
            b[22] = 0;
            rig.NotifyBytes(b);
            break;
        }
        case 4: { // block header and body
            const uint8_t number = in.next() % 5, records = in.next() % 9;
            std::vector<uint8_t> b = { 0xA0, 0xA9, records, number, 0 };
            for (int i = 0; i < records * 8 + 2; ++i)
                b.push_back(in.next());
            b.push_back(0xA1);
            rig.NotifyBytes(b);
            break;
        }
        case 5: { // (part of) an oscilloscope record, its fields in range or not, maybe a byte short
            const uint8_t f = in.next();
            std::vector<uint8_t> b(514, uint8_t(in.next()));
            b[0] = b[1] = 0xE0;
            b[2] = uint8_t(1 + f % 4); // status
            b[3] = uint8_t(1 + f % 18); // time base
            b[4] = uint8_t(1 + f % 11); // volts per division
            const uint8_t date[] = { 20, 26, 12, 7, 9, 30, 0 };
            std::copy(std::begin(date), std::end(date), b.begin() + 42);
            b[54] = uint8_t(in.next() % 12); // slot; 11 is out of range
            const uint8_t lost = in.next();
            if (lost < 128)
                b.erase(b.begin() + 2 + 4 * lost);
            const std::string hex = BytesToHex(b.data(), b.size());
            rig.Notify(hex.substr(0, std::min(hex.size(), size_t(in.next()) * 8 + 8)));
            break;
        }
        case 6:
            rig.Notify((in.next() & 1) ? "a2a2" : "a2a2a2a2");
            break;
        case 7: { // what the GUI thread changes
            const uint8_t f = in.next();
            CFrameDispatcher& d = rig.protocol.Dispatcher();
            if (f & 0x01)
                d.m_bOscDownload = !d.m_bOscDownload;
            if (f & 0x02)
                d.m_nLoggerListSize = d.m_nLoggerListSize ? 0 : CFrameDispatcher::kListSizeRequested;
            if (f & 0x04)
                d.AbortLoggerTransfer();
            if (f & 0x10)
                rig.protocol.Decoder().ResetDialPos();
            if (f & 0x20)
                d.m_bStoreMarker = false;
            rig.idleBefore = false;
            break;
        }
        case 8: { // logger list entry
            std::vector<uint8_t> b(26);
            b[0] = 0xA0;
            b[1] = 0xAA;
            for (size_t i = 2; i < b.size(); ++i)
                b[i] = in.next();
            b[3] %= 4;
            rig.NotifyBytes(b);
            break;
        }
        default: { // raw bytes
            std::vector<uint8_t> b(in.next());
            for (uint8_t& x : b)
                x = in.next();
            rig.NotifyBytes(b);
            break;
        }
        }
    }
    return 0;
}
