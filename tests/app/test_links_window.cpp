// The main window on the meter reached through the computer's own Bluetooth adapter (the
// simulated meter behind the Bluetooth seam): the Scan Device dialog lists it marked as such
// beside nothing else; picking it shows live readings and keys reach the meter. Then the meter
// goes out of range mid-recording: the status bar shows the retry, the link comes back on its
// own, and the recording goes on in the same document after one gap. The same for the dongle,
// in real time on the built-in simulator.
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "datalog/MyOrvelDoc.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "link/DirectLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "platform/MessageBox.h"
#include "link/PortSettings.h"
#include "protocol/MeterCommands.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "scope/OscController.h"
#include "scope/OscDlg.h"
#include "scope/OscList.h"
#include "scope/OscUi.h"
#include "sim/SimBleCentral.h"
#include "sim/SimSerialPort.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

namespace {

const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

sim::SimConfig Config()
{
    sim::SimConfig c;
    c.meterClockStart = QDateTime(QDate(2026, 12, 5), QTime(9, 3, 7));
    return c;
}

} // namespace

class TestLinksWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_settingsDir.path());
        msgbox::SetHandler([](const msgbox::Request&) { return msgbox::Ok; });
        sim::RegisterSimPort();
        qputenv("XDG_DATA_HOME", m_settingsDir.filePath(QStringLiteral("data")).toUtf8());
    }

    void directMeterIsListedConnectedAndComesBackAfterADrop()
    {
        CMainFrame frame;
        auto* central = new sim::CSimBleCentral(Config(), &frame);
        frame.links().SetBleCentral(central);
        std::atomic<qint64> fakeNow { 0 }; // 0: the real clock
        frame.links().SetClock([&fakeNow] {
            const qint64 fake = fakeNow.load();
            return fake ? fake : QDateTime::currentSecsSinceEpoch();
        });
        frame.show();
        // Decoded frames reach the window queued; these count them sent and delivered, so the
        // test knows when none is on its way.
        std::atomic<int> sent { 0 };
        int delivered = 0;
        QObject counter;
        connect(
            &frame.protocol().Decoder(), &CLiveDecoder::frameDecoded, &counter, [&sent] { ++sent; },
            Qt::DirectConnection);
        connect(
            &frame.protocol().Decoder(), &CLiveDecoder::frameDecoded, &counter, [&delivered] { ++delivered; },
            Qt::QueuedConnection);

        // Scan with an empty port field: only the computer's adapter looks.
        frame.OnConnectBle();
        CBleScan* dlg = frame.scanDialog();
        QVERIFY(dlg);
        dlg->portEdit()->clear();
        dlg->scanButton()->click();
        central->Advance(1500);
        QTableWidget* list = dlg->deviceList();
        QCOMPARE(list->rowCount(), 1); // the nameless device without the meter's service is left out
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("Device Name:SimMeter") + CBleScan::DirectMark());
        QCOMPARE(list->item(0, 2)->text(), kMeter);
        list->selectRow(0);
        const QString shots = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
        QDir().mkpath(shots);
        dlg->grab().save(QDir(shots).filePath(QStringLiteral("scan-device-direct.png")));
        dlg->connectButton()->click();
        QTRY_VERIFY(frame.scanDialog() == nullptr || !frame.scanDialog()->isVisible());
        central->Advance(200);
        QCOMPARE(frame.links().Direct()->state(), CDirectLink::State::Connected);
        QTRY_VERIFY((central->Advance(50), frame.leftDlg()->DisplayMode() == 1));
        QCOMPARE(frame.leftDlg()->Record().m_strFunction, QStringLiteral("VDC"));
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on Bluetooth %1").arg(kMeter));

        // A key reaches the meter's command characteristic.
        const size_t before = central->Engine().MeterCommands().size();
        emit frame.leftDlg()->keyCode(meter_cmd::KeyMax);
        QTRY_VERIFY((central->Advance(10), central->Engine().MeterCommands().size() == before + 1));
        QCOMPARE(central->Engine().MeterCommands().back().bytes, (sim::Bytes { 0xB0, 0x91, 0x00, 0xB1 }));
        central->Advance(1000);

        // Recording, then the meter walks out of range.
        frame.recorder().OnStart();
        QVERIFY(frame.recorder().IsRecording());
        QTRY_VERIFY((central->Advance(50),
            frame.docManager()->Documents().size() == 1
                && frame.docManager()->Documents().first()->m_arrSeries[0].Size() >= 5));
        CMyOrvelDoc* doc = frame.docManager()->Documents().first();
        central->SetInRange(false);
        central->Advance(1000);
        QTRY_COMPARE(delivered, sent.load()); // what the meter sent before it went is all in
        const qsizetype beforeGap = doc->m_arrSeries[0].Size();
        fakeNow = QDateTime::currentSecsSinceEpoch() + 5;
        frame.links().OnWatchdog();
        fakeNow = 0;
        QVERIFY(frame.links().Reconnector().Active());
        QCOMPARE(frame.statusText(), QStringLiteral("Link lost: next attempt in 1 s (attempt 1)"));
        QVERIFY(frame.action(QStringLiteral("cancelReconnect"))->isEnabled());
        QCOMPARE(doc->m_arrSeries[0].Size(), beforeGap + 1);
        QVERIFY(doc->m_arrSeries[0].IsNull(beforeGap));

        // The first attempt fails (still away); the next one waits two seconds.
        QTRY_VERIFY_WITH_TIMEOUT(frame.links().Reconnector().Plan().Attempt() == 2, 4000);
        QVERIFY(frame.statusText().startsWith(QLatin1String("Link lost: next attempt in ")));
        QVERIFY(frame.statusText().endsWith(QLatin1String("(attempt 2)")));

        central->SetInRange(true);
        QTRY_VERIFY_WITH_TIMEOUT((central->Advance(20), !frame.links().Reconnector().Active()), 6000);
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on Bluetooth %1").arg(kMeter));
        QVERIFY(!frame.action(QStringLiteral("cancelReconnect"))->isEnabled());
        QTRY_VERIFY((central->Advance(50), doc->m_arrSeries[0].Size() >= beforeGap + 4));
        QVERIFY(frame.recorder().IsRecording());
        QCOMPARE(frame.docManager()->Documents().size(), qsizetype(1));
        qsizetype nulls = 0;
        for (qsizetype i = 0; i < doc->m_arrSeries[0].Size(); ++i)
            nulls += doc->m_arrSeries[0].IsNull(i) ? 1 : 0;
        QCOMPARE(nulls, qsizetype(1));

        // Disconnect ends it all: no retry after the user closed the link.
        frame.recorder().OnStop();
        frame.OnDisconnect();
        QCOMPARE(frame.links().Direct()->state(), CDirectLink::State::Idle);
        QVERIFY(!frame.links().Reconnector().Active());
        doc->SetModifiedFlag(false);
        frame.close();
    }

    // The oscilloscope's requests go over the direct link too: the current waveform comes back
    // and opens the window.
    void oscilloscopeRequestsReachADirectMeter()
    {
        CMainFrame frame;
        sim::SimConfig c = Config();
        c.oscMode = true;
        auto* central = new sim::CSimBleCentral(c, &frame);
        frame.links().SetBleCentral(central);
        frame.show();
        frame.OnConnectBle();
        CBleScan* dlg = frame.scanDialog();
        QVERIFY(dlg);
        dlg->portEdit()->clear();
        dlg->scanButton()->click();
        central->Advance(1500);
        QCOMPARE(dlg->deviceList()->rowCount(), 1);
        dlg->deviceList()->selectRow(0);
        dlg->connectButton()->click();
        central->Advance(200);
        QCOMPARE(frame.links().Direct()->state(), CDirectLink::State::Connected);
        QTRY_VERIFY((central->Advance(50), frame.leftDlg()->DisplayMode() == CLeftDlg::kModeOscilloscope));

        const size_t before = central->Engine().MeterCommands().size();
        QVERIFY(frame.oscController()->OnGetOscCurrentData());
        QTRY_VERIFY((central->Advance(10), central->Engine().MeterCommands().size() == before + 1));
        QCOMPARE(central->Engine().MeterCommands().back().bytes, (sim::Bytes { 0xB0, 0x98, 0x00, 0xB1 }));
        QTRY_VERIFY((central->Advance(50), frame.oscUi()->Window() && frame.oscUi()->Window()->isVisible()));
        frame.OnDisconnect();
        frame.close();
    }

    // The dongle, the program's usual way: the meter drops the link in the middle of a
    // recording; the watchdog notices, the same port and meter are scanned for and connected
    // again, and the recording goes on in its document.
    void dongleLinkComesBackByItselfAndTheRecordingGoesOn()
    {
        auto simulator = sim::ResetSharedSimulator(Config());
        CMainFrame frame;
        frame.show();
        frame.StartDemo();
        QTRY_VERIFY_WITH_TIMEOUT(frame.leftDlg()->DisplayMode() == 1, 5000);
        frame.recorder().OnStart();
        QTRY_VERIFY_WITH_TIMEOUT(frame.docManager()->Documents().size() == 1
                && frame.docManager()->Documents().first()->m_arrSeries[0].Size() >= 3,
            5000);
        CMyOrvelDoc* doc = frame.docManager()->Documents().first();

        simulator->WithEngine([](sim::CSimEngine& e) { e.DropLink(); });
        // Four silent seconds, then the first attempt a second later.
        QTRY_VERIFY_WITH_TIMEOUT(frame.links().Reconnector().Active(), 8000);
        const qsizetype gapAt = doc->m_arrSeries[0].Size() - 1;
        QVERIFY(doc->m_arrSeries[0].IsNull(gapAt));
        QCOMPARE(frame.links().Reconnector().Port(), QStringLiteral("sim"));
        QCOMPARE(frame.links().Reconnector().Address(), kMeter);
        QTRY_VERIFY_WITH_TIMEOUT(!frame.links().Reconnector().Active(), 10000);
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on sim"));
        QTRY_VERIFY_WITH_TIMEOUT(doc->m_arrSeries[0].Size() >= gapAt + 4, 5000);
        QCOMPARE(frame.docManager()->Documents().size(), qsizetype(1));
        QVERIFY(frame.recorder().IsRecording());
        for (qsizetype i = gapAt + 1; i < doc->m_arrSeries[0].Size(); ++i)
            QVERIFY(!doc->m_arrSeries[0].IsNull(i));
        frame.recorder().OnStop();
        doc->SetModifiedFlag(false);
        frame.close();
    }
};

QTEST_MAIN(TestLinksWindow)
#include "test_links_window.moc"
