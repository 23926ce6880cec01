// graph-gallery: renders the data-log view into PNG files for a person to look at: each tab, the
// graph with markers, zoomed, every tool's overlay, the point read-out, a million points, the tool
// bar, the Settings dialog and the first page of both printouts (through pdftoppm when present).
//   graph-gallery [output folder]     (default: <build>/gallery/graph)
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "datalog/ColorSetting.h"
#include "datalog/MLogFile.h"
#include "datalog/ControlDlgBar.h"
#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "datalog/PrintRX.h"
#include "display/ShowData.h"
#include "link/PortSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTabBar>
#include <cmath>
#include <cstdio>

namespace {

QString g_dir;

void save(const QPixmap& pm, const QString& name)
{
    const QString path = g_dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (pm.save(path))
        std::printf("%s\n", qPrintable(path));
}

void mouse(QWidget* w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// A recording of 240 readings: a slow swing with noise, two over-range readings.
void fill(CMyOrvelDoc& doc, int n)
{
    for (int i = 0; i < n; ++i) {
        double v = 12 + 6 * std::sin(i * 0.045) + 0.8 * std::sin(i * 0.9);
        if (i == 70)
            v = 500000;
        if (i == 150)
            v = -500000;
        const float band = std::abs(v) >= 500000 ? 61.0f : float(v);
        doc.AddPoint(0, v, QString::fromUtf8("VDC"), 0, i,
            QString::asprintf("2026/05/12 14:%02d:%02d", 7 + i / 60, i % 60), QStringLiteral("VDC"), 60.0f);
        (void)band;
    }
    doc.m_bLive = false;
}

void printFirstPage(CMyOrvelView& view, bool graph, const QString& name)
{
    const QString pdf = g_dir + QLatin1Char('/') + name + QStringLiteral(".pdf");
    CPrintRX::SetChooserForTesting([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    if (graph)
        view.OnPrintGraph();
    else
        view.OnPrintData();
    while (view.RunningPrint())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    CPrintRX::SetChooserForTesting({});
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty()) {
        std::printf("%s (pdftoppm not found: no PNG)\n", qPrintable(pdf));
        return;
    }
    QProcess::execute(tool, { QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("70"),
                                QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                QStringLiteral("-singlefile"), pdf, g_dir + QLatin1Char('/') + name });
    std::printf("%s/%s.png\n", qPrintable(g_dir), qPrintable(name));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(METER_GRAPH_GALLERY_DIR);
    QDir().mkpath(g_dir);
    // The pictures show the default graph settings, whatever the user chose.
    QTemporaryDir settings;
    CPortSettings::OverrideDefaultFolder(settings.path());
    // The view below is made without the main window, which registers the point box.
    CGraphDlg::SetPointBoxMaker([](QWidget* graph) { return new CShowData(graph); });

    CMyOrvelDoc doc;
    fill(doc, 240);
    doc.AddPoint(1, 19.2, QStringLiteral("VDC"), 1, 3, QStringLiteral("2026/05/12 14:07:03"), QStringLiteral("MAX"), 60.0f);
    CMyOrvelView view(&doc);
    view.resize(1000, 640);
    view.show();
    view.OnInitialUpdate();
    QApplication::processEvents();
    CGraphDlg* g = view.Graph();

    save(view.grab(), QStringLiteral("tab-graph"));
    view.SelectTab(CMyOrvelView::TabList);
    save(view.grab(), QStringLiteral("tab-data-list"));
    view.SelectTab(CMyOrvelView::TabSummary);
    save(view.grab(), QStringLiteral("tab-summary"));
    view.SelectTab(CMyOrvelView::TabGraph);
    QApplication::processEvents();

    const int pw = g->Model().PlotWidth(), ph = g->Model().PlotHeight();
    const QPoint a(70 + pw / 4, 25 + ph / 4), b(70 + pw / 2, 25 + ph * 3 / 4);
    // Overlays while dragging.
    struct Drag {
        int command;
        const char* name;
        QPoint to;
    } drags[] = { { CMyOrvelView::IdRect, "tool-rect", b }, { CMyOrvelView::IdFft, "tool-fft", b },
        { CMyOrvelView::IdYBig, "tool-ybig", QPoint(a.x(), b.y()) },
        { CMyOrvelView::IdXBig, "tool-xbig", QPoint(b.x(), a.y()) } };
    for (const Drag& d : drags) {
        view.OnCommand(d.command);
        mouse(g, QEvent::MouseButtonPress, a);
        mouse(g, QEvent::MouseMove, d.to);
        save(g->grab(), QString::fromLatin1(d.name));
        mouse(g, QEvent::MouseButtonRelease, QPoint(a.x() + 2, a.y() + 2)); // too small: no zoom
    }
    view.OnCommand(CMyOrvelView::IdShowNumber);
    const QPoint at(70 + int(70.2 / g->Model().State(0).m_dXPerPixel), 25 + ph / 2);
    mouse(g, QEvent::MouseButtonPress, at);
    save(g->grab(), QStringLiteral("tool-show-number-ol"));
    mouse(g, QEvent::MouseMove, QPoint(70 + pw * 2 / 3, 25 + ph / 2));
    save(g->grab(), QStringLiteral("tool-show-number"));
    mouse(g, QEvent::MouseButtonRelease, QPoint(70 + pw * 2 / 3, 25 + ph / 2));

    view.OnCommand(CMyOrvelView::IdRect);
    mouse(g, QEvent::MouseButtonPress, a);
    mouse(g, QEvent::MouseMove, b);
    mouse(g, QEvent::MouseButtonRelease, b);
    QApplication::processEvents();
    save(view.grab(), QStringLiteral("graph-zoomed"));
    view.OnCommand(CMyOrvelView::IdAll);
    g->m_bMaskPoints = false;
    g->Invalidate();
    save(g->grab(), QStringLiteral("graph-no-marks"));
    g->m_bMaskPoints = true;
    g->Invalidate();

    printFirstPage(view, true, QStringLiteral("print-graph"));
    printFirstPage(view, false, QStringLiteral("print-data"));

    {
        CColorSetting dlg(&view);
        dlg.FillFrom(*g, view.m_bAutoScale, view.m_dManualMax, view.m_dManualMin);
        dlg.show();
        QApplication::processEvents();
        save(dlg.grab(), QStringLiteral("settings"));
    }
    {
        CControlDlgBar bar;
        bar.show();
        QApplication::processEvents();
        save(bar.grab(), QStringLiteral("toolbar"));
        QPixmap big(9 * 48 + 8 * 8, 48);
        big.fill(Qt::white);
        QPainter p(&big);
        int x = 0;
        for (int id : { 1000, 1004, 1006, 1005, 1007, 1008, 1009, 1010, 1011 }) {
            p.drawPixmap(x, 0, CControlDlgBar::MakeIcon(id).pixmap(QSize(48, 48)));
            x += 56;
        }
        p.end();
        save(big, QStringLiteral("toolbar-icons@2x"));
    }
    {
        CMyOrvelDoc million;
        CDataSeries& s = million.m_arrSeries[0];
        s.Reserve(1000000, 19000000);
        for (int i = 0; i < 1000000; ++i)
            s.Append(std::sin(i * 6.0 / 1e6 * 6.2832) * 3 + std::sin(i * 0.37) * 0.4 + (i % 50021 == 0 ? 1.5 : 0),
                u"VDC", 0, i, u"2026/05/12 14:07:33", u"VDC", 6);
        million.m_nDataNumber = 1000000;
        million.m_dMax = 4.9;
        million.m_dMin = -3.4;
        million.m_bLive = false;
        CMyOrvelView big(&million);
        big.resize(1000, 640);
        big.show();
        big.OnInitialUpdate();
        QApplication::processEvents();
        save(big.grab(), QStringLiteral("graph-1M-envelope"));

        // A large file opened in the window: shown while it is still being read (the title says
        // how far), then whole.
        QTemporaryDir tmp;
        const QString file = tmp.filePath(QStringLiteral("week.mLog"));
        mlog::Save(file, million);
        CMainFrame frame;
        frame.resize(1280, 800);
        frame.show();
        CMyOrvelDoc* reading = frame.docManager()->OpenDocumentFile(file);
        QElapsedTimer waited;
        waited.start();
        // Pictured once `permille` of the file is read (or the reading ended).
        const std::pair<int, const char*> shots[] = { { 400, "main-window-reading" }, { 1001, "main-window-read" } };
        for (const auto& [permille, name] : shots) {
            while (reading && reading->IsLoading() && reading->LoadPermille() < permille && waited.elapsed() < 20000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            // The view follows the reading every 100 ms: one more of its refreshes.
            QElapsedTimer refresh;
            refresh.start();
            while (refresh.elapsed() < 150)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
            save(frame.grab(), QString::fromLatin1(name));
        }
        frame.docManager()->CloseAllDocuments(false);
    }
    {
        // The main window with the document open: menus, both tool bars, the maximised view.
        QTemporaryDir tmp;
        const QString file = tmp.filePath(QStringLiteral("run.mLog"));
        mlog::Save(file, doc);
        CMainFrame frame;
        frame.resize(1280, 800);
        frame.show();
        frame.docManager()->OpenDocumentFile(file);
        QApplication::processEvents();
        save(frame.grab(), QStringLiteral("main-window"));
        frame.docManager()->CloseAllDocuments(false);
    }
    return 0;
}
