#include "recording/Recorder.h"

#include "datalog/DataLogText.h"
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingRules.h"

#include <limits>

using namespace recording;

CRecorder::CRecorder(IRecordingHost& host, std::function<bool()> meterSeen, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_fnMeterSeen(std::move(meterSeen))
{
}

void CRecorder::SetMaxReadings(int readings)
{
    m_nMaxReadings = std::max(1, readings);
}

void CRecorder::SetRecording(bool on)
{
    if (on == m_bRecording)
        return;
    m_bRecording = on;
    emit recordingChanged(on);
}

void CRecorder::OnStart()
{
    // A second live document beside a running one would get every reading twice.
    if (m_bRecording || !m_fnMeterSeen || !m_fnMeterSeen())
        return;
    IRecordingView* view = m_host.OpenNewDocument();
    // Without a document nothing could be recorded, and the recording could not be stopped.
    if (!view)
        return;
    view->SetLiveView(true);
    view->SetSavedTarget(false);
    SetRecording(true);
}

void CRecorder::OnStop()
{
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (!t.view || !t.doc || !t.view->IsLiveView())
            continue;
        t.doc->m_bLive = false;
        t.view->SetLiveView(false);
        emit liveRecordingEnded(t.doc);
    }
    SetRecording(false);
}

IRecordingView* CRecorder::OnNewSavedReadingsDocument()
{
    IRecordingView* view = m_host.OpenNewDocument();
    if (view) {
        view->SetSavedTarget(true);
        view->SetLiveView(false);
    }
    return view;
}

void CRecorder::OnMeterEvent(const MeterEvent& event)
{
    MeterData record = event.m_data;
    // A frequency frame carries no over-range limit (the record still holds the limit of an
    // earlier mode, or 0): its reading is recorded as read.
    if (event.m_nMode == 7)
        record.m_fLimit = std::numeric_limits<float>::max();

    if (m_bRecording && !event.m_bSavedFrame) {
        RecordLiveReading(0, record.m_fValue, record.m_strUnit, 0.0, 0, event.m_strDate, record.m_strFunction, record);
    } else if (event.m_nSavedKind != 0) {
        // The first saved reading ends a live recording, with all of Stop's work: a live view
        // left behind would take the readings of the next recording as well.
        if (m_bRecording)
            OnStop();
        RecordSavedReading(event.m_nSavedKind, event.m_strDate, record);
    }
}

void CRecorder::RecordLiveReading(int series, float value, const QString& unit, double interval, int /*reserved*/,
    const QString& timeText, const QString& label, MeterData& record)
{
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (!t.view || !t.doc || !t.view->IsLiveView())
            continue;
        const CDataSeries& readings = t.doc->m_arrSeries[0];
        // Readings only: a gap is no reading, for the limit and for the sequence numbers.
        const qsizetype n = readings.PointCount();
        // The meter's function changed: this document is complete, the next reading starts the
        // next one. This reading is not recorded. A gap (null element) says nothing about the
        // function: the reading before it counts.
        qsizetype last = readings.Size() - 1;
        while (last >= 0 && readings.IsNull(last))
            --last;
        if (last >= 0 && readings.Type(last) != label) {
            OnStop();
            OnStart();
            return;
        }
        if (n >= m_nMaxReadings) {
            CMyOrvelDoc* full = t.doc;
            OnStop();
            emit limitReached(full);
            return;
        }

        double v = value;
        if (v > record.m_fLimit)
            v = kOverRange;
        else if (v < -record.m_fLimit)
            v = -kOverRange;
        record.m_fValue = static_cast<float>(v);

        t.doc->AddPoint(series, v, unit, interval, static_cast<int>(n), timeText, label, record);
        emit livePointAdded(t.doc);
        t.view->RefreshAfterLivePoint();
        AddListRow(t.view, t.doc, series, timeText, unit, v, label, true);

        // The graph's vertical range follows the function and its digits, unless the user has
        // taken charge of it. The document's statistics are left as read.
        double max = 0, min = 0;
        if (t.view->IsAutoScale() && !t.view->IsZoomedOrMoved()
            && VerticalRangeFor(record.m_nDecimals, label, &max, &min))
            t.view->SetYRange(max, min);
    }
}

bool CRecorder::StoreInSavedTargets(int kind, const QString& timeText, MeterData& record)
{
    bool stored = false;
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (!t.view || !t.doc || !t.view->IsSavedTarget())
            continue;
        StoreSavedReading(t.view, t.doc, kind, timeText, record);
        // After the points are in: the graph and the summary show this reading too.
        t.view->InvalidateGraph();
        stored = true;
    }
    return stored;
}

void CRecorder::RecordSavedReading(int kind, const QString& timeText, MeterData& record)
{
    if (StoreInSavedTargets(kind, timeText, record))
        return;
    // No document takes saved readings: make one and try once more; if that made nothing, the
    // reading is lost and said so, never retried without end.
    OnNewSavedReadingsDocument();
    if (!StoreInSavedTargets(kind, timeText, record)) {
        ++m_nLostSaved;
        emit savedReadingLost(kind);
    }
    OnStop();
}

