#include "protocol/FrameDispatcher.h"

#include "protocol/FrameCheck.h"
#include "protocol/LiveDecoder.h"
#include "protocol/MeterCommands.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view kMainHeader[CFrameDispatcher::kLiveKinds]
    = { "a080", "a081", "a082", "a083", "a084", "a085", "a086" };
constexpr std::string_view kAltHeader[CFrameDispatcher::kLiveKinds]
    = { "a090", "a091", "a092", "a093", "a094", "a095", "a096" };

// A header counts as at the front of the text when it starts within its first five characters,
// so a little noise before a frame does no harm.
constexpr size_t kFrontWindow = 5;

bool AtFront(size_t pos)
{
    return pos != HexText::npos && pos < kFrontWindow;
}

// The first occurrence of marker when it is at the front, else npos: the same answer as a search
// of the whole text, for a look at its first few characters.
size_t FindAtFront(const HexText& text, std::string_view marker)
{
    return text.substr(0, kFrontWindow - 1 + marker.size()).find(marker);
}

} // namespace

CFrameDispatcher::CFrameDispatcher(HexText& text, FrameDispatcherHooks hooks, const ComposeFn& compose)
    : m_text(text)
    , m_hooks(std::move(hooks))
{
    if (compose)
        compose(*this, m_hooks);
}

bool CFrameDispatcher::Send(const uint8_t* bytes)
{
    return m_hooks.send ? m_hooks.send(bytes, 4) : false;
}

void CFrameDispatcher::SetReadSize(int size)
{
    if (m_hooks.setReadSize)
        m_hooks.setReadSize(size);
}

void CFrameDispatcher::EndTransfer()
{
    m_bLoggerDownload = false;
    m_bExpectBlockHeader = false;
    m_nBlockRecords = 0;
    if (m_hooks.transferAbandoned)
        m_hooks.transferAbandoned();
}

void CFrameDispatcher::MeterFrameDispatcher()
{
    ++m_nNotifications;
    if (m_bAbortTransfer.exchange(false) && m_bLoggerDownload)
        EndTransfer();

    // 1. The store marker: saved readings follow it. A live header ends them.
    const size_t marker = FindStoreMarker();
    if (marker != HexText::npos) {
        m_text.consume(marker + 8);
        m_bStoreMarker = true;
        ++m_nFramesRead;
    } else if (AtFront(FindAtFront(m_text, "a08"))) {
        m_bStoreMarker = false;
        m_bSavedReadings = false;
    }
    // 2.
    if (m_bStoreMarker && AtFront(FindAtFront(m_text, "a09")))
        m_bSavedReadings = true;
    // 3.
    if (!m_bLoggerDownload)
        DispatchLiveFrames();
    // 4.
    DispatchOtherHeaders();
    // 5. and 6.
    DispatchBlockHeader();
    DispatchBlockBody();

    // A transfer the meter no longer serves would otherwise hold the text and block the live
    // frames for the rest of the run.
    if (m_bLoggerDownload && m_text.size() > kMaxTransferText) {
        EndTransfer();
        m_text.clear();
    }
}

void CFrameDispatcher::DispatchLiveFrames()
{
    // Damaged frames are dropped on the spot, so that a good frame behind one is decoded in
    // the same call; only one good frame is handed out per call.
    for (;;) {
        size_t p = 0;
        const int mode = FindLiveFront(&p);
        if (mode == 0)
            return;
        const size_t length = CLiveDecoder::kFrameChars[mode];
        if (m_text.size() < p + length)
            return; // incomplete: waits for the rest of its notifications
        if (m_text.substr(p + length - 2, 2) != "a1") {
            DropDamagedFrame(p);
            continue;
        }
        m_text.consume(p);
        std::array<char, 128> frame;
        std::copy_n(m_text.view().data(), length, frame.data());
        m_text.consume(length);
        const std::string_view text(frame.data(), length);
        if (!LiveFrameFieldsPlausible(mode, text)) {
            // Shifted by a lost and a stray byte: never shown, recorded or printed.
            ++m_nDamagedFrames;
            continue;
        }
        ++m_nFramesRead;
        if (m_hooks.liveFrame)
            m_hooks.liveFrame(mode, text, m_bSavedReadings);
        return;
    }
}

