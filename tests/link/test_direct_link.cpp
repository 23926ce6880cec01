// The direct link through the Bluetooth seam, with the simulated meter behind it: scanning marks
// the meter by its service, connecting switches notifications on, the payloads reach the same
// frame text and dispatcher as the dongle's and decode into readings, commands reach the meter's
// command characteristic, and a meter that goes out of range is reported as a lost link.
#include "link/DirectLink.h"
#include "protocol/MeterCommands.h"
#include "protocol/MeterProtocol.h"
#include "sim/SimBleCentral.h"

#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

struct Rig {
    sim::CSimBleCentral central;
    HexText frameText;
    CDirectLink link { central, frameText };
    CMeterProtocol protocol { frameText, [this](const uint8_t* b, int n) { return link.SendToMeter(b, n); },
        [](int) {} };
    std::atomic<int> decoded { 0 };
    std::mutex lock; // the receive thread writes function while the test reads it
    QString function;

    Rig()
    {
        QObject::connect(
            &protocol.Decoder(), &CLiveDecoder::frameDecoded, &link,
            [this](const MeterEvent& e) {
                {
                    std::lock_guard<std::mutex> guard(lock);
                    function = e.m_data.m_strFunction;
                }
                ++decoded;
            },
            Qt::DirectConnection);
        link.SetFrameHook([this] { protocol.MeterFrameDispatcher(); });
    }
};

} // namespace

class TestDirectLink : public QObject {
    Q_OBJECT
private slots:
    void scanMarksTheMeterByItsService()
    {
        sim::CSimBleCentral central;
        QList<BleAdvert> seen;
        connect(&central, &IBleCentral::advertFound, this, [&seen](const BleAdvert& a) { seen << a; });
        QSignalSpy finished(&central, &IBleCentral::scanFinished);
        central.StartScan(1000);
        central.Advance(1500);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(seen.size(), 2); // each device once, though each sent two reports
        QCOMPARE(seen[0].address, kMeter);
        QCOMPARE(seen[0].name, QStringLiteral("SimMeter"));
        QVERIFY(seen[0].meterService);
        QCOMPARE(seen[0].rssi, -57);
        QCOMPARE(seen[1].address, QStringLiteral("02:00:00:aa:bb:cc"));
        QVERIFY(!seen[1].meterService);
        QVERIFY(seen[1].name.isEmpty());
    }

    void notificationsBecomeReadingsAndKeysReachTheMeter()
    {
        Rig r;
        QSignalSpy connected(&r.link, &CDirectLink::connected);
        r.central.StartScan(1000);
        r.central.Advance(1200);
        r.link.Connect(kMeter);
        QCOMPARE(r.link.state(), CDirectLink::State::Connecting);
        r.central.Advance(200);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(r.link.state(), CDirectLink::State::Connected);
        QVERIFY(r.central.Engine().NotificationsOn());

        // Three seconds of the meter: about nine frames, all decoded by the shared dispatcher.
        r.central.Advance(3000);
        QTRY_VERIFY_WITH_TIMEOUT(r.decoded.load() >= 8, 5000);
        {
            std::lock_guard<std::mutex> guard(r.lock);
            QCOMPARE(r.function, QStringLiteral("VDC"));
        }

        // A key, from a thread other than the central's, as the window's command writer sends it.
        const size_t before = r.central.Engine().MeterCommands().size();
        std::thread writer([&r] { r.protocol.Commander().SendKeyCode(meter_cmd::KeyHold); });
        writer.join();
        // The write is posted to the central's thread (this one); the meter takes it in time.
        QTRY_VERIFY((r.central.Advance(10), r.central.Engine().MeterCommands().size() == before + 1));
        const sim::Bytes& sent = r.central.Engine().MeterCommands().back().bytes;
        QCOMPARE(sim::Bytes(sent.begin(), sent.end()), sim::Bytes(meter_cmd::kHold.begin(), meter_cmd::kHold.end()));
    }

    void outOfRangeIsALostLinkAndConnectingThenFails()
    {
        Rig r;
        QSignalSpy lost(&r.link, &CDirectLink::linkLost);
        QSignalSpy failed(&r.link, &CDirectLink::connectFailed);
        r.central.StartScan(1000);
        r.central.Advance(1200);
        r.link.Connect(kMeter);
        r.central.Advance(1000);
        QTRY_VERIFY_WITH_TIMEOUT(r.decoded.load() >= 2, 5000);

        r.central.SetInRange(false);
        r.central.Advance(100);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(r.link.state(), CDirectLink::State::Idle);
        // Nothing more reaches the frame text once the link is down.
        const int decoded = r.decoded.load();
        r.central.Advance(2000);
        QCoreApplication::processEvents();
        QCOMPARE(r.decoded.load(), decoded);

        // Out of range: a scan does not list it and a connection fails.
        QList<BleAdvert> seen;
        connect(&r.central, &IBleCentral::advertFound, this, [&seen](const BleAdvert& a) { seen << a; });
        r.central.StartScan(1000);
        r.central.Advance(1200);
        QCOMPARE(seen.size(), 1);
        r.link.Connect(kMeter);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(r.link.state(), CDirectLink::State::Idle);

        // Back in range: the same link connects again and readings flow.
        r.central.SetInRange(true);
        r.link.Connect(kMeter);
        r.central.Advance(1500);
        QCOMPARE(r.link.state(), CDirectLink::State::Connected);
        QTRY_VERIFY_WITH_TIMEOUT(r.decoded.load() >= decoded + 2, 5000);
        r.link.Close();
        QCOMPARE(lost.count(), 1); // closing on purpose is no loss
    }
};

QTEST_GUILESS_MAIN(TestDirectLink)
#include "test_direct_link.moc"
