#include "sim/SimEngine.h"

#include "sim/SimScope.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Notifications begin this long after they are switched on.
constexpr int kFirstFrameDelayMs = 100;
// Saved readings follow the store marker this far apart.
constexpr int kSavedFrameGapMs = 30;
constexpr uint8_t kReasonSupervisionTimeout = 0x08;
constexpr uint8_t kReasonHostTerminated = 0x16;

QDateTime ClockStart(const SimConfig& c)
{
    return c.meterClockStart.isValid() ? c.meterClockStart : QDateTime::currentDateTime();
}

} // namespace

CSimEngine::CSimEngine(const SimConfig& config)
    : m_config(config)
    , m_meter(ClockStart(config), config.seed, config.clockFlags)
    , m_rng(config.seed * 7919u + 17u)
{
    m_meter.SetFunction(config.function);
}

void CSimEngine::ClearRecords()
{
    m_meterCommands.clear();
    m_hostCommands.clear();
}

// --- time ------------------------------------------------------------------------------------

void CSimEngine::Schedule(int64_t delayMs, std::function<void()> fn)
{
    m_tasks.emplace(std::make_pair(m_now + std::max<int64_t>(delayMs, 0), m_nSeq++), std::move(fn));
}

void CSimEngine::AdvanceTo(int64_t nowMs)
{
    while (!m_tasks.empty() && m_tasks.begin()->first.first <= nowMs) {
        auto it = m_tasks.begin();
        m_now = std::max(m_now, it->first.first);
        std::function<void()> fn = std::move(it->second);
        m_tasks.erase(it);
        fn();
    }
    m_now = std::max(m_now, nowMs);
}

int64_t CSimEngine::NextDueMs() const
{
    int64_t next = kNever;
    if (!m_tasks.empty())
        next = m_tasks.begin()->first.first;
    if (!m_output.empty())
        next = std::min(next, m_output.front().first);
    return next;
}

std::vector<Bytes> CSimEngine::TakeOutput()
{
    std::vector<Bytes> out;
    while (!m_output.empty() && m_output.front().first <= m_now) {
        out.push_back(std::move(m_output.front().second));
        m_output.pop_front();
    }
    return out;
}

// --- output and faults -----------------------------------------------------------------------

void CSimEngine::Enqueue(Bytes bytes, int gapMs)
{
    // Output keeps its order: a piece never overtakes one queued before it.
    int64_t due = std::max(m_now, m_lastOutputDue) + gapMs;
    if (m_config.uartBytesPerSecond > 0) {
        const double start = std::max(double(m_now), m_uartFreeMs);
        m_uartFreeMs = start + double(bytes.size()) * 1000.0 / m_config.uartBytesPerSecond;
        due = std::max(due, int64_t(std::ceil(m_uartFreeMs)));
    }
    m_lastOutputDue = due;
    m_output.emplace_back(due, std::move(bytes));
}

Bytes CSimEngine::Garbage(int count)
{
    // Printable characters only: their hex text can never contain an event header, whichever
    // way it is aligned, so the host's resynchronisation is put to the test and not fooled.
    std::uniform_int_distribution<int> d(0x20, 0x7E);
    Bytes g(size_t(std::max(count, 0)));
    for (uint8_t& b : g)
        b = uint8_t(d(m_rng));
    return g;
}

bool CSimEngine::SendEvent(Bytes event)
{
    ++m_nEvents;
    int garbage = m_nPendingGarbage;
    m_nPendingGarbage = 0;
    if (m_faults.garbageEvery > 0 && m_nEvents % uint64_t(m_faults.garbageEvery) == 0)
        garbage += m_faults.garbageBytes;
    if (garbage > 0)
        Enqueue(Garbage(garbage), 0);
    // An event that came one byte short ends with the first byte after it: a stray byte if
    // there are any, else this event's first byte, which then cannot be found by the host.
    bool intact = !(m_bLastEventShort && garbage == 0);

    int drop = m_nPendingDrop;
    m_nPendingDrop = 0;
    if (m_faults.dropEvery > 0 && m_nEvents % uint64_t(m_faults.dropEvery) == 0)
        drop += 1;
    if (drop > 0) {
        drop = std::min<int>(drop, int(event.size()) - 1);
        const size_t at = (event.size() - size_t(drop)) / 2;
        event.erase(event.begin() + long(at), event.begin() + long(at) + drop);
        intact = false;
    }
    m_bLastEventShort = drop > 0;

    int piece = m_faults.splitBytes;
    if (m_nSplitEvents > 0) {
        piece = m_nSplitPiece;
        --m_nSplitEvents;
    }
    if (piece <= 0 || size_t(piece) >= event.size()) {
        Enqueue(std::move(event), 0);
        return intact;
    }
    for (size_t at = 0; at < event.size(); at += size_t(piece)) {
        const size_t n = std::min(event.size() - at, size_t(piece));
        Enqueue(Bytes(event.begin() + long(at), event.begin() + long(at + n)), at == 0 ? 0 : kSplitGapMs);
    }
    return intact;
}