int CFrameDispatcher::FindLiveFront(size_t* pos) const
{
    // The first kind whose header is at the front is taken.
    if (!LiveHeaderStartAtFront())
        return 0;
    for (int k = 0; k < kLiveKinds; ++k) {
        // A kind's live and saved headers both count; whichever stands first is the frame.
        const size_t p = std::min(FindAtFront(m_text, kMainHeader[k]), FindAtFront(m_text, kAltHeader[k]));
        if (AtFront(p)) {
            *pos = p;
            return k + 1;
        }
    }
    return 0;
}

void CFrameDispatcher::DropDamagedFrame(size_t p)
{
    // Its whole length is here but its end byte is not where the length says: a byte was lost
    // (or one too many came). It cannot be mended; what follows it may be a good frame.
    ++m_nDamagedFrames;
    const size_t next = NextFrameStart(p);
    if (next != HexText::npos)
        m_text.consume(next);
    else
        m_text.consume(m_text.size() - HeaderStartAtEnd()); // keep what may begin a header
}

namespace {

constexpr std::string_view kOtherStarts[] = { "a0a8", "a0aa", "e0e0", "f8f8f8f8", "a2a2" };

template <typename Fn> void ForEachStart(Fn&& fn)
{
    for (int k = 0; k < CFrameDispatcher::kLiveKinds; ++k) {
        fn(kMainHeader[k]);
        fn(kAltHeader[k]);
    }
    for (std::string_view marker : kOtherStarts)
        fn(marker);
}

} // namespace

size_t CFrameDispatcher::NextFrameStart(size_t frame) const
{
    // Only on the frame's byte boundaries: "0a0aa1" holds no list header.
    size_t best = HexText::npos;
    ForEachStart([&](std::string_view marker) {
        for (size_t at = m_text.find(marker, frame + 2); at != HexText::npos && at < best;
             at = m_text.find(marker, at + 1)) {
            if ((at - frame) % 2 == 0) {
                best = at;
                break;
            }
        }
    });
    return best;
}

size_t CFrameDispatcher::FirstFrameStart() const
{
    // One pass, character by character: this runs on every call that finds nothing.
    const std::string_view t = m_text.view();
    const size_t n = t.size();
    for (size_t at = 0; at + 4 <= n; ++at) {
        const char c = t[at];
        if (c == 'a' && t[at + 1] == '0') {
            const char k = t[at + 2], x = t[at + 3];
            if (((k == '8' || k == '9') && x >= '0' && x <= '6') || (k == 'a' && (x == '8' || x == 'a')))
                return at; // a live header, the logger header or the list
        } else if (c == 'a' && t[at + 1] == '2') {
            if (t[at + 2] == 'a' && t[at + 3] == '2')
                return at;
        } else if (c == 'e' && t[at + 1] == '0') {
            if (t[at + 2] == 'e' && t[at + 3] == '0')
                return at;
        } else if (c == 'f' && t[at + 1] == '8' && at + 8 <= n && t.compare(at, 8, "f8f8f8f8") == 0) {
            return at;
        }
    }
    return HexText::npos;
}

size_t CFrameDispatcher::HeaderStartAtEnd() const
{
    // The longest end of the text that a header or marker begins with.
    const std::string_view text = m_text.view();
    for (size_t n = std::min<size_t>(text.size(), 7); n > 0; --n) {
        const std::string_view tail = text.substr(text.size() - n);
        if (tail[0] != 'a' && tail[0] != 'e' && tail[0] != 'f')
            continue; // no header or marker begins otherwise
        bool starts = false;
        ForEachStart([&](std::string_view marker) { starts = starts || marker.substr(0, n) == tail; });
        if (starts)
            return n;
    }
    return 0;
}

