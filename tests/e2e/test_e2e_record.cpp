// Recording end to end on the simulator's clock: the simulated meter's notifications go through
// the real dispatcher and decoders into the recorder, exactly as the link hands them over, with
// no real time passing. Start, a minute of readings, Stop, save, reopen; then a scripted session
// with the meter's memory of every saved kind and a function change.
#include "datalog/MLogFile.h"
#include "recording/RecordingJournal.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingFakes.h"
#include "sim/SimTestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Rig {
    simtest::Harness sim;
    HexText text;
    CMeterProtocol protocol { text, [](const uint8_t*, int) { return true; }, [](int) {} };
    FakeHost host;
    CRecorder rec { host, [] { return true; } };
    int events = 0;

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

    // Runs the simulated meter for ms, handing every notification to the dispatcher as the link
    // does, one payload at a time.
    void Run(int64_t ms)
    {
        for (int64_t done = 0; done < ms; done += 20) {
            sim.Run(20);
            for (const simtest::Event& e : sim.EventsWithCode(sim::EventNotification)) {
                const size_t pdu = e.bytes[8];
                const sim::Bytes payload(e.bytes.begin() + 11, e.bytes.begin() + long(11 + pdu - 2));
                text.appendText(sim::ToHex(payload));
                protocol.MeterFrameDispatcher();
            }
            sim.Clear();
        }
    }
};

QString Output(const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

} // namespace

class TestE2eRecord : public QObject {
    Q_OBJECT
private slots:
    void aMinuteRecordedSavedAndReopened()
    {
        Rig r;
        r.Run(500);
        QVERIFY(r.events > 0);
        r.rec.OnStart();
        r.Run(60000);
        r.rec.OnStop();
        QCOMPARE(r.host.open.size(), size_t(1));
        const CMyOrvelDoc& doc = r.host.Doc(0);
        // About three frames a second for a minute, every one recorded.
        QVERIFY2(doc.m_arrSeries[0].Size() >= 175 && doc.m_arrSeries[0].Size() <= 185,
            qPrintable(QString::number(doc.m_arrSeries[0].Size())));
        QCOMPARE(doc.m_nAvgCount, int(doc.m_arrSeries[0].Size()));
        QCOMPARE(doc.m_strType, QStringLiteral("VDC"));
        QCOMPARE(r.host.View(0).ListRowCount(), int(doc.m_arrSeries[0].Size()));
        // The meter's clock started at 5 Dec 2026 09:03:07; the date text is the decoder's.
        QVERIFY(doc.m_strStartTime.startsWith(QLatin1String("5/12/26 9:3:")));

        const QString path = Output(QStringLiteral("record-minute.mLog"));
        QVERIFY(r.host.Doc(0).OnSaveDocument(path));
        CDataLog reopened;
        QVERIFY(mlog::Load(path, reopened));
        QVERIFY(reopened.SameStoredContents(doc));

        // The journal of the same points reads back to the same document.
        QTemporaryDir dir;
        CJournalWriter w;
        QVERIFY(w.Open(dir.path()));
        for (qsizetype i = 0; i < doc.m_arrSeries[0].Size(); ++i)
            QVERIFY(w.Append(doc.m_arrSeries[0], i));
        CDataLog recovered;
        journal::ReadResult read;
        QVERIFY(journal::Read(w.Path(), recovered, &read));
        QCOMPARE(read.points, doc.m_arrSeries[0].Size());
        QVERIFY(!read.tornTail);
        QCOMPARE(recovered.m_arrSeries[0], doc.m_arrSeries[0]);
        QCOMPARE(recovered.m_dMax, doc.m_dMax);
        QCOMPARE(recovered.m_dAverage, doc.m_dAverage);
        QCOMPARE(recovered.m_strEndTime, doc.m_strEndTime);
    }

    void storeAndSendThenAFunctionChange()
    {
        sim::Scenario scenario;
        QString error;
        const QString file = qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/sim/scenarios/record.scn");
        QVERIFY2(sim::LoadScenarioFile(file, &scenario, &error), qPrintable(error));
        Rig r;
        r.sim.engine.PlayScenario(scenario);
        r.Run(1000);
        r.rec.OnStart();
        r.Run(9500); // volts DC, then the meter's memory
        r.Run(1000);
        // The memory ended the live recording and went into a document of its own.
        QVERIFY(!r.rec.IsRecording());
        QCOMPARE(r.host.open.size(), size_t(2));
        QVERIFY(!r.host.View(0).live);
        QVERIFY(r.host.View(1).saved);
        const CMyOrvelDoc& saved = r.host.Doc(1);
        QCOMPARE(saved.m_arrSeries[0].Size(), qsizetype(9)); // one reading of every kind
        QStringList words;
        for (qsizetype i = 0; i < saved.m_arrSeries[1].Size(); ++i)
            words << saved.m_arrSeries[1].Type(i);
        QCOMPARE(words,
            QStringList({ "Max", "Min", "Average", "Ref", "Rel", "PeakMax", "PeakMin", "PeakAverage", "Crest Factor",
                "DC+AC(V)", "VAC" }));
        QCOMPARE(saved.m_arrSeries[0].Type(8), QStringLiteral("HZ"));
        QCOMPARE(saved.m_arrSeries[0].SampleRate(8), 1.0);
        QVERIFY(saved.m_arrSeries[0].Value(8) < 500000.0); // a frequency is recorded as read
        const qsizetype firstLive = r.host.Doc(0).m_arrSeries[0].Size();
        QVERIFY(firstLive > 20);

        // Live again: Start, and the dial turns from volts DC to volts AC.
        r.rec.OnStart();
        r.Run(14000);
        QCOMPARE(r.host.open.size(), size_t(4));
        QVERIFY(r.rec.IsRecording());
        const CDataSeries& dc = r.host.Doc(2).m_arrSeries[0];
        const CDataSeries& ac = r.host.Doc(3).m_arrSeries[0];
        QVERIFY(dc.Size() > 5);
        QVERIFY(ac.Size() > 5);
        for (qsizetype i = 0; i < dc.Size(); ++i)
            QCOMPARE(dc.Type(i), QStringLiteral("VDC"));
        for (qsizetype i = 0; i < ac.Size(); ++i)
            QCOMPARE(ac.Type(i), QStringLiteral("VAC"));
        QVERIFY(!r.host.View(2).live);
        QVERIFY(!r.host.Doc(2).m_bLive);
        QCOMPARE(r.host.Doc(0).m_arrSeries[0].Size(), firstLive);
        QCOMPARE(saved.m_arrSeries[0].Size(), qsizetype(9));
    }
};

QTEST_GUILESS_MAIN(TestE2eRecord)
#include "test_e2e_record.moc"
