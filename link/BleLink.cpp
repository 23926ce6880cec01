#include "link/BleLink.h"

#ifndef _WIN32
#include <pthread.h>
#endif

namespace {

constexpr int kDongleBaud = 115200;
constexpr int kOpenTries = 3;
constexpr int kScanPauseMs = 500;
constexpr int kConnectPauseMs = 600;
constexpr int kReadSize = 100;
constexpr size_t kMinText = 12; // a pass needs more link text than this
constexpr std::string_view kEventHead = "04ff";
constexpr size_t kKeepAfterJunk = kEventHead.size() - 1; // a header split across chunks survives
constexpr int kMaxMeterCommand = 42;

} // namespace

CBleLink::CBleLink(QObject* parent)
    : QObject(parent)
{
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] {
        std::function<void()> step = std::move(m_fnPendingStep);
        m_fnPendingStep = nullptr;
        if (step)
            step();
    });
}

CBleLink::~CBleLink()
{
    Close();
    m_ComPort.SetReceiveCallback(nullptr, nullptr);
    m_ComPort.SetLostCallback(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Command sequences (GUI thread)

int CBleLink::Open(const QString& port)
{
    m_stepTimer.stop();
    m_fnPendingStep = nullptr;
    if (!CComPort::ResolvePortName(port, nullptr, nullptr))
        return OpenNoPort;

    // Installed before the port opens so that no early byte finds the port without them.
    m_ComPort.SetReceiveCallback(&CBleLink::OnComData, this);
    m_ComPort.SetLostCallback(&CBleLink::OnPortLost);
    m_ComPort.Close();
    bool opened = false;
    for (int attempt = 0; attempt < kOpenTries && !opened; ++attempt)
        opened = m_ComPort.Open(port, 2, kDongleBaud, ParityNone, 8, StopBitsOne, FlowNone);
    if (!opened)
        return OpenPortFailed;
    m_ComPort.SetReadSize(kReadSize);

    if (!StartReceiveThread())
        return OpenThreadFailed;
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        m_strBleRx.clear();
    }
    uint8_t packet[CBleCommand::kCommandBufferSize] = {};
    int length = 0;
    m_bleCommand.BuildDeviceInit(packet, &length);
    WritePacket(packet, length);
    SetState(BleDiscardOnce);
    m_bleCommand.BuildTerminateLink(packet, &length);
    WritePacket(packet, length);
    SetState(BleInitialised);
    return OpenOk;
}

void CBleLink::Scan(const QString& port, std::function<void(int)> done)
{
    const int result = Open(port);
    if (result != OpenOk) {
        if (done)
            done(result);
        return;
    }
    StartDiscovery([done = std::move(done)] {
        if (done)
            done(OpenOk);
    });
}

void CBleLink::StartDiscovery(std::function<void()> done)
{
    RunAfter(kScanPauseMs, [this, done = std::move(done)] {
        {
            std::lock_guard<std::mutex> guard(m_rxLock);
            m_strBleRx.clear();
        }
        m_nScanRows = 0;
        uint8_t packet[CBleCommand::kCommandBufferSize] = {};
        int length = 0;
        m_bleCommand.BuildDiscoveryRequest(packet, &length);
        WritePacket(packet, length);
        SetState(BleScanning);
        if (done)
            done();
    });
}

bool CBleLink::Connect(const QString& mac, std::function<void()> done)
{
    uint8_t address[6];
    if (!ParseAddress(mac, address))
        return false;
    m_strLastAddress = mac.trimmed().toLower();
    m_stepTimer.stop();
    m_fnPendingStep = nullptr;

    uint8_t packet[CBleCommand::kCommandBufferSize] = {};
    int length = 0;
    m_bleCommand.BuildDiscoveryCancel(packet, &length);
    WritePacket(packet, length);
    SetState(BleCancelling);
    m_bleCommand.BuildEstablishLink(packet, &length, address);
    WritePacket(packet, length);
    SetState(BleConnecting);
    RunAfter(kConnectPauseMs, [this, done = std::move(done)] {
        uint8_t notify[CBleCommand::kCommandBufferSize] = {};
        int n = 0;
        m_bleCommand.BuildEnableNotify(notify, &n);
        WritePacket(notify, n);
        SetState(BleConnected);
        if (done)
            done();
    });
    return true;
}

void CBleLink::Close()
{
    m_stepTimer.stop();
    m_fnPendingStep = nullptr;
    StopReceiveThread();
    m_ComPort.Close();
}

void CBleLink::RunAfter(int ms, std::function<void()> step)
{
    m_fnPendingStep = std::move(step);
    m_stepTimer.start(ms);
}

bool CBleLink::SendToMeter(const uint8_t* bytes, int count)
{
    if (!bytes || count < 0 || count > kMaxMeterCommand)
        return false;
    uint8_t packet[CBleCommand::kWriteBufferSize] = {};
    int length = 0;
    m_bleCommand.BuildWriteValue(packet, &length, bytes, count);
    return WritePacket(packet, length);
}

bool CBleLink::WritePacket(const uint8_t* packet, int length)
{
    return length > 0 && m_ComPort.Write(packet, static_cast<size_t>(length)) == static_cast<size_t>(length);
}

bool CBleLink::ParseAddress(const QString& mac, uint8_t out[6])
{
    const QString text = mac.trimmed();
    if (text.size() != 17)
        return false;
    uint8_t bytes[6];
    for (int i = 0; i < 6; ++i) {
        if (i < 5 && text[3 * i + 2] != QLatin1Char(':'))
            return false;
        bool ok = false;
        const uint value = text.mid(3 * i, 2).toUInt(&ok, 16);
        if (!ok || !text[3 * i].isLetterOrNumber() || !text[3 * i + 1].isLetterOrNumber())
            return false;
        bytes[i] = static_cast<uint8_t>(value);
    }
    for (int i = 0; i < 6; ++i)
        out[i] = bytes[5 - i];
    return true;
}

// ---------------------------------------------------------------------------------------------
// Port reader side

void CBleLink::OnComData(void* owner, const uint8_t* bytes, size_t count)
{
    auto* self = static_cast<CBleLink*>(owner);
    if (!self || !bytes || count == 0)
        return;
    if (self->m_fnArrivalHook)
        self->m_fnArrivalHook();
    {
        std::lock_guard<std::mutex> guard(self->m_rxLock);
        self->m_strBleRx.appendBytes(bytes, count);
        self->m_bBleRxNew = true;
        if (self->m_strBleRx.size() > kMaxLinkText)
            self->m_strBleRx.consume(self->m_strBleRx.size() - kMaxJunkText);
        ++self->m_nRxGeneration;
    }
    self->m_wake.notify_one();
}

void CBleLink::OnPortLost(void* owner, uint32_t)
{
    if (auto* self = static_cast<CBleLink*>(owner))
        emit self->portLost();
}

// ---------------------------------------------------------------------------------------------
// Receive thread

void CBleLink::SetState(uint8_t state)
{
    m_nBleState = state;
    Wake();
}

void CBleLink::AdvanceState(uint8_t from, uint8_t to)
{
    uint8_t expected = from;
    if (m_nBleState.compare_exchange_strong(expected, to))
        Wake();
}

void CBleLink::Wake()
{
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        ++m_nRxGeneration;
    }
    m_wake.notify_one();
}

