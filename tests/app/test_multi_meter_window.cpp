// Several meters in the main window, with the two in-process simulated meters (a voltage meter on
// "sim", a current meter on "sim2"): a panel each, labelled; Start records each into a document of
// its own; one graph shows both with a legend; closing the second panel disconnects it; the
// settings file remembers both. Writes pictures of the two-meter window for a person to look at.
#include "app/ChildFrame.h"
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "app/SessionUi.h"
#include "app/WindowRecordingHost.h"
#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "link/LinkController.h"
#include "link/PortSettings.h"
#include "platform/MessageBox.h"
#include "recording/RecordingJournal.h"
#include "session/MeterSession.h"
#include "sim/SimSerialPort.h"

#include <QAction>
#include <QLineEdit>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace {

QList<CMyOrvelDoc*> RecordedDocuments(CMainFrame& frame)
{
    QList<CMyOrvelDoc*> out;
    for (CMyOrvelDoc* doc : frame.docManager()->Documents()) {
        if (CWindowRecordingHost::GroupOf(doc) != 0)
            out << doc;
    }
    return out;
}

CMyOrvelDoc* DocumentOfMeter(CMainFrame& frame, int meter)
{
    for (CMyOrvelDoc* doc : RecordedDocuments(frame)) {
        if (CWindowRecordingHost::MeterOf(doc) == meter)
            return doc;
    }
    return nullptr;
}

CGraphDlg* GraphOf(CMainFrame& frame, const CMyOrvelDoc* doc)
{
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
        if (auto* f = qobject_cast<CChildFrame*>(w); f && f->document() == doc)
            return f->view()->Graph();
    }
    return nullptr;
}

void SaveArtefact(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    widget->grab().save(QDir(dir).filePath(name));
}

} // namespace

class TestMultiMeterWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QStringList m_boxes;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_dir.path());
        journal::OverrideDefaultFolder(m_dir.filePath(QStringLiteral("journal")));
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::No;
        });
        sim::RegisterSimPort();
    }

    void twoSimulatedMetersRecordTogether()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.resize(1400, 860);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.MeterCount(), 1);
        QCOMPARE(frame.dockPane()->windowTitle(), QStringLiteral("RealTime Show"));

        // Every reading of every meter leaves the window as one LiveReading.
        QList<LiveReading> readings;
        connect(&frame, &CMainFrame::reading, this, [&readings](const LiveReading& r) { readings << r; });

        frame.StartDemo();
        QTRY_VERIFY_WITH_TIMEOUT(frame.links().MeterSeen(), 10000);
        frame.action(QStringLiteral("demoSecondMeter"))->trigger();
        QCOMPARE(frame.MeterCount(), 2);
        CMeterSession* second = frame.meter(1);
        QTRY_VERIFY_WITH_TIMEOUT(second->Links().MeterSeen(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(frame.meterPanel(1)->Record().m_strUnit, QStringLiteral("ADC"), 5000);
        QCOMPARE(frame.meterPanel(0)->Record().m_strUnit, QStringLiteral("VDC"));

        // Each panel says whose it is: name and address.
        QTRY_VERIFY(frame.meterDock(1)->windowTitle().contains(QStringLiteral("SimMeter 2")));
        QVERIFY(frame.meterDock(1)->windowTitle().contains(QStringLiteral("a4:c1:38:00:11:23")));
        QVERIFY(frame.meterDock(0)->windowTitle().contains(QStringLiteral("Meter 1: SimMeter (a4:c1:38:00:11:22)")));
        QVERIFY(frame.meterDock(1)->isVisible());

        QTRY_VERIFY(std::any_of(readings.begin(), readings.end(), [](const LiveReading& r) {
            return r.meter == 1 && r.unit == QLatin1String("ADC") && std::abs(r.value - 1.234) < 0.1;
        }));
        QVERIFY(std::any_of(readings.begin(), readings.end(), [](const LiveReading& r) {
            return r.meter == 0 && r.unit == QLatin1String("VDC") && r.time.isValid();
        }));

        // Start: a document per meter, each titled with its meter, each getting its readings.
        frame.action(QStringLiteral("start"))->trigger();
        QCOMPARE(RecordedDocuments(frame).size(), 2);
        CMyOrvelDoc* volts = DocumentOfMeter(frame, 0);
        CMyOrvelDoc* amps = DocumentOfMeter(frame, 1);
        QVERIFY(volts && amps);
        QVERIFY(volts->GetTitle().contains(QStringLiteral("Meter 1 (SimMeter)")));
        QVERIFY(amps->GetTitle().contains(QStringLiteral("Meter 2 (SimMeter 2)")));
        QTRY_VERIFY_WITH_TIMEOUT(volts->m_arrSeries[0].Size() >= 8 && amps->m_arrSeries[0].Size() >= 8, 10000);
        QCOMPARE(volts->m_arrSeries[0].Unit(0), QStringLiteral("VDC"));
        QCOMPARE(amps->m_arrSeries[0].Unit(0), QStringLiteral("ADC"));
        QVERIFY(!frame.action(QStringLiteral("start"))->isEnabled());

        // A voltage and a current meter: power, energy and charge, and a document of their own.
        const DerivedState& derived = frame.sessionUi()->Derived().State();
        QCOMPARE(derived.voltsMeter, 0);
        QCOMPARE(derived.ampsMeter, 1);
        QTRY_VERIFY_WITH_TIMEOUT(derived.hasPower && derived.energyWh > 0 && derived.chargeAh > 0, 5000);
        QVERIFY(derived.power > 1 && derived.power < 20); // about 5 V times about 1.2 A
        QTRY_VERIFY_WITH_TIMEOUT(frame.action(QStringLiteral("derivedPane"))->isChecked(), 5000);
        QTRY_VERIFY(std::any_of(frame.docManager()->Documents().begin(), frame.docManager()->Documents().end(),
            [](CMyOrvelDoc* d) { return d->m_arrSeries[0].Size() > 0 && d->m_arrSeries[0].Unit(0) == QLatin1String("W"); }));

        // One graph with both: the voltage graph draws the current's readings too, with a legend.
        frame.docManager()->SetActiveDocument(volts);
        QCoreApplication::processEvents();
        QAction* together = frame.action(QStringLiteral("showTogether"));
        QVERIFY(together->isVisible());
        together->trigger();
        CGraphDlg* graph = GraphOf(frame, volts);
        QVERIFY(graph->HasOverlay());
        const GraphOverlayScene overlay = graph->OverlayScene();
        QCOMPARE(overlay.traces.size(), qsizetype(1));
        QVERIFY(overlay.traces[0].size() >= 6);
        QCOMPARE(overlay.legend.size(), qsizetype(2));
        QCOMPARE(overlay.legend[0].text, QStringLiteral("Meter 1 (SimMeter), VDC"));
        QCOMPARE(overlay.legend[1].text, QStringLiteral("Meter 2 (SimMeter 2), ADC"));
        QVERIFY(overlay.colors[0] != graph->m_colors.line);

        QTest::qWait(1200);
        SaveArtefact(&frame, QStringLiteral("two-meter-window.png"));
        SaveArtefact(graph, QStringLiteral("two-meter-graph.png"));
        frame.action(QStringLiteral("stop"))->trigger();
        QVERIFY(frame.action(QStringLiteral("start"))->isEnabled());
        // Stop ends both recordings.
        const qsizetype ampsAtStop = amps->m_arrSeries[0].Size();
        const qsizetype voltsAtStop = volts->m_arrSeries[0].Size();
        QTest::qWait(800);
        QCOMPARE(amps->m_arrSeries[0].Size(), ampsAtStop);
        QCOMPARE(volts->m_arrSeries[0].Size(), voltsAtStop);

        // The settings file remembers both meters and their ports and addresses.
        frame.close();
        CPortSettings settings(m_dir.path());
        QCOMPARE(settings.ReadMeterCount(), 2);
        QCOMPARE(settings.ReadPort(), QStringLiteral("sim"));
        QCOMPARE(settings.ForMeter(2).ReadPort(), QStringLiteral("sim2"));
        QCOMPARE(settings.ForMeter(2).ReadMac(), QStringLiteral("a4:c1:38:00:11:23"));
        // The next start offers the second meter's port when it is added.
        CMainFrame next;
        next.OnAddMeter();
        auto* scan = next.findChild<CBleScan*>();
        QVERIFY(scan);
        QCOMPARE(scan->portEdit()->text(), QStringLiteral("sim2"));
        scan->reject();
        QTRY_COMPARE(next.MeterCount(), 1); // given up before connecting: the meter goes again
    }

    void closingThePanelDisconnectsTheMeter()
    {
        sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.show();
        frame.StartDemo();
        frame.AddDemoMeter();
        CMeterSession* second = frame.meter(1);
        QTRY_VERIFY_WITH_TIMEOUT(second->Links().MeterSeen(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(frame.links().MeterSeen(), 10000);
        frame.action(QStringLiteral("start"))->trigger();
        CMyOrvelDoc* amps = DocumentOfMeter(frame, 1);
        QVERIFY(amps);
        QTRY_VERIFY_WITH_TIMEOUT(amps->m_arrSeries[0].Size() >= 2, 5000);

        QPointer<CMeterSession> gone(second);
        QPointer<QDockWidget> dock(frame.meterDock(1));
        dock->close();
        QTRY_VERIFY(!gone);
        QTRY_VERIFY(!dock);
        QCOMPARE(frame.MeterCount(), 1);
        // Its document stays, no longer recorded into; meter 1 records on.
        QVERIFY(frame.docManager()->Documents().contains(amps));
        QVERIFY(!amps->m_bLive);
        const qsizetype kept = amps->m_arrSeries[0].Size();
        CMyOrvelDoc* volts = DocumentOfMeter(frame, 0);
        const qsizetype before = volts->m_arrSeries[0].Size();
        QTRY_VERIFY_WITH_TIMEOUT(volts->m_arrSeries[0].Size() > before + 2, 5000);
        QCOMPARE(amps->m_arrSeries[0].Size(), kept);
        QCOMPARE(frame.dockPane()->windowTitle(), QStringLiteral("RealTime Show"));
        frame.action(QStringLiteral("stop"))->trigger();
        frame.docManager()->CloseAllDocuments(false);
    }

    void oneMeterKeepsItsLooks()
    {
        CMainFrame frame;
        frame.show();
        // No second panel, the pane's own name, documents without a meter in their titles and
        // no "Show Together" in the Graph menu.
        QCOMPARE(frame.MeterCount(), 1);
        int shownDocks = 0;
        for (QDockWidget* dock : frame.findChildren<QDockWidget*>())
            shownDocks += dock->isVisible() ? 1 : 0;
        QCOMPARE(shownDocks, 1);
        QCOMPARE(frame.dockPane()->windowTitle(), QStringLiteral("RealTime Show"));
        frame.links().Heard();
        frame.action(QStringLiteral("start"))->trigger();
        QCOMPARE(frame.docManager()->Documents().size(), 1);
        QVERIFY(frame.docManager()->Documents().first()->GetTitle().startsWith(QStringLiteral("New File")));
        QVERIFY(!frame.docManager()->Documents().first()->GetTitle().contains(QStringLiteral("Meter")));
        QVERIFY(!frame.action(QStringLiteral("showTogether"))->isVisible());
        frame.action(QStringLiteral("stop"))->trigger();
        frame.docManager()->CloseAllDocuments(false);
    }
};

QTEST_MAIN(TestMultiMeterWindow)
#include "test_multi_meter_window.moc"
