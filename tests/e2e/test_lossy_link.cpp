// A lossy radio link end to end on the simulator's clock: the simulated dongle drops bytes, adds
// stray ones and splits events; the program's link cuts events and the dispatcher cuts frames.
// Every frame the simulator sent intact must come out, and nothing else; the same for the
// oscilloscope's records, and a download that lost some of them says which.
#include "link/BleLink.h"
#include "protocol/FrameCheck.h"
#include "protocol/FrameDispatcher.h"
#include "scope/OscController.h"
#include "sim/SimScenario.h"
#include "sim/SimTestUtil.h"

#include <QSignalSpy>
#include <QTest>
#include <set>

namespace {

struct Run {
    uint64_t sent = 0;
    uint64_t intact = 0;
    uint64_t damaged = 0;
    std::vector<std::string> intactFrames;
    std::vector<std::string> decoded;
    std::vector<std::string> sentFrames;
};

// Plays the tour scenario (every frame kind, markers, saved readings) for durationMs with the
// given faults, through the program's link and dispatcher.
Run PlayLossy(const sim::FaultSwitches& faults, int64_t durationMs)
{
    simtest::Harness h;
    h.Connect();
    sim::Scenario tour;
    QString error;
    const QString path = qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/sim/scenarios/tour.scn");
    if (!sim::LoadScenarioFile(path, &tour, &error))
        qFatal("tour scenario: %s", qPrintable(error));
    h.engine.SetFaults(faults);
    h.engine.PlayScenario(tour);

    CBleLink link;
    link.SetState(BleConnected);
    Run run;
    FrameDispatcherHooks hooks;
    hooks.liveFrame = [&run](int, std::string_view frame, bool) { run.decoded.emplace_back(frame); };
    CFrameDispatcher dispatcher(link.m_strMeterRx, hooks);
    link.SetFrameHook([&dispatcher] { dispatcher.MeterFrameDispatcher(); });

    // Each delivery reaches the link as one read of the port, as the reader thread hands it on.
    // The meter stops a second before the end, so that no frame is still on its way.
    for (int64_t t = 0; t < durationMs; t += 50) {
        if (t == durationMs - 1000) {
            h.engine.StopScenario();
            h.engine.SetLiveStream(false);
        }
        h.Run(50);
        for (const auto& read : h.reads) {
            CBleLink::OnComData(&link, read.second.data(), read.second.size());
            while (link.RunReceivePass()) { }
        }
        h.Clear();
    }
    // On air the bytes never stop; here they do. Stray bytes whose third byte reads as a long
    // event length hold the link text until that much has come, so the radio's noise that would
    // follow is fed in to let the last events through.
    const sim::Bytes noise(600, 0x20);
    CBleLink::OnComData(&link, noise.data(), noise.size());
    while (link.RunReceivePass()) { }
    run.sent = h.engine.FramesSent();
    run.intact = h.engine.FramesIntact();
    run.damaged = dispatcher.m_nDamagedFrames;
    for (const auto& f : h.engine.SentFrames()) {
        if (f.intact)
            run.intactFrames.push_back(sim::ToHex(f.bytes));
        run.sentFrames.push_back(sim::ToHex(f.bytes));
    }
    return run;
}

// The header, unit texts and clock of a frame (hex text): what the meter sends as fixed fields.
std::string FixedFields(const std::string& frame)
{
    struct Places {
        std::vector<int> units;
        int clock;
    };
    // Byte positions of each kind, from the frame layouts.
    static const Places kPlaces[8] = { {}, { { 12 }, 17 }, { { 25, 29, 33, 37 }, 50 }, { { 20 }, 25 }, { { 24 }, 38 },
        { { 16 }, 26 }, { { 7, 20 }, 24 }, { {}, 11 } };
    const int mode = frame.size() >= 4 ? (frame[3] - '0') + 1 : 0;
    if (mode < 1 || mode > 7)
        return frame;
    std::string out = frame.substr(0, 4);
    for (int u : kPlaces[mode].units)
        out += frame.substr(size_t(2 * u), 8);
    out += frame.substr(size_t(2 * kPlaces[mode].clock), 12);
    return out;
}

struct OscRun {
    std::vector<std::string> intact; // stored records the simulator sent intact, in order
    std::vector<std::string> sent;
    std::vector<std::string> decoded; // records the dispatcher handed out
    std::vector<osc::StoredArrivals> arrived; // slots decoded, per download
    QStringList messages;
    bool downloading = true;
};

// "Download OSC Logger" through the program's link, dispatcher and controller, twice over.
OscRun PlayOscDownload(const sim::FaultSwitches& faults)
{
    sim::SimConfig config = simtest::Harness::DefaultConfig();
    config.oscMode = true;
    simtest::Harness h(config);
    h.Connect();
    h.engine.SetFaults(faults);

    CBleLink link;
    link.SetState(BleConnected);
    OscRun run;
    COscController* scope = nullptr; // made with the dispatcher, which it needs
    FrameDispatcherHooks hooks;
    hooks.oscRecord = [&](HexText& t) {
        run.decoded.emplace_back(t.substr(0, CFrameDispatcher::kOscRecordChars - 4));
        const osc::OscFrame frame = osc::FrameFromText(t.view());
        if (frame.Slot() < osc::kSlotCount)
            run.arrived.back()[size_t(frame.Slot())] = true;
        scope->OnOscFrame(frame);
    };
    CFrameDispatcher dispatcher(link.m_strMeterRx, hooks);
    COscController ctl(dispatcher, nullptr, [] { return true; });
    scope = &ctl;
    link.SetFrameHook([&dispatcher] { dispatcher.MeterFrameDispatcher(); });
    QObject::connect(&ctl, &COscController::messageDue, [&run](const QString& m) { run.messages << m; });

    for (int pass = 0; pass < 2; ++pass) {
        run.arrived.emplace_back();
        ctl.OnDownloadOscLogger();
        h.Write(simtest::WriteCommand(simtest::Hex("b09700b1")));
        for (int t = 0; t < 4000; t += 50) {
            h.Run(50);
            for (const auto& read : h.reads) {
                CBleLink::OnComData(&link, read.second.data(), read.second.size());
                while (link.RunReceivePass()) { }
            }
            h.Clear();
        }
        ctl.OnTimer30();
        ctl.OnTimer30();
    }
    run.downloading = ctl.Downloading();
    for (const auto& f : h.engine.SentFrames()) {
        // The unread last two bytes are left out: a record is whole without them.
        const std::string hex = sim::ToHex(f.bytes).substr(0, CFrameDispatcher::kOscRecordChars - 4);
        run.sent.push_back(hex);
        if (f.intact)
            run.intact.push_back(hex);
    }
    return run;
}

} // namespace