void CFrameDispatcher::DispatchOtherHeaders()
{
    if (m_bLoggerDownload)
        return;
    size_t p;
    if (AtFront(p = FindAtFront(m_text, "a0a8"))) {
        // Stored-logger record header.
        if (m_hooks.killRequestTimer)
            m_hooks.killRequestTimer();
        m_text.consume(p);
        if (m_text.size() >= kLoggerHeaderChars) {
            m_nBlocksDone = 0;
            ++m_nFramesRead;
            uint8_t header[26];
            HexToBytes(26, header, m_text.view(), 2);
            if (m_hooks.loggerHeader)
                m_hooks.loggerHeader(header);
            m_text.consume(kLoggerHeaderChars);
            m_bExpectBlockHeader = true;
            m_bLoggerDownload = true;
            Send(meter_cmd::kAck.data());
            if (m_hooks.progressWindow)
                m_hooks.progressWindow(1);
            FinishEmptyRecord();
        }
        SetReadSize(1000);
    } else if (LiveHeaderAtFront()) {
        // The start of a live frame waits for the rest of it. What follows belongs to that
        // frame, whatever it looks like (a reading's bytes may well read "e0e0" or "a2a2"), so
        // only the bound on unrecognised text applies.
        TrimIdleText();
    } else if (ListAtFront()) {
        // An awaited list goes first: its counts may well read "e0e0".
        DispatchLoggerList(m_text.find("a0aa"));
    } else if ((p = m_text.find("e0e0")) != HexText::npos) {
        // Oscilloscope record.
        m_bOscActive = true;
        m_text.consume(p);
        DispatchOscRecord();
        SetReadSize(512);
    } else if ((p = m_text.find("a0aa")) != HexText::npos) {
        DispatchLoggerList(p);
    } else if (m_bOscDownload) {
        // The oscilloscope download suspends the marker and the trimming.
    } else if ((p = m_text.find("a2a2")) != HexText::npos) {
        // The meter switched to its oscilloscope.
        ++m_nFramesRead;
        if (m_hooks.oscMode)
            m_hooks.oscMode();
        size_t q;
        while ((q = m_text.find("a2a2a2a2")) != HexText::npos)
            m_text.consume(q + 8);
        // A marker that lost a byte leaves a few "a2" at the front; the frame behind them must
        // not wait for the bound below.
        if (AtFront(q = m_text.find("a2a2"))) {
            const std::string_view t = m_text.view();
            while (t.substr(q, 2) == "a2")
                q += 2;
            m_text.consume(q);
        }
        // A marker followed by noise must not hold the text forever.
        if (m_text.size() > kMaxIdleText)
            m_text.clear();
    } else {
        TrimIdleText();
    }
}

void CFrameDispatcher::DispatchOscRecord()
{
    // A record has no end byte. It is taken when its fixed fields make sense, no other record
    // begins inside its length, and what follows it, if anything has come yet, begins a frame or
    // a marker. Bytes lost on the way pull the start of whatever comes next into the record's
    // length: the next record's marker and fields, or the mode markers that follow the last one.
    // A damaged record is dropped up to the next record marker on its byte boundaries, which is
    // looked at in the same call; a marker that was only sample bytes fails in its turn.
    while (m_text.substr(0, 4) == "e0e0") {
        const bool fields = OscRecordFieldsPlausible(m_text.substr(0, kOscFieldChars));
        const bool whole = m_text.size() >= kOscRecordChars;
        if (fields && !whole)
            return; // waits for the rest of its notifications
        const OscVerdict verdict = fields ? JudgeWholeOscRecord() : OscVerdict::Drop;
        if (verdict == OscVerdict::Wait)
            return;
        if (verdict == OscVerdict::Take) {
            ++m_nFramesRead;
            if (m_hooks.oscRecord)
                m_hooks.oscRecord(m_text);
            m_text.consume(kOscRecordChars);
            return;
        }
        ++m_nDamagedFrames;
        const size_t next = NextOscMarker(2);
        if (next == HexText::npos) {
            // Nothing more of a record here: what follows is for the other headers.
            m_text.consume(4);
            return;
        }
        m_text.consume(next);
    }
}