void CSimEngine::InjectGarbage(int count)
{
    m_nPendingGarbage += std::max(count, 0);
}

void CSimEngine::SplitNextEvents(int pieceBytes, int events)
{
    m_nSplitPiece = std::max(pieceBytes, 1);
    m_nSplitEvents = std::max(events, 0);
}

void CSimEngine::DropBytesNextEvent(int count)
{
    m_nPendingDrop += std::max(count, 0);
}

void CSimEngine::Silence(int ms)
{
    m_silentUntil = std::max(m_silentUntil, m_now + std::max(ms, 0));
}

// --- host commands ---------------------------------------------------------------------------

void CSimEngine::HostWrite(const uint8_t* bytes, size_t count, int64_t nowMs)
{
    AdvanceTo(nowMs);
    m_reader.Append(bytes, count);
    HciCommand command;
    while (m_reader.Next(&command)) {
        m_hostCommands.push_back({ m_now, command.opcode, command.params });
        if (m_hostCommands.size() > kMaxRecords)
            m_hostCommands.pop_front();
        Handle(command);
    }
}

void CSimEngine::Handle(const HciCommand& c)
{
    const int reply = m_config.replyDelayMs;
    auto status = [this, reply, op = c.opcode](
                      uint8_t s) { Schedule(reply, [this, s, op] { SendEvent(CommandStatusEvent(s, op)); }); };
    switch (c.opcode) {
    case OpcodeDeviceInit:
        // A fresh start of the dongle: whatever it was doing ends without a word.
        if (m_bConnected)
            EndLink();
        m_bDiscovering = false;
        ++m_nDiscoveryGen;
        status(StatusSuccess);
        Schedule(reply + 10, [this] { SendEvent(DeviceInitDoneEvent(StatusSuccess, m_config.dongleAddress)); });
        break;
    case OpcodeTerminateLink:
        if (!m_bConnected) {
            status(StatusNotConnected);
            break;
        }
        status(StatusSuccess);
        EndLink();
        Schedule(reply + 10, [this] { SendEvent(LinkTerminatedEvent(StatusSuccess, kReasonHostTerminated)); });
        break;
    case OpcodeDiscovery:
        if (m_bDiscovering) {
            status(StatusAlreadyInMode);
            break;
        }
        status(StatusSuccess);
        StartDiscovery();
        break;
    case OpcodeDiscoveryCancel:
        // Answered with success even when discovery has already ended, so that a host that
        // cancels before connecting always moves on.
        status(StatusSuccess);
        if (m_bDiscovering) {
            m_bDiscovering = false;
            ++m_nDiscoveryGen;
            Schedule(reply + 1, [this] { SendEvent(DiscoveryDoneEvent(StatusUserCancelled, {})); });
        }
        break;
    case OpcodeEstablishLink: {
        if (c.params.size() != 9) {
            status(StatusInvalidParameter);
            break;
        }
        if (m_bConnected) {
            status(StatusAlreadyInMode);
            break;
        }
        status(StatusSuccess);
        if (!std::equal(c.params.begin() + 3, c.params.end(), m_config.meterAddress))
            break; // nobody answers at that address
        m_bDiscovering = false;
        ++m_nDiscoveryGen;
        const uint64_t gen = m_nLinkGen;
        Schedule(m_config.linkDelayMs, [this, gen] {
            if (gen != m_nLinkGen || m_bConnected)
                return;
            m_bConnected = true;
            SendEvent(LinkEstablishedEvent(StatusSuccess, m_config.meterAddress));
            const uint64_t linkGen = m_nLinkGen;
            Schedule(150, [this, linkGen] {
                if (linkGen == m_nLinkGen && m_bConnected)
                    SendEvent(ParamUpdateEvent(StatusSuccess));
            });
        });
        break;
    }
    case OpcodeWriteValue:
        HandleWrite(c.params);
        break;
    default:
        status(StatusFailure);
        break;
    }
}

