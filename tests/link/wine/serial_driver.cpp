// The Win32 serial layer checked from Linux: this program is cross-compiled with mingw-w64 and run
// under Wine by wine_serial_check, which maps two pseudo-terminals as COM ports. It runs the
// shared behavioural cases on one port, whose far end the harness plays on request (requests are
// lines starting with '@' on stdout, answered on stdin), then talks to the simulated dongle and
// meter on the other: open, scan, connect, readings, a key command, close, re-open, and the port
// vanishing when the simulator is killed.
//
// usage: serial_driver CASES_PORT DONGLE_PORT   (port names such as \\.\COM6)
#include "SerialCases.h"
#include "link/BleCommand.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

int g_failures = 0;

void Report(const std::string& name, bool ok, const std::string& why = std::string())
{
    std::cout << (ok ? "PASS " : "FAIL ") << name << (why.empty() ? "" : ": ") << why << std::endl;
    if (!ok)
        ++g_failures;
}

std::string Hex(const serialcases::Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

serialcases::Bytes Unhex(const std::string& text)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    serialcases::Bytes out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(uint8_t(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return out;
}

// Asks the harness and returns its one-line answer ("" when it is gone).
std::string Ask(const std::string& request)
{
    std::cout << '@' << request << std::endl;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return std::string();
    if (!answer.empty() && answer.back() == '\r')
        answer.pop_back();
    return answer;
}

class HarnessFarEnd : public serialcases::FarEnd {
public:
    explicit HarnessFarEnd(std::string port)
        : m_port(std::move(port))
    {
    }
    std::string Device() override { return m_port; }
    std::string MissingDevice() override { return "\\\\.\\COM9"; }
    bool Send(const serialcases::Bytes& bytes) override { return Ask("SEND " + Hex(bytes)) == "OK"; }
    serialcases::Bytes Receive(size_t count, int timeoutMs) override
    {
        const std::string answer = Ask("RECV " + std::to_string(count) + " " + std::to_string(timeoutMs));
        return answer.rfind("DATA ", 0) == 0 ? Unhex(answer.substr(5)) : serialcases::Bytes();
    }
    bool Vanish() override { return Ask("VANISH") == "OK"; }
    bool Renew() override { return Ask("RENEW") == "OK"; }
    // Wine does not refuse a second open of a COM port; Windows does.
    bool ExclusiveOpen() const override { return false; }

private:
    std::string m_port;
};

// The dongle's events as they come off the line, cut into whole packets and parsed.
class EventLog {
public:
    struct Parsed {
        int result;
        serialcases::Bytes payload;
        std::string name;
    };

    void Add(const uint8_t* bytes, size_t count)
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_pending.insert(m_pending.end(), bytes, bytes + count);
        for (;;) {
            size_t start = 0;
            while (start < m_pending.size() && m_pending[start] != 0x04)
                ++start;
            m_pending.erase(m_pending.begin(), m_pending.begin() + long(start));
            if (m_pending.size() < 3)
                break;
            const size_t length = size_t(m_pending[2]) + 3;
            if (m_pending.size() < length)
                break;
            uint8_t out[CBleCommand::kPayloadBufferSize] = {};
            uint8_t name[CBleCommand::kNameBufferSize] = {};
            int outLen = 0;
            int nameLen = 0;
            const int result = CBleCommand().ParseEvent(m_pending.data(), int(length), out, &outLen, name, &nameLen);
            m_events.push_back({ result, serialcases::Bytes(out, out + outLen),
                std::string(reinterpret_cast<const char*>(name), size_t(nameLen)) });
            m_pending.erase(m_pending.begin(), m_pending.begin() + long(length));
        }
        m_changed.notify_all();
    }

    // Waits for an event with the result code after position from; returns its index or -1.
    int WaitFor(int result, size_t from, int timeoutMs, bool wantName = false)
    {
        std::unique_lock<std::mutex> g(m_lock);
        int found = -1;
        m_changed.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] {
            for (size_t i = from; i < m_events.size(); ++i) {
                if (m_events[i].result == result && (!wantName || !m_events[i].name.empty())) {
                    found = int(i);
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    Parsed At(size_t i)
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_events[i];
    }
    size_t Size()
    {
        std::lock_guard<std::mutex> g(m_lock);
        return m_events.size();
    }
    int Count(int result, size_t from)
    {
        std::lock_guard<std::mutex> g(m_lock);
        int n = 0;
        for (size_t i = from; i < m_events.size(); ++i)
            n += m_events[i].result == result;
        return n;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    serialcases::Bytes m_pending;
    std::vector<Parsed> m_events;
};

using Builder = bool (CBleCommand::*)(uint8_t*, int*) const;

bool WritePacket(CSerialDevice& device, Builder build)
{
    uint8_t packet[CBleCommand::kCommandBufferSize] = {};
    int length = 0;
    (CBleCommand().*build)(packet, &length);
    return length > 0 && device.Write(packet, size_t(length)) == size_t(length);
}

// The link as the program drives it, over the simulated dongle.
bool DongleSession(const std::string& port)
{
    CSerialDevice device;
    EventLog events;
    CSerialReader reader;
    std::atomic<int> lost { 0 };
    try {
        serialcases::OpenDefault(device, port);
    } catch (const CSerialException& e) {
        Report("dongle: open", false, e.what());
        return false;
    }
    Report("dongle: open", true);
    reader.Start(
        &device, [&](const uint8_t* b, size_t n) { events.Add(b, n); }, [&](uint32_t) { ++lost; });

    const bool initWritten
        = WritePacket(device, &CBleCommand::BuildDeviceInit) && WritePacket(device, &CBleCommand::BuildTerminateLink);
    Report("dongle: device init", initWritten && events.WaitFor(BleEventInitDone, 0, 10000) >= 0);

    const size_t scanFrom = events.Size();
    WritePacket(device, &CBleCommand::BuildDiscoveryRequest);
    const int found = events.WaitFor(BleEventDeviceInfo, scanFrom, 15000, true);
    Report("scan: the meter is found", found >= 0, found >= 0 ? events.At(size_t(found)).name : std::string());
    if (found < 0)
        return false;
    const serialcases::Bytes report = events.At(size_t(found)).payload;
    uint8_t address[6] = {};
    std::memcpy(address, report.data() + 8, 6); // after event type and address type

    WritePacket(device, &CBleCommand::BuildDiscoveryCancel);
    uint8_t packet[CBleCommand::kWriteBufferSize] = {};
    int length = 0;
    CBleCommand().BuildEstablishLink(packet, &length, address);
    const size_t linkFrom = events.Size();
    device.Write(packet, size_t(length));
    Report("connect: link up", events.WaitFor(BleEventLinkUp, linkFrom, 10000) >= 0);

    const size_t notifyFrom = events.Size();
    WritePacket(device, &CBleCommand::BuildEnableNotify);
    bool readings = false;
    for (int i = 0; i < 100 && !readings; ++i) {
        events.WaitFor(BleEventNotification, events.Size(), 200);
        readings = events.Count(BleEventNotification, notifyFrom) >= 10;
    }
    Report("readings arrive", readings, std::to_string(events.Count(BleEventNotification, notifyFrom)) + " notifications");

    const uint8_t hold[4] = { 0xB0, 0x90, 0x00, 0xB1 };
    length = 0;
    CBleCommand().BuildWriteValue(packet, &length, hold, 4);
    const size_t keyFrom = events.Size();
    const bool keyWritten = device.Write(packet, size_t(length)) == size_t(length);
    Report("key command acknowledged", keyWritten && events.WaitFor(BleEventWriteOk, keyFrom, 10000) >= 0);

    const auto t0 = std::chrono::steady_clock::now();
    reader.Stop();
    device.Close();
    const auto closeMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    Report("close while readings flow", !device.IsOpen() && closeMs < 3000 && lost == 0,
        std::to_string(closeMs) + " ms");

    // The same port again, as the program does after a close; then the dongle goes away.
    try {
        serialcases::OpenDefault(device, port);
    } catch (const CSerialException& e) {
        Report("dongle: re-open", false, e.what());
        return false;
    }
    EventLog again;
    CSerialReader reader2;
    std::atomic<uint32_t> lostError { 0 };
    reader2.Start(
        &device, [&](const uint8_t* b, size_t n) { again.Add(b, n); },
        [&](uint32_t error) {
            lostError = error;
            ++lost;
        });
    WritePacket(device, &CBleCommand::BuildDeviceInit);
    Report("dongle: re-open and init", again.WaitFor(BleEventInitDone, 0, 10000) >= 0);

    Report("simulator killed", Ask("KILLSIM") == "OK");
    for (int i = 0; i < 100 && lost == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Report("vanished port reported once", lost == 1 && lostError != 0,
        "reports " + std::to_string(lost.load()) + ", error " + std::to_string(lostError.load()));
    reader2.Stop();
    device.Close();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: serial_driver CASES_PORT DONGLE_PORT\n");
        return 2;
    }
    HarnessFarEnd far(argv[1]);
    for (const serialcases::Case& c : serialcases::AllCases()) {
        serialcases::Outcome outcome;
        try {
            outcome = c.run(far);
        } catch (const CSerialException& e) {
            outcome.ok = false;
            outcome.message = e.what();
        }
        Report(c.name, outcome.ok, outcome.message);
    }
    try {
        DongleSession(argv[2]);
    } catch (const CSerialException& e) {
        Report("dongle session", false, e.what());
    }
    std::cout << (g_failures ? "FAILED " : "ALL PASSED ") << g_failures << std::endl;
    return g_failures ? 1 : 0;
}