size_t CFrameDispatcher::NextOscMarker(size_t from) const
{
    size_t at = m_text.find("e0e0", from);
    while (at != HexText::npos && at % 2 != 0)
        at = m_text.find("e0e0", at + 1);
    return at;
}

CFrameDispatcher::OscVerdict CFrameDispatcher::JudgeWholeOscRecord() const
{
    // Another record starting inside this one, with fields in their tables. Samples or spectrum
    // bytes that read E0 E0 are seldom followed by a status, a time base and a volts index in
    // their tables, and never by a whole set of fields: one whose fields are not all in yet is
    // judged once more text has come.
    constexpr size_t kEnoughToJudge = 4 + 2 * 3;
    for (size_t at = NextOscMarker(2); at != HexText::npos && at < kOscRecordChars; at = NextOscMarker(at + 2)) {
        const std::string_view inner = m_text.substr(at, kOscFieldChars);
        if (inner.size() >= kEnoughToJudge && OscRecordFieldsPlausible(inner))
            return inner.size() == kOscFieldChars ? OscVerdict::Drop : OscVerdict::Wait;
    }
    // The mode markers the meter sends once its records are out, taken in as the record's end.
    if (m_text.substr(kOscRecordChars - 8, 8) == "a2a2a2a2")
        return OscVerdict::Drop;
    return MayBeginFrame(kOscRecordChars) ? OscVerdict::Take : OscVerdict::Drop;
}

bool CFrameDispatcher::MayBeginFrame(size_t pos) const
{
    const std::string_view rest = m_text.substr(pos, 8);
    if (rest.empty())
        return true; // nothing after it yet
    bool starts = false;
    ForEachStart([&](std::string_view marker) {
        const size_t n = std::min(rest.size(), marker.size());
        starts = starts || rest.substr(0, n) == marker.substr(0, n);
    });
    return starts;
}

void CFrameDispatcher::DispatchLoggerList(size_t p)
{
    m_text.consume(p);
    if (m_text.size() >= 2 * static_cast<size_t>(std::max(0, m_nLoggerListSize.load()))) {
        // Nobody to take the list (no download asked for it): drop it as the list handler
        // would, rather than let it block every later frame.
        ++m_nFramesRead;
        if (m_hooks.loggerList)
            m_hooks.loggerList(m_text);
        else
            m_text.clear();
    }
    if (m_text.size() >= 52 && m_nLoggerListSize == kListSizeRequested) {
        std::array<char, 52> entry;
        std::copy_n(m_text.view().data(), entry.size(), entry.data());
        if (m_hooks.listHeader)
            m_hooks.listHeader(std::string_view(entry.data(), entry.size()), m_text);
    }
    SetReadSize(100);
    m_bStoreMarker = true;
}

bool CFrameDispatcher::ListAtFront() const
{
    return m_nLoggerListSize != 0 && AtFront(m_text.find("a0aa"));
}

void CFrameDispatcher::FinishEmptyRecord()
{
    // A record without blocks has nothing more to come: it is complete with its header.
    if (m_nTotalBlocks != 0)
        return;
    m_bExpectBlockHeader = false;
    m_bLoggerDownload = false;
    if (m_hooks.transferComplete)
        m_hooks.transferComplete(m_text);
}

size_t CFrameDispatcher::FindStoreMarker() const
{
    // The bytes of a logger block or of an oscilloscope record still arriving are data, not
    // markers: a flat trace at raw 248 is f8 f8 f8 ..., and at 143 (8f 8f ...) it reads
    // "f8f8f8f8" from an odd offset. Taking either for the store marker would lose the record and
    // hold the link watchdog for 21 s.
    if (m_bLoggerDownload)
        return HexText::npos;
    size_t from = 0;
    for (;;) {
        const size_t marker = m_text.find("f8f8f8f8", from);
        if (marker == HexText::npos)
            return marker;
        // A record starts at the front of the text (where the record branch leaves it), or right
        // after another one, and covers the next 1028 characters.
        const size_t record = m_text.find("e0e0", from);
        const bool recordStart = record != HexText::npos && record < marker
            && (from > 0 ? record == from : AtFront(record) && !LiveHeaderAtFront());
        if (!recordStart || marker >= record + kOscRecordChars)
            return marker;
        from = record + kOscRecordChars;
    }
}

