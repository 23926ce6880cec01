// Recording of readings: Start and Stop, the live path with its roll-over, limit, over-range and
// vertical-range rules, and the saved readings of every kind with their statistics.
#include "RecordingFakes.h"
#include "recording/Recorder.h"
#include "recording/RecordingRules.h"

#include "datalog/DataListModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>

namespace {

MeterEvent Live(float value, const char* function = "VDC", const char* unit = "VDC", float limit = 6.0f,
    int decimals = 3, int mode = 1)
{
    MeterEvent e;
    e.m_nMode = mode;
    e.m_data.m_strFunction = QLatin1String(function);
    e.m_data.m_strUnit = QLatin1String(unit);
    e.m_data.m_fValue = value;
    e.m_data.m_fLimit = limit;
    e.m_data.m_nDecimals = decimals;
    e.m_strDate = QStringLiteral("5/12/26 9:3:7");
    return e;
}

MeterEvent Saved(int kind, const MeterData& d, int mode = 1)
{
    MeterEvent e;
    e.m_nMode = mode;
    e.m_bSavedFrame = true;
    e.m_nSavedKind = kind;
    e.m_data = d;
    e.m_strDate = QStringLiteral("5/12/26 9:3:7");
    return e;
}

MeterData Reading(float value, const char* function = "VAC", const char* unit = "VAC", float limit = 600.0f)
{
    MeterData d;
    d.m_strFunction = QLatin1String(function);
    d.m_strUnit = QLatin1String(unit);
    d.m_fValue = value;
    d.m_fLimit = limit;
    d.m_byYear = 26;
    d.m_byMonth = 12;
    d.m_byDay = 5;
    d.m_byHour = 9;
    d.m_byMinute = 3;
    d.m_bySecond = 7;
    return d;
}

struct Rig {
    FakeHost host;
    bool meterSeen = true;
    CRecorder rec { host, [this] { return meterSeen; } };
};

QStringList Labels(const CDataSeries& s)
{
    QStringList out;
    for (qsizetype i = 0; i < s.Size(); ++i)
        out << s.Type(i);
    return out;
}

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT
private slots:
    void startNeedsMeterDataAndStopEndsEveryLiveRole()
    {
        Rig r;
        QSignalSpy changed(&r.rec, &CRecorder::recordingChanged);
        r.meterSeen = false;
        r.rec.OnStart();
        QVERIFY(!r.rec.IsRecording());
        QCOMPARE(r.host.open.size(), size_t(0));

        r.meterSeen = true;
        r.rec.OnStart();
        QVERIFY(r.rec.IsRecording());
        QVERIFY(!r.rec.CanStart());
        QVERIFY(r.rec.CanStop());
        QCOMPARE(r.host.open.size(), size_t(1));
        QVERIFY(r.host.View(0).live);
        QVERIFY(!r.host.View(0).saved);
        r.rec.OnStart(); // while recording: no second live document
        QCOMPARE(r.host.open.size(), size_t(1));

        QSignalSpy ended(&r.rec, &CRecorder::liveRecordingEnded);
        r.rec.OnStop();
        QVERIFY(!r.rec.IsRecording());
        QVERIFY(!r.host.View(0).live);
        QVERIFY(!r.host.Doc(0).m_bLive);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(changed.size(), 2);

        // No document can be made: nothing records (and Stop is not left as the only way out).
        r.host.canCreate = false;
        r.rec.OnStart();
        QVERIFY(!r.rec.IsRecording());
    }

