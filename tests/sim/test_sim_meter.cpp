// The simulated meter: the byte layout of every live frame kind, its reactions to key commands,
// what its functions send, the cutting into notifications, and scenario parsing and playback.
#include "SimTestUtil.h"
#include "sim/SimScenario.h"

#include <QDir>
#include <QTest>
#include <cmath>

using namespace simtest;
using sim::Bytes;

namespace {

// The frames the meter streams over ms of connected time.
std::vector<Bytes> StreamFor(Harness& h, int64_t ms)
{
    h.Clear();
    h.Run(ms);
    return CutFrames(h.Payload());
}

Bytes LastFrame(Harness& h)
{
    const auto frames = StreamFor(h, 400);
    return frames.empty() ? Bytes() : frames.back();
}

void PressKey(Harness& h, uint8_t op)
{
    h.Write(WriteCommand(Bytes { 0xB0, op, 0x00, 0xB1 }));
    h.Run(20);
}

} // namespace

class TestSimMeter : public QObject {
    Q_OBJECT
private slots:
    void buildFramePutsEveryFieldWhereTheDecodersReadIt()
    {
        sim::FrameFields f;
        f.function = 4;
        f.status = sim::StatusHold | sim::StatusManualRange;
        f.value = 1.0f;
        f.limit = 6000.0f;
        f.unit = "ko";
        f.decimalCode = 2;
        f.clock = sim::MeterClock { 26, 12, 5, 21, 3, 59 };
        f.flags = sim::Flag24Hour | sim::FlagMonthFirst;
        const Bytes k1 = sim::BuildFrame(sim::KindNormal, f);
        QCOMPARE(k1.size(), size_t(27));
        QCOMPARE(Bytes(k1.begin(), k1.begin() + 8), Hex("a080 04 03 0000803f"));
        QCOMPARE(TextAt(k1, 12), std::string("ko  "));
        QCOMPARE(k1[16], uint8_t(2));
        QCOMPARE(Bytes(k1.begin() + 17, k1.begin() + 24), Hex("261205 210359 03"));
        unsigned sum = 0;
        for (int i = 0; i < 24; ++i)
            sum += k1[size_t(i)];
        QCOMPARE(k1[24] | (k1[25] << 8), int(sum & 0xFFFF));
        QCOMPARE(k1[26], uint8_t(0xA1));
        QCOMPARE(sim::BuildFrame(sim::KindNormal, f, true)[1], uint8_t(0x90));

        f.max = 2.0f;
        f.min = -2.0f;
        f.avg = 0.5f;
        f.maxUnit = f.minUnit = f.avgUnit = "kHZ";
        f.packedDecimals = sim::PackDecimals(1, 2, 3, 0);
        f.maxTime = { 0, 1, 2 };
        f.minTime = { 0, 3, 4 };
        f.elapsed = { 1, 23, 45 };
        const Bytes k2 = sim::BuildFrame(sim::KindMinMax, f);
        QCOMPARE(k2.size(), size_t(59));
        QCOMPARE(FloatAt(k2, 8), 2.0f);
        QCOMPARE(FloatAt(k2, 12), -2.0f);
        QCOMPARE(FloatAt(k2, 16), 0.5f);
        QCOMPARE(FloatAt(k2, 20), 6000.0f);
        QCOMPARE(k2[24], uint8_t(0x39)); // 1 | 2<<2 | 3<<4
        QCOMPARE(TextAt(k2, 25, 16), std::string("ko  kHZ kHZ kHZ "));
        QCOMPARE(Bytes(k2.begin() + 41, k2.begin() + 56), Hex("000102 000304 012345 261205210359"));

        f.reference = 3.0f;
        f.relValue = -2.0f;
        const Bytes k3 = sim::BuildFrame(sim::KindRelative, f);
        QCOMPARE(k3.size(), size_t(35));
        QCOMPARE(FloatAt(k3, 8), 3.0f);
        QCOMPARE(FloatAt(k3, 12), -2.0f);
        QCOMPARE(FloatAt(k3, 16), 6000.0f);
        QCOMPARE(TextAt(k3, 20), std::string("ko  "));
        QCOMPARE(Bytes(k3.begin() + 24, k3.begin() + 32), Hex("02 261205210359 03"));

        const Bytes k4 = sim::BuildFrame(sim::KindPeak, f);
        QCOMPARE(k4.size(), size_t(47));
        QCOMPARE(TextAt(k4, 24), std::string("ko  "));
        QCOMPARE(Bytes(k4.begin() + 28, k4.begin() + 44), Hex("39 000102 000304 012345 261205210359"));

        f.dc = 5.0f;
        f.ac = 0.25f;
        f.subKind = 2;
        f.unit = "V";
        const Bytes k5 = sim::BuildFrame(sim::KindDcAc, f);
        QCOMPARE(k5.size(), size_t(36));
        QCOMPARE(FloatAt(k5, 4), 5.0f);
        QCOMPARE(FloatAt(k5, 8), 0.25f);
        QCOMPARE(FloatAt(k5, 12), 1.0f);
        QCOMPARE(TextAt(k5, 16), std::string("V   "));
        QCOMPARE(Bytes(k5.begin() + 24, k5.begin() + 33), Hex("02 02 261205210359 03"));

        f.unit = "VAC";
        f.aux = 50.0f;
        f.auxUnit = "HZ  ";
        const Bytes k6 = sim::BuildFrame(sim::KindDualAc, f);
        QCOMPARE(k6.size(), size_t(34));
        QCOMPARE(Bytes(k6.begin(), k6.begin() + 7), Hex("a085 03 0000803f"));
        QCOMPARE(TextAt(k6, 7), std::string("VAC "));
        QCOMPARE(FloatAt(k6, 12), 6000.0f);
        QCOMPARE(FloatAt(k6, 16), 50.0f);
        QCOMPARE(TextAt(k6, 20), std::string("HZ  "));
        QCOMPARE(Bytes(k6.begin() + 24, k6.begin() + 31), Hex("261205210359 03"));

        f.status = sim::StatusSub3 | sim::StatusHold;
        f.value = 1234567.0f;
        f.dutyFraction = 0.25f;
        const Bytes k7 = sim::BuildFrame(sim::KindFrequency, f);
        QCOMPARE(k7.size(), size_t(21));
        QCOMPARE(k7[2], uint8_t(0x11));
        QCOMPARE(FloatAt(k7, 3), 1234567.0f);
        QCOMPARE(FloatAt(k7, 7), 0.25f);
        QCOMPARE(Bytes(k7.begin() + 11, k7.begin() + 18), Hex("261205210359 03"));
        QCOMPARE(k7[20], uint8_t(0xA1));
    }

