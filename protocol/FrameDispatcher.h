#pragma once
// The meter frame dispatcher: finds the meter's frames in the frame text by their header
// markers, checks their trailer, cuts them out and hands each to its consumer; runs the host
// side of the stored-logger block transfer (acknowledgements, block counting, completion) and
// keeps the reader's read size in step with the traffic.
//
// It runs on the link's receive thread after every notification. Its consumers are reached
// through the hooks below, called synchronously on that thread; a hook that touches the GUI
// must run there as a blocking invocation, and the hooks that receive the frame text may read
// and consume it (the receive thread waits meanwhile).
#include "link/HexText.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

struct FrameDispatcherHooks {
    // A complete live frame of display mode 1..7, with the saved-readings flag.
    std::function<void(int mode, std::string_view frame, bool savedReadings)> liveFrame;
    // Writes a 4-byte command to the meter.
    std::function<bool(const uint8_t* bytes, int count)> send;
    // The port reader's read size.
    std::function<void(int size)> setReadSize;

    // Stored-logger record header, 26 bytes. The header decoder announces the number of blocks
    // through CFrameDispatcher::SetTotalBlocks.
    std::function<void(const uint8_t* header)> loggerHeader;
    // Stops the repeated record request (timer 3): the header has come.
    std::function<void()> killRequestTimer;
    // Transfer progress window: 1 opens it (message 0x468 with lParam 1).
    std::function<void(int open)> progressWindow;
    // Moves the transfer progress bar to the number of blocks received.
    std::function<void(int blocksDone)> progressPosition;
    // One block body: the whole frame text and the record count of its header.
    std::function<void(std::string_view text, int records)> loggerBlock;
    // A block header came with another number than the one due (A0 A9 and its number): the
    // meter waits for an acknowledgement that will not come.
    std::function<void(int expected, int got)> blockMisnumbered;
    // The last block is in (message 0x466): finish the record.
    std::function<void(HexText& text)> transferComplete;
    // The logger list is in (message 0x479): take it from the front of the text.
    std::function<void(HexText& text)> loggerList;
    // The first list entry (52 characters) while the list size is still unknown.
    std::function<void(std::string_view entry, HexText& text)> listHeader;

    // A whole oscilloscope record is at the front of the text (message 0x469).
    std::function<void(HexText& text)> oscRecord;
    // The meter switched to its oscilloscope: display mode 10, function "OSC", show the
    // stored-waveform pane. CMeterProtocol routes it to CLiveDecoder::EnterOscMode.
    std::function<void()> oscMode;

    // A logger transfer was given up (see CFrameDispatcher::kMaxTransferText and
    // AbortLoggerTransfer): close the progress window.
    std::function<void()> transferAbandoned;
};

class CFrameDispatcher {
public:
    // Header markers and lengths (characters) of the live frame kinds 1..7.
    static constexpr int kLiveKinds = 7;
    static constexpr int kOscRecordChars = 1028;
    static constexpr int kLoggerHeaderChars = 52;
    static constexpr int kBlockHeaderChars = 10;
    static constexpr int kListSizeRequested = 5200; // list asked for, its size not yet known
    static constexpr size_t kMaxIdleText = 200; // text without a recognised header
    // A block never needs more text than 10 + 255 * 16 + 6 characters; a transfer whose text
    // grows far beyond that is no longer being served by the meter.
    static constexpr size_t kMaxTransferText = 8192;

    // The hooks are given once, here, and never change while a receive thread may call them.
    // A consumer that needs the dispatcher itself (its flags) is made by `compose`, which gets
    // the dispatcher and the hooks so far and adds its own before the constructor returns.
    using ComposeFn = std::function<void(CFrameDispatcher& dispatcher, FrameDispatcherHooks& hooks)>;
    explicit CFrameDispatcher(HexText& text, FrameDispatcherHooks hooks = {}, const ComposeFn& compose = {});

    const FrameDispatcherHooks& Hooks() const { return m_hooks; }

    // Processes the frame text once; call after each appended notification.
    void MeterFrameDispatcher();

