#pragma once
// The simulated dongle with the simulated meter behind it. It reads the host's command packets,
// answers with the dongle's vendor events, discovers the meter and a second, nameless device,
// keeps one link, and once notifications are on streams the meter's frames, plays scenarios and
// injects faults. It keeps no clock of its own: every call carries the time (milliseconds from any
// fixed start) and AdvanceTo runs what has fallen due, so tests can run it fast and exactly; the
// real-time driver (CSimRunner) calls it from one thread. Not thread-safe by itself.
#include "sim/SimFrames.h"
#include "sim/SimHci.h"
#include "sim/SimLogger.h"
#include "sim/SimMeter.h"
#include "sim/SimScenario.h"

#include <QDateTime>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace sim {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

struct SimConfig {
    uint8_t meterAddress[6] = { 0x22, 0x11, 0x00, 0x38, 0xC1, 0xA4 }; // a4:c1:38:00:11:22
    std::string meterName = "SimMeter";
    int8_t meterRssi = -57;
    uint8_t otherAddress[6] = { 0xCC, 0xBB, 0xAA, 0x00, 0x00, 0x02 }; // 02:00:00:aa:bb:cc, no name
    int8_t otherRssi = -83;
    uint8_t dongleAddress[6] = { 0x66, 0x55, 0x44, 0x33, 0x22, 0x11 };
    int framePeriodMs = 333; // live frames about three times a second
    int discoveryMs = 1000; // discovery ends after this long
    int replyDelayMs = 2; // command to its command status
    int linkDelayMs = 40; // establish link to link established
    QDateTime meterClockStart; // the meter's clock at time 0; invalid = the local time now
    uint8_t clockFlags = Flag24Hour;
    uint32_t seed = 1;
    std::string function = "vdc";
    // Dongle output paced as a UART of this many bytes per second would carry it (0: at once).
    int uartBytesPerSecond = 0;
    bool oscMode = false; // the meter is in its oscilloscope mode when notifications start
    int oscStopAfter = 10; // stored waveforms sent before the meter stops a download (0..10)
    int oscFrameGapMs = 120; // between the records of a download
    // The meter falls silent for good this long after its notifications were first switched on
    // (its link stays up); negative: never.
    int64_t silentAfterMs = -1;
};

// Faults that stay switched on until changed.
struct FaultSwitches {
    int garbageEvery = 0; // stray bytes before every Nth event (0: never)
    int garbageBytes = 3;
    int splitBytes = 0; // every event delivered in pieces of this many bytes (0: whole)
    int dropEvery = 0; // one byte missing from the middle of every Nth event
};

struct HostCommandRecord {
    int64_t timeMs;
    uint16_t opcode;
    Bytes params;
};

struct MeterCommandRecord {
    int64_t timeMs;
    Bytes bytes;
};

class CSimEngine {
public:
    // Gap between the pieces of a split event, so that they reach the host in separate reads.
    static constexpr int kSplitGapMs = 2;

    explicit CSimEngine(const SimConfig& config = SimConfig());

    // Bytes the host wrote to the dongle at nowMs.
    void HostWrite(const uint8_t* bytes, size_t count, int64_t nowMs);
    // Runs everything due up to nowMs (time never goes back).
    void AdvanceTo(int64_t nowMs);
    // When something next falls due (a timer or queued output); kNever when nothing will.
    int64_t NextDueMs() const;
    int64_t NowMs() const { return m_now; }
    // Bytes for the host that are due by now, one entry per delivery, in order.
    std::vector<Bytes> TakeOutput();

    const SimConfig& Config() const { return m_config; }
    CSimMeter& Meter() { return m_meter; }
    // The meter's logger memory and its download dialogue (records, faults).
    CSimLogger& Logger() { return m_logger; }
    // The meter sends stored record `index` unasked.
    void SendUnaskedRecord(size_t index);
    bool Discovering() const { return m_bDiscovering; }
    bool Connected() const { return m_bConnected; }
    bool NotificationsOn() const { return m_bNotify; }
    const std::deque<MeterCommandRecord>& MeterCommands() const { return m_meterCommands; }
    const std::deque<HostCommandRecord>& HostCommands() const { return m_hostCommands; }
    void ClearRecords();

    // The meter's own stream of live frames (on unless a scenario switched it off).
    void SetLiveStream(bool on) { m_bLive = on; }
    bool LiveStream() const { return m_bLive; }

    // Scenario playback: starts (or waits for) notifications; the generated stream stays off
    // unless a step turns it on.
    void PlayScenario(const Scenario& scenario);
    void StopScenario();
    bool ScenarioRunning() const { return m_bScenario; }
    size_t ScenarioStepIndex() const { return m_nStep; }

