// One meter's link controller without a window, on a test clock: the watchdog's 4 s and 21 s
// rules and the lost count, "meter seen" from either link, the status it reports, the meter port's
// three tries, the oscilloscope-mode flag, and meter commands routed to whichever link is up,
// also while the direct link is replaced under a sending thread.
#include "PtyPair.h"
#include "link/DirectLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "link/SerialPort.h"
#include "protocol/MeterCommands.h"
#include "sim/SimBleCentral.h"

#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

std::atomic<int> g_failedOpens { 0 };
class NeverOpens : public CSerialPort {
public:
    void Open(const QString&, int, int, int, int, int, bool) override
    {
        ++g_failedOpens;
        throw CSerialException(2);
    }
};

// A controller on a clock the test moves.
struct Rig {
    std::atomic<qint64> now { 1000 };
    CLinkController links;
    QSignalSpy lost { &links, &CLinkController::linkLost };
    QSignalSpy status { &links, &CLinkController::statusChanged };

    Rig() { links.SetClock([this] { return now.load(); }); }
    QString LastStatus() const { return status.isEmpty() ? QString() : status.last().at(0).toString(); }
};

} // namespace

class TestLinkController : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        CComPort::RegisterVirtualPort(QStringLiteral("broken"), [] { return std::make_unique<NeverOpens>(); });
    }

    void silenceLosesTheMeterAfterFourSecondsEveryTime()
    {
        Rig r;
        r.links.Heard();
        r.links.LinkUp();
        QVERIFY(r.links.WatchdogRunning());

        r.now = 1003;
        r.links.OnWatchdog();
        QVERIFY(r.links.MeterSeen());
        QCOMPARE(r.lost.count(), 0);

        r.now = 1004;
        r.links.OnWatchdog();
        QVERIFY(!r.links.MeterSeen());
        QCOMPARE(r.links.LostCount(), 1);
        QCOMPARE(r.lost.count(), 1);
        QCOMPARE(r.lost.last().at(0).toInt(), 1);
        QCOMPARE(r.LastStatus(), QStringLiteral("No data from the meter"));

        // Back, then silent again: counted on, and the watchdog keeps running.
        r.links.Heard();
        QCOMPARE(r.links.LastArrival(), qint64(1004));
        QVERIFY(r.links.MeterSeen());
        r.now += 3;
        r.links.OnWatchdog();
        QCOMPARE(r.lost.count(), 1);
        r.now += 1;
        r.links.OnWatchdog();
        QCOMPARE(r.links.LostCount(), 2);
        QCOMPARE(r.lost.last().at(0).toInt(), 2);
        QVERIFY(r.links.WatchdogRunning());
    }

    void savedReadingsGiveTheMeterTwentyOneSecondsThenEndQuietly()
    {
        Rig r;
        std::atomic<bool> savedReadings { true };
        r.links.SetSavedReadingsFlag(&savedReadings);
        r.links.Heard();
        r.links.LinkUp();
        r.now += 20;
        r.links.OnWatchdog();
        QVERIFY(r.links.MeterSeen());
        QVERIFY(savedReadings);
        r.now += 1;
        r.links.OnWatchdog();
        QVERIFY(!r.links.MeterSeen());
        QVERIFY(!savedReadings);
        QCOMPARE(r.links.LostCount(), 0); // given up quietly, not lost
        QCOMPARE(r.lost.count(), 0);
        // The ordinary rule holds again.
        r.links.OnWatchdog();
        QCOMPARE(r.links.LostCount(), 1);
    }

    // A clock in milliseconds (the command-line tool's) keeps the same rule in whole seconds
    // since the last arrival: 3.999 s keep the meter, 4 s lose it; 21 s with saved readings.
    void finerClockKeepsTheRuleInWholeSeconds()
    {
        Rig r;
        r.now = 1000500;
        r.links.SetClock([&r] { return r.now.load(); }, 1000);
        r.links.Heard();
        r.links.LinkUp();
        r.now += 3999;
        QCOMPARE(r.links.SilentSeconds(), qint64(3));
        r.links.OnWatchdog();
        QCOMPARE(r.lost.count(), 0);
        r.now += 1;
        r.links.OnWatchdog();
        QCOMPARE(r.lost.count(), 1);

        std::atomic<bool> savedReadings { true };
        r.links.SetSavedReadingsFlag(&savedReadings);
        r.links.Heard();
        r.now += 20999;
        r.links.OnWatchdog();
        QVERIFY(savedReadings);
        r.now += 1;
        r.links.OnWatchdog();
        QVERIFY(!savedReadings);
        QCOMPARE(r.lost.count(), 1);
        r.links.OnWatchdog();
        QCOMPARE(r.lost.count(), 2);
    }

    void statusWaitsForTheFirstFrameAndDisconnectEndsIt()
    {
        Rig r;
        PtyPair pty;
        QVERIFY(pty.ok());
        QSignalSpy connected(&r.links, &CLinkController::connected);
        QSignalSpy disconnected(&r.links, &CLinkController::disconnected);
        QVERIFY(r.links.TryOpenMeterPort(pty.slave()));
        r.links.LinkUp();
        QCOMPARE(connected.count(), 1);
        QCOMPARE(r.LastStatus(), QStringLiteral("waiting for the meter on %1").arg(pty.slave()));
        r.links.FrameDecoded();
        QCOMPARE(r.LastStatus(), QStringLiteral("Connected on %1").arg(pty.slave()));

        // Bytes from the port's reader thread mark the meter heard, at the controller's time.
        r.now = 1002;
        QVERIFY(pty.Write({ 0xA0, 0x80 }));
        QTRY_COMPARE_WITH_TIMEOUT(r.links.LastArrival(), qint64(1002), 3000);
        QVERIFY(r.links.MeterSeen());

        r.links.Disconnect();
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(!r.links.WatchdogRunning());
        QVERIFY(!r.links.MeterSeen());
        QVERIFY(!r.links.Dongle().m_ComPort.IsOpen());
        QCOMPARE(r.LastStatus(), QStringLiteral("Disconnected"));
        // A frame still on its way brings nothing back.
        const int before = r.status.count();
        r.links.FrameDecoded();
        QCOMPARE(r.status.count(), before);
    }

    void meterPortTriesThreeTimesAndKeepsTheWorkingOne()
    {
        Rig r;
        g_failedOpens = 0;
        QVERIFY(!r.links.TryOpenMeterPort(QStringLiteral("broken")));
        QCOMPARE(g_failedOpens.load(), 3);

        PtyPair pty;
        QVERIFY(r.links.TryOpenMeterPort(pty.slave()));
        g_failedOpens = 0;
        QVERIFY(!r.links.TryOpenMeterPort(QStringLiteral("broken"), true));
        QCOMPARE(g_failedOpens.load(), 3);
        QVERIFY(r.links.Dongle().m_ComPort.IsOpen());
        QCOMPARE(r.links.Dongle().m_ComPort.PortName(), pty.slave());
        // Without keepOldLink the old port is closed first.
        QVERIFY(!r.links.TryOpenMeterPort(QStringLiteral("broken")));
        QVERIFY(!r.links.Dongle().m_ComPort.IsOpen());
    }

    void oscilloscopeModeLastsUntilALiveFrameOrANewConnection()
    {
        Rig r;
        QVERIFY(!r.links.OscMode());
        r.links.OscModeEntered();
        QVERIFY(r.links.OscMode());
        r.links.FrameDecoded();
        QVERIFY(!r.links.OscMode());

        r.links.OscModeEntered();
        r.links.LinkUp();
        QVERIFY(!r.links.OscMode());

        // The first loss blanks the display and with it the oscilloscope's look; a later one not.
        r.links.OscModeEntered();
        r.now += 4;
        r.links.OnWatchdog();
        QVERIFY(!r.links.OscMode());
        r.links.OscModeEntered();
        r.now += 4;
        r.links.OnWatchdog();
        QCOMPARE(r.links.LostCount(), 2);
        QVERIFY(r.links.OscMode());
    }

    void commandsGoOverTheDirectLinkWhileItIsUpAndItsFramesCount()
    {
        Rig r;
        auto* central = new sim::CSimBleCentral({}, &r.links);
        r.links.SetBleCentral(central);
        std::atomic<int> frames { 0 };
        r.links.SetFrameHook([&] { ++frames; });

        // Nothing is connected: the command goes nowhere.
        QVERIFY(!r.links.SendToMeter(meter_cmd::kHold.data(), 4));

        central->StartScan(1000);
        central->Advance(1200);
        r.links.ConnectDirect(kMeter);
        QCOMPARE(r.LastStatus(), QStringLiteral("Connecting to %1 over Bluetooth...").arg(kMeter));
        central->Advance(200);
        QVERIFY(r.links.Direct()->IsConnected());
        QVERIFY(r.links.WatchdogRunning());
        QCOMPARE(r.LastStatus(), QStringLiteral("waiting for the meter on Bluetooth %1").arg(kMeter));
        QCOMPARE(r.links.Reconnector().Port(), QStringLiteral("bluetooth"));

        r.now = 1500;
        central->Advance(1000);
        QTRY_VERIFY_WITH_TIMEOUT(frames.load() > 0, 3000);
        QVERIFY(r.links.MeterSeen());
        QCOMPARE(r.links.LastArrival(), qint64(1500));

        // Keys and requests, queued to the command writer, reach the meter over the direct link.
        const size_t before = central->Engine().MeterCommands().size();
        r.links.SendLater(QByteArray(reinterpret_cast<const char*>(meter_cmd::kGetOscCurrent.data()), 4));
        QTRY_VERIFY((central->Advance(10), central->Engine().MeterCommands().size() == before + 1));
        const sim::Bytes& sent = central->Engine().MeterCommands().back().bytes;
        QCOMPARE(sim::Bytes(sent.begin(), sent.end()),
            sim::Bytes(meter_cmd::kGetOscCurrent.begin(), meter_cmd::kGetOscCurrent.end()));

        // Picking a meter again closes the direct link; nothing more is sent over it.
        r.links.ResetLinks();
        QCOMPARE(r.links.Direct()->state(), CDirectLink::State::Idle);
        QVERIFY(!r.links.SendToMeter(meter_cmd::kHold.data(), 4));
    }

    void replacingTheAdapterWhileAnotherThreadSendsIsSafe()
    {
        std::vector<std::unique_ptr<sim::CSimBleCentral>> centrals; // outlive every link on them
        Rig r;
        std::atomic<bool> stop { false };
        std::atomic<int> sends { 0 };
        std::thread sender([&] {
            while (!stop) {
                r.links.SendToMeter(meter_cmd::kHold.data(), 4);
                ++sends;
            }
        });
        // The sender runs before the first replacement, however loaded the machine is.
        QTRY_VERIFY(sends.load() > 0);
        for (int i = 0; i < 50; ++i) {
            centrals.push_back(std::make_unique<sim::CSimBleCentral>());
            r.links.SetBleCentral(centrals.back().get());
            QCoreApplication::processEvents(); // links let go by the sender are deleted here
        }
        stop = true;
        sender.join();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        r.links.SetBleCentral(nullptr);
        QVERIFY(!r.links.Direct());
    }
};

QTEST_MAIN(TestLinkController)
#include "test_link_controller.moc"
