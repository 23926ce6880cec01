#include "protocol/MeterProtocol.h"

CMeterProtocol::CMeterProtocol(HexText& text, SendFn send, ReadSizeFn setReadSize)
    : m_commander(send)
    , m_dispatcher(text)
{
    FrameDispatcherHooks& hooks = m_dispatcher.Hooks();
    hooks.send = std::move(send);
    hooks.setReadSize = std::move(setReadSize);
    hooks.liveFrame = [this](int mode, std::string_view frame, bool savedReadings) {
        m_decoder.Decode(mode, frame, savedReadings);
    };
    hooks.oscMode = [this] { m_decoder.EnterOscMode(); };
}
