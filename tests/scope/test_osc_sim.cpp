// The simulated meter's oscilloscope, read back through the program's dispatcher and controller:
// the mode marker, the current waveform, a whole download and one the meter stops half way.
#include "link/HexText.h"
#include "protocol/FrameDispatcher.h"
#include "scope/OscController.h"
#include "sim/SimScenario.h"
#include "sim/SimTestUtil.h"

#include <QtTest>

namespace {

struct Host {
    HexText text;
    bool oscMode = false;
    // The hooks reach the controller made after the dispatcher: they run only once it is there.
    CFrameDispatcher dispatcher { text, Hooks() };
    COscController ctl { dispatcher, nullptr, [] { return true; } };

    FrameDispatcherHooks Hooks()
    {
        FrameDispatcherHooks h;
        h.oscRecord = [this](HexText& t) { ctl.OnOscFrame(osc::FrameFromText(t.view())); };
        h.oscMode = [this] { oscMode = true; };
        return h;
    }
    // Each notification as the link hands it over, the dispatcher after each.
    void Feed(simtest::Harness& h)
    {
        for (const simtest::Event& e : h.EventsWithCode(sim::EventNotification)) {
            const size_t pdu = e.bytes[8];
            text.appendBytes(e.bytes.data() + 11, pdu - 2);
            dispatcher.MeterFrameDispatcher();
        }
        h.Clear();
    }
};

sim::SimConfig OscConfig()
{
    sim::SimConfig c = simtest::Harness::DefaultConfig();
    c.oscMode = true;
    return c;
}

} // namespace

class TestOscSim : public QObject {
    Q_OBJECT
private slots:
    void oscilloscopeModeSendsItsMarkerInsteadOfReadings()
    {
        simtest::Harness h(OscConfig());
        h.Connect();
        h.Run(1000);
        const simtest::Bytes payload = h.Payload();
        QVERIFY(payload.size() >= 8);
        QCOMPARE(simtest::Bytes(payload.begin(), payload.begin() + 4), simtest::Hex("a2a2a2a2"));
        QVERIFY(simtest::CutFrames(payload).empty());
        Host host;
        host.Feed(h);
        QVERIFY(host.oscMode);

        // And by a scenario step, from the live stream.
        simtest::Harness live;
        live.Connect();
        sim::Scenario scenario;
        QString error;
        QVERIFY(sim::ParseScenario("live on\npause 500\nosc on\n", &scenario, &error));
        QVERIFY(!sim::ParseScenario("osc maybe\n", &scenario, &error));
        QVERIFY(sim::ParseScenario("live on\npause 500\nosc on\n", &scenario, &error));
        live.engine.PlayScenario(scenario);
        live.Run(1500);
        QVERIFY(live.engine.OscMode());
        QVERIFY(!simtest::CutFrames(live.Payload()).empty());
    }

    void currentWaveformAndAFullDownload()
    {
        simtest::Harness h(OscConfig());
        h.Connect();
        Host host;
        h.Write(simtest::WriteCommand(simtest::Hex("b09800b1")));
        h.Run(500);
        host.Feed(h);
        QVERIFY(host.ctl.Slot(0).bValid);
        QCOMPARE(host.ctl.Slot(0).info.strRate, QStringLiteral("2mS/div"));
        QCOMPARE(host.ctl.Slot(0).info.strFreq, QStringLiteral("208.33 Hz")); // 60 samples of 80 us

        host.ctl.OnDownloadOscLogger();
        h.Write(simtest::WriteCommand(simtest::Hex("b09700b1")));
        h.Run(3000);
        host.Feed(h);
        QVERIFY(!host.ctl.Downloading()); // slot 10 ended it
        QVERIFY(!host.dispatcher.m_bStoreMarker);
        const int statuses[] = { 1, 2, 3, 4, 1, 2, 3, 4, 2, 3 };
        for (int s = 1; s <= 10; ++s) {
            QVERIFY(host.ctl.Slot(s).bValid);
            QCOMPARE(host.ctl.Slot(s).info.nStatus, statuses[s - 1]);
            QVERIFY(!host.ctl.Slot(s).info.strFreq.contains(QLatin1String("inf")));
        }
        const OSCInfo& rec = host.ctl.Slot(2).info;
        QCOMPARE(rec.nPage, 3);
        QCOMPARE(rec.nDateOrder, 1);
        QCOMPARE(host.ctl.Slot(3).info.strFreq, QStringLiteral("625.00 Hz")); // the meter's own, range 1
        QCOMPARE(host.ctl.Slot(4).info.strUnit, QStringLiteral("mV"));
        QCOMPARE(host.ctl.Slot(5).info.strRate, QStringLiteral("1KSa/s")); // time base 2, sample-rate label
        QCOMPARE(host.ctl.Slot(5).info.dMax, 115 * 0.02); // clipped at 250
        QCOMPARE(host.ctl.Slot(7).info.strFreq, QStringLiteral("2000.0 KHz"));
        QCOMPARE(host.ctl.Slot(7).info.strPeriod, QStringLiteral("500.0 nS"));
        QCOMPARE(host.ctl.Slot(10).info.strFreq, QStringLiteral("4.000 MHz"));
        QCOMPARE(host.ctl.Slot(3).fSpectrum[0], 15.0f);

        // The crossings the frequency comes from are one cycle of the waveform drawn apart.
        for (int s = 0; s <= 10; ++s) {
            const OSCData& d = host.ctl.Slot(s);
            const double band = (d.info.dMax - d.info.dMin) / 3; // above the noise
            QVector<int> rising;
            bool below = false;
            for (int k = 0; k < OSCData::kWavePoints; ++k) {
                const double v = d.fWave[size_t(k)];
                if (v < -band)
                    below = true;
                else if (below && v >= 0)
                    rising << k, below = false;
            }
            QVERIFY2(rising.size() >= 2, qPrintable(QString::number(s)));
            const double drawn = double(rising.last() - rising.first()) / (rising.size() - 1);
            const double measured = d.info.dCross2 - d.info.dCross1;
            QVERIFY2(std::abs(measured - drawn) <= 0.2 * drawn,
                qPrintable(QStringLiteral("slot %1: %2 samples measured, %3 drawn").arg(s).arg(measured).arg(drawn)));
        }
    }

    void aDownloadTheMeterStopsEndsByTheWatchdog()
    {
        sim::SimConfig c = OscConfig();
        c.oscStopAfter = 4;
        simtest::Harness h(c);
        h.Connect();
        Host host;
        host.ctl.OnDownloadOscLogger();
        h.Write(simtest::WriteCommand(simtest::Hex("b09700b1")));
        h.Run(3000);
        host.Feed(h);
        QVERIFY(host.ctl.Downloading());
        QCOMPARE(host.ctl.ProgressPosition(), 4);
        host.ctl.OnTimer30();
        host.ctl.OnTimer30();
        QVERIFY(!host.ctl.Downloading() && !host.ctl.ProgressShown());
        QVERIFY(host.ctl.Slot(4).bValid);
        QVERIFY(!host.ctl.Slot(5).bValid);
    }
};

QTEST_GUILESS_MAIN(TestOscSim)
#include "test_osc_sim.moc"
