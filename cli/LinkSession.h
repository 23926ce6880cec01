#pragma once
// What the verbs that talk to the meter over the dongle share: the port names they accept, the
// error for a port that will not open, line output from any thread, and an event loop that ends
// after a given time, on SIGINT/SIGTERM or when the port is lost.
#include "cli/CliVerbs.h"

#include <QString>
#include <atomic>
#include <functional>

class CBleLink;
class CReconnector;
class CFrameDispatcher;
class CLinkController;

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
// Connects to the meter at `address` (lower case) as soon as the scan lists it, once; *listed
// says afterwards whether it was listed.
void ConnectWhenListed(CBleLink* link, const QString& address, std::atomic<bool>* listed);
// --reconnect: the meter silent for 4 s (longer while it sends its memory) or the port lost
// starts retrying the same port and meter, 1 s, 2 s, 4 s ... 30 s apart, until it answers or
// the run ends; each attempt is reported on stderr. Frames must reach reconnect->FrameSeen().
void WatchAndReconnect(CReconnector* reconnect, const CFrameDispatcher* dispatcher);

// Without --reconnect, a meter that falls silent ends the run. The silence is judged by the link
// controller's watchdog, as in the window: 4 s without a byte lose the meter, 21 s while it sends
// its memory (which comes in bursts). The watch begins with the meter's first payload: call the
// returned function from the frame hook (any thread). When the watchdog gives the meter up, this
// says so on stderr, sets *ended and ends the event loop, so that the caller saves what it has
// and exits with ExitIo. savedReadings: the dispatcher's store marker.
std::function<void()> EndOnSilence(
    CLinkController* links, std::atomic<bool>* savedReadings, const QString& address, bool* ended);

} // namespace cli