class TestLossyLink : public QObject {
    Q_OBJECT
private slots:
    void everyIntactFrameAndNothingElse_data()
    {
        QTest::addColumn<int>("dropEvery");
        QTest::addColumn<int>("garbageEvery");
        QTest::addColumn<int>("split");
        QTest::newRow("clean") << 0 << 0 << 0;
        QTest::newRow("drop every 10th event") << 10 << 0 << 0;
        QTest::newRow("drop every 5th event") << 5 << 0 << 0;
        QTest::newRow("drop 5th, stray bytes every 2nd, split 3") << 5 << 2 << 3;
        QTest::newRow("drop 7th, stray bytes every event, split 1") << 7 << 1 << 1;
    }
    void everyIntactFrameAndNothingElse()
    {
        QFETCH(int, dropEvery);
        QFETCH(int, garbageEvery);
        QFETCH(int, split);
        sim::FaultSwitches faults;
        faults.dropEvery = dropEvery;
        faults.garbageEvery = garbageEvery;
        faults.splitBytes = split;
        const Run run = PlayLossy(faults, 120000);

        QVERIFY2(run.sent > 200, qPrintable(QString::number(run.sent)));
        if (dropEvery == 0) {
            QCOMPARE(run.intact, run.sent);
            QCOMPARE(run.damaged, uint64_t(0));
        } else {
            QVERIFY(run.intact < run.sent);
            QVERIFY(run.intact > 0);
            QVERIFY(run.damaged > 0);
        }

        // Every intact frame, in order.
        const std::set<std::string> intact(run.intactFrames.begin(), run.intactFrames.end());
        std::vector<std::string> decodedIntact;
        std::set<std::string> sentFixed;
        for (const std::string& f : run.sentFrames)
            sentFixed.insert(FixedFields(f));
        int slipped = 0; // damaged frames decoded
        int shiftedFixed = 0; // ... of them with shifted unit texts or clock
        for (const std::string& f : run.decoded) {
            if (intact.count(f)) {
                decodedIntact.push_back(f);
                continue;
            }
            ++slipped;
            if (!sentFixed.count(FixedFields(f)))
                ++shiftedFixed;
        }
        QCOMPARE(decodedIntact, run.intactFrames);
        qInfo("%llu frames sent, %llu intact, %zu decoded, %llu dropped as damaged, %d damaged decoded (%d with a "
              "shifted clock or unit)",
            (unsigned long long)run.sent, (unsigned long long)run.intact, run.decoded.size(),
            (unsigned long long)run.damaged, slipped, shiftedFixed);
        // Without stray bytes a short event takes the next event's first byte, the next
        // notification is lost and the frame's length gives it away: nothing comes through.
        if (garbageEvery == 0)
            QCOMPARE(slipped, 0);
        // With them, a lost byte and a stray one can leave a frame whole in length. Most such
        // frames show it in their unit texts or clock; one whose shift stays within its readings
        // cannot be told from a reading, and a shifted clock can still read as a date.
        QVERIFY(slipped * 2 <= int(run.damaged));
    }

