// The main window against the built-in simulated meter: start-up, connecting through the Scan
// Device dialog, the meter keys, the link watchdog and the port dialogs' failure paths.
#include "app/DocManager.h"
#include "app/DocWindow.h"
#include "app/MainFrame.h"
#include "datalog/MyOrvelDoc.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "platform/MessageBox.h"
#include "protocol/MeterProtocol.h"
#include "sim/SimSerialPort.h"

#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

namespace {

// A port whose device never opens; counts the attempts.
int g_failedOpens = 0;
class NeverOpens : public CSerialPort {
public:
    void Open(const QString&, int, int, int, int, int, bool) override
    {
        ++g_failedOpens;
        throw CSerialException(2);
    }
};

MeterEvent normalReading(float value)
{
    MeterEvent e;
    e.m_nMode = 1;
    e.m_data.m_strFunction = QStringLiteral("VDC");
    e.m_data.m_strUnit = QStringLiteral("VDC");
    e.m_data.m_fValue = value;
    e.m_data.m_fLimit = 6.0f;
    e.m_data.m_nDecimals = 3;
    e.m_nDialPos = 6;
    return e;
}

// Keeps a picture of a window for a person to look at (not compared with anything).
void saveArtefact(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name);
}

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_settingsDir;
    QStringList m_boxes;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the recent-file list goes to a test store
        CPortSettings::OverrideDefaultFolder(m_settingsDir.path());
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Ok;
        });
        sim::RegisterSimPort();
        CComPort::RegisterVirtualPort(QStringLiteral("broken"), [] { return std::make_unique<NeverOpens>(); });
    }

    void init() { m_boxes.clear(); }

    void startupShowsBothPagesThenNoRecv()
    {
        CMainFrame frame;
        frame.show();
        QCOMPARE(frame.pages()->count(), 2);
        QCOMPARE(frame.pages()->tabText(0), QStringLiteral("Display"));
        QCOMPARE(frame.pages()->tabText(1), QStringLiteral("Logger List"));
        QCOMPARE(frame.dockPane()->isVisible(), true);
        QCOMPARE(frame.leftDlg()->DisplayMode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), -1, 2000);
        QVERIFY(frame.mdiArea()->subWindowList().isEmpty()); // no document at start
    }

    void paneToggleHidesAndShowsTheDisplay()
    {
        CMainFrame frame;
        frame.show();
        frame.OnTogglePane();
        QVERIFY(frame.dockPane()->isHidden());
        QVERIFY(!frame.action(QStringLiteral("realTimeShow"))->isChecked());
        frame.OnTogglePane();
        QVERIFY(!frame.dockPane()->isHidden());
        QVERIFY(frame.action(QStringLiteral("realTimeShow"))->isChecked());
    }

    void helpShowsTheBuiltInGuideWithoutHelpChm()
    {
        CMainFrame frame;
        frame.OnHelp();
        QTextBrowser* guide = nullptr;
        QTRY_VERIFY((guide = frame.findChild<QTextBrowser*>(QStringLiteral("userGuide"))) != nullptr);
        QVERIFY(guide->toPlainText().contains(QLatin1String("ConnectBle")));
        saveArtefact(guide->window(), QStringLiteral("user-guide.png"));
    }

    void watchdogKeepsLosesAndBlanksOnlyOnce()
    {
        CMainFrame frame;
        qint64 now = 1000;
        frame.SetClock([&] { return now; });
        CBleLink& link = frame.link();
        link.m_bMeterSeen = true;
        frame.StartWatchdog();
        frame.leftDlg()->OnMeterEvent(normalReading(1.5f));
        QCOMPARE(frame.leftDlg()->DisplayMode(), 1);

        now = 1003;
        frame.OnWatchdog();
        QVERIFY(link.m_bMeterSeen);
        QCOMPARE(frame.lostCount(), 0);

        now = 1004;
        frame.OnWatchdog();
        QVERIFY(!link.m_bMeterSeen);
        QCOMPARE(frame.lostCount(), 1);
        QCOMPARE(frame.leftDlg()->DisplayMode(), -1); // first loss blanks

        // The meter comes back, then goes silent again: the reading stays up.
        link.m_bMeterSeen = true;
        link.m_timeLastRx = now;
        frame.leftDlg()->OnMeterEvent(normalReading(2.5f));
        now += 4;
        frame.OnWatchdog();
        QCOMPARE(frame.lostCount(), 2);
        QCOMPARE(frame.leftDlg()->DisplayMode(), 1);
        QVERIFY(frame.watchdogRunning());
    }

    void unreadableBytesAreNamedInTheStatusBar()
    {
        CMainFrame frame;
        frame.resize(900, 600);
        qint64 now = 7000;
        frame.SetClock([&] { return now; });
        CBleLink& link = frame.link();
        link.m_bMeterSeen = true;
        frame.StartWatchdog();
        QLabel* status = nullptr;
        for (QLabel* label : frame.statusBar()->findChildren<QLabel*>()) {
            if (label->text().startsWith(QLatin1String("Connected on")))
                status = label;
        }
        QVERIFY(status);

        // A frame one byte short, then noise: bytes arrive, nothing can be read.
        std::string damaged = "a08002000000c03f0000c0405644432002261205090307010000";
        damaged += std::string(60, '0') + "a1";
        auto arrive = [&](const std::string& hex) {
            link.m_strMeterRx.appendText(hex);
            frame.protocol().MeterFrameDispatcher();
            link.m_timeLastRx = now;
        };
        for (int s = 0; s < 6; ++s) {
            arrive(damaged.substr(0, 40));
            arrive(damaged.substr(40));
            frame.OnWatchdog();
            now += 1;
        }
        frame.OnWatchdog();
        QVERIFY2(status->text().startsWith(QLatin1String("receiving, but no readable frames (")), qPrintable(status->text()));
        QVERIFY(status->text().endsWith(QLatin1String(" damaged)")));
        frame.show();
        saveArtefact(&frame, QStringLiteral("status-unreadable.png"));

        // A readable frame ends it.
        arrive("a08002000000c03f0000c04056444320022612050903070100");
        arrive("00a1");
        now += 1;
        frame.OnWatchdog();
        QVERIFY2(status->text().startsWith(QLatin1String("Connected on")), qPrintable(status->text()));
    }

    void storeMarkerGivesTheMeter21Seconds()
    {
        CMainFrame frame;
        qint64 now = 5000;
        frame.SetClock([&] { return now; });
        CBleLink& link = frame.link();
        link.m_bMeterSeen = true;
        frame.StartWatchdog();
        frame.protocol().Dispatcher().m_bStoreMarker = true;
        now += 20;
        frame.OnWatchdog();
        QVERIFY(link.m_bMeterSeen);
        now += 1;
        frame.OnWatchdog();
        QVERIFY(!link.m_bMeterSeen);
        QVERIFY(!frame.protocol().Dispatcher().m_bStoreMarker);
        QCOMPARE(frame.lostCount(), 0); // given up quietly, not blanked
    }

    void disconnectStopsTheWatchdogAndBlanks()
    {
        CMainFrame frame;
        frame.link().m_bMeterSeen = true;
        frame.StartWatchdog();
        frame.leftDlg()->OnMeterEvent(normalReading(1.0f));
        frame.OnDisconnect();
        QVERIFY(!frame.watchdogRunning());
        QVERIFY(!frame.link().m_bMeterSeen);
        QCOMPARE(frame.leftDlg()->DisplayMode(), -1);
    }

    void meterPortTriesThreeTimesThenWarns()
    {
        CMainFrame frame;
        g_failedOpens = 0;
        QVERIFY(!frame.OpenMeterPort(QStringLiteral("broken")));
        QCOMPARE(g_failedOpens, 3);
        QCOMPARE(m_boxes, QStringList({ QStringLiteral("Warning:Can't open broken!") }));
        m_boxes.clear();
        QVERIFY(!frame.OpenMeterPort(QStringLiteral("250")));
        QCOMPARE(m_boxes, QStringList({ QStringLiteral("Warning:Can't open COM250!") }));
    }

    void connectThroughTheDialogShowsLiveReadingsAndKeysReachTheMeter()
    {
        auto simulator = sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.show();
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), -1, 2000);
        frame.OnConnectBle();
        CBleScan* dlg = frame.scanDialog();
        QVERIFY(dlg);
        dlg->portEdit()->setText(QStringLiteral("sim"));

        // Connect without a row only says so.
        dlg->connectButton()->click();
        QCOMPARE(dlg->statusLine()->text(), QStringLiteral(" no device selected!"));

        dlg->scanButton()->click();
        QVERIFY(!dlg->scanButton()->isEnabled()); // a second scan within 10 s is impossible
        QTRY_VERIFY_WITH_TIMEOUT(dlg->deviceList()->rowCount() >= 2, 5000);
        int meterRow = -1;
        for (int r = 0; r < dlg->deviceList()->rowCount(); ++r) {
            if (dlg->deviceList()->item(r, 1)->text() == QLatin1String("Device Name:SimMeter"))
                meterRow = r;
        }
        QVERIFY(meterRow >= 0);
        QVERIFY(!dlg->scanButton()->isEnabled());
        saveArtefact(dlg, QStringLiteral("scan-device.png"));
        dlg->deviceList()->selectRow(meterRow);
        dlg->connectButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(frame.scanDialog() == nullptr || !frame.scanDialog()->isVisible(), 3000);
        QVERIFY(frame.watchdogRunning());
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), 1, 3000);
        QCOMPARE(frame.leftDlg()->Record().m_strFunction, QStringLiteral("VDC"));
        saveArtefact(&frame, QStringLiteral("main-window-live.png"));
        QCOMPARE(CPortSettings().ReadPort(), QStringLiteral("sim"));

        // One press of MAX: exactly its command reaches the meter.
        simulator->WithEngine([](sim::CSimEngine& e) { e.ClearRecords(); });
        emit frame.leftDlg()->keyCode(3);
        std::vector<sim::Bytes> commands;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
            simulator->WithEngine([&](sim::CSimEngine& e) {
                commands.clear();
                for (const auto& c : e.MeterCommands())
                    commands.push_back(c.bytes);
            });
            return !commands.empty();
        }()),
            3000);
        QTest::qWait(200);
        simulator->WithEngine([&](sim::CSimEngine& e) {
            commands.clear();
            for (const auto& c : e.MeterCommands())
                commands.push_back(c.bytes);
        });
        QCOMPARE(commands.size(), size_t(1));
        QCOMPARE(commands[0], (sim::Bytes { 0xB0, 0x91, 0x00, 0xB1 }));
        frame.close();
    }

    void connectOverMetersimsPseudoTerminal()
    {
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH), {});
        QVERIFY(metersim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);
        const QString pty = QString::fromLocal8Bit(metersim.readLine()).trimmed();
        {
            CMainFrame frame;
            frame.show();
            frame.OnConnectBle();
            CBleScan* dlg = frame.scanDialog();
            dlg->portEdit()->setText(pty);
            dlg->scanButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(dlg->deviceList()->rowCount() >= 1, 5000);
            dlg->deviceList()->selectRow(0);
            QCOMPARE(dlg->deviceList()->item(0, 1)->text(), QStringLiteral("Device Name:SimMeter"));
            dlg->connectButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), 1, 5000);
            QCOMPARE(CPortSettings().ReadPort(), pty);
            frame.close();
        }
        metersim.terminate();
        QVERIFY(metersim.waitForFinished(5000));
    }

    void fileMenuOpensDocumentsAndClosingAsksAboutUnsavedOnes()
    {
        CMainFrame frame;
        frame.show();
        QMenu* file = frame.menuBar()->findChild<QMenu*>(QStringLiteral("fileMenu"));
        QVERIFY(file);
        QStringList texts;
        for (QAction* a : file->actions())
            texts << a->text();
        QVERIFY2(texts.contains(frame.docManager()->NewAction()->text()), qPrintable(texts.join(',')));
        QCOMPARE(texts.last(), frame.action(QStringLiteral("exit"))->text());

        frame.docManager()->NewAction()->trigger();
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
        auto* window = qobject_cast<CDocWindow*>(frame.mdiArea()->subWindowList().first());
        QVERIFY(window);
        CMyOrvelDoc* doc = window->document();
        doc->SetModifiedFlag(true);

        // Cancel keeps the program and the document.
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Cancel;
        });
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        QCOMPARE(frame.docManager()->Documents().size(), 1);
        QCOMPARE(m_boxes.size(), 1);

        // Closing the document's window asks too; No closes it unsaved.
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::No;
        });
        window->close();
        QTRY_COMPARE(frame.mdiArea()->subWindowList().size(), 0);
        QVERIFY(frame.docManager()->Documents().isEmpty());
        QVERIFY(frame.close());
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Ok;
        });
    }

    void closingTheScanDialogDuringTheConnectPauseIsSafe()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.show();
        frame.OnConnectBle();
        QPointer<CBleScan> dlg = frame.scanDialog();
        dlg->portEdit()->setText(QStringLiteral("sim"));
        dlg->scanButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(dlg->deviceList()->rowCount() >= 1, 5000);
        dlg->deviceList()->selectRow(0);
        dlg->connectButton()->click();
        dlg->close(); // within the 600 ms pause
        QTRY_VERIFY(dlg.isNull());
        // The link still completes the connection and the watchdog starts.
        QTRY_VERIFY_WITH_TIMEOUT(frame.watchdogRunning(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), 1, 3000);
        frame.close();
    }

    void keysAreIgnoredUntilTheMeterHasTalked()
    {
        auto simulator = sim::ResetSharedSimulator();
        CMainFrame frame;
        QVERIFY(frame.OpenMeterPort(QStringLiteral("sim")));
        frame.link().m_bMeterSeen = false;
        simulator->WithEngine([](sim::CSimEngine& e) { e.ClearRecords(); });
        frame.OnMeterKey(2);
        QTest::qWait(200);
        size_t writes = 1;
        simulator->WithEngine([&](sim::CSimEngine& e) { writes = e.HostCommands().size(); });
        QCOMPARE(writes, size_t(0));
    }
};

QTEST_MAIN(TestMainFrame)
#include "test_mainframe.moc"
