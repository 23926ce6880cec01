#include "logger/LoggerDownload.h"

#include "protocol/FrameDispatcher.h"

#include <QElapsedTimer>
#include <QMetaObject>

// One decoded piece of the logger dialogue on its way from the receive thread.
struct CLoggerDownload::Event {
    enum Kind { ListEmpty, List, KillTimer3, Header, ProgressOpen, Block, Position, Complete, Abandoned, Misnumbered };
    Kind kind;
    std::vector<LoggerListData> entries;
    LoggerRecordHeader header;
    std::vector<LoggerPoint> points;
    int number = 0;
    int got = 0; // Misnumbered: the number the block came with
};

// What the receive half keeps between dispatcher calls.
struct CLoggerDownload::RxState {
    LoggerRecordHeader header; // of the record whose blocks are arriving
    std::function<bool(const uint8_t*, int)> send;
};

CLoggerDownload::CLoggerDownload(
    CFrameDispatcher& dispatcher, SendFn send, std::function<bool()> meterSeen, QObject* parent)
    : QObject(parent)
    , m_dispatcher(dispatcher)
    , m_fnSend(std::move(send))
    , m_fnMeterSeen(std::move(meterSeen))
    , m_rx(std::make_unique<RxState>())
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    m_fnNow = [clock] { return clock->elapsed(); };

    m_timer3.setInterval(kRequestPeriodMs);
    connect(&m_timer3, &QTimer::timeout, this, &CLoggerDownload::Timer3Tick);
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(kPauseMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &CLoggerDownload::RunPendingStep);
    m_stallTimer.setInterval(kStallCheckMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &CLoggerDownload::StallTick);
}

CLoggerDownload::~CLoggerDownload() = default;

// ---------------------------------------------------------------------------------------------
// Receive half: runs in the dispatcher's hooks on the receive thread.

void CLoggerDownload::Attach(FrameDispatcherHooks& h)
{
    m_rx->send = h.send;
    h.listHeader = [this](std::string_view entry, HexText& text) { OnListHeader(entry, text); };
    h.loggerList = [this](HexText& text) { OnList(text); };
    h.loggerHeader = [this](const uint8_t* bytes) {
        LoggerRecordHeader header;
        if (!DecodeLoggerHeader(bytes, &header))
            return;
        m_rx->header = header;
        m_dispatcher.SetTotalBlocks(header.m_nTotalBlocks);
        Post({ Event::Header, {}, std::move(header), {}, 0 });
    };
    h.killRequestTimer = [this] { Post({ Event::KillTimer3, {}, {}, {}, 0 }); };
    h.progressWindow = [this](int open) {
        if (open)
            Post({ Event::ProgressOpen, {}, {}, {}, m_dispatcher.m_nTotalBlocks.load() });
    };
    h.progressPosition = [this](int blocksDone) { Post({ Event::Position, {}, {}, {}, blocksDone }); };
    h.loggerBlock = [this](std::string_view text, int records) {
        Post({ Event::Block, {}, {}, DecodeLoggerBlock(m_rx->header, text, records), 0 });
    };
    h.transferComplete = [this](HexText& text) {
        text.clear();
        Post({ Event::Complete, {}, {}, {}, 0 });
    };
    h.transferAbandoned = [this] { Post({ Event::Abandoned, {}, {}, {}, 0 }); };
    h.blockMisnumbered = [this](int expected, int got) { Post({ Event::Misnumbered, {}, {}, {}, expected, got }); };
}

void CLoggerDownload::Post(Event event)
{
    // Queued calls from one thread to one receiver run in the order they were posted.
    QMetaObject::invokeMethod(
        this, [this, e = std::move(event)] { Handle(e); }, Qt::QueuedConnection);
}

void CLoggerDownload::OnListHeader(std::string_view entry, HexText& text)
{
    const int listChars = 2 * logger::kEntryBytes * DecodeLoggerListHeader(entry);
    m_dispatcher.m_nLoggerListSize = listChars / 2;
    if (listChars == 0) {
        // The meter holds no records: end its logger dialogue, show nothing.
        text.clear();
        if (m_rx->send)
            m_rx->send(meter_cmd::kFunction.data(), int(meter_cmd::kFunction.size()));
        Post({ Event::ListEmpty, {}, {}, {}, 0 });
        return;
    }
    if (text.size() >= size_t(listChars))
        TakeList(text, listChars);
}

void CLoggerDownload::OnList(HexText& text)
{
    const int size = m_dispatcher.m_nLoggerListSize.load();
    if (size == CFrameDispatcher::kListSizeRequested && text.size() >= size_t(logger::kEntryChars)) {
        OnListHeader(text.substr(0, logger::kEntryChars), text);
        return;
    }
    if (size <= 0 || size == CFrameDispatcher::kListSizeRequested) {
        // Nobody asked for a list: drop it rather than let it hold up later frames.
        text.clear();
        return;
    }
    TakeList(text, 2 * size);
}

void CLoggerDownload::TakeList(HexText& text, int listChars)
{
    std::vector<LoggerListData> entries = DecodeLoggerList(text.substr(0, size_t(listChars)));
    text.clear();
    Post({ Event::List, std::move(entries), {}, {}, 0 });
}

