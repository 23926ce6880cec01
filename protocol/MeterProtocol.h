#pragma once
// The meter protocol as one piece: the frame dispatcher wired to the live decoders and to the
// command writer. Its owner appends each notification to the frame text and calls
// MeterFrameDispatcher(); everything else it needs comes in as functions, so it runs without
// a link (tests, the command-line tool, benchmarks).
#include "link/HexText.h"
#include "protocol/FrameDispatcher.h"
#include "protocol/LiveDecoder.h"
#include "protocol/MeterCommands.h"

#include <functional>

class CMeterProtocol {
public:
    using SendFn = std::function<bool(const uint8_t* bytes, int count)>;
    using ReadSizeFn = std::function<void(int size)>;

    // text: the frame text (the link's m_strMeterRx); send: the link's SendToMeter;
    // setReadSize: the port reader's SetReadSize. Live frames and the oscilloscope mode marker
    // go to Decoder() (connect to its signals). The logger and oscilloscope consumers are added
    // by `consumers` while the dispatcher is made (it sees send, setReadSize, liveFrame and
    // oscMode already set); the hooks never change afterwards.
    CMeterProtocol(HexText& text, SendFn send, ReadSizeFn setReadSize, const CFrameDispatcher::ComposeFn& consumers = {});

    void MeterFrameDispatcher() { m_dispatcher.MeterFrameDispatcher(); }

    CFrameDispatcher& Dispatcher() { return m_dispatcher; }
    const FrameDispatcherHooks& Hooks() const { return m_dispatcher.Hooks(); }
    CLiveDecoder& Decoder() { return m_decoder; }
    const CMeterCommander& Commander() const { return m_commander; }

private:
    FrameDispatcherHooks OwnHooks(SendFn send, ReadSizeFn setReadSize);

    CLiveDecoder m_decoder;
    CMeterCommander m_commander;
    CFrameDispatcher m_dispatcher;
};