    void oscilloscopeRecordsOverALossyLink_data()
    {
        QTest::addColumn<int>("dropEvery");
        QTest::newRow("clean") << 0;
        QTest::newRow("drop every 7th event") << 7;
        QTest::newRow("drop every 29th event") << 29;
        QTest::newRow("drop every 61st event") << 61;
    }
    void oscilloscopeRecordsOverALossyLink()
    {
        QFETCH(int, dropEvery);
        sim::FaultSwitches faults;
        faults.dropEvery = dropEvery;
        const OscRun run = PlayOscDownload(faults);
        QCOMPARE(run.sent.size(), size_t(20));
        QVERIFY(!run.downloading);

        // Every intact record comes out, in order. A damaged one comes out only when its fixed
        // fields are whole: bytes lost among its samples and made up by whole notifications of
        // the next record, short of that record's marker, leave nothing to tell them by.
        const std::set<std::string> intact(run.intact.begin(), run.intact.end());
        std::set<std::string> sentFields;
        for (const std::string& r : run.sent)
            sentFields.insert(r.substr(0, kOscFieldChars));
        std::vector<std::string> decodedIntact;
        int slipped = 0;
        for (const std::string& r : run.decoded) {
            if (intact.count(r)) {
                decodedIntact.push_back(r);
                continue;
            }
            ++slipped;
            QVERIFY2(sentFields.count(r.substr(0, kOscFieldChars)), r.substr(0, kOscFieldChars).c_str());
        }
        QCOMPARE(decodedIntact, run.intact);
        qInfo("%zu records sent, %zu intact, %zu decoded (%d of them damaged among their samples)",
            run.sent.size(), run.intact.size(), run.decoded.size(), slipped);

        // Each download that lost records says which.
        QStringList expected;
        for (const osc::StoredArrivals& arrived : run.arrived) {
            if (!osc::ShortDownloadText(arrived).isEmpty())
                expected << osc::ShortDownloadText(arrived);
        }
        QCOMPARE(run.messages, expected);
        if (dropEvery == 0 || dropEvery == 7)
            QCOMPARE(run.messages.size(), dropEvery ? 2 : 0);
    }
};

QTEST_GUILESS_MAIN(TestLossyLink)
#include "test_lossy_link.moc"
