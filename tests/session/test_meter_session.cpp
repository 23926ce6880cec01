// One meter's session without a window: what a decoded frame gives as a live reading (over range
// as NaN, saved readings and the oscilloscope as none), the reading signal in frame order with the
// meter's index, the recording hand-off, the label, and the dispatcher's consumers in place from
// the start.
#include "link/LinkController.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingView.h"
#include "session/MeterSession.h"

#include <QCoreApplication>
#include <QTest>
#include <cmath>

namespace {

MeterEvent Event(int mode, float value, float limit, const char* unit = "VDC", bool saved = false)
{
    MeterEvent e;
    e.m_nMode = mode;
    e.m_bSavedFrame = saved;
    e.m_data.m_fValue = value;
    e.m_data.m_fLimit = limit;
    e.m_data.m_strUnit = QLatin1String(unit);
    e.m_data.m_strFunction = QLatin1String(unit);
    e.m_strDate = QStringLiteral("7/12/26 10:0:0");
    return e;
}

// A host that makes no documents: the recorder asks, nothing is recorded.
class NoDocuments : public IRecordingHost {
public:
    int asked = 0;
    std::vector<RecordingTarget> RecordingTargets() override { return {}; }
    IRecordingView* OpenNewDocument() override
    {
        ++asked;
        return nullptr;
    }
};

} // namespace

class TestMeterSession : public QObject {
    Q_OBJECT

private slots:
    void liveReadingsOfDecodedFrames()
    {
        LiveReading r;
        QVERIFY(CMeterSession::ReadingOf(Event(1, 5.012f, 6.0f), &r));
        // The decimal the meter meant, not the single-precision value widened (5.01200008...).
        QVERIFY(r.value == 5.012);
        QCOMPARE(r.unit, QStringLiteral("VDC"));
        // Beyond the range's limit, either sign, and the over-range mark itself: "OL".
        QVERIFY(CMeterSession::ReadingOf(Event(1, 7.0f, 6.0f), &r) && std::isnan(r.value));
        QVERIFY(CMeterSession::ReadingOf(Event(2, -6.5f, 6.0f), &r) && std::isnan(r.value));
        QVERIFY(CMeterSession::ReadingOf(Event(1, 500000.0f, 1e9f), &r) && std::isnan(r.value));
        QVERIFY(CMeterSession::ReadingOf(Event(1, std::nanf(""), 6.0f), &r) && std::isnan(r.value));
        // A frequency frame carries no limit of its own: its reading stands.
        QVERIFY(CMeterSession::ReadingOf(Event(7, 1000.0f, 0.0f, "kHZ"), &r));
        QCOMPARE(r.value, 1000.0);
        // Saved readings (after the store marker) and other modes are no live readings.
        QVERIFY(!CMeterSession::ReadingOf(Event(1, 5.0f, 6.0f, "VDC", true), &r));
        QVERIFY(!CMeterSession::ReadingOf(Event(10, 5.0f, 6.0f), &r));
    }

    void readingsLeaveInFrameOrderWithTheMetersIndex()
    {
        auto host = std::make_unique<NoDocuments>();
        NoDocuments* documents = host.get();
        CMeterSession session(2, std::move(host));
        // The logger's and the oscilloscope's consumers are on the dispatcher from the start.
        QVERIFY(session.Protocol().Hooks().loggerList);
        QVERIFY(session.Protocol().Hooks().loggerBlock);
        QVERIFY(session.Protocol().Hooks().oscRecord);
        QVERIFY(session.Protocol().Hooks().liveFrame);

        QList<LiveReading> readings;
        QList<int> events;
        connect(&session, &CMeterSession::reading, this, [&](const LiveReading& r) { readings << r; });
        connect(&session, &CMeterSession::meterEvent, this, [&](const MeterEvent& e) { events << e.m_nMode; });
        // As the receive thread hands them over: queued, in order.
        emit session.Protocol().Decoder().frameDecoded(Event(1, 1.0f, 6.0f));
        emit session.Protocol().Decoder().frameDecoded(Event(1, 9.0f, 6.0f));
        emit session.Protocol().Decoder().frameDecoded(Event(1, 2.0f, 6.0f, "VDC", true));
        emit session.Protocol().Decoder().frameDecoded(Event(1, 3.0f, 6.0f));
        QVERIFY(readings.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(events.size(), 4);
        QCOMPARE(readings.size(), 3);
        QCOMPARE(readings[0].value, 1.0);
        QVERIFY(std::isnan(readings[1].value));
        QCOMPARE(readings[2].value, 3.0);
        for (const LiveReading& r : readings) {
            QCOMPARE(r.meter, 2);
            QVERIFY(r.time.isValid());
        }
        QVERIFY(readings[0].time <= readings[2].time);
        // With the meter heard, Start asks this meter's host for a document.
        session.Recorder()->OnStart();
        QCOMPARE(documents->asked, 0);
        session.Links().Heard();
        session.Recorder()->OnStart();
        QCOMPARE(documents->asked, 1);
        QVERIFY(!session.Recorder()->IsRecording());
    }

    void labelNamesTheMeter()
    {
        CMeterSession::Identity id;
        QCOMPARE(CMeterSession::LabelOf(1, id), QStringLiteral("Meter 2"));
        id.address = QStringLiteral("a4:c1:38:00:11:23");
        QCOMPARE(CMeterSession::LabelOf(1, id), QStringLiteral("Meter 2 (a4:c1:38:00:11:23)"));
        id.name = QStringLiteral("SimMeter 2");
        QCOMPARE(CMeterSession::LabelOf(1, id), QStringLiteral("Meter 2: SimMeter 2 (a4:c1:38:00:11:23)"));
        CMeterSession session(0);
        QVERIFY(!session.Recorder());
        QCOMPARE(session.Label(), QStringLiteral("Meter 1"));
    }
};

QTEST_GUILESS_MAIN(TestMeterSession)
#include "test_meter_session.moc"