void CRecorder::MarkGap(const QString& timeText)
{
    if (!m_bRecording)
        return;
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (!t.view || !t.doc || !t.view->IsLiveView())
            continue;
        CDataSeries& readings = t.doc->m_arrSeries[0];
        // Nothing to separate yet, or this gap is already marked.
        if (readings.IsEmpty() || readings.IsNull(readings.Size() - 1))
            continue;
        readings.AppendNull();
        t.doc->SetModifiedFlag(true);
        t.view->InvalidateGraph();
        RecordingListRow row;
        row.number = QString::number(t.view->ListRowCount() + 1);
        row.time = timeText;
        row.value = QStringLiteral("-");
        row.label = GapLabel();
        t.view->AddListRow(row, true);
    }
}

void CRecorder::MarkAlarm(const QString& timeText, double value, const QString& unit, const QString& label)
{
    if (!m_bRecording)
        return;
    for (const RecordingTarget& t : m_host.RecordingTargets()) {
        if (!t.view || !t.doc || !t.view->IsLiveView())
            continue;
        const CDataSeries& readings = t.doc->m_arrSeries[0];
        qsizetype last = readings.Size() - 1;
        while (last >= 0 && readings.IsNull(last))
            --last;
        const int index = last >= 0 ? readings.Index(last) : 0;
        const QString time = last >= 0 ? readings.DateTime(last) : timeText;
        // Series 1 leaves the statistics, the graph and the reading numbers as they were.
        t.doc->AddPoint(1, value, unit, 0.0, index, time, label, std::numeric_limits<float>::max());
        AddListRow(t.view, t.doc, 1, time, unit, value, label, true);
    }
}

void CRecorder::AddListRow(IRecordingView* view, CMyOrvelDoc* doc, int series, const QString& timeText,
    const QString& unit, double value, const QString& label, bool live)
{
    RecordingListRow row;
    // The row shows the point just added (a series the document has no room for took none).
    if (series >= 0 && series < CDataLog::kSeriesCount && !doc->m_arrSeries[static_cast<size_t>(series)].IsEmpty()) {
        row.series = series;
        row.point = doc->m_arrSeries[static_cast<size_t>(series)].Size() - 1;
    }
    row.live = live;
    row.number = QString::number(view->ListRowCount() + 1);
    row.time = timeText;
    row.unit = unit;
    // The same value text as every other list and export (over range reads "OL").
    row.value = datalog_text::ValueText(value, live ? datalog_text::Place::LiveList : datalog_text::Place::SavedList);
    row.label = label;
    view->AddListRow(row, live);
}

void CRecorder::AddSavedPoint(IRecordingView* view, CMyOrvelDoc* doc, int series, double value, const QString& unit,
    int index, const QString& timeText, const QString& label, const MeterData& record)
{
    doc->AddPoint(series, value, unit, 1.0, index, timeText, label, record);
    AddListRow(view, doc, series, timeText, unit, value, label, false);
}

void CRecorder::StoreSavedReading(
    IRecordingView* view, CMyOrvelDoc* doc, int kind, const QString& timeText, MeterData& d)
{
    const int n = static_cast<int>(doc->m_arrSeries[0].PointCount());
    const float limit = d.m_fLimit;
    for (float* v : { &d.m_fValue, &d.m_fAux, &d.m_fAltValue, &d.m_statMax.m_fValue, &d.m_statMin.m_fValue,
             &d.m_statAvg.m_fValue, &d.m_fReference, &d.m_fRelValue }) {
        if (*v > limit)
            *v = static_cast<float>(kOverRange);
    }

    auto point = [&](int series, float value, const QString& unit, const QString& time, const QString& label) {
        AddSavedPoint(view, doc, series, value, unit, n, time, label, d);
    };
    auto main = [&](const QString& time) { point(0, d.m_fValue, d.m_strUnit, time, d.m_strFunction); };
    auto stats = [&](const QString& maxWord, const QString& minWord, const QString& avgWord) {
        point(1, d.m_statMax.m_fValue, d.m_statMax.m_strUnit, d.m_statMax.m_strTime, maxWord);
        point(1, d.m_statMin.m_fValue, d.m_statMin.m_strUnit, d.m_statMin.m_strTime, minWord);
        point(1, d.m_statAvg.m_fValue, d.m_strUnit, d.m_statAvg.m_strTime, avgWord);
    };

    switch (kind) {
    case 1: // normal
    case 7: // DC+AC combined
    case 9: // frequency
        main(timeText);
        break;
    case 2: // MAX/MIN
        main(RunStartText(kind, d));
        stats(kWordMax, kWordMin, kWordAverage);
        break;
    case 3: // REL
        main(timeText);
        point(1, d.m_fReference, d.m_strUnit, timeText, kWordRef);
        point(1, d.m_fRelValue, d.m_strUnit, timeText, kWordRel);
        break;
    case 4: // PEAK
        main(RunStartText(kind, d));
        stats(kWordPeakMax, kWordPeakMin, kWordPeakAverage);
        break;
    case 5: { // PEAK with crest factor
        const QString start = RunStartText(kind, d);
        main(start);
        const float cf = CrestFactor(d.m_fValue, d.m_statMax.m_fValue, d.m_statMin.m_fValue);
        point(1, cf, kWordCrestFactor, start, kWordCrestFactor);
        break;
    }
    case 6: // DC and AC apart
        point(0, d.m_fAltValue, d.m_strAltUnit, timeText, d.m_strFunction);
        point(1, d.m_fSubValue, d.m_strSubUnit, timeText, d.m_strFunction);
        break;
    case 8: // dual AC
        main(timeText);
        point(1, d.m_fAux, d.m_strAux, timeText, d.m_strFunction);
        break;
    default:
        break;
    }
}