// ---------------------------------------------------------------------------------------------
// GUI half.

bool CLoggerDownload::Start(Mode mode)
{
    if (!MeterSeen())
        return false;
    if (m_bTransfer || m_dispatcher.m_bLoggerDownload.load())
        m_dispatcher.AbortLoggerTransfer();
    m_timer3.stop();
    m_stepTimer.stop();
    m_fnStep = nullptr;
    m_current.reset();
    m_bTransfer = false;

    m_dispatcher.m_nLoggerListSize = CFrameDispatcher::kListSizeRequested;
    m_list.clear();
    m_records.clear();
    m_nRecordsLeft = 0;
    m_nDownloadBytes = 0;
    emit listCleared();
    Send(meter_cmd::kDownloadLogger);
    m_nRequestCount = 0;
    m_dispatcher.m_bStoreMarker = true;
    m_request = mode;
    m_mode = AwaitList;
    Touch();
    m_stallTimer.start();
    return true;
}

void CLoggerDownload::Handle(const Event& e)
{
    Touch();
    switch (e.kind) {
    case Event::ListEmpty:
        if (m_mode != AwaitList)
            return;
        m_dispatcher.m_nLoggerListSize = 0;
        emit listReceived({});
        Finish(true, QStringLiteral("The meter holds no logger records"));
        return;
    case Event::List:
        if (m_mode != AwaitList)
            return;
        OnListArrived(e.entries);
        return;
    case Event::KillTimer3:
        m_timer3.stop();
        return;
    case Event::Header:
        OnHeader(e.header);
        return;
    case Event::ProgressOpen: {
        LoggerProgress p = m_progress;
        p.visible = true;
        p.blocks = e.number;
        p.blocksDone = 0;
        SetProgress(p);
        return;
    }
    case Event::Block:
        if (m_current)
            m_current->points.insert(m_current->points.end(), e.points.begin(), e.points.end());
        return;
    case Event::Position: {
        LoggerProgress p = m_progress;
        p.blocksDone = e.number;
        SetProgress(p);
        return;
    }
    case Event::Complete:
        OnRecordComplete();
        return;
    case Event::Abandoned:
        // Only the dispatcher's own giving-up counts: an abort this object asked for arrives
        // here too, after the transfer it ended.
        if (m_bTransfer)
            Abandon(QStringLiteral("Logger download stopped: the meter's data no longer made sense"));
        return;
    case Event::Misnumbered:
        // The meter waits for the acknowledgement of a block this side cannot take: nothing
        // more will come, so there is no point in waiting for the silence.
        if (m_bTransfer) {
            const int record = RecordInHand();
            Abandon(record > 0
                    ? QStringLiteral("Logger download stopped: block %1 of record %2 came numbered %3")
                          .arg(e.number)
                          .arg(record)
                          .arg(e.got)
                    : QStringLiteral("Logger download stopped: block %1 came numbered %2").arg(e.number).arg(e.got));
        }
        return;
    }
}

int CLoggerDownload::RecordInHand() const
{
    if (m_current)
        return m_current->listed ? m_current->address : 0;
    const int index = m_nRecordsLeft - 1;
    if (m_mode == FetchRecords && index >= 0 && index < int(m_list.size()))
        return m_list[size_t(index)].m_nAddress;
    return 0;
}

QString CLoggerDownload::WhereText() const
{
    // Records are named by their address, as the list shows them and the files are named.
    const int record = RecordInHand();
    if (m_bTransfer) {
        const int block = m_progress.blocksDone + 1;
        return record > 0 ? QStringLiteral(" at record %1, block %2").arg(record).arg(block)
                          : QStringLiteral(" at block %1").arg(block);
    }
    if (record > 0)
        return QStringLiteral(" at record %1").arg(record);
    return m_mode == AwaitList ? QStringLiteral(" before the list came") : QString();
}

void CLoggerDownload::OnListArrived(std::vector<LoggerListData> entries)
{
    m_list = std::move(entries);
    qint64 points = 0;
    for (const LoggerListData& e : m_list)
        points += e.m_nPoints;
    m_nDownloadBytes = qint64(m_list.size()) * logger::kEntryBytes + points * 8;
    m_nRecordsLeft = int(m_list.size());
    emit listReceived(m_list);

    if (m_request == Mode::ListOnly) {
        m_dispatcher.m_nLoggerListSize = 0;
        if (MeterSeen())
            Send(meter_cmd::kFunction);
        Finish(true, QString());
        return;
    }
    m_mode = FetchRecords;
    if (!MeterSeen())
        return; // the request waits for timer 3 and the meter
    LoggerProgress p;
    p.visible = true;
    p.records = int(m_list.size());
    SetProgress(p);
    RequestEntry(m_nRecordsLeft - 1);
}

void CLoggerDownload::RequestEntry(int index)
{
    m_nRequestIndex = index;
    m_nRequestCount = 0;
    if (index >= 0 && index < int(m_list.size()) && MeterSeen())
        Send(meter_cmd::RequestLoggerRecord(uint8_t(m_list[size_t(index)].m_nAddress)));
    m_timer3.start();
}