    void framesAreCutIntoNotificationsOfAtMostTwentyBytes()
    {
        Bytes frame(59);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = uint8_t(i);
        const auto parts = sim::SplitNotifications(frame);
        QCOMPARE(int(parts.size()), 3);
        QCOMPARE(parts[0].size(), size_t(20));
        QCOMPARE(parts[2].size(), size_t(19));
        QCOMPARE(parts[2].back(), uint8_t(58));
        QCOMPARE(int(sim::SplitNotifications(Bytes(20)).size()), 1);
        QCOMPARE(int(sim::SplitNotifications(Bytes(21)).size()), 2);
    }

    void keysChangeWhatTheMeterSends()
    {
        Harness h;
        h.Connect();
        Bytes f = LastFrame(h);
        QCOMPARE(f[1], uint8_t(0x80));
        QCOMPARE(f[3] & 0x03, 0); // no HOLD, auto range

        PressKey(h, sim::OpHold);
        auto frames = StreamFor(h, 1000);
        QVERIFY(frames.size() >= 2);
        QCOMPARE(frames[0][3] & 0x01, 1);
        // A held display repeats the held reading.
        QCOMPARE(FloatAt(frames[0], 4), FloatAt(frames.back(), 4));
        PressKey(h, sim::OpHold);
        QCOMPARE(LastFrame(h)[3] & 0x01, 0);

        PressKey(h, sim::OpRange);
        QCOMPARE(LastFrame(h)[3] & 0x02, 2);
        PressKey(h, sim::OpRange);
        QCOMPARE(LastFrame(h)[3] & 0x02, 0);

        PressKey(h, sim::OpMax);
        frames = StreamFor(h, 2500);
        QVERIFY(frames.size() >= 6);
        for (const Bytes& m : frames) {
            QCOMPARE(m.size(), size_t(59));
            QCOMPARE(m[1], uint8_t(0x81));
            QVERIFY(FloatAt(m, 8) >= FloatAt(m, 4)); // MAX >= reading >= MIN
            QVERIFY(FloatAt(m, 12) <= FloatAt(m, 4));
            QVERIFY(FloatAt(m, 16) >= FloatAt(m, 12) && FloatAt(m, 16) <= FloatAt(m, 8));
            QCOMPARE(TextAt(m, 25, 16), std::string("VDC VDC VDC VDC "));
        }
        QCOMPARE(frames.back()[49], uint8_t(0x02)); // elapsed seconds, BCD
        QVERIFY(frames.back()[49] > frames.front()[49]);

        PressKey(h, sim::OpRel);
        f = LastFrame(h);
        QCOMPARE(f.size(), size_t(35));
        QCOMPARE(f[1], uint8_t(0x82));
        QVERIFY(std::fabs(FloatAt(f, 4) - FloatAt(f, 8) - FloatAt(f, 12)) < 1e-4f);
        QCOMPARE(f[3] & 0x04, 0);
        PressKey(h, sim::OpRel); // again: percent mode
        QCOMPARE(LastFrame(h)[3] & 0x04, 4);

        PressKey(h, sim::OpPeak);
        f = LastFrame(h);
        QCOMPARE(f.size(), size_t(47));
        QCOMPARE(f[1], uint8_t(0x83));
        QCOMPARE(f[3] & 0x04, 0);
        PressKey(h, sim::OpPeak); // again: crest factor
        QCOMPARE(LastFrame(h)[3] & 0x04, 4);

        PressKey(h, sim::OpFirstItem);
        QCOMPARE(LastFrame(h)[1], uint8_t(0x80));

        // Every command reached the meter, in order, and was recorded.
        const auto& cmds = h.engine.MeterCommands();
        QCOMPARE(int(cmds.size()), 10);
        QCOMPARE(cmds[0].bytes, Hex("b09000b1"));
        QCOMPARE(cmds.back().bytes, Hex("b0a000b1"));
    }

