// The main window against the built-in simulated meter: start-up, connecting through the Scan
// Device dialog, the meter keys, the link watchdog and the port dialogs' failure paths.
#include "app/DocManager.h"
#include "app/KeyLockIndicators.h"
#include "app/ChildFrame.h"
#include "datalog/ControlDlgBar.h"
#include "app/MainFrame.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "display/DisplayPane.h"
#include "display/LeftDlg.h"
#include "display/MeterBtn.h"
#include "display/PanelGeometry.h"
#include "link/BleScanDlg.h"
#include "link/LinkController.h"
#include "platform/MessageBox.h"
#include "logger/LoggerRecord.h"
#include "logger/LoggerUi.h"
#include "protocol/MeterProtocol.h"
#include "sim/SimSerialPort.h"

#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStatusBar>
#include <QToolBar>
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
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <atomic>
#include <sys/resource.h>

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
        // The empty area says what can be done, until a document is open.
        QVERIFY(frame.emptyHint()->isVisible());
        QVERIFY(frame.emptyHint()->text().contains(QStringLiteral("ConnectBle")));
        saveArtefact(&frame, QStringLiteral("main-window-empty.png"));
        frame.docManager()->NewAction()->trigger();
        QVERIFY(!frame.emptyHint()->isVisible());
        // At 800 x 600 the document's "Copy Graph" and its list's "Value" column are whole.
        frame.resize(800, 600);
        QTest::qWait(50);
        auto* view = qobject_cast<CChildFrame*>(frame.mdiArea()->activeSubWindow())->view();
        view->SelectTab(CMyOrvelView::TabList);
        QCoreApplication::processEvents();
        saveArtefact(&frame, QStringLiteral("main-window-800x600.png"));
        auto* copy = view->findChild<QPushButton*>(QStringLiteral("copyGraph"));
        QVERIFY(view->rect().contains(copy->geometry()));
        QTableView* list = view->List();
        QVERIFY(list->columnViewportPosition(3) + list->columnWidth(3) <= list->viewport()->width());
        QVERIFY(frame.docManager()->CloseAllDocuments(false));
        QVERIFY(frame.emptyHint()->isVisible());
    }

    void windowOpensAtASensibleSizeAndComesBackWhereItWas()
    {
        // A first start: most of a large screen, the whole of a small one.
        QCOMPARE(MainWindowStartSize(QSize(1920, 1040)), QSize(1280, 860));
        QCOMPARE(MainWindowStartSize(QSize(1024, 740)), QSize(1024, 740) * 9 / 10);
        QCOMPARE(MainWindowStartSize(QSize(600, 400)), QSize(600, 400));
        {
            CMainFrame frame;
            frame.docManager()->OpenSettings()->remove(QStringLiteral("Window"));
            frame.RestoreWindowPlace();
            QVERIFY(frame.windowState() & Qt::WindowMaximized);
            const QSize avail = QGuiApplication::primaryScreen()->availableGeometry().size();
            QCOMPARE(frame.normalGeometry().size(), MainWindowStartSize(avail));
        }
        {
            CMainFrame frame;
            frame.setGeometry(40, 50, 700, 520);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.close(); // remembers
        }
        CMainFrame next;
        next.RestoreWindowPlace();
        QVERIFY(!(next.windowState() & Qt::WindowMaximized));
        QCOMPARE(next.geometry().size(), QSize(700, 520));
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
        // The guide names the graph tools the tool bar shows, and none it hides.
        QFile html(qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/app/help/user-guide.html"));
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        CControlDlgBar bar;
        for (QAction* a : bar.actions()) {
            const QString named = QStringLiteral("<b>%1</b>").arg(a->text());
            QVERIFY2(text.contains(named) == a->isVisible(), qPrintable(a->text()));
        }
    }

    void lostMeterBlanksTheDisplayOnlyOnce()
    {
        CMainFrame frame;
        std::atomic<qint64> now { 1000 };
        frame.links().SetClock([&] { return now.load(); });
        frame.links().Heard();
        frame.links().LinkUp();
        frame.leftDlg()->OnMeterEvent(normalReading(1.5f));
        QCOMPARE(frame.leftDlg()->DisplayMode(), 1);

        now = 1004;
        frame.links().OnWatchdog();
        QCOMPARE(frame.links().LostCount(), 1);
        QCOMPARE(frame.leftDlg()->DisplayMode(), -1); // first loss blanks
        QCOMPARE(frame.statusText(), QStringLiteral("No data from the meter"));

        // The meter comes back, then goes silent again: the reading stays up.
        frame.links().Heard();
        frame.leftDlg()->OnMeterEvent(normalReading(2.5f));
        now += 4;
        frame.links().OnWatchdog();
        QCOMPARE(frame.links().LostCount(), 2);
        QCOMPARE(frame.leftDlg()->DisplayMode(), 1);
        QVERIFY(frame.links().WatchdogRunning());
    }

    void unreadableBytesAreNamedInTheStatusBar()
    {
        CMainFrame frame;
        frame.resize(900, 600);
        std::atomic<qint64> now { 7000 };
        frame.links().SetClock([&] { return now.load(); });
        frame.links().Heard();
        frame.links().LinkUp();
        // A frame one byte short, then noise: bytes arrive, nothing can be read.
        std::string damaged = "a08002000000c03f0000c0405644432002261205090307010000";
        damaged += std::string(60, '0') + "a1";
        auto arrive = [&](const std::string& hex) {
            frame.links().FrameText().appendText(hex);
            frame.protocol().MeterFrameDispatcher();
            frame.links().Heard();
        };
        for (int s = 0; s < 6; ++s) {
            arrive(damaged.substr(0, 40));
            arrive(damaged.substr(40));
            frame.links().OnWatchdog();
            now += 1;
        }
        frame.links().OnWatchdog();
        QVERIFY2(frame.statusText().startsWith(QLatin1String("receiving, but no readable frames (")),
            qPrintable(frame.statusText()));
        QVERIFY(frame.statusText().endsWith(QLatin1String(" damaged)")));
        frame.show();
        saveArtefact(&frame, QStringLiteral("status-unreadable.png"));

        // A readable frame ends it.
        arrive("a08002000000c03f0000c04056444320022612050903070100");
        arrive("00a1");
        now += 1;
        frame.links().OnWatchdog();
        // ... and the status bar tells the link's state again.
        QVERIFY2(!frame.statusText().startsWith(QLatin1String("receiving")), qPrintable(frame.statusText()));
    }

    void disconnectStopsTheWatchdogAndBlanks()
    {
        CMainFrame frame;
        frame.links().Heard();
        frame.links().LinkUp();
        frame.leftDlg()->OnMeterEvent(normalReading(1.0f));
        frame.OnDisconnect();
        QVERIFY(!frame.links().WatchdogRunning());
        QVERIFY(!frame.links().MeterSeen());
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
        QVERIFY(frame.links().WatchdogRunning());
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
        auto* window = qobject_cast<CChildFrame*>(frame.mdiArea()->subWindowList().first());
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

    void aSavedDownloadedRecordKeepsItsFileAndAnUnsavedOneAsksOnClose()
    {
        CMainFrame frame;
        frame.show();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.mLog"));
        frame.docManager()->SetFileChooser([&](auto...) { return path; });
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Cancel;
        });
        auto record = [](double value) {
            LoggerRecord r;
            r.header.m_strLogFunction = QStringLiteral("VDC");
            r.header.m_fLogLimit = 1000.0f;
            r.points = { { value, QStringLiteral("VDC"), QStringLiteral("5/12/2026 9:3:7") } };
            return r;
        };

        CMyOrvelDoc* a = frame.loggerUi()->ShowRecord(record(1.5));
        QVERIFY(a->IsModified()); // only the meter holds it: closing must ask
        QVERIFY(!frame.docManager()->CloseDocument(a));
        QCOMPARE(m_boxes, QStringList { QStringLiteral("Save changes to DataLogger?") });
        QVERIFY(frame.docManager()->DoSave(a));

        // the next record goes to a new document; a.mLog keeps record A through another Save
        CMyOrvelDoc* b = frame.loggerUi()->ShowRecord(record(2.5));
        QVERIFY(b != a);
        QCOMPARE(b->GetTitle(), QStringLiteral("DataLogger"));
        QVERIFY(b->GetPathName().isEmpty() && b->IsModified());
        QCOMPARE(a->m_arrSeries[0].Value(0), 1.5);
        QVERIFY(frame.docManager()->DoSave(a));
        CMyOrvelDoc check;
        QVERIFY(check.OnOpenDocument(path));
        QCOMPARE(check.m_arrSeries[0].Value(0), 1.5);

        // an unsaved record is refilled in place, still modified
        QCOMPARE(frame.loggerUi()->ShowRecord(record(3.5)), b);
        QVERIFY(b->IsModified());
        QCOMPARE(frame.docManager()->Documents().size(), 2);
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::No;
        });
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
        QTRY_VERIFY_WITH_TIMEOUT(frame.links().WatchdogRunning(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), 1, 3000);
        frame.close();
    }

    void keysAreIgnoredUntilTheMeterHasTalked()
    {
        auto simulator = sim::ResetSharedSimulator();
        CMainFrame frame;
        QVERIFY(frame.OpenMeterPort(QStringLiteral("sim")));
        simulator->WithEngine([](sim::CSimEngine& e) { e.ClearRecords(); });
        frame.OnMeterKey(2);
        QTest::qWait(200);
        size_t writes = 1;
        simulator->WithEngine([&](sim::CSimEngine& e) { writes = e.HostCommands().size(); });
        QCOMPARE(writes, size_t(0));
    }

    void statusSaysWaitingUntilTheFirstFrameAndANewConnectionStartsBlank()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        std::atomic<qint64> now { 1000 };
        frame.links().SetClock([&] { return now.load(); });
        QCOMPARE(frame.statusText(), QStringLiteral("Ready"));
        CLiveDecoder& decoder = frame.protocol().Decoder();

        // A port through the Port dialog opens, but no meter has spoken yet.
        QVERIFY(frame.OpenMeterPort(QStringLiteral("sim")));
        frame.links().LinkUp();
        QCOMPARE(frame.statusText(), QStringLiteral("waiting for the meter on sim"));
        emit decoder.frameDecoded(normalReading(1.5f));
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on sim"));
        QCOMPARE(frame.leftDlg()->DisplayMode(), 1);

        // Silent, then back.
        now += 4;
        frame.links().OnWatchdog();
        QCOMPARE(frame.statusText(), QStringLiteral("No data from the meter"));
        emit decoder.frameDecoded(normalReading(1.6f));
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on sim"));

        // A new connection shows nothing of the previous meter until its own first reading.
        now += 1;
        QVERIFY(frame.OpenMeterPort(QStringLiteral("sim")));
        frame.links().LinkUp();
        QCOMPARE(frame.leftDlg()->DisplayMode(), -1);
        QCOMPARE(frame.statusText(), QStringLiteral("waiting for the meter on sim"));
        // The oscilloscope marker is a meter frame too.
        emit decoder.oscModeEntered(11);
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on sim"));
        QCOMPARE(frame.leftDlg()->DisplayMode(), CLeftDlg::kModeOscilloscope);

        // After Disconnect a frame still on its way brings nothing back.
        frame.OnDisconnect();
        QCOMPARE(frame.statusText(), QStringLiteral("Disconnected"));
        emit decoder.frameDecoded(normalReading(1.7f));
        QCoreApplication::processEvents();
        QCOMPARE(frame.statusText(), QStringLiteral("Disconnected"));
    }

    void mistypedPortKeepsTheWorkingLink()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        QVERIFY(frame.OpenMeterPort(QStringLiteral("sim")));
        frame.links().LinkUp();
        emit frame.protocol().Decoder().frameDecoded(normalReading(2.0f));
        QTRY_COMPARE(frame.statusText(), QStringLiteral("Connected on sim"));

        g_failedOpens = 0;
        QVERIFY(!frame.OpenMeterPort(QStringLiteral("broken")));
        QCOMPARE(g_failedOpens, 3); // the three tries stay
        QCOMPARE(m_boxes, QStringList({ QStringLiteral("Warning:Can't open broken!") }));
        // The old link is untouched: still open on its port, watched, and reported as before.
        QVERIFY(frame.links().Dongle().m_ComPort.IsOpen());
        QCOMPARE(frame.links().Dongle().m_ComPort.PortName(), QStringLiteral("sim"));
        QVERIFY(frame.links().WatchdogRunning());
        QCOMPARE(frame.statusText(), QStringLiteral("Connected on sim"));
        QCOMPARE(CPortSettings().ReadPort(), QStringLiteral("sim"));
    }

    void titleNamesTheActiveDocument()
    {
        CMainFrame frame;
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter"));
        frame.docManager()->NewAction()->trigger();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter - New File1"));
        frame.docManager()->NewAction()->trigger();
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter - New File2"));
        CMyOrvelDoc* second = frame.docManager()->ActiveDocument();
        second->SetTitle(QStringLiteral("bench.mLog"));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter - bench.mLog"));
        frame.docManager()->SetActiveDocument(frame.docManager()->Documents().first());
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter - New File1"));
        QVERIFY(frame.docManager()->CloseAllDocuments(false));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Multimeter"));
    }

    void severalDocumentsLeaveActivationSettledAndTheProgramIdle()
    {
        CMainFrame frame;
        frame.resize(1000, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        for (int i = 0; i < 3; ++i)
            frame.docManager()->NewAction()->trigger();
        QTest::qWait(300); // what the opening queued has run
        QSignalSpy activations(frame.mdiArea(), &QMdiArea::subWindowActivated);
        QSignalSpy docChanges(frame.docManager(), &CDocManager::activeDocumentChanged);
        const QString title = frame.windowTitle();
        rusage before {};
        getrusage(RUSAGE_SELF, &before);
        QTest::qWait(1000);
        rusage after {};
        getrusage(RUSAGE_SELF, &after);
        auto ms = [](const rusage& r) {
            return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
        };
        QCOMPARE(activations.count(), 0);
        QCOMPARE(docChanges.count(), 0);
        QVERIFY(title.startsWith(QStringLiteral("Multimeter - New File3")));
        QCOMPARE(frame.windowTitle(), title);
        QVERIFY2(ms(after) - ms(before) < 300, qPrintable(QString::number(ms(after) - ms(before))));
        // The newest document is the one shown, maximised, and picking another one keeps it.
        QCOMPARE(qobject_cast<CChildFrame*>(frame.mdiArea()->activeSubWindow())->document(),
            frame.docManager()->Documents().last());
        QVERIFY(frame.mdiArea()->activeSubWindow()->isMaximized());
        frame.mdiArea()->setActiveSubWindow(frame.mdiArea()->subWindowList().first());
        QTest::qWait(300);
        QCOMPARE(frame.docManager()->ActiveDocument(), frame.docManager()->Documents().first());
        QVERIFY(frame.mdiArea()->activeSubWindow()->isMaximized());
        QVERIFY(frame.docManager()->CloseAllDocuments(false));
    }

    void bluetoothSearchThatHearsNothingSaysSoAndOffersThePortDialog()
    {
        CMainFrame frame;
        frame.settings().WritePort(QStringLiteral("broken")); // the remembered port cannot open
        QStringList questions;
        msgbox::SetHandler([&](const msgbox::Request& r) {
            questions << r.text;
            return r.buttons & msgbox::No ? msgbox::No : msgbox::Ok;
        });
        frame.OnSearchBluetooth();
        QTRY_COMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QLatin1String("No meter answered")), qPrintable(questions[0]));
        QVERIFY(!frame.links().WatchdogRunning());
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Ok;
        });
    }

    void toolBarButtonsHaveTipsAndReadableDisabledPictures()
    {
        CMainFrame frame;
        auto* bar = frame.findChild<QToolBar*>(QStringLiteral("toolBar"));
        QVERIFY(bar);
        int buttons = 0;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator())
                continue;
            ++buttons;
            QVERIFY2(!a->toolTip().isEmpty(), qPrintable(a->text()));
            // A disabled picture keeps its drawing: its parts stay told apart by their greys
            // (up to three of them), not merged into one flat patch.
            auto levels = [&](QIcon::Mode mode) {
                const QImage img = a->icon().pixmap(QSize(32, 32), mode).toImage();
                QSet<QRgb> colours;
                for (int y = 0; y < img.height(); ++y) {
                    for (int x = 0; x < img.width(); ++x) {
                        const QRgb px = img.pixel(x, y);
                        if (qAlpha(px) == 255)
                            colours.insert(QRgb(qGray(px) / 8));
                    }
                }
                return int(colours.size());
            };
            QVERIFY2(levels(QIcon::Disabled) >= qMin(3, levels(QIcon::Normal)), qPrintable(a->text()));
        }
        QCOMPARE(buttons, 6);
        const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
        if (!dir.isEmpty())
            bar->grab().save(dir + QStringLiteral("/tool-bar.png"));
    }

    void lockIndicatorsShowRealStatesOrHide()
    {
        QStatusBar bar;
        CKeyLockIndicators unknown(&bar, [](CKeyLockIndicators::Lock) { return std::optional<bool>(); });
        for (auto lock : { CKeyLockIndicators::Caps, CKeyLockIndicators::Num, CKeyLockIndicators::Scroll })
            QVERIFY(unknown.Indicator(lock)->isHidden());

        bool caps = true;
        QStatusBar bar2;
        CKeyLockIndicators known(&bar2, [&](CKeyLockIndicators::Lock l) {
            return std::optional<bool>(l == CKeyLockIndicators::Caps ? caps : false);
        });
        QVERIFY(!known.Indicator(CKeyLockIndicators::Caps)->isHidden());
        QVERIFY(known.Indicator(CKeyLockIndicators::Caps)->isEnabled());
        QVERIFY(!known.Indicator(CKeyLockIndicators::Num)->isEnabled());
        caps = false;
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_CapsLock, Qt::NoModifier);
        QCoreApplication::sendEvent(&bar2, &release);
        QVERIFY(!known.Indicator(CKeyLockIndicators::Caps)->isEnabled());
    }

    void scanDialogClearsItsMessageAndStretchesTheLastColumn()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.show();
        frame.OnConnectBle();
        CBleScan* dlg = frame.scanDialog();
        dlg->portEdit()->setText(QStringLiteral("sim"));
        dlg->connectButton()->click();
        QCOMPARE(dlg->statusLine()->text(), QStringLiteral(" no device selected!"));
        dlg->scanButton()->click();
        QCOMPARE(dlg->statusLine()->text(), QString()); // the next action clears it
        QTRY_VERIFY_WITH_TIMEOUT(dlg->deviceList()->rowCount() >= 2, 5000);

        dlg->resize(700, 320);
        QCoreApplication::processEvents();
        QTableWidget* list = dlg->deviceList();
        const int given[] = { 31, 120, 120, 85 };
        int total = 0;
        for (int c = 0; c < 4; ++c) {
            QVERIFY(list->columnWidth(c) >= given[c]);
            total += list->columnWidth(c);
        }
        QVERIFY(list->horizontalHeader()->stretchLastSection());
        QCOMPARE(total, list->viewport()->width());
        // The meter's whole name fits its column.
        const QString name = QStringLiteral("Device Name:SimMeter");
        QVERIFY(list->columnWidth(1) > list->fontMetrics().horizontalAdvance(name));
        saveArtefact(dlg, QStringLiteral("scan-device-wide.png"));
        dlg->close();
    }

    void demoRemembersItsPortForTheScanDialog()
    {
        sim::ResetSharedSimulator();
        CPortSettings(m_settingsDir.path()).WritePort(QStringLiteral("4"));
        {
            CMainFrame frame;
            frame.StartDemo();
            QTRY_COMPARE_WITH_TIMEOUT(CPortSettings(m_settingsDir.path()).ReadPort(), QStringLiteral("sim"), 5000);
        }
        CMainFrame next;
        next.OnConnectBle();
        QCOMPARE(next.scanDialog()->portEdit()->text(), QStringLiteral("sim"));
        next.scanDialog()->close();
    }

    void displayZoomsWithTheMenuAndFollowsThePaneInFit()
    {
        CMainFrame frame;
        frame.resize(1200, 900);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CLeftDlg* panel = frame.leftDlg();
        panel->OnMeterEvent(normalReading(1.234f));

        frame.action(QStringLiteral("zoom200"))->trigger();
        QCOMPARE(panel->Zoom(), 2.0);
        QCOMPARE(panel->size(), PanelGeometry::DialogSize() * 2);
        const MeterKeySpec& max = *MeterKeys::Find(MeterKeys::kMax);
        QCOMPARE(panel->Key(MeterKeys::kMax)->geometry(),
            QRect(max.rest.topLeft() * 2, max.rest.size() * 2));
        QCOMPARE(panel->ScaledFrame(), QRect(CLeftDlg::DisplayFrameRect().topLeft() * 2,
                                           CLeftDlg::DisplayFrameRect().size() * 2));
        QCoreApplication::processEvents();
        const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
        if (!dir.isEmpty()) {
            // The main window for a person to look at: 200% and 100%, each at both ratios.
            for (const char* zoom : { "zoom200", "zoom100" }) {
                frame.action(QString::fromLatin1(zoom))->trigger();
                QCoreApplication::processEvents();
                for (int dpr : { 1, 2 }) {
                    QImage image(frame.size() * dpr, QImage::Format_ARGB32_Premultiplied);
                    image.setDevicePixelRatio(dpr);
                    frame.render(&image);
                    const QString name = QStringLiteral("/main-window") + (zoom[4] == '2' ? QStringLiteral("-zoom200") : QString())
                        + (dpr == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
                    image.save(dir + name);
                }
            }
        }

        frame.action(QStringLiteral("zoom100"))->trigger();
        QCOMPARE(panel->Zoom(), 1.0);
        frame.action(QStringLiteral("zoomFit"))->trigger();
        // Fit: the panel grows and shrinks with the pane, keeping its proportions.
        const int tall = PanelGeometry::DialogSize().height() * 3;
        frame.displayPane()->resize(CDisplayPane::WidthFor(1.5), tall);
        QVERIFY(qAbs(panel->Zoom() - 1.5) < 0.02);
        frame.displayPane()->resize(CDisplayPane::WidthFor(0.8), tall);
        QVERIFY(qAbs(panel->Zoom() - 0.8) < 0.02);
        // A pane lower than the panel: the whole meter still shows, rotary switch included.
        frame.displayPane()->resize(CDisplayPane::WidthFor(1.0), PanelGeometry::DialogSize().height() * 3 / 4);
        QVERIFY(panel->height() <= frame.displayPane()->viewport()->height());
        QVERIFY(qAbs(panel->Zoom() - 0.75) < 0.02);
        QVERIFY(qAbs(double(panel->width()) / panel->height()
                    - double(PanelGeometry::DialogSize().width()) / PanelGeometry::DialogSize().height())
            < 0.01);
        frame.close();
    }
};

QTEST_MAIN(TestMainFrame)
#include "test_mainframe.moc"