void CLoggerDownload::Timer3Tick()
{
    ++m_nRequestCount;
    if (m_nRequestCount >= kRequestTicks || m_list.empty() || m_mode != FetchRecords) {
        m_timer3.stop();
        return;
    }
    const int index = m_nRecordsLeft - 1;
    if (index >= 0 && index < int(m_list.size()) && MeterSeen())
        Send(meter_cmd::RequestLoggerRecord(uint8_t(m_list[size_t(index)].m_nAddress)));
}

void CLoggerDownload::OnHeader(const LoggerRecordHeader& header)
{
    emit stopRecording();
    m_timer3.stop();
    m_current = std::make_unique<LoggerRecord>();
    m_current->header = header;
    // The record being fetched is entry m_nRecordsLeft - 1; a header that comes when no entry
    // is due (before the list, or after the last) is a record the meter sent unasked.
    const int index = m_nRecordsLeft - 1;
    if (m_mode == FetchRecords && index >= 0 && index < int(m_list.size())) {
        m_current->entry = m_list[size_t(index)];
        m_current->address = m_current->entry.m_nAddress;
        m_current->listed = true;
    } else {
        m_current->address = 0;
        m_single.reset();
    }
    m_bTransfer = true;
    m_stallTimer.start();
    if (header.badDate)
        emit dateWarning();
}

void CLoggerDownload::OnRecordComplete()
{
    if (!m_current)
        return;
    m_bTransfer = false;
    std::unique_ptr<LoggerRecord> record = std::move(m_current);
    if (!record->listed) {
        LoggerProgress p = m_progress;
        p.visible = m_mode == FetchRecords; // a listed download keeps its window
        SetProgress(p);
        m_single = std::move(record);
        emit showRecord(*m_single);
        if (m_mode == Idle)
            m_stallTimer.stop();
        return;
    }

    --m_nRecordsLeft;
    m_records.push_back(*record);
    LoggerProgress p = m_progress;
    p.recordsDone = p.records - m_nRecordsLeft;
    p.blocksDone = p.blocks;
    SetProgress(p);
    emit recordCompleted(m_records.back());

    if (m_nRecordsLeft < 1) {
        SetProgress(LoggerProgress());
        m_dispatcher.m_nLoggerListSize = 0;
        m_timer3.stop();
        m_fnStep = [this] {
            if (MeterSeen())
                Send(meter_cmd::kFunction);
            m_nRequestCount = 0;
            emit showListPane();
            Finish(true, QString());
        };
    } else {
        m_fnStep = [this] {
            if (MeterSeen())
                RequestEntry(m_nRecordsLeft - 1);
            else
                m_timer3.start();
        };
    }
    m_stepTimer.start();
}

void CLoggerDownload::RunPendingStep()
{
    m_stepTimer.stop();
    std::function<void()> step = std::move(m_fnStep);
    m_fnStep = nullptr;
    if (step)
        step();
}

void CLoggerDownload::StallTick()
{
    if (!Running()) {
        m_stallTimer.stop();
        return;
    }
    if (m_stepTimer.isActive())
        return; // our own pause, not the meter's silence
    if (m_fnNow() - m_lastActivityMs >= kStallMs)
        Abandon(QStringLiteral("Logger download stopped: no data from the meter for %1 seconds%2")
                    .arg(kStallMs / 1000)
                    .arg(WhereText()));
}

void CLoggerDownload::OnLinkLost()
{
    if (Running())
        Abandon(QStringLiteral("Logger download stopped: the link to the meter was lost%1").arg(WhereText()));
}

void CLoggerDownload::Abandon(const QString& why)
{
    if (!Running())
        return;
    m_dispatcher.AbortLoggerTransfer();
    m_dispatcher.m_nLoggerListSize = 0;
    m_timer3.stop();
    m_stepTimer.stop();
    m_fnStep = nullptr;
    m_current.reset();
    m_bTransfer = false;
    SetProgress(LoggerProgress());
    // Let the meter leave its logger dialogue and go back to live readings.
    if (MeterSeen())
        Send(meter_cmd::kFunction);
    Finish(false, why);
}

void CLoggerDownload::Finish(bool complete, const QString& message)
{
    m_mode = Idle;
    m_bTransfer = false;
    m_stallTimer.stop();
    SetProgress(LoggerProgress());
    emit finished(complete, message);
}

void CLoggerDownload::SetProgress(const LoggerProgress& p)
{
    m_progress = p;
    emit progressChanged(p);
}

bool CLoggerDownload::ShowRecord(int address)
{
    LoggerRecord shown;
    bool found = false;
    for (const LoggerRecord& r : m_records) {
        if (r.address != address)
            continue;
        if (!found) {
            shown.address = r.address;
            shown.entry = r.entry;
            shown.header = r.header;
        }
        shown.points.insert(shown.points.end(), r.points.begin(), r.points.end());
        found = true;
    }
    if (!found && address == 0 && m_single) {
        shown = *m_single;
        found = true;
    }
    if (found)
        emit showRecord(shown);
    return found;
}