    void liveReadingsBecomePointsAndRows()
    {
        Rig r;
        r.rec.OnStart();
        QSignalSpy added(&r.rec, &CRecorder::livePointAdded);
        r.rec.OnMeterEvent(Live(1.25f));
        r.rec.OnMeterEvent(Live(-1.5f));
        // A saved frame without the store marker (no kind) is not recorded.
        MeterEvent stray = Live(3.0f);
        stray.m_bSavedFrame = true;
        r.rec.OnMeterEvent(stray);

        const CMyOrvelDoc& doc = r.host.Doc(0);
        const CDataSeries& s = doc.m_arrSeries[0];
        QCOMPARE(s.Size(), qsizetype(2));
        QCOMPARE(s.At(1), CObData(-1.5, "VDC", 0.0, 1, "5/12/26 9:3:7", "VDC", 6.0f));
        QCOMPARE(s.Index(0), 0);
        QCOMPARE(added.size(), 2);
        QCOMPARE(doc.m_nAvgCount, 2);
        QCOMPARE(doc.m_dMax, 1.25);
        QVERIFY(doc.IsModified());

        FakeView& v = r.host.View(0);
        QCOMPARE(v.refreshes, 2);
        QCOMPARE(v.rows.size(), size_t(2));
        QCOMPARE(v.rows[1].number, QStringLiteral("2"));
        QCOMPARE(v.rows[1].time, QStringLiteral("5/12/26 9:3:7"));
        QCOMPARE(v.rows[1].unit, QStringLiteral("VDC"));
        QCOMPARE(v.rows[1].value, QStringLiteral("-1.5000"));
        QCOMPARE(v.rows[1].label, QStringLiteral("VDC"));
        QCOMPARE(v.scrolled, std::vector<bool>({ true, true }));

        // Nothing is recorded once stopped.
        r.rec.OnStop();
        r.rec.OnMeterEvent(Live(2.0f));
        QCOMPARE(s.Size(), qsizetype(2));
    }

    void overRangeIsStoredAsSentinelAndListedOL()
    {
        Rig r;
        r.rec.OnStart();
        r.rec.OnMeterEvent(Live(7.0f));
        r.rec.OnMeterEvent(Live(-7.0f));
        r.rec.OnMeterEvent(Live(6.0f)); // at the limit: in range for storing, outside the band
        const CMyOrvelDoc& doc = r.host.Doc(0);
        QCOMPARE(doc.m_arrSeries[0].Value(0), 500000.0);
        QCOMPARE(doc.m_arrSeries[0].Value(1), -500000.0);
        QCOMPARE(doc.m_arrSeries[0].Value(2), 6.0);
        QCOMPARE(r.host.View(0).rows[0].value, QStringLiteral("OL"));
        QCOMPARE(r.host.View(0).rows[1].value, QStringLiteral("OL"));
        QCOMPARE(r.host.View(0).rows[2].value, QStringLiteral("6.0000"));
        QCOMPARE(doc.m_nAvgCount, 0); // the statistics ignore all three
        QCOMPARE(doc.m_nDataNumber, 3);
    }