void CSimEngine::StartDiscovery()
{
    m_bDiscovering = true;
    const uint64_t gen = ++m_nDiscoveryGen;
    auto report = [this, gen](int64_t at, std::function<Bytes()> make) {
        Schedule(at, [this, gen, make] {
            if (gen == m_nDiscoveryGen && m_bDiscovering)
                SendEvent(make());
        });
    };
    const SimConfig& c = m_config;
    report(20, [this] {
        return DeviceInfoEvent(
            AdvConnectable, m_config.meterAddress, m_config.meterRssi, MeterAdvertisingData(m_config.meterName));
    });
    report(25, [this] {
        return DeviceInfoEvent(AdvScanResponse, m_config.meterAddress, m_config.meterRssi, Bytes { 0x02, 0x0A, 0x00 });
    });
    report(60, [this] {
        // Flags, a battery service and test manufacturer data: no meter UUID, no name.
        return DeviceInfoEvent(AdvConnectable, m_config.otherAddress, m_config.otherRssi,
            Bytes { 0x02, 0x01, 0x06, 0x03, 0x03, 0x0F, 0x18, 0x05, 0xFF, 0xFF, 0xFF, 0x01, 0x02 });
    });
    report(65, [this] {
        return DeviceInfoEvent(AdvScanResponse, m_config.otherAddress, m_config.otherRssi, Bytes { 0x02, 0x0A, 0x04 });
    });
    Schedule(std::max(c.discoveryMs, 70), [this, gen] {
        if (gen != m_nDiscoveryGen || !m_bDiscovering)
            return;
        m_bDiscovering = false;
        SendEvent(DiscoveryDoneEvent(
            StatusSuccess, { { AdvConnectable, m_config.meterAddress }, { AdvConnectable, m_config.otherAddress } }));
    });
}

void CSimEngine::HandleWrite(const Bytes& p)
{
    const int reply = m_config.replyDelayMs;
    auto status = [this, reply](uint8_t s) {
        Schedule(reply, [this, s] { SendEvent(CommandStatusEvent(s, OpcodeWriteValue)); });
    };
    if (p.size() < 4) {
        status(StatusInvalidParameter);
        return;
    }
    if (!m_bConnected) {
        status(StatusNotConnected);
        return;
    }
    status(StatusSuccess);
    const uint16_t handle = uint16_t(p[2] | (p[3] << 8));
    const Bytes value(p.begin() + 4, p.end());
    const uint64_t gen = m_nLinkGen;
    Schedule(reply + 5, [this, gen, handle, value] {
        if (gen != m_nLinkGen)
            return;
        const bool known = handle == kCommandHandle || handle == kDataConfigHandle;
        SendEvent(WriteResponseEvent(known ? StatusSuccess : StatusFailure));
        if (known)
            ApplyWrite(handle, value);
    });
}

void CSimEngine::ApplyWrite(uint16_t handle, const Bytes& value)
{
    if (handle == kDataConfigHandle) {
        const bool on = value.size() >= 1 && (value[0] & 0x01);
        if (on && !m_bNotify) {
            m_bNotify = true;
            NotificationsStarted();
        } else if (!on) {
            m_bNotify = false;
        }
        return;
    }
    m_meterCommands.push_back({ m_now, value });
    if (m_meterCommands.size() > kMaxRecords)
        m_meterCommands.pop_front();
    m_meter.HandleCommand(value, m_now);
    ApplyLoggerReply(m_logger.OnCommand(value));
    if (value.size() == 4 && value[0] == 0xB0 && value[3] == 0xB1
        && (value[1] == OpOscCurrent || value[1] == OpOscLogger))
        AnswerOscRequest(value[1]);
}

