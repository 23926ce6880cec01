// The program's link against the simulated dongle and meter, both ways it attaches: in process
// as the "sim" port, and as the metersim program behind a pseudo-terminal.
#include "E2eUtil.h"
#include "sim/SimSerialPort.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using e2e::LinkProbe;

namespace {

const QString kMeterRow = QStringLiteral("0\tDevice Name:SimMeter\ta4:c1:38:00:11:22\t-57");
const QString kOtherRow = QStringLiteral("1\tDevice Name:\t02:00:00:aa:bb:cc\t-83");
const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

// Scan at port, check the two rows, connect to the meter and wait for whole frames.
void ScanAndConnect(CBleLink& link, LinkProbe& probe, const QString& port)
{
    probe.rows.clear();
    int scanResult = -1;
    link.Scan(port, [&](int r) { scanResult = r; });
    QTRY_COMPARE_WITH_TIMEOUT(probe.rows.size(), 2, 3000);
    QCOMPARE(scanResult, int(CBleLink::OpenOk));
    QCOMPARE(probe.rows[0], kMeterRow);
    QCOMPARE(probe.rows[1], kOtherRow);

    probe.ClearText();
    bool connected = false;
    QVERIFY(link.Connect(kMeter, [&] { connected = true; }));
    QTRY_VERIFY_WITH_TIMEOUT(connected, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(probe.NormalFrames().size() >= 2, 3000);
    // Every payload is appended whole: the text starts with a frame and holds nothing else.
    const std::string text = probe.Text();
    QCOMPARE(text.substr(0, 4), std::string("a080"));
    QVERIFY(probe.Payloads() >= 4); // 27-byte frames come as 20 + 7 byte notifications
}

} // namespace

class TestE2eLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { sim::RegisterSimPort(); }

    void inProcessScanConnectAndKeys()
    {
        auto simulator = sim::ResetSharedSimulator();
        CBleLink link;
        LinkProbe probe(link);
        ScanAndConnect(link, probe, QStringLiteral("sim"));
        for (const std::string& f : probe.NormalFrames())
            QCOMPARE(f.substr(6, 2), std::string("00")); // status: no HOLD

        // A key press reaches the meter, which answers with HOLD in its frames.
        const uint8_t hold[4] = { 0xB0, 0x90, 0x00, 0xB1 };
        QVERIFY(link.SendToMeter(hold, 4));
        sim::Bytes last;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                simulator->WithEngine([&](sim::CSimEngine& e) {
                    if (!e.MeterCommands().empty())
                        last = e.MeterCommands().back().bytes;
                });
                return last == sim::Bytes(hold, hold + 4);
            }(),
            2000);
        probe.ClearText();
        QTRY_VERIFY_WITH_TIMEOUT(probe.NormalFrames().size() >= 1, 2000);
        QCOMPARE(probe.NormalFrames().back().substr(6, 2), std::string("01"));

        // The meter going out of range ends the stream.
        simulator->WithEngine([](sim::CSimEngine& e) { e.DropLink(); });
        QTest::qWait(100);
        probe.ClearText();
        QTest::qWait(800);
        QVERIFY(probe.Text().empty());
        link.Close();
    }

    void inProcessUnpluggedDongle()
    {
        auto simulator = sim::ResetSharedSimulator();
        CBleLink link;
        bool lost = false;
        QObject::connect(
            &link, &CBleLink::portLost, this, [&] { lost = true; }, Qt::QueuedConnection);
        QCOMPARE(link.Open(QStringLiteral("sim")), int(CBleLink::OpenOk));
        simulator->Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(lost, 2000);
        link.Close();
        QCOMPARE(link.Open(QStringLiteral("sim")), int(CBleLink::OpenPortFailed));
        simulator->Replug();
        QCOMPARE(link.Open(QStringLiteral("sim")), int(CBleLink::OpenOk));
        link.Close();
    }

    void metersimOverAPseudoTerminalSurvivesAReopen()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString linkPath = dir.filePath(QStringLiteral("dongle"));
        const QString scenarioPath = dir.filePath(QStringLiteral("run.scn"));
        {
            // A run that starts with one known frame, then hands over to the meter's own stream.
            QFile f(scenarioPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("frame a0800200 0000803f 0000c040 56444320 02 261205090307 01 0000 a1\n"
                    "live on\n");
        }
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH),
            { QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"), scenarioPath });
        QVERIFY(metersim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);
        const QString ptyPath = QString::fromLocal8Bit(metersim.readLine()).trimmed();
        QVERIFY(ptyPath.startsWith(QLatin1String("/dev/")));
        QCOMPARE(QFile::symLinkTarget(linkPath), ptyPath);

        {
            CBleLink link;
            LinkProbe probe(link);
            ScanAndConnect(link, probe, linkPath);
            QCOMPARE(probe.Text().substr(0, 54),
                std::string("a08002000000803f0000c04056444320022612050903070100"
                            "00a1"));
            link.Close();

            // Closed and opened again, the terminal still carries the whole dialogue, both ways:
            // the meter answers a key press with HOLD in its frames.
            ScanAndConnect(link, probe, ptyPath);
            const uint8_t hold[4] = { 0xB0, 0x90, 0x00, 0xB1 };
            QVERIFY(link.SendToMeter(hold, 4));
            QTest::qWait(100);
            probe.ClearText();
            QTRY_VERIFY_WITH_TIMEOUT(probe.NormalFrames().size() >= 1, 2000);
            QCOMPARE(probe.NormalFrames().back().substr(6, 2), std::string("01"));
            link.Close();
        }
        metersim.terminate();
        QVERIFY(metersim.waitForFinished(5000));
        QCOMPARE(metersim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(metersim.exitCode(), 0);
        QVERIFY(!QFile::exists(linkPath));
    }

    void metersimRejectsBadArguments()
    {
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH), { QStringLiteral("--function"), QStringLiteral("toaster") });
        QVERIFY(metersim.waitForFinished(5000));
        QCOMPARE(metersim.exitCode(), 1);
        QVERIFY(metersim.readAllStandardError().contains("--function"));
        metersim.start(
            QStringLiteral(METERSIM_PATH), { QStringLiteral("--scenario"), QStringLiteral("/nonexistent.scn") });
        QVERIFY(metersim.waitForFinished(5000));
        QCOMPARE(metersim.exitCode(), 1);
        QVERIFY(metersim.readAllStandardError().contains("/nonexistent.scn"));
    }
};

QTEST_GUILESS_MAIN(TestE2eLink)
#include "test_e2e_link.moc"
