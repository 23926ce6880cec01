// Automatic reconnect end to end on the simulator's clock: the meter goes out of range in the
// middle of a recording; the watchdog rule declares the link lost, the back-off plan retries
// (failing while the meter is away), the link comes back and the recording goes on in the same
// document with one gap. Every reading the meter sent while the link was up is in it.
#include "datalog/MLogFile.h"
#include "link/ReconnectPlan.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingFakes.h"
#include "sim/SimTestUtil.h"

#include <QDir>
#include <QTest>

namespace {

struct Rig {
    simtest::Harness sim;
    HexText text;
    CMeterProtocol protocol { text, [](const uint8_t*, int) { return true; }, [](int) {} };
    FakeHost host;
    CRecorder rec { host, [] { return true; } };
    int events = 0;
    int64_t lastNotifyMs = 0;

    Rig()
    {
        QObject::connect(
            &protocol.Decoder(), &CLiveDecoder::frameDecoded, &rec,
            [this](const MeterEvent& e) {
                ++events;
                rec.OnMeterEvent(e);
            },
            Qt::DirectConnection);
        sim.Connect();
    }

    // 20 ms of the simulated meter; true when a notification came.
    bool Step()
    {
        sim.Run(20);
        bool heard = false;
        for (const simtest::Event& e : sim.EventsWithCode(sim::EventNotification)) {
            const size_t pdu = e.bytes[8];
            const sim::Bytes payload(e.bytes.begin() + 11, e.bytes.begin() + long(11 + pdu - 2));
            text.appendText(sim::ToHex(payload));
            protocol.MeterFrameDispatcher();
            heard = true;
        }
        sim.Clear();
        if (heard)
            lastNotifyMs = sim.now;
        return heard;
    }
    void Run(int64_t ms)
    {
        for (int64_t done = 0; done < ms; done += 20)
            Step();
    }
};

} // namespace

class TestE2eReconnect : public QObject {
    Q_OBJECT
private slots:
    void recordingGoesOnAfterTheMeterComesBack()
    {
        Rig r;
        r.Run(500);
        r.rec.OnStart();
        const int eventsAtStart = r.events;
        r.Run(5000);
        const qsizetype beforeGap = r.host.Doc(0).m_arrSeries[0].Size();
        QVERIFY(beforeGap >= 14);

        const int64_t droppedAt = r.sim.now;
        r.sim.engine.DropLink();
        const int64_t backInRangeAt = droppedAt + 20000;

        CReconnectPlan plan([&r] { return r.sim.now; });
        QList<int64_t> attempts;
        int64_t lostAt = -1;
        int64_t reconnectedAt = -1;
        while (r.sim.now < droppedAt + 90000) {
            const bool heard = r.Step();
            if (plan.Trying() && heard) {
                plan.Connected();
                reconnectedAt = r.sim.now;
                break;
            }
            // The window's watchdog: four silent seconds.
            if (!plan.Active() && lostAt < 0 && r.sim.now - r.lastNotifyMs >= 4000) {
                lostAt = r.sim.now;
                r.rec.MarkGap(QStringLiteral("5/12/26 9:4:0"));
                plan.LinkLost();
            }
            if (plan.StartDueAttempt()) {
                attempts << r.sim.now - lostAt;
                if (r.sim.now < backInRangeAt)
                    plan.AttemptFailed(); // the meter is not listed
                else
                    r.sim.Connect();
            }
        }
        // Four seconds after the last notification before the drop.
        QVERIFY2(lostAt > droppedAt + 3600 && lostAt <= droppedAt + 4000,
            qPrintable(QStringLiteral("lost at %1, dropped at %2").arg(lostAt).arg(droppedAt)));
        QVERIFY(reconnectedAt > 0);
        // 1 s after the loss, then 2, 4, 8, 16 s after each failure; the meter was back by then.
        QCOMPARE(attempts, (QList<int64_t> { 1000, 3000, 7000, 15000, 31000 }));
        QVERIFY(!plan.Active());

        r.Run(5000);
        r.rec.OnStop();

        QCOMPARE(r.host.open.size(), size_t(1));
        const CMyOrvelDoc& doc = r.host.Doc(0);
        const CDataSeries& s = doc.m_arrSeries[0];
        QVERIFY(s.IsNull(beforeGap));
        qsizetype nulls = 0;
        for (qsizetype i = 0; i < s.Size(); ++i)
            nulls += s.IsNull(i) ? 1 : 0;
        QCOMPARE(nulls, qsizetype(1));
        // No reading lost outside the gap: every decoded frame of the recording is a point.
        QCOMPARE(s.Size() - nulls, qsizetype(r.events - eventsAtStart));
        QVERIFY(s.Size() - beforeGap - 1 >= 14);
        QCOMPARE(r.host.View(0).ListRowCount(), int(s.Size()));
        QCOMPARE(r.host.View(0).rows[size_t(beforeGap)].label, CRecorder::GapLabel());

        // The gap survives the file.
        const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(QStringLiteral("reconnect-gap.mLog"));
        QVERIFY(r.host.Doc(0).OnSaveDocument(path));
        CDataLog reopened;
        QVERIFY(mlog::Load(path, reopened));
        QVERIFY(reopened.m_arrSeries[0].IsNull(beforeGap));
        QCOMPARE(reopened.m_arrSeries[0].Size(), s.Size());
    }
};

QTEST_GUILESS_MAIN(TestE2eReconnect)
#include "test_e2e_reconnect.moc"
