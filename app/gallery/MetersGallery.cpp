// meters-gallery: runs the window with two simulated meters (a voltage and a current meter) and
// renders what a user of several meters sees into PNG files: the two panels recording side by
// side with the power / energy pane, the graph that shows both documents with its legend, meter
// 1's panel in alarm, the Alarms dialog and the Scan Device dialog of "Add meter...".
//   meters-gallery [output folder]     (default: <build>/gallery/meters)
// The settings and journals of the run go to a scratch folder, not the user's.
#include "app/ChildFrame.h"
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "app/SessionUi.h"
#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "link/BleScanDlg.h"
#include "link/LinkController.h"
#include "session/AlarmMonitor.h"
#include "session/MeterSession.h"
#include "sim/SimSerialPort.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

QString g_dir;

void save(QWidget* w, const QString& name)
{
    const QString path = g_dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (w->grab().save(path))
        std::printf("%s\n", qPrintable(path));
    else
        std::fprintf(stderr, "meters-gallery: cannot write %s\n", qPrintable(path));
}

// Runs the event loop until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

void pause(int ms)
{
    waitFor([] { return false; }, ms);
}

CGraphDlg* graphOf(CMainFrame& frame, const CMyOrvelDoc* doc)
{
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
        if (auto* f = qobject_cast<CChildFrame*>(w); f && f->document() == doc)
            return f->view()->Graph();
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")).toUtf8());
    QApplication app(argc, argv);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(METER_METERS_GALLERY_DIR);
    QDir().mkpath(g_dir);

    sim::RegisterSimPort();
    CMainFrame frame;
    frame.resize(1400, 860);
    frame.show();
    frame.StartDemo();
    if (!waitFor([&] { return frame.links().MeterSeen(); }, 15000)) {
        std::fprintf(stderr, "meters-gallery: the simulated meter did not answer\n");
        return 1;
    }
    frame.AddDemoMeter();
    if (!waitFor([&] { return frame.MeterCount() == 2 && frame.meter(1)->Links().MeterSeen(); }, 15000)) {
        std::fprintf(stderr, "meters-gallery: the second simulated meter did not answer\n");
        return 1;
    }

    // Both meters record; after a few seconds the voltage graph shows the current too.
    frame.action(QStringLiteral("start"))->trigger();
    pause(6000);
    CMyOrvelDoc* volts = nullptr;
    for (CMyOrvelDoc* doc : frame.docManager()->Documents()) {
        if (!volts && doc->m_arrSeries[0].Size() > 0 && doc->m_arrSeries[0].Unit(0) == QLatin1String("VDC"))
            volts = doc;
    }
    if (volts) {
        frame.docManager()->SetActiveDocument(volts);
        frame.ShowTogether(volts, true);
        pause(300);
    }
    save(&frame, QStringLiteral("two-meters-recording"));
    if (CGraphDlg* graph = volts ? graphOf(frame, volts) : nullptr)
        save(graph, QStringLiteral("graph-together"));

    // Meter 1 in alarm: a high limit under the simulated 5 V.
    MeterAlarmSettings alarm;
    alarm.limits.high = 4.5;
    alarm.limits.hysteresis = 0.1;
    alarm.sound = false;
    frame.sessionUi()->Alarms().SetSettings(frame.meter(0)->Index(), alarm);
    frame.sessionUi()->OpenAlarmDialog(frame.meter(0)->Index());
    pause(1500);
    if (QWidget* dlg = frame.sessionUi()->AlarmDialog())
        save(dlg, QStringLiteral("alarms-dialog"));
    save(&frame, QStringLiteral("meter-1-in-alarm"));
    if (QWidget* dlg = frame.sessionUi()->AlarmDialog())
        dlg->close();
    frame.action(QStringLiteral("stop"))->trigger();

    // Com Port > "Add meter...": the Scan Device dialog for a third meter.
    QTimer::singleShot(0, &frame, [&frame] { frame.OnAddMeter(); });
    auto shownScan = [&frame]() -> CBleScan* {
        for (CBleScan* dlg : frame.findChildren<CBleScan*>()) {
            if (dlg->isVisible())
                return dlg;
        }
        return nullptr;
    };
    if (waitFor([&] { return shownScan() != nullptr; }, 3000)) {
        pause(300);
        save(shownScan(), QStringLiteral("add-meter-scan"));
        shownScan()->reject();
    }
    pause(200);
    return 0;
}