void CSimEngine::ApplyLoggerReply(const CSimLogger::Reply& reply)
{
    const uint64_t gen = m_nLinkGen;
    for (const Bytes& frame : reply.frames) {
        Schedule(m_config.replyDelayMs, [this, gen, frame] {
            if (gen == m_nLinkGen)
                SendFrame(frame);
        });
    }
    if (reply.fault == CSimLogger::Fault::DropLink)
        Schedule(m_config.replyDelayMs, [this] { DropLink(); });
}

void CSimEngine::SendUnaskedRecord(size_t index)
{
    ApplyLoggerReply(m_logger.SendUnasked(index));
}

void CSimEngine::SetOscMode(bool on)
{
    m_bOscMode = on;
    if (on)
        SendNotification(OscMarker());
}

void CSimEngine::AnswerOscRequest(uint8_t op)
{
    const uint64_t gen = m_nLinkGen;
    const int gap = std::max(m_config.oscFrameGapMs, 1);
    const int count = op == OpOscCurrent ? 1 : std::clamp(m_config.oscStopAfter, 0, kOscStoredSlots);
    m_oscBusyUntil = std::max(m_oscBusyUntil, m_now + int64_t(count + 1) * gap);
    for (int i = 0; i < count; ++i) {
        const int slot = op == OpOscCurrent ? 0 : i + 1;
        Schedule(int64_t(i + 1) * gap, [this, gen, slot] {
            if (gen != m_nLinkGen)
                return;
            const int phase = slot == 0 ? (m_nOscPhase += 7) : 0;
            SendFrame(OscRecordFrame(slot, m_meter.ClockAt(m_now), phase));
        });
    }
}

void CSimEngine::EndLink()
{
    m_logger.Reset();
    m_bConnected = false;
    m_bNotify = false;
    ++m_nLinkGen;
}

void CSimEngine::DropLink()
{
    if (!m_bConnected)
        return;
    EndLink();
    SendEvent(LinkTerminatedEvent(StatusSuccess, kReasonSupervisionTimeout));
}

// --- the meter's output ----------------------------------------------------------------------

bool CSimEngine::SendNotification(const Bytes& value)
{
    if (!m_bNotify || value.empty())
        return false;
    return SendEvent(NotificationEvent(kDataHandle, value));
}

void CSimEngine::SendFrame(const Bytes& payload)
{
    if (!m_bNotify || payload.empty())
        return;
    bool intact = true;
    for (const Bytes& part : SplitNotifications(payload))
        intact = SendNotification(part) && intact;
    ++m_nFramesSent;
    if (intact)
        ++m_nFramesIntact;
    m_sentFrames.push_back(SentFrame { payload, intact });
    if (m_sentFrames.size() > kMaxRecords)
        m_sentFrames.pop_front();
}

void CSimEngine::StoreReadings(int count)
{
    SendSaved({}, count);
}

void CSimEngine::StoreEveryKind()
{
    std::vector<Bytes> frames = m_meter.SavedFramesOfEveryKind(m_now);
    const int count = int(frames.size());
    SendSaved(std::move(frames), count);
}

void CSimEngine::SendSaved(std::vector<Bytes> frames, int count)
{
    if (!m_bNotify)
        return;
    SendNotification(StoreMarker());
    // While the memory goes out the meter sends nothing else; live frames follow it.
    Silence(int(count + 1) * kSavedFrameGapMs);
    const uint64_t gen = m_nLinkGen;
    for (int i = 0; i < count; ++i) {
        Bytes frame = size_t(i) < frames.size() ? frames[size_t(i)] : Bytes();
        Schedule(int64_t(i + 1) * kSavedFrameGapMs, [this, gen, frame] {
            if (gen == m_nLinkGen)
                SendFrame(frame.empty() ? m_meter.NextFrame(m_now, true) : frame);
        });
    }
}

