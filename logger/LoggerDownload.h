#pragma once
// The download of the records stored in the meter's logger.
//
// Two halves. The receive half runs inside the frame dispatcher's hooks on the link's receive
// thread: it decodes the list, each record header and each block into values and posts them, in
// order, to this object. The GUI half (this object's thread) keeps the list and the records,
// asks the meter for one record after the other (last entry first), repeats an unanswered
// request from timer 3, runs the pauses of the protocol as timer steps and gives up a transfer
// that has received nothing for ten seconds. Windows and the command-line tool follow it through
// its signals; nothing here touches a widget.
#include "logger/LoggerRecord.h"
#include "protocol/MeterCommands.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class CFrameDispatcher;
struct FrameDispatcherHooks;
class HexText;

// What the progress window shows.
struct LoggerProgress {
    bool visible = false;
    int records = 0; // entries of the list (0 for an unasked record)
    int recordsDone = 0;
    int blocks = 0; // blocks of the record being received
    int blocksDone = 0;
};

class CLoggerDownload : public QObject {
    Q_OBJECT
public:
    using SendFn = std::function<bool(const meter_cmd::Command&)>;

    // Timer 3 and the watchdog, in milliseconds.
    static constexpr int kRequestPeriodMs = 1500;
    static constexpr int kRequestTicks = 6; // an unanswered request is repeated while below this
    static constexpr int kPauseMs = 500; // between a finished record and the next command
    static constexpr int kStallMs = 10000; // a transfer that receives nothing this long is given up
    static constexpr int kStallCheckMs = 1000;

    enum class Mode { Download, ListOnly };

    // send: writes a meter command (from this object's thread); meterSeen: whether the meter has
    // sent data since the link was last lost (requests are not sent otherwise).
    CLoggerDownload(
        CFrameDispatcher& dispatcher, SendFn send, std::function<bool()> meterSeen, QObject* parent = nullptr);
    ~CLoggerDownload() override;

    // Adds the receive half to the logger hooks of a dispatcher being made (see
    // CFrameDispatcher::ComposeFn); `hooks.send` must be set already (the empty-list answer goes
    // through it).
    void Attach(FrameDispatcherHooks& hooks);

    // "Download Multimeter Logger": asks for the list (B0 95 00 B1) after forgetting the previous
    // list and records. ListOnly stops after the list (and ends the meter's logger dialogue).
    // False, and nothing sent, while no meter data has been seen.
    bool Start(Mode mode = Mode::Download);
    // Gives up whatever runs: records complete so far stay. `why` goes to finished().
    void Abandon(const QString& why);
    // The link was lost: a running download is given up.
    void OnLinkLost();
    // Shows the record(s) with this address (the list pane's activated row).
    bool ShowRecord(int address);

    bool Running() const { return m_mode != Idle || m_bTransfer; }
    const std::vector<LoggerListData>& List() const { return m_list; }
    const std::vector<LoggerRecord>& Records() const { return m_records; }
    const LoggerRecord* SingleRecord() const { return m_single.get(); }
    const LoggerProgress& Progress() const { return m_progress; }
    int RecordsLeft() const { return m_nRecordsLeft; }
    qint64 DownloadBytes() const { return m_nDownloadBytes; }
    int RequestCount() const { return m_nRequestCount; }

    // The timers' work, public so that tests drive them on their own clock.
    void Timer3Tick();
    bool Timer3Active() const { return m_timer3.isActive(); }
    void RunPendingStep();
    bool StepPending() const { return m_stepTimer.isActive(); }
    void StallTick();
    // Milliseconds of a monotonic clock; replaceable for tests.
    void SetClock(std::function<qint64()> nowMs) { m_fnNow = std::move(nowMs); }

signals:
    // The download command emptied the list.
    void listCleared();
    // The list has arrived (possibly empty).
    void listReceived(const std::vector<LoggerListData>& entries);
    void progressChanged(const LoggerProgress& progress);
    // A listed record is complete: its row joins the list pane.
    void recordCompleted(const LoggerRecord& record);
    // Show this record in the "DataLogger" document (an unasked record, or an activated row).
    void showRecord(const LoggerRecord& record);
    // A record's start date is no date: say it once for this record.
    void dateWarning();
    // A record header arrived: a live recording ends.
    void stopRecording();
    // All records are in: show the list pane.
    void showListPane();
    // The download ended: complete, or given up with the reason.
    void finished(bool complete, const QString& message);

private:
    enum ModeState { Idle, AwaitList, FetchRecords };
    struct Event;
    struct RxState;

    // Receive half (receive thread).
    void Post(Event event);
    void OnListHeader(std::string_view entry, HexText& text);
    void OnList(HexText& text);
    void TakeList(HexText& text, int listChars);

    // GUI half.
    void Handle(const Event& event);
    void OnListArrived(std::vector<LoggerListData> entries);
    void OnHeader(const LoggerRecordHeader& header);
    void OnRecordComplete();
    void RequestEntry(int index);
    void Finish(bool complete, const QString& message);
    void SetProgress(const LoggerProgress& p);
    void Touch() { m_lastActivityMs = m_fnNow(); }
    bool Send(const meter_cmd::Command& c) { return m_fnSend ? m_fnSend(c) : false; }
    bool MeterSeen() const { return m_fnMeterSeen ? m_fnMeterSeen() : true; }
    // The address of the listed record being received or asked for; 0 for none or an unasked one.
    int RecordInHand() const;
    // Where a transfer ended, for its message: " at record 3, block 20", " at record 3", or "".
    QString WhereText() const;

    CFrameDispatcher& m_dispatcher;
    SendFn m_fnSend;
    std::function<bool()> m_fnMeterSeen;
    std::function<qint64()> m_fnNow;
    std::unique_ptr<RxState> m_rx; // receive thread only

    ModeState m_mode = Idle;
    Mode m_request = Mode::Download;
    bool m_bTransfer = false; // a record header came and its last block has not
    std::vector<LoggerListData> m_list;
    std::vector<LoggerRecord> m_records; // complete listed records, in the order they came
    std::unique_ptr<LoggerRecord> m_current; // the record being received
    std::unique_ptr<LoggerRecord> m_single; // the last unasked record
    int m_nRecordsLeft = 0;
    qint64 m_nDownloadBytes = 0;
    int m_nRequestCount = 0;
    int m_nRequestIndex = -1; // entry asked for by the pending request
    LoggerProgress m_progress;
    qint64 m_lastActivityMs = 0;

    QTimer m_timer3;
    QTimer m_stepTimer;
    std::function<void()> m_fnStep;
    QTimer m_stallTimer;
};