    // Meter output outside the stream (ignored while no notifications are on).
    void SendFrame(const Bytes& payload); // cut into notifications
    // Returns false when the notification went out damaged (see FramesIntact).
    bool SendNotification(const Bytes& value);
    // The meter sends its memory: the store marker, then saved frames (count of the current
    // display, or one of every saved kind), its live stream paused until they are through.
    void StoreReadings(int count);
    void StoreEveryKind();

    // The oscilloscope mode: entering it sends the mode marker "a2a2a2a2" (and again in place of
    // every live frame, which keeps the link alive); leaving it resumes the live frames. In it the
    // meter answers B0 98 00 B1 with its current waveform and B0 97 00 B1 with its ten stored
    // ones (or the first oscStopAfter of them).
    void SetOscMode(bool on);
    bool OscMode() const { return m_bOscMode; }
    void SetOscStopAfter(int count) { m_config.oscStopAfter = count; }

    // Faults.
    void SetFaults(const FaultSwitches& faults) { m_faults = faults; }
    const FaultSwitches& Faults() const { return m_faults; }
    void InjectGarbage(int count); // before the next event
    void SplitNextEvents(int pieceBytes, int events = 1);
    void DropBytesNextEvent(int count);
    void Silence(int ms); // no notifications for ms
    void DropLink(); // the meter goes out of range

    // What the faults did to the frames sent with SendFrame (the live stream, saved readings,
    // scenario frames). A frame is intact when every one of its notification events reached the
    // host whole: none lost a byte, and none lost its first byte to an event before it that was
    // one byte short with no stray bytes between them.
    uint64_t FramesSent() const { return m_nFramesSent; }
    uint64_t FramesIntact() const { return m_nFramesIntact; }
    struct SentFrame {
        Bytes bytes;
        bool intact;
    };
    // The newest frames sent, oldest first (at most kMaxRecords).
    const std::deque<SentFrame>& SentFrames() const { return m_sentFrames; }

private:
    void Schedule(int64_t delayMs, std::function<void()> fn);
    void SendSaved(std::vector<Bytes> frames, int count);
    void Enqueue(Bytes bytes, int gapMs);
    // Returns false when the event reaches the host damaged.
    bool SendEvent(Bytes event);
    void Handle(const HciCommand& command);
    void HandleWrite(const Bytes& params);
    void ApplyWrite(uint16_t handle, const Bytes& value);
    void StartDiscovery();
    void EndLink();
    void StreamTick(uint64_t streamGen);
    void AnswerOscRequest(uint8_t op);
    void RunScenario(uint64_t scenarioGen);
    void NotificationsStarted();
    Bytes Garbage(int count);
    void ApplyLoggerReply(const CSimLogger::Reply& reply);

    SimConfig m_config;
    CSimMeter m_meter;
    CSimLogger m_logger;
    double m_uartFreeMs = 0; // when the paced UART has sent everything queued
    std::mt19937 m_rng;
    int64_t m_now = 0;
    uint64_t m_nSeq = 0;
    std::map<std::pair<int64_t, uint64_t>, std::function<void()>> m_tasks;
    std::deque<std::pair<int64_t, Bytes>> m_output;
    int64_t m_lastOutputDue = 0;
    CHciCommandReader m_reader;

    bool m_bDiscovering = false;
    bool m_bConnected = false;
    bool m_bNotify = false;
    bool m_bLive = true;
    uint64_t m_nLinkGen = 0; // bumped whenever the link ends, so its timers lapse
    uint64_t m_nDiscoveryGen = 0; // likewise for a discovery
    uint64_t m_nStreamGen = 0; // and for the chain of stream ticks
    int64_t m_silentUntil = 0;
    bool m_bSilenceArmed = false; // silentAfterMs is counting
    bool m_bOscMode = false;
    int64_t m_oscBusyUntil = 0; // records are being sent: no marker in between
    int m_nOscPhase = 0;

    FaultSwitches m_faults;
    uint64_t m_nEvents = 0;
    int m_nPendingGarbage = 0;
    int m_nSplitPiece = 0;
    int m_nSplitEvents = 0;
    int m_nPendingDrop = 0;
    bool m_bLastEventShort = false; // the last event lost a byte: it takes the next byte sent
    uint64_t m_nFramesSent = 0;
    uint64_t m_nFramesIntact = 0;
    std::deque<SentFrame> m_sentFrames;

    Scenario m_scenario;
    bool m_bScenario = false;
    bool m_bScenarioParked = false;
    size_t m_nStep = 0;
    uint64_t m_nScenarioGen = 0;
    int64_t m_loopStartMs = -1;

    // The newest kMaxRecords of each, so that a long run does not grow without bound.
    static constexpr size_t kMaxRecords = 4096;
    std::deque<MeterCommandRecord> m_meterCommands;
    std::deque<HostCommandRecord> m_hostCommands;
};

} // namespace sim