void CSimEngine::NotificationsStarted()
{
    // A new chain of ticks; one still pending from an earlier switch-on lapses.
    const uint64_t gen = ++m_nStreamGen;
    Schedule(kFirstFrameDelayMs, [this, gen] { StreamTick(gen); });
    if (m_config.oscMode && !m_bOscMode)
        Schedule(kFirstFrameDelayMs / 2, [this] { SetOscMode(true); });
    if (m_config.silentAfterMs >= 0 && !m_bSilenceArmed) {
        m_bSilenceArmed = true;
        Schedule(m_config.silentAfterMs, [this] { m_silentUntil = kNever; });
    }
    if (m_bScenario && m_bScenarioParked) {
        m_bScenarioParked = false;
        const uint64_t sgen = m_nScenarioGen;
        Schedule(kFirstFrameDelayMs, [this, sgen] { RunScenario(sgen); });
    }
}

void CSimEngine::StreamTick(uint64_t streamGen)
{
    if (streamGen != m_nStreamGen || !m_bNotify)
        return;
    if (m_bOscMode) {
        if (m_now >= m_silentUntil && m_now >= m_oscBusyUntil)
            SendNotification(OscMarker());
    // The meter sends no readings while its logger is being read.
    } else if (m_bLive && m_now >= m_silentUntil && !m_logger.Busy()) {
        SendFrame(m_meter.NextFrame(m_now));
    }
    Schedule(std::max(m_config.framePeriodMs, 10), [this, streamGen] { StreamTick(streamGen); });
}

// --- scenarios -------------------------------------------------------------------------------

void CSimEngine::PlayScenario(const Scenario& scenario)
{
    m_scenario = scenario;
    m_nStep = 0;
    m_loopStartMs = -1;
    m_bLive = false;
    m_bScenario = true;
    m_bScenarioParked = true;
    const uint64_t gen = ++m_nScenarioGen;
    if (m_bNotify) {
        m_bScenarioParked = false;
        Schedule(0, [this, gen] { RunScenario(gen); });
    }
}

void CSimEngine::StopScenario()
{
    m_bScenario = false;
    m_bScenarioParked = false;
    ++m_nScenarioGen;
}

void CSimEngine::RunScenario(uint64_t gen)
{
    if (gen != m_nScenarioGen || !m_bScenario)
        return;
    auto resumeAfter = [this, gen](int64_t ms) { Schedule(ms, [this, gen] { RunScenario(gen); }); };
    while (m_nStep < m_scenario.steps.size()) {
        if (!m_bNotify) {
            // The link is gone: carry on from here once notifications are back.
            m_bScenarioParked = true;
            return;
        }
        if (m_nStep == 0)
            m_loopStartMs = m_now;
        const ScenarioStep& s = m_scenario.steps[m_nStep++];
        switch (s.type) {
        case ScenarioStep::Frame:
            SendFrame(s.bytes);
            break;
        case ScenarioStep::Notify:
        case ScenarioStep::Marker:
            SendNotification(s.bytes);
            break;
        case ScenarioStep::Pause:
            resumeAfter(s.number);
            return;
        case ScenarioStep::Live:
            m_bLive = s.number != 0;
            break;
        case ScenarioStep::Function:
            m_meter.SetFunction(s.text);
            break;
        case ScenarioStep::Key:
            m_meter.PressKey(uint8_t(s.number), m_now);
            break;
        case ScenarioStep::Store:
            StoreReadings(int(s.number));
            break;
        case ScenarioStep::StoreAll:
            StoreEveryKind();
            break;
        case ScenarioStep::Osc:
            SetOscMode(s.number != 0);
            break;
        case ScenarioStep::Loop:
            m_nStep = 0;
            if (m_loopStartMs == m_now) {
                // A round that took no time would never give the host a turn.
                resumeAfter(std::max(m_config.framePeriodMs, 10));
                return;
            }
            break;
        case ScenarioStep::Fault:
            switch (s.fault) {
            case ScenarioStep::FaultGarbage:
                InjectGarbage(int(s.number));
                break;
            case ScenarioStep::FaultSilence:
                Silence(int(s.number));
                resumeAfter(s.number);
                return;
            case ScenarioStep::FaultDropLink:
                DropLink();
                break;
            case ScenarioStep::FaultSplit:
                SplitNextEvents(int(s.number), 1);
                break;
            case ScenarioStep::FaultDropBytes:
                DropBytesNextEvent(int(s.number));
                break;
            }
            break;
        }
    }
    m_bScenario = false;
}

} // namespace sim
