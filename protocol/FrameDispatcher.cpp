#include "protocol/FrameDispatcher.h"

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

} // namespace

CFrameDispatcher::CFrameDispatcher(HexText& text, FrameDispatcherHooks hooks)
    : m_text(text)
    , m_hooks(std::move(hooks))
{
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
    if (m_bAbortTransfer.exchange(false) && m_bLoggerDownload)
        EndTransfer();

    // 1. The store marker: saved readings follow it. A live header ends them.
    const size_t marker = FindStoreMarker();
    if (marker != HexText::npos) {
        m_text.consume(marker + 8);
        m_bStoreMarker = true;
    } else if (AtFront(m_text.find("a08"))) {
        m_bStoreMarker = false;
        m_bSavedReadings = false;
    }
    // 2.
    if (m_bStoreMarker && AtFront(m_text.find("a09")))
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
    for (int k = 0; k < kLiveKinds; ++k) {
        // A kind's live and saved headers both count; whichever stands first is the frame.
        const size_t p = std::min(m_text.find(kMainHeader[k]), m_text.find(kAltHeader[k]));
        if (!AtFront(p))
            continue;
        // Only the first kind found at the front is looked at in this call.
        const size_t length = CLiveDecoder::kFrameChars[k + 1];
        if (m_text.size() < p + length || m_text.substr(p + length - 2, 2) != "a1")
            return; // incomplete or damaged: looked at again on the next call
        m_text.consume(p);
        std::array<char, 128> frame;
        std::copy_n(m_text.view().data(), length, frame.data());
        m_text.consume(length);
        if (m_hooks.liveFrame)
            m_hooks.liveFrame(k + 1, std::string_view(frame.data(), length), m_bSavedReadings);
        return;
    }
}

void CFrameDispatcher::DispatchOtherHeaders()
{
    if (m_bLoggerDownload)
        return;
    size_t p;
    if (AtFront(p = m_text.find("a0a8"))) {
        // Stored-logger record header.
        if (m_hooks.killRequestTimer)
            m_hooks.killRequestTimer();
        m_text.consume(p);
        if (m_text.size() >= kLoggerHeaderChars) {
            m_nBlocksDone = 0;
            uint8_t header[26];
            HexToBytes(26, header, m_text.view(), 2);
            if (m_hooks.loggerHeader)
                m_hooks.loggerHeader(header);
            m_text.consume(kLoggerHeaderChars);
            m_bExpectBlockHeader = true;
            m_bLoggerDownload = true;
            if (m_nLoggerListSize == 0 && m_hooks.clearSinglePoints)
                m_hooks.clearSinglePoints();
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
        if (m_text.size() >= kOscRecordChars) {
            if (m_hooks.oscRecord)
                m_hooks.oscRecord(m_text);
            m_text.consume(kOscRecordChars);
        }
        SetReadSize(512);
    } else if ((p = m_text.find("a0aa")) != HexText::npos) {
        DispatchLoggerList(p);
    } else if (m_bOscDownload) {
        // The oscilloscope download suspends the marker and the trimming.
    } else if ((p = m_text.find("a2a2")) != HexText::npos) {
        // The meter switched to its oscilloscope.
        if (m_hooks.oscMode)
            m_hooks.oscMode();
        size_t q;
        while ((q = m_text.find("a2a2a2a2")) != HexText::npos)
            m_text.consume(q + 8);
        // A marker followed by noise must not hold the text forever.
        if (m_text.size() > kMaxIdleText)
            m_text.clear();
    } else {
        TrimIdleText();
    }
}

void CFrameDispatcher::DispatchLoggerList(size_t p)
{
    m_text.consume(p);
    if (m_text.size() >= 2 * static_cast<size_t>(std::max(0, m_nLoggerListSize.load()))) {
        // Nobody to take the list (no download asked for it): drop it as the list handler
        // would, rather than let it block every later frame.
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

bool CFrameDispatcher::LiveHeaderAtFront() const
{
    const std::string_view front = m_text.substr(0, kFrontWindow + 3);
    for (int k = 0; k < kLiveKinds; ++k) {
        if (front.find(kMainHeader[k]) != std::string_view::npos || front.find(kAltHeader[k]) != std::string_view::npos)
            return true;
    }
    return false;
}

void CFrameDispatcher::TrimIdleText()
{
    // Nothing recognised: keep from the first possible header on, within bounds.
    const size_t p = m_text.find("a0");
    if (p != HexText::npos)
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
        if (m_hooks.loggerBlock)
            m_hooks.loggerBlock(m_text.view(), records);
        m_text.clear();
        m_bExpectBlockHeader = false;
        m_bLoggerDownload = false;
        if (m_hooks.transferComplete)
            m_hooks.transferComplete(m_text);
    }
}
