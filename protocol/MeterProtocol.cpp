#include "protocol/MeterProtocol.h"

CMeterProtocol::CMeterProtocol(
    HexText& text, SendFn send, ReadSizeFn setReadSize, const CFrameDispatcher::ComposeFn& consumers)
    : m_commander(send)
    , m_dispatcher(text, OwnHooks(send, std::move(setReadSize)), consumers)
{
}

FrameDispatcherHooks CMeterProtocol::OwnHooks(SendFn send, ReadSizeFn setReadSize)
{
    // The decoder is made before the dispatcher, so these may point at it.
    FrameDispatcherHooks hooks;
    hooks.send = std::move(send);
    hooks.setReadSize = std::move(setReadSize);
    hooks.liveFrame = [this](int mode, std::string_view frame, bool savedReadings) {
        m_decoder.Decode(mode, frame, savedReadings);
    };
    hooks.oscMode = [this] { m_decoder.EnterOscMode(); };
    return hooks;
}
