// Feeds arbitrary chunks through the link's receive callback and its receive passes, and every
// chunk through the event parser on its own: nothing may crash, write out of bounds or let the
// link text grow without bound.
//
// Input: the first byte is the starting link state (0..7); then records of a length byte n and n
// bytes of port data. A length byte of 0 is followed by a new state byte instead.
#include "link/BleLink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_link: %s\n", what);
        std::abort();
    }
}

void ParseAlone(const uint8_t* bytes, size_t n)
{
    constexpr int kGuard = 32;
    uint8_t out[CBleCommand::kPayloadBufferSize + kGuard];
    uint8_t name[CBleCommand::kNameBufferSize + kGuard];
    std::memset(out, 0xA5, sizeof out);
    std::memset(name, 0xA5, sizeof name);
    int outLen = -1;
    int nameLen = -1;
    CBleCommand().ParseEvent(bytes, int(n), out, &outLen, name, &nameLen);
    Check(outLen >= 0 && outLen <= CBleCommand::kPayloadBufferSize, "payload length out of range");
    Check(nameLen >= 0 && nameLen <= CBleCommand::kNameBufferSize, "name length out of range");
    for (int i = 0; i < kGuard; ++i) {
        Check(out[CBleCommand::kPayloadBufferSize + i] == 0xA5, "payload buffer overrun");
        Check(name[CBleCommand::kNameBufferSize + i] == 0xA5, "name buffer overrun");
    }
}

size_t LinkTextSize(CBleLink& link)
{
    std::lock_guard<std::mutex> g(link.m_rxLock);
    return link.m_strBleRx.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CBleLink link;
    size_t payload = 0;
    link.SetFrameHook([&link, &payload] {
        payload += link.m_strMeterRx.size();
        link.m_strMeterRx.clear(); // the frame dispatcher's part
    });
    link.SetState(data[0] & 7);
    size_t i = 1;
    while (i < size) {
        const size_t n = data[i++];
        if (n == 0) {
            if (i < size)
                link.SetState(data[i++] & 7);
            continue;
        }
        const size_t take = std::min(n, size - i);
        ParseAlone(data + i, take);
        CBleLink::OnComData(&link, data + i, take);
        i += take;
        int passes = 0;
        while (link.RunReceivePass())
            Check(++passes < 100000, "receive passes never settle");
        // Whatever is left is an incomplete event (at most 2 * 255 + 12 characters) or junk
        // below the junk limit.
        Check(LinkTextSize(link) <= CBleLink::kMaxJunkText + 2 * 256, "link text unbounded");
    }
    return 0;
}