bool CBleLink::StartReceiveThread()
{
    StopReceiveThread();
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        m_bStopThread = false;
    }
    try {
        m_receiveThread = std::thread([this] { ReceiveLoop(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CBleLink::StopReceiveThread()
{
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        m_bStopThread = true;
    }
    m_wake.notify_all();
    if (!m_receiveThread.joinable() || m_receiveThread.get_id() == std::this_thread::get_id())
        return;
    m_receiveThread.join();
}

void CBleLink::ReceiveLoop()
{
#if !defined(_WIN32) && defined(__GLIBC__)
    pthread_setname_np(pthread_self(), "ble-receive");
#endif
    std::unique_lock<std::mutex> lock(m_rxLock);
    uint64_t seen = m_nRxGeneration - 1; // look at whatever text is already there
    for (;;) {
        m_wake.wait(lock, [&] { return m_bStopThread || m_nRxGeneration != seen; });
        if (m_bStopThread)
            return;
        seen = m_nRxGeneration;
        lock.unlock();
        // Work until nothing more can be done with the text as it is; an arrival meanwhile has
        // moved the generation on, so the wait above returns at once for it.
        bool more = true;
        while (more) {
            more = ReceivePass();
            std::lock_guard<std::mutex> guard(m_rxLock);
            if (m_bStopThread)
                return;
        }
        lock.lock();
    }
}

bool CBleLink::ReceivePass()
{
    uint8_t event[kMaxEventBytes];
    int eventLength = 0;
    uint8_t state;
    {
        std::lock_guard<std::mutex> guard(m_rxLock);
        if (!m_bBleRxNew)
            return false;
        const size_t size = m_strBleRx.size();
        if (size <= kMinText)
            return false;
        uint8_t length = 0;
        HexToBytes(1, &length, m_strBleRx.view(), 6);
        const size_t whole = 2 * size_t(length) + 6;
        state = m_nBleState.load();
        switch (state) {
        case BleIdle:
        case BleDiscardOnce: {
            m_strBleRx.clear();
            uint8_t expected = state;
            m_nBleState.compare_exchange_strong(expected, state == BleIdle ? BleDiscardOnce : BleScanning);
            return true;
        }
        case BleScanning:
        case BleConnecting:
        case BleConnected:
        case BleCancelling: {
            // While scanning, a report is taken only once three more bytes have followed it.
            const size_t needed = state == BleScanning ? whole + 6 : whole;
            if (size < needed)
                return false;
            if (m_strBleRx.view().substr(0, kEventHead.size()) != kEventHead) {
                const size_t head = m_strBleRx.find(kEventHead);
                if (head != HexText::npos) {
                    m_strBleRx.consume(head);
                    return true;
                }
                if (size > kMaxJunkText) {
                    m_strBleRx.consume(size - kKeepAfterJunk);
                    return true;
                }
                return false;
            }
            if (length + 3 > kMaxEventBytes) {
                m_strBleRx.consume(whole); // longer than any event the link handles
                return true;
            }
            eventLength = length + 3;
            HexToBytes(eventLength, event, m_strBleRx.view(), 2);
            // Consumed now, under the same lock as the copy, so that an Open emptying the text
            // meanwhile cannot make this drop the wrong text.
            m_strBleRx.consume(whole);
            break;
        }
        case BleInitialised:
        default:
            // Unprocessed until Scan empties it; only a runaway amount is cut back.
            if (size > kMaxJunkText) {
                m_strBleRx.consume(size - kKeepAfterJunk);
                return true;
            }
            return false;
        }
    }
    HandleEvent(event, eventLength, state);
    return true;
}

void CBleLink::HandleEvent(const uint8_t* event, int length, uint8_t state)
{
    uint8_t out[CBleCommand::kPayloadBufferSize] = {};
    uint8_t name[CBleCommand::kNameBufferSize + 1] = {};
    int outLen = 0;
    int nameLen = 0;
    const int result = m_bleCommand.ParseEvent(event, length, out, &outLen, name, &nameLen);
    switch (state) {
    case BleScanning:
        if (result == BleEventDeviceInfo) {
            const int index = m_nScanRows++;
            const QByteArray nameBytes(
                reinterpret_cast<const char*>(name), qstrnlen(reinterpret_cast<const char*>(name), size_t(nameLen)));
            QStringList columns;
            columns << QString::asprintf("%d", index)
                    << QStringLiteral("Device Name:%1").arg(QString::fromUtf8(nameBytes))
                    << QString::asprintf(
                           "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", out[13], out[12], out[11], out[10], out[9], out[8])
                    << QString::asprintf("%d", int(static_cast<int8_t>(out[14])));
            emit scanRow(columns);
        }
        break;
    case BleConnecting:
        if (result == BleEventStatusOk) {
            m_strMeterRx.clear();
            AdvanceState(BleConnecting, BleConnected);
        }
        break;
    case BleConnected:
        if (result == BleEventNotification) {
            m_strMeterRx.appendBytes(out, static_cast<size_t>(outLen));
            if (m_fnFrameHook)
                m_fnFrameHook();
        } else if (result == BleEventLinkDown) {
            emit linkLost();
        }
        break;
    case BleCancelling:
        if (result == BleEventStatusOk)
            AdvanceState(BleCancelling, BleDiscardOnce);
        break;
    default:
        break;
    }
}