    void functionsSendTheirUnitsAndKinds_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("kindByte");
        QTest::addColumn<int>("unitAt");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        // Values are in the unit as sent: ohms for "ko"/"Mo", nanofarads for "uF", hertz.
        QTest::newRow("kohm") << "kohm" << 0 << 0x80 << 12 << "ko  " << 4600.0 << 4800.0;
        QTest::newRow("mohm") << "mohm" << 0 << 0x80 << 12 << "Mo  " << 1.49e6 << 1.52e6;
        QTest::newRow("uf") << "uf" << 0 << 0x80 << 12 << "uF  " << 9900.0 << 10100.0;
        QTest::newRow("nf") << "nf" << 0 << 0x80 << 12 << "nF  " << 46.0 << 48.0;
        QTest::newRow("celsius") << "tempc" << 0 << 0x80 << 12 << "s   " << 20.0 << 27.0;
        QTest::newRow("fahrenheit") << "tempf" << 0 << 0x80 << 12 << "h   " << 70.0 << 79.0;
        QTest::newRow("khz max") << "hz" << int(sim::OpMax) << 0x81 << 25 << "kHZ " << 990.0 << 1010.0;
        QTest::newRow("mhz rel") << "mhz" << int(sim::OpRel) << 0x82 << 20 << "MHZ " << 2.49e6 << 2.51e6;
        QTest::newRow("dual ac") << "dualac" << 0 << 0x85 << 7 << "VAC " << 220.0 << 240.0;
        QTest::newRow("vac peak") << "vac" << int(sim::OpPeak) << 0x83 << 24 << "VAC " << 220.0 << 240.0;
    }

    void functionsSendTheirUnitsAndKinds()
    {
        QFETCH(QString, function);
        QFETCH(int, key);
        QFETCH(int, kindByte);
        QFETCH(int, unitAt);
        QFETCH(QString, unit);
        QFETCH(double, low);
        QFETCH(double, high);
        Harness h;
        QVERIFY(h.engine.Meter().SetFunction(function.toStdString()));
        h.Connect();
        if (key)
            PressKey(h, uint8_t(key));
        const Bytes f = LastFrame(h);
        QCOMPARE(int(f[1]), kindByte);
        QCOMPARE(f.size(), size_t(sim::FrameLength(kindByte & 0x0F)));
        QCOMPARE(QString::fromStdString(TextAt(f, size_t(unitAt))), unit);
        const float v = FloatAt(f, kindByte == 0x85 ? 3 : 4);
        QVERIFY2(v >= low && v <= high, qPrintable(QString::number(v)));
        if (kindByte == 0x83) // PEAK of an AC quantity: the peaks are about 1.414 times the reading
            QVERIFY(FloatAt(f, 8) > 1.3f * v && FloatAt(f, 12) < -1.3f * v);
    }

    void subModesOfFrequencyAndDcAc()
    {
        Harness h;
        h.engine.Meter().SetFunction("hz");
        h.Connect();
        Bytes f = LastFrame(h);
        QCOMPARE(f.size(), size_t(21));
        QCOMPARE(f[1], uint8_t(0x86));
        QCOMPARE(f[2] & 0x14, 0x00); // duty cycle
        QVERIFY(FloatAt(f, 7) > 0.4f && FloatAt(f, 7) < 0.6f);
        PressKey(h, sim::OpFirstItem);
        QCOMPARE(LastFrame(h)[2] & 0x14, 0x04); // pulse width
        PressKey(h, sim::OpFirstItem);
        QCOMPARE(LastFrame(h)[2] & 0x14, 0x10); // neither

        h.engine.Meter().SetFunction("dcac");
        f = LastFrame(h);
        QCOMPARE(f[1], uint8_t(0x84));
        QCOMPARE(f[25], uint8_t(3)); // DC and AC apart: the reading is the DC part
        QCOMPARE(FloatAt(f, 12), FloatAt(f, 4));
        PressKey(h, sim::OpFirstItem);
        f = LastFrame(h);
        QCOMPARE(f[25], uint8_t(2)); // combined
        const float dc = FloatAt(f, 4), ac = FloatAt(f, 8);
        QVERIFY(std::fabs(FloatAt(f, 12) - std::sqrt(dc * dc + ac * ac)) < 0.01f);
    }

    void scenarioTextParsesAndReportsTheLineOfAMistake()
    {
        sim::Scenario s;
        QString error;
        const char* good = "# a run\n"
                           "frame a0 80 02 00 a1   # spaced hex is fine\n"
                           "\n"
                           "marker f8f8f8f8\n"
                           "pause 300\n"
                           "function kohm\n"
                           "key peak\n"
                           "store 2\n"
                           "live on\n"
                           "fault garbage 5\n"
                           "fault silence 5000\n"
                           "fault drop-link\n"
                           "fault split 3\n"
                           "fault drop-bytes 2\n"
                           "loop\n";
        QVERIFY2(sim::ParseScenario(good, &s, &error), qPrintable(error));
        QCOMPARE(int(s.steps.size()), 13);
        QCOMPARE(s.steps[0].bytes, Hex("a0800200a1"));
        QCOMPARE(s.steps[0].line, 2);
        QCOMPARE(s.steps[2].type, sim::ScenarioStep::Pause);
        QCOMPARE(s.steps[2].number, int64_t(300));
        QCOMPARE(s.steps[4].number, int64_t(sim::OpPeak));
        QCOMPARE(s.steps[8].fault, sim::ScenarioStep::FaultSilence);
        QCOMPARE(s.steps[8].number, int64_t(5000));

        const struct {
            const char* text;
            const char* error;
        } bad[] = {
            { "frame a08", "line 1: not a hex byte string: a08" },
            { "pause\n", "line 1: pause needs a time in milliseconds" },
            { "pause -5", "line 1: pause needs a time in milliseconds" },
            { "\nnotify 000102030405060708090a0b0c0d0e0f1011121314", "line 2: notify holds at most 20 bytes" },
            { "function toaster", "line 1: unknown function toaster" },
            { "key eject", "line 1: unknown key eject" },
            { "fault meteor 1", "line 1: unknown fault meteor" },
            { "fault garbage", "line 1: fault garbage needs a number" },
            { "fault garbage 0", "line 1: fault garbage needs a number" },
            { "live maybe", "line 1: live needs on or off" },
            { "dance", "line 1: unknown step dance" },
        };
        for (const auto& b : bad) {
            QVERIFY2(!sim::ParseScenario(b.text, &s, &error), b.text);
            QCOMPARE(error, QString::fromLatin1(b.error));
        }
        QVERIFY(!sim::LoadScenarioFile(QStringLiteral("/nonexistent/run.scn"), &s, &error));
        QVERIFY(error.contains(QLatin1String("/nonexistent/run.scn")));
    }

    void shippedScenariosParseAndPlay()
    {
        const QDir dir(qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/sim/scenarios"));
        const QStringList files = dir.entryList({ QStringLiteral("*.scn") }, QDir::Files);
        QVERIFY(files.contains(QStringLiteral("tour.scn")));
        for (const QString& name : files) {
            sim::Scenario s;
            QString error;
            QVERIFY2(sim::LoadScenarioFile(dir.filePath(name), &s, &error), qPrintable(error));
            Harness h;
            h.Connect();
            h.engine.PlayScenario(s);
            h.Run(120000);
            QVERIFY2(CutFrames(h.Payload()).size() > 20, qPrintable(name));
        }
    }

    void scenarioPlaysInOrderWithItsPausesOnceNotificationsAreOn()
    {
        Harness h;
        sim::Scenario s;
        QString error;
        const Bytes frame = sim::BuildFrame(sim::KindFrequency, sim::FrameFields());
        const std::string text = "frame " + sim::ToHex(frame)
            + "\n"
              "pause 500\n"
              "marker a2a2a2a2\n"
              "store 2\n"
              "pause 200\n"
              "fault drop-link\n"
              "marker f8f8f8f8\n";
        QVERIFY2(sim::ParseScenario(text, &s, &error), qPrintable(error));
        h.engine.PlayScenario(s);
        h.Run(2000);
        QVERIFY(h.stream.empty()); // nothing before the host connects
        QVERIFY(h.engine.ScenarioRunning());

        h.Connect(); // Connect clears what came before notifications
        h.Run(300);
        QCOMPARE(h.Payload(), frame); // the generated stream stays off during a scenario
        h.Run(1000);
        const Bytes p = h.Payload();
        QCOMPARE(Bytes(p.begin() + 21, p.begin() + 29), Hex("a2a2a2a2 f8f8f8f8"));
        const auto saved = CutFrames(Bytes(p.begin() + 29, p.end()));
        QCOMPARE(int(saved.size()), 2);
        QCOMPARE(saved[0][1], uint8_t(0x90));
        QCOMPARE(p.size(), size_t(29 + 2 * 27));
        QCOMPARE(int(h.EventsWithCode(sim::EventLinkTerminated).size()), 1);
        // The last marker waits for the next connection.
        QVERIFY(h.engine.ScenarioRunning());
        h.Connect();
        h.Run(300);
        QCOMPARE(h.Payload(), Hex("f8f8f8f8"));
        QVERIFY(!h.engine.ScenarioRunning());
    }

    void memoryOfEveryKindComesAloneThenLiveFramesAgain()
    {
        sim::Scenario s;
        QString error;
        QVERIFY2(sim::ParseScenario("store-all\n", &s, &error), qPrintable(error));
        QCOMPARE(s.steps[0].type, sim::ScenarioStep::StoreAll);
        QVERIFY(!sim::ParseScenario("store-all 3\n", &s, &error));
        QCOMPARE(error, QStringLiteral("line 1: store-all takes no argument"));

        Harness h;
        h.Connect();
        h.Run(1000);
        h.Clear();
        h.engine.StoreEveryKind();
        h.Run(330);
        const Bytes p = h.Payload();
        QCOMPARE(Bytes(p.begin(), p.begin() + 4), Hex("f8f8f8f8"));
        // Saved frames only, one of every saved kind, in the order of the kinds: normal,
        // MAX/MIN, REL, PEAK, PEAK with crest factor, DC+AC apart and combined, dual AC, frequency.
        const auto frames = CutFrames(Bytes(p.begin() + 4, p.end()));
        std::vector<int> kinds;
        for (const Bytes& f : frames)
            kinds.push_back(f[1]);
        QCOMPARE(kinds, std::vector<int>({ 0x90, 0x91, 0x92, 0x93, 0x93, 0x94, 0x94, 0x95, 0x96 }));
        QVERIFY((frames[4][3] & sim::StatusSub) && !(frames[3][3] & sim::StatusSub)); // crest factor
        h.Clear();
        h.Run(700);
        const auto live = CutFrames(h.Payload());
        QVERIFY(!live.empty());
        QCOMPARE(live.front()[1], uint8_t(0x80));
    }

    void scenarioLoopsAndDrivesTheMeter()
    {
        Harness h;
        sim::Scenario s;
        QString error;
        QVERIFY(sim::ParseScenario("function tempf\nlive on\npause 1000\nkey max\npause 1000\nlive off\n"
                                   "notify 01\nloop\n",
            &s, &error));
        h.Connect();
        h.engine.PlayScenario(s);
        h.Run(2050);
        const auto frames = CutFrames(h.Payload());
        QVERIFY(frames.size() >= 5);
        QCOMPARE(frames.front()[1], uint8_t(0x80));
        QCOMPARE(TextAt(frames.front(), 12), std::string("h   "));
        QCOMPARE(frames.back()[1], uint8_t(0x81));
        QCOMPARE(h.Payload().back(), uint8_t(0x01));
        // A loop without pauses still lets time pass.
        QVERIFY(sim::ParseScenario("notify 02\nloop\n", &s, &error));
        h.engine.PlayScenario(s);
        h.Clear();
        h.Run(1000);
        const size_t n = h.Payload().size();
        QVERIFY(n >= 2 && n <= 4);
    }
};

QTEST_GUILESS_MAIN(TestSimMeter)
#include "test_sim_meter.moc"