bool CFrameDispatcher::LiveHeaderStartAtFront() const
{
    // Every live header begins "a08" or "a09"; most texts have neither at the front.
    const std::string_view front = m_text.substr(0, kFrontWindow + 2);
    return front.find("a08") != std::string_view::npos || front.find("a09") != std::string_view::npos;
}

bool CFrameDispatcher::LiveHeaderAtFront() const
{
    if (!LiveHeaderStartAtFront())
        return false;
    const std::string_view front = m_text.substr(0, kFrontWindow + 3);
    for (int k = 0; k < kLiveKinds; ++k) {
        if (front.find(kMainHeader[k]) != std::string_view::npos || front.find(kAltHeader[k]) != std::string_view::npos)
            return true;
    }
    return false;
}

void CFrameDispatcher::TrimIdleText()
{
    // Nothing recognised: keep from the first header or marker on, or else what may begin one,
    // within bounds. A stray "a0" begins nothing and must not hold the frames behind it.
    size_t p = FirstFrameStart();
    if (p == HexText::npos)
        p = m_text.size() - HeaderStartAtEnd();
    m_text.consume(p);
    if (m_text.size() > kMaxIdleText)
        m_text.clear();
}

void CFrameDispatcher::DispatchBlockHeader()
{
    if (!m_bExpectBlockHeader || !m_bLoggerDownload || m_nBlocksDone >= m_nTotalBlocks || m_bOscDownload)
        return;
    const size_t p = m_text.find("a0a9");
    if (p != HexText::npos)
        m_text.consume(p);
    if (m_text.size() < kBlockHeaderChars)
        return;
    uint8_t header[5];
    HexToBytes(5, header, m_text.view(), 2);
    m_text.consume(kBlockHeaderChars);
    // Blocks must come numbered 1, 2, 3 ... ; any other header is dropped and not acknowledged.
    const int number = header[4] * 256 + header[3];
    if (header[0] == 0xA0 && header[1] == 0xA9 && number == m_nBlocksDone + 1) {
        m_nBlockRecords = header[2];
        m_bExpectBlockHeader = false;
        ++m_nBlocksDone;
        ++m_nFramesRead;
    } else if (header[0] == 0xA0 && header[1] == 0xA9 && m_hooks.blockMisnumbered) {
        m_hooks.blockMisnumbered(m_nBlocksDone + 1, number);
    }
}

void CFrameDispatcher::DispatchBlockBody()
{
    // A body belongs to the header just accepted; while a header is still awaited (the last one
    // had the wrong number) no text is a body, whatever its length.
    if (!m_bLoggerDownload || m_bExpectBlockHeader)
        return;
    const int records = m_nBlockRecords;
    const size_t bodyChars = 16 * static_cast<size_t>(std::max(0, records)) + 6;
    if (m_nBlocksDone < m_nTotalBlocks && records > 0) {
        if (m_text.size() >= bodyChars && m_text.size() >= 10 && m_text.find("a1", 1) != HexText::npos) {
            ++m_nFramesRead;
            if (m_hooks.loggerBlock)
                m_hooks.loggerBlock(m_text.view(), records);
            m_text.clear();
            m_bExpectBlockHeader = true;
            Send(meter_cmd::kAck.data());
            if (m_hooks.progressPosition)
                m_hooks.progressPosition(m_nBlocksDone);
        }
    } else if (m_nBlocksDone == m_nTotalBlocks && m_text.size() >= bodyChars) {
        // The last block: no acknowledgement, the transfer ends.
        ++m_nFramesRead;
        if (m_hooks.loggerBlock)
            m_hooks.loggerBlock(m_text.view(), records);
        m_text.clear();
        m_bExpectBlockHeader = false;
        m_bLoggerDownload = false;
        if (m_hooks.transferComplete)
            m_hooks.transferComplete(m_text);
    }
}
