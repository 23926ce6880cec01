#pragma once
// What the verbs that talk to the meter over the dongle share: the port names they accept, the
// error for a port that will not open, line output from any thread, and an event loop that ends
// after a given time, on SIGINT/SIGTERM or when the port is lost.
#include "cli/CliVerbs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>

class CBleLink;
class CReconnector;
class CFrameDispatcher;

namespace cli {

// Registers the in-process simulated dongle ("sim") and anything else a port name may need.
void PrepareLinkSession();
// --seconds: a positive number; absent leaves *seconds unchanged. False on a bad value.
bool ParseSeconds(const Args& args, double* seconds);
// --port, --address (a device address, lower case) and --seconds of the verbs that talk to one
// meter. Returns 0 when they are good, else prints the usage error (naming `verb`) and returns its
// exit status.
struct MeterTarget {
    QString port;
    QString address;
    double seconds = 0; // 0: until interrupted
};
int ParseMeterTarget(const Args& args, const char* verb, MeterTarget* target);
// Why a port would not open, from CBleLink::Open's result and the port's system error code:
// "it does not exist", "it is not a serial device", "permission denied", "it is busy (another
// program has it open)" or the system's own text.
QString PortOpenReason(int openResult, uint32_t error);
// Prints "multimeter-cli: cannot open port PORT: REASON" and returns ExitIo.
int PortError(const QString& port, int openResult, uint32_t error);
// Writes one line to stdout and flushes; safe from any thread.
void PrintLine(const QString& line);
void PrintLine(const char* text, size_t length);
// Runs the event loop until seconds have passed (seconds <= 0: until interrupted). When the
// port is lost, prints an error, sets *status to ExitIo and ends.
// With a reconnector, a lost port is its business instead.
void RunEventLoop(CBleLink* link, double seconds, int* status, CReconnector* reconnect = nullptr);
// Opens the dongle at port and starts a scan, then runs the event loop as RunEventLoop does and
// closes the link. Returns ExitOk, or ExitIo (with the error printed) when the port would not open
// or was lost.
int ScanAndRun(CBleLink* link, const QString& port, double seconds, CReconnector* reconnect = nullptr);
// --reconnect: the meter silent for 4 s (longer while it sends its memory) or the port lost
// starts retrying the same port and meter, 1 s, 2 s, 4 s ... 30 s apart, until it answers or
// the run ends; each attempt is reported on stderr. Frames must reach reconnect->FrameSeen().
void WatchAndReconnect(CReconnector* reconnect, const CFrameDispatcher* dispatcher);

// Without --reconnect, a meter that falls silent ends the run: once it was heard, 4 s without a
// payload (21 s while it sends its memory, which comes in bursts) is said on stderr and ends the
// event loop, so that the caller saves what it has and exits with ExitIo.
class CSilenceEnd : public QObject {
public:
    static constexpr int kSilentSeconds = 4;
    static constexpr int kMemorySeconds = 21;

    // address: named in the message. dispatcher: tells when the meter sends its memory.
    CSilenceEnd(const QString& address, const CFrameDispatcher* dispatcher, QObject* parent = nullptr);
    // From any thread (the receive thread's frame hook): the meter sent a payload.
    void Heard();
    // Starts watching; without it Heard costs one atomic store and nothing ends.
    void Start();
    // The run was ended by silence.
    bool Ended() const { return m_bEnded; }

private:
    void Check();

    QString m_strAddress;
    const CFrameDispatcher* m_pDispatcher;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_lastHeard { -1 }; // ms on m_clock; -1: not heard yet
    QTimer m_timer;
    bool m_bEnded = false;
};

} // namespace cli
