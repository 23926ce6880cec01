#pragma once
// Recording of readings into data-log documents: the Start and Stop commands with the
// recording state, the view roles, the creation of the saved-readings document, and the two
// recording paths (live readings, and the saved readings the meter sends after its store
// marker, with the statistics of its display mode).
//
// Everything runs on the GUI thread. The decoders' events reach it there in frame order
// (OnMeterEvent); documents and views are reached through IRecordingHost and IRecordingView.
// Start, Stop and the creation of the saved-readings document are plain calls, never a modal
// loop, so they are safe from any handler.
#include "protocol/LiveDecoder.h"
#include "protocol/MeterEvent.h"
#include "recording/RecordingView.h"

#include <QObject>
#include <functional>

class CRecorder : public QObject {
    Q_OBJECT
public:
    // The most live readings one document takes before the recording stops.
    static constexpr int kDefaultMaxReadings = 20000;

    // meterSeen: whether the meter has sent data since the last watchdog check (Start needs it).
    CRecorder(IRecordingHost& host, std::function<bool()> meterSeen, QObject* parent = nullptr);

    // A live recording runs.
    bool IsRecording() const { return m_bRecording; }
    // Start is offered while nothing records, Stop while a recording runs.
    bool CanStart() const { return !m_bRecording; }
    bool CanStop() const { return m_bRecording; }

    // Raises (or lowers) the per-document limit; values below 1 are taken as 1.
    void SetMaxReadings(int readings);
    int MaxReadings() const { return m_nMaxReadings; }

    // Start (32787): with meter data at hand, a new document for live recording, then recording.
    void OnStart();
    // Stop (32788): every live-recording view leaves that role, its document stops being live,
    // and recording ends.
    void OnStop();
    // A new document whose view receives the saved readings (message 0x467). Returns the view,
    // null when no document could be made.
    IRecordingView* OnNewSavedReadingsDocument();

    // One decoded frame, in frame order: a live frame while recording runs is recorded live; a
    // saved reading (after the meter's store marker) ends a live recording and is stored.
    void OnMeterEvent(const MeterEvent& event);

    // The recording paths. `record` is the working record of the reading; over-range values are
    // marked in it.
    void RecordLiveReading(int series, float value, const QString& unit, double interval, int reserved,
        const QString& timeText, const QString& label, MeterData& record);
    void RecordSavedReading(int kind, const QString& timeText, MeterData& record);
    // Writes one saved reading of `kind` (1..9) into one document and its view.
    void StoreSavedReading(
        IRecordingView* view, CMyOrvelDoc* doc, int kind, const QString& timeText, MeterData& record);

    // The meter link was lost while recording: each live document gets a null element (the
    // graph leaves a break there) and its list a marker row, once per gap. The recording stays
    // on, so the readings after a reconnect continue the same document.
    void MarkGap(const QString& timeText);
    // The text of the marker row's label column.
    static QString GapLabel() { return QStringLiteral("(link lost)"); }

    // An alarm of the meter ("ALARM low", "ALARM high", "ALARM cleared" as `label`, with the
    // reading that raised or cleared it): a marked row in each live document, kept in the file
    // as a labelled point of series 1 beside the reading it belongs to, the way statistics are,
    // so that a loaded file lists it again and a recording without alarms is saved as before.
    // The row takes the time of the reading it belongs to; `timeText` when there is none yet.
    void MarkAlarm(const QString& timeText, double value, const QString& unit, const QString& label);

    // Saved readings that could not be stored because no document could be made for them.
    int LostSavedReadings() const { return m_nLostSaved; }

signals:
    // The recording state changed (Start, Stop, a saved reading ending a recording).
    void recordingChanged(bool recording);
    // A live point went into series 0 of `doc` (it is the series' last point).
    void livePointAdded(CMyOrvelDoc* doc);
    // Stop took the live role from the view of `doc`: its recording is complete.
    void liveRecordingEnded(CMyOrvelDoc* doc);
    // The per-document limit stopped the recording of `doc`.
    void limitReached(CMyOrvelDoc* doc);
    // No document could be made for a saved reading; it was not stored.
    void savedReadingLost(int kind);

public:
    // The list row of the point just added to `series` of `doc`, handed to its view, with the
    // value text every list uses. Also for documents that other recorders fill.
    static void AddListRow(IRecordingView* view, CMyOrvelDoc* doc, int series, const QString& timeText,
        const QString& unit, double value, const QString& label, bool live);

private:
    void SetRecording(bool on);
    void AddSavedPoint(IRecordingView* view, CMyOrvelDoc* doc, int series, double value, const QString& unit, int index,
        const QString& timeText, const QString& label, const MeterData& record);
    bool StoreInSavedTargets(int kind, const QString& timeText, MeterData& record);

    IRecordingHost& m_host;
    std::function<bool()> m_fnMeterSeen;
    bool m_bRecording = false;
    int m_nMaxReadings = kDefaultMaxReadings;
    int m_nLostSaved = 0;
};