    void frequencyReadingIsRecordedAsRead()
    {
        // A frequency frame has no limit of its own: neither 0 (nothing before it) nor the
        // limit of the volts range before it may turn 50 kHz into OL.
        for (float staleLimit : { 0.0f, 6.0f }) {
            Rig r;
            r.rec.OnStart();
            r.rec.OnMeterEvent(Live(50.0f, "HZ", "KHZ", staleLimit, 2, 7));
            const CMyOrvelDoc& doc = r.host.Doc(0);
            QCOMPARE(doc.m_arrSeries[0].Value(0), 50.0);
            QCOMPARE(r.host.View(0).rows[0].value, QStringLiteral("50.0000"));
            QCOMPARE(doc.m_nAvgCount, 1);
            QCOMPARE(doc.m_dMax, 50.0);
        }
        // A saved frequency reading likewise.
        Rig r;
        MeterData d = Reading(50.0f, "HZ", "KHZ", 0.0f);
        r.rec.OnMeterEvent(Saved(9, d, 7));
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Value(0), 50.0);
    }

    void functionChangeRollsOverToANewDocument()
    {
        Rig r;
        r.rec.OnStart();
        r.rec.OnMeterEvent(Live(5.0f));
        r.rec.OnMeterEvent(Live(5.1f));
        r.rec.OnMeterEvent(Live(230.0f, "VAC", "VAC", 600.0f, 1)); // shows the change: dropped
        QCOMPARE(r.host.open.size(), size_t(2));
        QVERIFY(r.rec.IsRecording());
        QVERIFY(!r.host.View(0).live);
        QVERIFY(!r.host.Doc(0).m_bLive);
        QCOMPARE(Labels(r.host.Doc(0).m_arrSeries[0]), QStringList({ "VDC", "VDC" }));
        QCOMPARE(r.host.Doc(1).m_arrSeries[0].Size(), qsizetype(0));
        r.rec.OnMeterEvent(Live(230.5f, "VAC", "VAC", 600.0f, 1));
        QCOMPARE(Labels(r.host.Doc(1).m_arrSeries[0]), QStringList({ "VAC" }));
        QCOMPARE(r.host.Doc(1).m_arrSeries[0].Index(0), 0);
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(2));
    }

    void aLinkGapIsMarkedOnceAndTheSameDocumentGoesOn()
    {
        Rig r;
        r.rec.MarkGap(QStringLiteral("5/12/26 9:4:0")); // nothing records: nothing to mark
        r.rec.OnStart();
        r.rec.MarkGap(QStringLiteral("5/12/26 9:4:0")); // nothing recorded yet: no gap to show
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(0));
        r.rec.OnMeterEvent(Live(5.0f));
        r.rec.OnMeterEvent(Live(5.1f));
        r.host.Doc(0).SetModifiedFlag(false);
        r.rec.MarkGap(QStringLiteral("5/12/26 9:4:0"));
        r.rec.MarkGap(QStringLiteral("5/12/26 9:4:1")); // the watchdog repeats itself
        r.rec.OnMeterEvent(Live(5.2f));
        QCOMPARE(r.host.open.size(), size_t(1));
        const CDataSeries& s = r.host.Doc(0).m_arrSeries[0];
        QCOMPARE(s.Size(), qsizetype(4));
        QVERIFY(s.IsNull(2));
        QCOMPARE(s.Value(3), double(5.2f));
        QCOMPARE(s.Type(3), QStringLiteral("VDC"));
        QVERIFY(r.host.Doc(0).IsModified());
        // The gap is no reading: not numbered, not counted.
        QCOMPARE(s.Index(3), 2);
        QCOMPARE(r.host.Doc(0).m_nDataNumber, 3);
        // The list keeps one row per element, the gap as a marker.
        const FakeView& v = r.host.View(0);
        QCOMPARE(v.ListRowCount(), 4);
        QCOMPARE(v.rows[2].label, CRecorder::GapLabel());
        QCOMPARE(v.rows[2].time, QStringLiteral("5/12/26 9:4:0"));
        QCOMPARE(v.rows[3].number, QStringLiteral("4"));

        // After the gap the function rule still holds: the dial turned while the link was down.
        r.rec.MarkGap(QStringLiteral("5/12/26 9:5:0"));
        r.rec.OnMeterEvent(Live(230.0f, "VAC", "VAC", 600.0f, 1));
        QCOMPARE(r.host.open.size(), size_t(2));
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(5));

        // Nor does it take the room of a reading under the limit.
        Rig limited;
        limited.rec.SetMaxReadings(2);
        limited.rec.OnStart();
        limited.rec.OnMeterEvent(Live(5.0f));
        limited.rec.MarkGap(QStringLiteral("5/12/26 9:4:0"));
        limited.rec.OnMeterEvent(Live(5.1f));
        QVERIFY(limited.rec.IsRecording());
        QCOMPARE(limited.host.Doc(0).m_arrSeries[0].PointCount(), qsizetype(2));
    }

    void anAlarmIsAMarkedRowThatTheFileKeeps()
    {
        Rig r;
        r.rec.MarkAlarm(QStringLiteral("t"), 1.0, QStringLiteral("VDC"), QStringLiteral("ALARM low")); // not recording
        r.rec.OnStart();
        r.rec.OnMeterEvent(Live(5.0f));
        r.rec.OnMeterEvent(Live(1.25f));
        r.rec.MarkAlarm(QStringLiteral("pc time"), 1.25, QStringLiteral("VDC"), QStringLiteral("ALARM low"));
        r.rec.OnMeterEvent(Live(5.1f));
        r.rec.MarkAlarm(QStringLiteral("pc time"), 5.1, QStringLiteral("VDC"), QStringLiteral("ALARM cleared"));
        CMyOrvelDoc& doc = r.host.Doc(0);
        // The readings, their numbers and statistics are as without the alarm.
        QCOMPARE(doc.m_arrSeries[0].Size(), qsizetype(3));
        QCOMPARE(doc.m_nDataNumber, 3);
        QCOMPARE(doc.m_dMin, double(1.25f));
        const CDataSeries& marks = doc.m_arrSeries[1];
        QCOMPARE(marks.Size(), qsizetype(2));
        QCOMPARE(marks.Index(0), 1); // beside the reading that raised it
        QCOMPARE(marks.Index(1), 2);
        QCOMPARE(marks.DateTime(0), doc.m_arrSeries[0].DateTime(1));
        const FakeView& v = r.host.View(0);
        QCOMPARE(v.ListRowCount(), 5);
        QCOMPARE(v.rows[2].label, QStringLiteral("ALARM low"));
        QCOMPARE(v.rows[2].value, QStringLiteral("1.2500"));
        QCOMPARE(v.rows[2].unit, QStringLiteral("VDC"));
        QCOMPARE(v.rows[2].series, 1);
        QCOMPARE(v.rows[2].point, qint64(0));

        // Saved and loaded, the alarm rows are listed again after their readings.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm.mLog"));
        QVERIFY(doc.OnSaveDocument(path));
        CMyOrvelDoc loaded;
        QVERIFY(loaded.OnOpenDocument(path));
        CDataListModel list;
        list.ShowDocument(&loaded, datalog_text::Place::LoadedList);
        QCOMPARE(list.rowCount(), 5);
        QCOMPARE(list.RowTexts(2).at(CDataListModel::ColType), QStringLiteral("ALARM low"));
        QCOMPARE(list.RowTexts(4).at(CDataListModel::ColType), QStringLiteral("ALARM cleared"));
        QCOMPARE(list.RowTexts(4).at(CDataListModel::ColValue), QStringLiteral("5.1000"));
    }

    void limitStopsTheRecording()
    {
        Rig r;
        r.rec.OnStart();
        QSignalSpy limit(&r.rec, &CRecorder::limitReached);
        for (int i = 0; i < 19999; ++i)
            r.rec.OnMeterEvent(Live(1.0f));
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(19999));
        r.rec.OnMeterEvent(Live(1.0f)); // the 20000th is still taken
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(20000));
        QVERIFY(r.rec.IsRecording());
        r.rec.OnMeterEvent(Live(1.0f)); // the next one stops, unrecorded
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(20000));
        QVERIFY(!r.rec.IsRecording());
        QVERIFY(!r.host.View(0).live);
        QCOMPARE(limit.size(), 1);

        // A raised limit lets the same document grow further.
        Rig raised;
        raised.rec.SetMaxReadings(3);
        raised.rec.OnStart();
        for (int i = 0; i < 5; ++i)
            raised.rec.OnMeterEvent(Live(1.0f));
        QCOMPARE(raised.host.Doc(0).m_arrSeries[0].Size(), qsizetype(3));
    }

    void verticalRangeFollowsFunctionAndDigits()
    {
        Rig r;
        r.rec.OnStart();
        r.rec.OnMeterEvent(Live(12.5f, "mVDC", "mVDC", 60.0f, 3));
        QCOMPARE(r.host.View(0).yRange, std::make_optional(std::make_pair(50.0, -50.0)));
        // The document's statistics stay as read (no widened extremes).
        QCOMPARE(r.host.Doc(0).m_dMax, 12.5);
        QCOMPARE(r.host.Doc(0).m_dMin, 12.5);

        FakeView& v = r.host.View(0);
        v.yRange.reset();
        r.rec.OnMeterEvent(Live(12.5f, "mVDC", "mVDC", 60.0f, 0));
        QVERIFY(!v.yRange); // no row for 0 digits: unchanged
        v.zoomed = true;
        r.rec.OnMeterEvent(Live(12.5f, "mVDC", "mVDC", 60.0f, 3));
        QVERIFY(!v.yRange);
        v.zoomed = false;
        v.autoScale = false;
        r.rec.OnMeterEvent(Live(12.5f, "mVDC", "mVDC", 60.0f, 3));
        QVERIFY(!v.yRange);

        double max = 0, min = 0;
        QVERIFY(recording::VerticalRangeFor(1, QStringLiteral("uAAC"), &max, &min));
        QCOMPARE(std::make_pair(max, min), std::make_pair(5000.0, 0.0));
        QVERIFY(recording::VerticalRangeFor(1, QStringLiteral("uADC"), &max, &min));
        QCOMPARE(std::make_pair(max, min), std::make_pair(5000.0, -5000.0));
        QVERIFY(recording::VerticalRangeFor(2, QStringLiteral("Diode"), &max, &min));
        QCOMPARE(std::make_pair(max, min), std::make_pair(500.0, 0.0));
        QVERIFY(recording::VerticalRangeFor(4, QStringLiteral("VDC"), &max, &min));
        QCOMPARE(std::make_pair(max, min), std::make_pair(5.0, -5.0));
        QVERIFY(!recording::VerticalRangeFor(3, QStringLiteral("HZ"), &max, &min));
        QVERIFY(!recording::VerticalRangeFor(5, QStringLiteral("VDC"), &max, &min));
    }

    void savedReadingsGoToOneDocumentOfTheirOwn()
    {
        Rig r;
        r.rec.OnStart();
        r.rec.OnMeterEvent(Live(5.0f));
        QSignalSpy changed(&r.rec, &CRecorder::recordingChanged);
        r.rec.OnMeterEvent(Saved(1, Reading(230.0f)));
        // The saved reading ended the live recording, and the live view lost its role.
        QVERIFY(!r.rec.IsRecording());
        QCOMPARE(changed.size(), 1);
        QVERIFY(!r.host.View(0).live);
        QCOMPARE(r.host.open.size(), size_t(2));
        FakeView& saved = r.host.View(1);
        QVERIFY(saved.saved);
        QVERIFY(!saved.live);
        QCOMPARE(saved.invalidations, 1);
        QCOMPARE(saved.rowsWhenInvalidated, size_t(1)); // repainted with the reading in

        r.rec.OnMeterEvent(Saved(1, Reading(231.0f)));
        QCOMPARE(saved.rowsWhenInvalidated, size_t(2));
        QCOMPARE(r.host.open.size(), size_t(2));
        const CDataSeries& s = r.host.Doc(1).m_arrSeries[0];
        QCOMPARE(s.Size(), qsizetype(2));
        QCOMPARE(s.At(1), CObData(231.0, "VAC", 1.0, 1, "5/12/26 9:3:7", "VAC", 600.0f));
        QCOMPARE(saved.scrolled, std::vector<bool>({ false, false }));
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(1));

        // Its view closed, the next saved reading makes a new document.
        r.host.Close(1);
        r.rec.OnMeterEvent(Saved(1, Reading(232.0f)));
        QCOMPARE(r.host.open.size(), size_t(2));
        QCOMPARE(r.host.Doc(1).m_arrSeries[0].Size(), qsizetype(1));
    }

    void savedReadingWithoutADocumentIsLostOnce()
    {
        Rig r;
        r.rec.OnStart();
        r.host.canCreate = false;
        QSignalSpy lost(&r.rec, &CRecorder::savedReadingLost);
        r.rec.OnMeterEvent(Saved(2, Reading(1.0f)));
        QCOMPARE(r.host.creations, 2); // Start's document, then one try for the saved reading
        QCOMPARE(lost.size(), 1);
        QCOMPARE(r.rec.LostSavedReadings(), 1);
        QVERIFY(!r.rec.IsRecording());
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), qsizetype(0));
    }

    void savedKindsCarryTheirStatistics()
    {
        // MAX/MIN: start time = clock less the elapsed time; the words and times of the stats.
        {
            Rig r;
            MeterData d = Reading(2.0f, "VDC", "VDC", 6.0f);
            d.m_statMax = { 2.5f, "VDC", 3, "00:00:12" };
            d.m_statMin = { 7.0f, "VDC", 3, "00:00:40" }; // over the limit: 500000
            d.m_statAvg = { 2.1f, "mVDC", 3, "00:01:30" };
            r.rec.OnMeterEvent(Saved(2, d, 2));
            const CMyOrvelDoc& doc = r.host.Doc(0);
            QCOMPARE(doc.m_arrSeries[0].At(0), CObData(2.0, "VDC", 1.0, 0, "2026/12/05 09:01:37", "VDC", 6.0f));
            const CDataSeries& st = doc.m_arrSeries[1];
            QCOMPARE(st.Size(), qsizetype(3));
            QCOMPARE(st.At(0), CObData(2.5, "VDC", 1.0, 0, "00:00:12", "Max", 6.0f));
            QCOMPARE(st.At(1), CObData(500000.0, "VDC", 1.0, 0, "00:00:40", "Min", 6.0f));
            QCOMPARE(st.At(2).m_dValue, double(2.1f));
            QCOMPARE(st.At(2).m_strUnit, QStringLiteral("VDC")); // the main unit, not the stat's
            QCOMPARE(st.At(2).m_strType, QStringLiteral("Average"));
            const FakeView& v = r.host.View(0);
            QCOMPARE(v.rows.size(), size_t(4));
            QCOMPARE(v.rows[2].value, QStringLiteral("OL")); // over range reads "OL" in every list
            QCOMPARE(v.rows[3].number, QStringLiteral("4"));
        }
        // REL, then dual AC, then DC and AC apart, into one document: sequence numbers follow
        // the readings of series 0.
        {
            Rig r;
            MeterData d = Reading(5.0f, "VDC", "VDC", 6.0f);
            d.m_fReference = 4.0f;
            d.m_fRelValue = 1.0f;
            r.rec.OnMeterEvent(Saved(3, d, 3));
            MeterData a = Reading(230.0f);
            a.m_fAux = 50.0f;
            a.m_strAux = QStringLiteral("HZ  ");
            r.rec.OnMeterEvent(Saved(8, a, 6));
            MeterData dc = Reading(5.2f, "VDC", "VDC", 6.0f);
            dc.m_fAltValue = 5.0f;
            dc.m_strAltUnit = QStringLiteral("VDC");
            dc.m_fSubValue = 0.12f;
            dc.m_strSubUnit = QStringLiteral("VAC");
            dc.m_strFunction = QStringLiteral("VDC");
            r.rec.OnMeterEvent(Saved(6, dc, 5));
            const CMyOrvelDoc& doc = r.host.Doc(0);
            QCOMPARE(Labels(doc.m_arrSeries[0]), QStringList({ "VDC", "VAC", "VDC" }));
            QCOMPARE(doc.m_arrSeries[0].Value(2), 5.0); // the DC part
            QCOMPARE(Labels(doc.m_arrSeries[1]), QStringList({ "Ref", "Rel", "VAC", "VDC" }));
            QCOMPARE(doc.m_arrSeries[1].At(2), CObData(50.0, "HZ  ", 1.0, 1, "5/12/26 9:3:7", "VAC", 600.0f));
            QCOMPARE(doc.m_arrSeries[1].Index(3), 2);
            QCOMPARE(doc.m_arrSeries[1].Unit(3), QStringLiteral("VAC"));
            QCOMPARE(doc.m_arrSeries[1].Value(3), double(0.12f));
        }
    }

    void crestFactorAndPeakStart()
    {
        QCOMPARE(recording::CrestFactor(1.0f, 1.5f, -1.5f), 1.5f);
        QCOMPARE(recording::CrestFactor(0.0f, 1.5f, -1.5f), 1.3f);
        QCOMPARE(recording::CrestFactor(1.0f, 20.0f, 0.0f), 1.3f); // CF 10
        QCOMPARE(recording::CrestFactor(1.0f, 1.0f, -1.0f), 1.3f); // exactly 1: not inside
        QCOMPARE(double(recording::kFallbackCrestFactor), 1.2999999523162842);

        Rig r;
        MeterData d = Reading(1.0f, "VAC", "VAC", 600.0f);
        d.m_statMax = { 1.5f, "VAC", 3, "00:00:01" };
        d.m_statMin = { -1.5f, "VAC", 3, "00:00:02" };
        d.m_statAvg = { 1.0f, "VAC", 3, "00:00:30" };
        d.m_strStart = QStringLiteral("05/12/26 09:03:07 pm");
        r.rec.OnMeterEvent(Saved(5, d, 4));
        const CMyOrvelDoc& doc = r.host.Doc(0);
        QCOMPARE(doc.m_arrSeries[0].DateTime(0), QStringLiteral("2026/12/05 21:02:37"));
        QCOMPARE(doc.m_arrSeries[1].At(0),
            CObData(1.5, "Crest Factor", 1.0, 0, "2026/12/05 21:02:37", "Crest Factor", 600.0f));

        d.m_fValue = 0.0f;
        r.rec.OnMeterEvent(Saved(5, d, 4));
        QCOMPARE(doc.m_arrSeries[1].Value(1), 1.2999999523162842);

        // PEAK without the crest factor: the three peak words.
        r.rec.OnMeterEvent(Saved(4, d, 4));
        QCOMPARE(Labels(doc.m_arrSeries[1]).mid(2), QStringList({ "PeakMax", "PeakMin", "PeakAverage" }));
    }

    void stampsAndStartTimesKnowNoTimeZone()
    {
        QDateTime t;
        QVERIFY(recording::ParseStamp(QStringLiteral("05/12/26 09:03:07 am"), &t));
        QCOMPARE(t, QDateTime(QDate(2026, 12, 5), QTime(9, 3, 7), Qt::UTC));
        QVERIFY(recording::ParseStamp(QStringLiteral("05/12/26 09:03:07 pm"), &t));
        QCOMPARE(t.time().hour(), 21);
        QVERIFY(!recording::ParseStamp(QStringLiteral("not a stamp"), &t));
        // An unreadable PEAK stamp gives an empty start time, not a made-up one.
        MeterData d;
        d.m_strStart = QStringLiteral("??");
        QCOMPARE(recording::RunStartText(4, d), QString());

        // An hour before 03:30 on the morning the clocks go forward in Berlin is 02:30, in every
        // zone the computer may be set to; the same for a PEAK stamp.
        d.m_byYear = 26;
        d.m_byMonth = 3;
        d.m_byDay = 29;
        d.m_byHour = 3;
        d.m_byMinute = 30;
        d.m_statAvg.m_strTime = QStringLiteral("01:00:00");
        d.m_strStart = QStringLiteral("29/03/26 03:30:00 am");
        const QByteArray before = qgetenv("TZ");
        for (const char* zone : { "UTC", "Europe/Berlin", "America/New_York" }) {
            qputenv("TZ", zone);
            tzset();
            QCOMPARE(recording::RunStartText(2, d), QStringLiteral("2026/03/29 02:30:00"));
            QCOMPARE(recording::RunStartText(4, d), QStringLiteral("2026/03/29 02:30:00"));
        }
        if (before.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", before);
        tzset();

        // Fields past their range carry over as on a calendar.
        QCOMPARE(recording::MeterClock(2026, 12, 31, 23, 59, 60), QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC));
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "test_recorder.moc"