    // Ends a running or stalled logger transfer at the start of the next dispatcher call; any
    // thread. Use it before asking the meter for its logger again and when the link is lost.
    void AbortLoggerTransfer() { m_bAbortTransfer.store(true); }
    // Number of blocks of the transfer (the logger header decoder sets it).
    void SetTotalBlocks(int blocks) { m_nTotalBlocks.store(blocks); }

    HexText& Text() { return m_text; }

    // The dispatcher's state. Written on the receive thread; the GUI sets m_bStoreMarker,
    // m_nLoggerListSize, m_bOscDownload and m_bOscActive as the logger, oscilloscope and
    // watchdog rules say.
    std::atomic<bool> m_bStoreMarker { false }; // the store marker has been seen
    std::atomic<bool> m_bSavedReadings { false }; // saved readings are arriving
    std::atomic<bool> m_bLoggerDownload { false }; // a logger block transfer runs
    std::atomic<bool> m_bExpectBlockHeader { false };
    std::atomic<int> m_nBlockRecords { 0 }; // records of the current block
    std::atomic<int> m_nTotalBlocks { 0 }; // blocks of the transfer
    std::atomic<int> m_nBlocksDone { 0 }; // blocks received in this transfer
    std::atomic<int> m_nLoggerListSize { 0 }; // bytes of the logger list expected
    std::atomic<bool> m_bOscDownload { false }; // an oscilloscope logger download runs
    std::atomic<bool> m_bOscActive { false }; // oscilloscope data is arriving

    // Counters for telling a link that delivers bytes but no readable frames (any thread reads).
    std::atomic<uint64_t> m_nNotifications { 0 }; // dispatcher calls: notifications received
    std::atomic<uint64_t> m_nFramesRead { 0 }; // frames and markers handed out or acted on
    std::atomic<uint64_t> m_nDamagedFrames { 0 }; // live frames and records dropped as damaged

private:
    void DispatchLiveFrames();
    // The display mode (1..7) of the live frame at the front of the text and its position there;
    // 0 when none is at the front.
    int FindLiveFront(size_t* pos) const;
    // Drops the damaged live frame whose header is at p, up to the next header after it.
    void DropDamagedFrame(size_t p);
    // Position of the first frame header or marker after the frame that starts at frame, on
    // that frame's byte boundaries; npos when there is none.
    size_t NextFrameStart(size_t frame) const;
    // Position of the first frame header or marker in the text, or npos.
    size_t FirstFrameStart() const;
    // Length of the longest end of the text that begins a header or marker.
    size_t HeaderStartAtEnd() const;
    void DispatchOtherHeaders();
    // The oscilloscope record at the front of the text: handed out whole, dropped when damaged.
    void DispatchOscRecord();
    // Whether the whole record at the front of the text shows signs of lost bytes, or cannot be
    // told before more text has come.
    enum class OscVerdict { Take, Drop, Wait };
    OscVerdict JudgeWholeOscRecord() const;
    // The first record marker at or after from, on byte boundaries; npos if none.
    size_t NextOscMarker(size_t from) const;
    // The text from pos on begins a frame header or marker, or ends before it can be told.
    bool MayBeginFrame(size_t pos) const;
    void DispatchBlockHeader();
    void DispatchBlockBody();
    void DispatchLoggerList(size_t p);
    // A list is awaited and its first bytes stand at the front of the text.
    bool ListAtFront() const;
    // A header that announces no blocks ends its record at once.
    void FinishEmptyRecord();
    bool Send(const uint8_t* bytes);
    void SetReadSize(int size);
    void EndTransfer();
    // A live frame's header starts within the first few characters.
    bool LiveHeaderAtFront() const;
    // Where the store marker is, outside any record or block being assembled; npos if nowhere.
    size_t FindStoreMarker() const;
    // "a08" or "a09" starts within the first few characters: a live header may be there.
    bool LiveHeaderStartAtFront() const;
    void TrimIdleText();

    HexText& m_text;
    FrameDispatcherHooks m_hooks;
    std::atomic<bool> m_bAbortTransfer { false };
};
