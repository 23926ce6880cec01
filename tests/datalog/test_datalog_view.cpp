// The data-log view on the offscreen platform: tabs, the list and summary of a loaded file and
// of downloaded points, scroll bars, the graph's mouse tools and read-out, settings checks,
// export, copy, printing to PDF, incremental drawing, and the column envelope against the full
// polyline pixel for pixel.
#include "app/DocManager.h"
#include "app/ChildFrame.h"
#include "datalog/ColorSetting.h"
#include "datalog/ControlDlgBar.h"
#include "datalog/DataListDelegate.h"
#include "datalog/DataListModel.h"
#include "datalog/DataListWindow.h"
#include "datalog/GraphDlg.h"
#include "datalog/GraphPainter.h"
#include "datalog/GraphPreferences.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MLogJson.h"
#include "datalog/MyOrvelView.h"
#include "datalog/PrintLayout.h"
#include "datalog/PrintRX.h"
#include "display/ShowData.h"
#include "platform/MessageBox.h"
#include "platform/Workbook.h"
#include "link/PortSettings.h"
#include "recording/Recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QSettings>
#include <QToolButton>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>

namespace {

// A loaded document of n readings 0, 1, 2, ... (one over range at position 3).
void fill(CMyOrvelDoc& doc, int n)
{
    for (int i = 0; i < n; ++i)
        doc.AddPoint(0, i == 3 ? 500000.0 : double(i), QStringLiteral("VDC"), 0, i,
            QString::asprintf("2026/05/12 14:%02d:%02d", i / 60 % 60, i % 60), QStringLiteral("VDC"),
            i == 3 ? 6.0f : 1000.0f);
    doc.m_bLive = false;
}

QString outDir()
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath()) + QStringLiteral("/datalog-view");
    QDir().mkpath(dir);
    return dir;
}

int pdfPages(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray b = f.readAll();
    return int(b.count("/Type /Page\n") + b.count("/Type /Page\r") + b.count("/Type /Page>") + b.count("/Type /Page "));
}


// The real data-log view as a recording target, keeping the rows the recorder handed it: the
// texts the list has to show.
class TeeView : public IRecordingView {
public:
    explicit TeeView(CMyOrvelView& view)
        : real(view)
    {
    }
    CMyOrvelView& real;
    std::vector<RecordingListRow> rows;

    bool IsLiveView() const override { return real.IsLiveView(); }
    void SetLiveView(bool on) override { real.SetLiveView(on); }
    bool IsSavedTarget() const override { return real.IsSavedTarget(); }
    void SetSavedTarget(bool on) override { real.SetSavedTarget(on); }
    int ListRowCount() const override { return real.ListRowCount(); }
    void AddListRow(const RecordingListRow& row, bool scroll) override
    {
        rows.push_back(row);
        real.AddListRow(row, scroll);
    }
    void RefreshAfterLivePoint() override { real.RefreshAfterLivePoint(); }
    void InvalidateGraph() override { real.InvalidateGraph(); }
    bool IsAutoScale() const override { return real.IsAutoScale(); }
    bool IsZoomedOrMoved() const override { return real.IsZoomedOrMoved(); }
    void SetYRange(double max, double min) override { real.SetYRange(max, min); }
};

class TeeHost : public IRecordingHost {
public:
    struct Entry {
        std::unique_ptr<CMyOrvelDoc> doc;
        std::unique_ptr<CMyOrvelView> view;
        std::unique_ptr<TeeView> tee;
    };
    std::vector<Entry> open;
    std::vector<RecordingTarget> RecordingTargets() override
    {
        std::vector<RecordingTarget> out;
        for (Entry& e : open)
            out.push_back({ e.doc.get(), e.tee.get() });
        return out;
    }
    IRecordingView* OpenNewDocument() override
    {
        Entry e;
        e.doc = std::make_unique<CMyOrvelDoc>();
        e.view = std::make_unique<CMyOrvelView>(e.doc.get());
        e.tee = std::make_unique<TeeView>(*e.view);
        open.push_back(std::move(e));
        return open.back().tee.get();
    }
};

// Every row of the view's list shows what the recorder handed it.
void compareRows(const TeeHost::Entry& e)
{
    const CDataListModel& m = *e.view->ListModel();
    QCOMPARE(m.rowCount(), int(e.tee->rows.size()));
    for (int r = 0; r < m.rowCount(); ++r) {
        const RecordingListRow& want = e.tee->rows[size_t(r)];
        const QStringList expected { want.number, want.time, want.unit, want.value, want.label, QString() };
        if (m.RowTexts(r) != expected)
            QFAIL(qPrintable(QStringLiteral("row %1: %2 instead of %3")
                                 .arg(r)
                                 .arg(m.RowTexts(r).join('|'), expected.join('|'))));
    }
}
} // namespace

class TestDatalogView : public QObject {
    Q_OBJECT

    QList<msgbox::Request> m_boxes;
    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase()
    {
        // The graph preferences of these tests go to a settings file of their own.
        CPortSettings::OverrideDefaultFolder(m_settingsDir.path());
        // The window registers the point box; these views are made without it.
        CGraphDlg::SetPointBoxMaker([](QWidget* graph) { return new CShowData(graph); });
    }
    void init()
    {
        m_boxes.clear();
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r;
            return msgbox::Ok;
        });
    }
    void cleanup()
    {
        msgbox::SetHandler({});
        CPrintRX::SetChooserForTesting({});
        CMyOrvelView::SetSaveChooserForTesting({});
        CColorSetting::SetColorChooserForTesting({});
    }

    void tabsAndLoadedDocument()
    {
        CMyOrvelDoc doc;
        fill(doc, 12);
        CMyOrvelView view(&doc);
        view.resize(900, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        QCOMPARE(view.Tabs()->count(), 3);
        QCOMPARE(view.Tabs()->tabText(2), QStringLiteral("Summary"));
        QVERIFY(view.Graph()->isVisible() && view.HScroll()->isVisible());
        QVERIFY(!view.List()->isVisible() && !view.SummaryBox()->isVisible());
        view.Tabs()->setCurrentIndex(CMyOrvelView::TabList);
        QVERIFY(view.List()->isVisible() && !view.Graph()->isVisible() && !view.VScroll()->isVisible());
        view.Tabs()->setCurrentIndex(CMyOrvelView::TabSummary);
        QVERIFY(view.SummaryBox()->isVisible() && !view.List()->isVisible());
        QCOMPARE(view.Graph()->geometry(), QRect(30, 60, 840, 515));
        QCOMPARE(view.VScroll()->geometry(), QRect(12, 60, 19, 515));
        QCOMPARE(view.HScroll()->geometry(), QRect(30, 575, 840, 20));
        // The horizontal bar starts below the graph: it covers none of the X labels.
        QVERIFY(view.Graph()->geometry().bottom() < view.HScroll()->geometry().top());
        // In a narrow window the button stays whole, beside the tabs, and "Value" keeps its width.
        view.resize(460, 400);
        QVERIFY(view.rect().contains(view.findChild<QPushButton*>(QStringLiteral("copyGraph"))->geometry()));
        QVERIFY(view.Tabs()->geometry().right() < view.findChild<QPushButton*>(QStringLiteral("copyGraph"))->x());
        int shown = 0;
        for (int c = 0; c < CDataListModel::ColumnCount; ++c)
            shown += view.List()->columnWidth(c);
        QVERIFY(shown <= view.List()->width());
        QCOMPARE(view.List()->columnWidth(3), CDataListModel::ColumnWidth(3));
        view.resize(900, 600);

        QVERIFY(!view.m_bLiveView);
        QCOMPARE(view.ListModel()->rowCount(), 12);
        QCOMPARE(view.ListModel()->RowTexts(3)[3], QStringLiteral("OL"));
        QVERIFY(view.SummaryBox()->toPlainText().contains(QStringLiteral("DataNumber: 12")));
        // Range from the statistics: [0 - 1.1, 11 + 1.1].
        QCOMPARE(view.Graph()->Model().State(0).m_dYMax, 12.1);
        QCOMPARE(view.Graph()->Model().State(2).m_dYMinHome, -1.1);
    }

    void downloadedPointsAndAllOverRange()
    {
        CMyOrvelDoc doc;
        CMyOrvelView view(&doc);
        QSignalSpy registered(&view, &CMyOrvelView::becameDownloadView);
        QVector<CObData> pts;
        for (int i = 0; i < 5; ++i)
            pts << CObData(i == 1 ? -500000.0 : 500000.0, "VDC", 2.0, 0, QString::number(i), "VDC", 6);
        view.resize(600, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate(&pts);
        QVERIFY(pts.isEmpty());
        QCOMPARE(registered.count(), 1);
        QCOMPARE(doc.GetTitle(), QStringLiteral("DataLogger"));
        QVERIFY(!doc.m_bLive && !view.m_bLiveView);
        QCOMPARE(doc.m_dSampleRate, 2.0);
        QCOMPARE(view.ListModel()->RowTexts(1)[3], QStringLiteral("OL"));
        // Nothing in range: a sound range up to the limit, and the graph paints.
        QCOMPARE(view.Graph()->Model().State(0).m_dYMax, 6.0);
        QCOMPARE(view.Graph()->Model().State(0).m_dYMinHome, 0.0);
        // The summary is laid out when it is read or shown, not in the turn that shows the record.
        auto* summary = view.findChild<QPlainTextEdit*>(QStringLiteral("summary"));
        QVERIFY(summary->document()->isEmpty());
        QVERIFY(view.SummaryBox()->toPlainText().contains(QStringLiteral("Minimum: OL")));
        summary->clear();
        doc.m_nDataNumber = 4;
        view.RefreshSummary();
        QVERIFY(summary->document()->isEmpty());
        view.SelectTab(CMyOrvelView::TabSummary);
        QVERIFY(summary->toPlainText().contains(QStringLiteral("DataNumber: 4")));
        view.Graph()->repaint();
        QVERIFY(view.Graph()->FullPaints() > 0);
    }

    void nextDownloadedRecordStartsAFreshXRange()
    {
        CMyOrvelDoc doc;
        CMyOrvelView view(&doc);
        auto points = [](int n) {
            QVector<CObData> pts;
            for (int i = 0; i < n; ++i)
                pts << CObData(i % 10, "VDC", 1.0, 0, QString::number(i), "VDC", 1000);
            return pts;
        };
        QVector<CObData> big = points(3200);
        view.resize(900, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate(&big);
        CGraphDlg* g = view.Graph();
        g->repaint();
        QVERIFY(g->Model().State(0).m_dXMax >= 3199);
        // The user zooms on all three states and scrolls.
        view.OnCommand(CMyOrvelView::IdXBig);
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(200, 100));
        QTest::mouseMove(g, QPoint(300, 100));
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(300, 100));
        view.HScroll()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QVERIFY(g->IsZoomedOrMoved());

        // The next record, ten points, into the same view.
        const QVector<CObData> small = points(10);
        doc.DeleteContents();
        const datalog_text::YRange r = datalog_text::TakeDownloadedPoints(doc, small);
        view.ShowDownloaded(r.max, r.min);
        g->repaint();
        QVERIFY(!g->IsZoomedOrMoved());
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(g->Model().State(i).m_dXMin, 0.0);
            QCOMPARE(g->Model().State(i).m_dXMinHome, 0.0);
        }
        QCOMPARE(g->Model().State(0).m_dXMax, 20.0);
        QCOMPARE(g->Model().State(1).m_dXMax, 100.0);
        // The ten points spread over the plot instead of its first pixels.
        GraphDrawParams p;
        p.rect = g->rect();
        p.xPerPixel = g->Model().State(0).m_dXPerPixel;
        p.yPerPixel = g->Model().State(0).m_dYPerPixel;
        QVERIFY(GraphPointAt(g->Model().State(0), p, 9, 0).x() - GraphPointAt(g->Model().State(0), p, 0, 0).x() > 200);
        // "All" keeps it so.
        view.OnCommand(CMyOrvelView::IdAll);
        QCOMPARE(g->Model().State(0).m_dXMax, 20.0);
    }

    void scrollBarsFollowTheGraph()
    {
        CMyOrvelDoc doc;
        fill(doc, 400);
        CMyOrvelView view(&doc);
        view.resize(900, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        view.Graph()->repaint(); // X grows to the 400 points
        CGraphDlg* g = view.Graph();
        QCOMPARE(view.HScroll()->maximum(), 0);
        // Zoom on a rectangle with the mouse: the scroll bars get a range.
        view.OnCommand(CMyOrvelView::IdRect);
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(200, 100));
        QTest::mouseMove(g, QPoint(300, 200));
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(300, 200));
        QVERIFY(g->Model().IsZoomed());
        const CGraphModel& m = g->Model();
        QCOMPARE(view.HScroll()->maximum(), m.HScrollMax());
        QVERIFY(view.HScroll()->maximum() > 0);
        QCOMPARE(view.HScroll()->value(), int(m.State(0).m_dXMin));
        QCOMPARE(view.VScroll()->maximum(), m.VScrollMax());
        const int before = view.HScroll()->value();
        view.HScroll()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(int(m.State(0).m_dXMin), before + 1);
        QVERIFY(g->IsZoomedOrMoved());
        view.OnCommand(CMyOrvelView::IdAll);
        QVERIFY(!g->IsZoomedOrMoved());
        QCOMPARE(view.HScroll()->maximum(), 0);
    }

    void readOutAndFftRange()
    {
        CMyOrvelDoc doc;
        fill(doc, 12);
        CMyOrvelView view(&doc);
        view.resize(900, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        CGraphDlg* g = view.Graph();
        g->repaint();
        view.OnCommand(CMyOrvelView::IdShowNumber);
        const int pw = g->Model().PlotWidth();
        const QPoint atThree(70 + int(std::ceil(3.2 / g->Model().State(0).m_dXPerPixel)), 100);
        QTest::mousePress(g, Qt::LeftButton, {}, atThree);
        QVERIFY(g->ShowDataBox()->isVisible());
        const auto* box = qobject_cast<const CShowData*>(g->ShowDataBox());
        QVERIFY(box);
        QCOMPARE(box->NumberText(), QStringLiteral("3"));
        QCOMPARE(box->ValueText(), QStringLiteral("OL"));
        QCOMPARE(g->ShowDataBox()->pos(), QPoint(0, 0));
        QTest::mouseRelease(g, Qt::LeftButton, {}, atThree);
        QVERIFY(!g->ShowDataBox()->isVisible());
        // Right of the last point: nothing.
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(70 + pw * 3 / 4, 100));
        QVERIFY(!g->ShowDataBox()->isVisible());
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(70 + pw * 3 / 4, 100));

        QSignalSpy fft(&view, &CMyOrvelView::fftRangeChosen);
        QSignalSpy hint(&view, &CMyOrvelView::hint);
        view.OnCommand(CMyOrvelView::IdFft);
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(70 + pw / 2, 100));
        QTest::mouseMove(g, QPoint(80, 120));
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(80, 120));
        QCOMPARE(fft.count(), 1);
        QVERIFY(fft[0][0].toInt() < fft[0][1].toInt());
        QCOMPARE(fft[0][0].toInt(), 0);
        QTest::mousePress(g, Qt::LeftButton, {}, QPoint(200, 100));
        QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(201, 100));
        QCOMPARE(fft.count(), 1); // one index: nothing but a word on what to do
        QCOMPARE(hint.count(), 1);
        QVERIFY(hint[0][0].toString().contains(QStringLiteral("drag")));
    }

    void settingsDialogChecks()
    {
        CMyOrvelDoc doc;
        doc.AddPoint(0, 5.0, "V", 0, 0, "t", "VDC", 6.0f);
        doc.AddPoint(0, 5.0, "V", 0, 1, "t", "VDC", 6.0f);
        CMyOrvelView view(&doc);
        CColorSetting dlg;
        dlg.FillFrom(*view.Graph(), view.m_bAutoScale, view.m_dManualMax, view.m_dManualMin);
        QVERIFY(dlg.AutoButton()->isChecked());
        QCOMPARE(dlg.MaxEdit()->text(), QStringLiteral("50"));
        QCOMPARE(dlg.MinEdit()->text(), QStringLiteral("-50"));
        QVERIFY(!dlg.MaxEdit()->isEnabled() && !dlg.MinEdit()->isEnabled());
        QVERIFY(!dlg.Preview()->isEnabled());

        dlg.ManualButton()->setChecked(true);
        QVERIFY(dlg.MaxEdit()->isEnabled());
        dlg.MaxEdit()->setText("100");
        dlg.MinEdit()->setText("100");
        QVERIFY(!dlg.Validate());
        QCOMPARE(m_boxes.last().text, QStringLiteral("The Maxinum should large than the Mininum"));
        QCOMPARE(m_boxes.last().caption, QStringLiteral("Tip"));
        // Messages name the field they are about.
        dlg.MaxEdit()->setText("6000");
        QVERIFY(!dlg.Validate());
        QCOMPARE(m_boxes.last().text, QStringLiteral("Maximum: enter a number between -5000 and 5000."));
        dlg.MaxEdit()->setText("200");
        dlg.MinEdit()->setText("ten");
        QVERIFY(!dlg.Validate());
        QCOMPARE(m_boxes.last().text, QStringLiteral("Minimum: enter a number, such as 5 or 0.25."));
        // Decimals are taken: a window for a 5 V signal.
        dlg.MaxEdit()->setText("5.25");
        dlg.MinEdit()->setText("4.75");
        QVERIFY(dlg.Validate());
        QCOMPARE(dlg.m_dMax, 5.25);
        QCOMPARE(dlg.m_dMin, 4.75);
        QVERIFY(!dlg.m_bAutoScale);
        QCOMPARE(dlg.MaskPointsBox()->text(), QStringLiteral("Show Points"));

        CColorSetting::SetColorChooserForTesting([](const QColor&, QWidget*) { return QColor(1, 2, 3); });
        dlg.ChooseColor(CColorSetting::Line);
        QCOMPARE(dlg.m_colors.line, 0x010203u);
        QCOMPARE(dlg.Preview()->m_colors.line, 0x010203u);
        CColorSetting::SetColorChooserForTesting([](const QColor&, QWidget*) { return QColor(); });
        dlg.ChooseColor(CColorSetting::Grid);
        QCOMPARE(dlg.m_colors.grid, GraphColor::Grid); // cancelled
        dlg.ApplyTo(*view.Graph());
        QCOMPARE(view.Graph()->m_colors.line, 0x010203u);

        // Auto scale on equal extremes: [4.99, 5.01].
        const datalog_text::YRange r = datalog_text::FitYRange(doc.m_dMax, doc.m_dMin, 6.0f, true);
        QCOMPARE(r.max, 5.01);
        QCOMPARE(r.min, 4.99);
    }

    void graphSettingsAreKeptForEveryNewView()
    {
        const QString ini = CPortSettings().FilePath();
        QFile::remove(ini);
        CMyOrvelDoc doc;
        fill(doc, 20);
        {
            CMyOrvelView view(&doc);
            CColorSetting::SetColorChooserForTesting([](const QColor&, QWidget*) { return QColor(10, 20, 30); });
            QTimer::singleShot(0, [] {
                auto* dlg = qobject_cast<CColorSetting*>(QApplication::activeModalWidget());
                QVERIFY(dlg);
                dlg->ChooseColor(CColorSetting::Line);
                dlg->MaskPointsBox()->setChecked(false);
                dlg->ManualButton()->setChecked(true);
                dlg->MaxEdit()->setText("5.5");
                dlg->MinEdit()->setText("4.5");
                dlg->accept();
            });
            view.OnCommand(CMyOrvelView::IdSetting);
            QCOMPARE(view.Graph()->Model().State(0).m_dYMax, 5.5);
        }
        // A new recording, a reopened file or the next start: the same choices.
        CMyOrvelDoc live;
        CMyOrvelView fresh(&live);
        QCOMPARE(fresh.Graph()->m_colors.line, 0x0A141Eu);
        QVERIFY(!fresh.Graph()->m_bMaskPoints);
        QVERIFY(!fresh.m_bAutoScale);
        QCOMPARE(fresh.Graph()->Model().State(0).m_dYMax, 5.5);
        QCOMPARE(fresh.Graph()->Model().State(2).m_dYMinHome, 4.5);
        CMyOrvelView loaded(&doc);
        loaded.OnInitialUpdate();
        QCOMPARE(loaded.Graph()->Model().State(0).m_dYMax, 5.5); // the manual scale, not the data's
        const GraphPreferences kept = GraphPreferences::Load(ini);
        QCOMPARE(kept.manualMin, 4.5);
        QCOMPARE(kept.colors.grid, GraphColor::Grid);
        // A file that holds nonsense gives the defaults.
        {
            QSettings s(ini, QSettings::IniFormat);
            s.setValue("GRAPH/LINE_COLOR", "yellow");
            s.setValue("GRAPH/MANUAL_MAX", "1");
            s.setValue("GRAPH/MANUAL_MIN", "2");
        }
        const GraphPreferences odd = GraphPreferences::Load(ini);
        QCOMPARE(odd.colors.line, GraphColor::Line);
        QCOMPARE(odd.manualMax, 50.0);
        QFile::remove(ini);
    }

    void exportCopyAndPrintNeedPoints()
    {
        QTemporaryDir dir;
        CMyOrvelDoc empty;
        CMyOrvelView view(&empty);
        int asked = 0;
        CMyOrvelView::SetSaveChooserForTesting([&](QWidget*, const QString&) {
            ++asked;
            return dir.filePath("x.xls");
        });
        CPrintRX::SetChooserForTesting([&](QPrinter&) {
            ++asked;
            return false;
        });
        view.OnExport();
        view.OnCopyGraph();
        view.OnPrintGraph();
        view.OnPrintData();
        QCOMPARE(asked, 0);
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("x.xls")));
    }

    void exportAndCopy()
    {
        QTemporaryDir dir;
        CMyOrvelDoc doc;
        fill(doc, 10);
        CMyOrvelView view(&doc);
        view.resize(700, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        QString proposed;
        CMyOrvelView::SetSaveChooserForTesting([&](QWidget*, const QString& p) {
            proposed = p;
            return dir.filePath("out.xls");
        });
        view.OnCommand(CMyOrvelView::IdExport);
        QVERIFY(proposed.endsWith(".xls"));
        QTRY_VERIFY(!view.RunningExport());
        // The next export starts in the folder of this one.
        view.OnCommand(CMyOrvelView::IdExport);
        QCOMPARE(QFileInfo(proposed).absolutePath(), dir.path());
        QTRY_VERIFY(!view.RunningExport());
        QFile f(dir.filePath("out.xls"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), datalog_text::ExportXls(doc));

        view.OnCopyGraph();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].text, QStringLiteral("Graph is already copied to clipboard!"));
        QCOMPARE(m_boxes[0].caption, QStringLiteral("Tip"));
        const QImage img = QApplication::clipboard()->image();
        QCOMPARE(img.size(), view.Graph()->size());
        img.save(outDir() + "/copy.png");
        // The copy has a 50-pixel left margin in the border colour, the plot background right of it.
        QCOMPARE(img.pixel(20, 200) & 0xFFFFFF, GraphColor::Border);
        QCOMPARE(img.pixel(60, 40) & 0xFFFFFF, GraphColor::PlotBack);
    }

    void printToPdf()
    {
        CMyOrvelDoc doc;
        fill(doc, 100);
        CMyOrvelView view(&doc);
        view.resize(700, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        int lines = 0;
        const QString dataPdf = outDir() + "/print-data.pdf";
        const QString graphPdf = outDir() + "/print-graph.pdf";
        QString target = dataPdf;
        QString offered;
        CPrintRX::SetChooserForTesting([&](QPrinter& printer) {
            offered = printer.outputFileName();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(target);
            printer.setResolution(300);
            printer.setPageSize(QPageSize(QPageSize::A4));
            return true;
        });
        QFile::remove(dataPdf);
        view.OnCommand(CMyOrvelView::IdPrintData);
        QVERIFY(view.RunningPrint());
        QTRY_VERIFY(!view.RunningPrint());
        {
            // The page count the layout expects for this printer.
            CPrintRX rx;
            rx.Printer().setOutputFormat(QPrinter::PdfFormat);
            rx.Printer().setResolution(300);
            rx.Printer().setPageSize(QPageSize(QPageSize::A4));
            lines = print_layout::LinesPerPage(
                rx.PageHeight(), QFontMetrics(rx.DataFont(), &rx.Printer()).lineSpacing());
        }
        QVERIFY2(lines > 53 && lines < 107, qPrintable(QString::number(lines)));
        QCOMPARE(pdfPages(dataPdf), 2);
        target = graphPdf;
        view.OnCommand(CMyOrvelView::IdPrintGraph);
        QCOMPARE(pdfPages(graphPdf), 1);
        // Printing to a file again offers the file (and folder) of the last printout.
        QCOMPARE(offered, QFileInfo(dataPdf).absoluteFilePath());
        CPrintRX rx;
        for (int i = 0; i < CPrintRX::kMaxSlots; ++i)
            QCOMPARE(rx.CreateFontSlot(), i);
        QCOMPARE(rx.CreateFontSlot(), -1);
    }

    // The file type follows the chosen name; export and printing run while the window stays
    // usable, and their Cancel button stops them without leaving a file.
    void exportFormatsAndCancel()
    {
        QTemporaryDir dir;
        CMyOrvelDoc doc;
        fill(doc, 300);
        CMyOrvelView view(&doc);
        view.OnInitialUpdate();
        QString name;
        CMyOrvelView::SetSaveChooserForTesting([&](QWidget*, const QString&) { return dir.filePath(name); });
        name = QStringLiteral("out.csv");
        view.OnExport();
        QTRY_VERIFY(!view.RunningExport());
        QFile csv(dir.filePath(name));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), mlog::ToCsv(doc));
        if (CWorkbook::Supported()) {
            name = QStringLiteral("out.xlsx");
            view.OnExport();
            QTRY_VERIFY(!view.RunningExport());
            QFile xlsx(dir.filePath(name));
            QVERIFY(xlsx.open(QIODevice::ReadOnly));
            QVERIFY(xlsx.read(2) == "PK");
        }

        // Stopped from its progress bar after the first slice.
        CExportJob::SetSliceForTesting(10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the bars of the exports above
        QVERIFY(!view.findChild<QProgressDialog*>());
        name = QStringLiteral("stopped.xls");
        view.OnExport();
        QPointer<CExportJob> job = view.RunningExport();
        QVERIFY(job);
        QProgressDialog* bar = view.findChild<QProgressDialog*>();
        QVERIFY(bar);
        int slices = 0;
        connect(job.data(), &CExportJob::progress, bar, [&] {
            if (++slices == 2)
                bar->findChild<QPushButton*>()->click();
        });
        QTRY_VERIFY(!job);
        QCOMPARE(slices, 2);
        QVERIFY(!view.RunningExport());
        CExportJob::SetSliceForTesting(0);
        QVERIFY(!QFile::exists(dir.filePath(name)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList { "out.csv", "out.xlsx" }));
        QTRY_VERIFY(!view.findChild<QProgressDialog*>());
        QVERIFY(m_boxes.isEmpty());

        // A printout stopped midway ends its print run.
        CPrintRX::SetChooserForTesting([&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath("p.pdf"));
            return true;
        });
        view.OnPrintData();
        QVERIFY(view.RunningPrint());
        view.RunningPrint()->Cancel();
        QVERIFY(!view.RunningPrint());
        CPrintRX::SetChooserForTesting({});
    }

    void appendLastPointIsIncremental()
    {
        CMyOrvelDoc doc; // live
        CMyOrvelView view(&doc);
        view.resize(700, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        CGraphDlg* g = view.Graph();
        g->SetYRange(10, 0);
        for (int i = 0; i < 5; ++i)
            doc.AddPoint(0, i, "V", 0, i, "t", "VDC", 6.0f);
        g->repaint();
        const int full = g->FullPaints();
        doc.AddPoint(0, 5, "V", 0, 5, "t", "VDC", 6.0f);
        g->AppendLastPoint();
        QCOMPARE(g->IncrementalDraws(), 1);
        QApplication::processEvents();
        QCOMPARE(g->FullPaints(), full);
        // The picture equals a full redraw.
        const QImage incremental = g->Picture().copy();
        g->Invalidate();
        g->repaint();
        QCOMPARE(g->Picture(), incremental);
        // Out of range: full repaint.
        doc.AddPoint(0, 50, "V", 0, 6, "t", "VDC", 60.0f);
        g->AppendLastPoint();
        QCOMPARE(g->IncrementalDraws(), 1);
        // The list row is appended and the summary follows the live document.
        view.AppendListRow("t", "V", -500000, "VDC");
        QCOMPARE(view.ListModel()->RowTexts(0)[3], QStringLiteral("OL"));
        view.SelectTab(CMyOrvelView::TabSummary);
        QVERIFY(view.SummaryBox()->toPlainText().contains("DataNumber: 7"));
    }

    // The list reads recorded rows from the document: across blocks of points, with over-range
    // readings, a lost-link row on a block edge, saved readings with their statistics, and the
    // same document loaded from its file.
    void listRowsFollowTheRecording()
    {
        const qsizetype k = CDataSeries::kChunkPoints;
        TeeHost host;
        CRecorder rec(host, [] { return true; });
        rec.SetMaxReadings(int(k) + 10);
        rec.OnStart();
        QCOMPARE(host.open.size(), size_t(1));
        MeterEvent e;
        e.m_nMode = 1;
        e.m_data.m_strFunction = QStringLiteral("VDC");
        e.m_data.m_strUnit = QStringLiteral("VDC");
        e.m_data.m_fLimit = 6.0f;
        for (qsizetype i = 0; i < k + 3; ++i) {
            if (i == k - 1)
                rec.MarkGap(QStringLiteral("gap time"));
            e.m_data.m_fValue = i % 1000 == 1 ? 7.0f : i % 1000 == 2 ? -7.0f : float(i % 50) * 0.125f;
            e.m_strDate = QStringLiteral("5/12/26 %1:%2").arg(i / 60).arg(i % 60);
            rec.OnMeterEvent(e);
        }
        rec.OnStop();
        {
        const TeeHost::Entry& live = host.open[0];
        QVERIFY(live.doc->m_arrSeries[0].IsNull(k - 1));
        QCOMPARE(live.view->ListModel()->RowTexts(int(k - 1)),
            QStringList({ QString::number(k), "gap time", "", "-", "(link lost)", "" }));
        QCOMPARE(live.view->ListModel()->RowTexts(1)[3], QStringLiteral("OL"));
        QCOMPARE(live.view->ListModel()->RowTexts(2)[3], QStringLiteral("OL"));
        compareRows(live);
        // The table holds one page of rows, the newest.
        const CDataListWindow* page = live.view->ListWindow();
        QCOMPARE(live.view->List()->model()->rowCount(), page->PageRows());
        QCOMPARE(page->First(), page->LastFirst());
        QCOMPARE(page->data(page->index(page->PageRows() - 1, 0)).toString(), QString::number(k + 4));
        }

        // Saved readings: each reading followed by its maximum, minimum and average.
        MeterEvent saved = e;
        saved.m_bSavedFrame = true;
        saved.m_nSavedKind = 2;
        saved.m_data.m_statMax.m_fValue = 7.5f;
        saved.m_data.m_statMax.m_strUnit = QStringLiteral("VDC");
        saved.m_data.m_statMin.m_fValue = -1.0f;
        saved.m_data.m_statMin.m_strUnit = QStringLiteral("VDC");
        for (int i = 0; i < 3; ++i)
            rec.OnMeterEvent(saved);
        QCOMPARE(host.open.size(), size_t(2));
        QCOMPARE(host.open[1].view->ListModel()->rowCount(), 12);
        compareRows(host.open[1]);
        const TeeHost::Entry& live = host.open[0];

        // Loaded from its file the list shows the same rows, without the lost-link row and with the
        // loaded list's over-range rule (only +500000 is "OL").
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.mLog");
        QVERIFY(live.doc->OnSaveDocument(path));
        CMyOrvelDoc loaded;
        QVERIFY(loaded.OnOpenDocument(path));
        CMyOrvelView view(&loaded);
        view.OnInitialUpdate();
        const CDataListModel& m = *view.ListModel();
        QCOMPARE(m.rowCount(), int(k + 3));
        for (int r = 0; r < m.rowCount(); ++r) {
            const int from = r < k - 1 ? r : r + 1;
            QStringList want = live.view->ListModel()->RowTexts(from);
            want[0] = QString::number(r + 1);
            if (m.RowTexts(r) != want)
                QFAIL(qPrintable(QStringLiteral("loaded row %1: %2").arg(r).arg(m.RowTexts(r).join('|'))));
        }
    }

    // Readings that stay in the function's range are drawn one segment each: setting the same
    // range again on every reading repaints nothing.
    void recordingDrawsIncrementally()
    {
        TeeHost host;
        CRecorder rec(host, [] { return true; });
        rec.OnStart();
        CMyOrvelView& view = *host.open[0].view;
        view.resize(700, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        MeterEvent e;
        e.m_nMode = 1;
        e.m_data.m_strFunction = QStringLiteral("VDC");
        e.m_data.m_strUnit = QStringLiteral("VDC");
        e.m_data.m_fLimit = 6.0f;
        e.m_data.m_nDecimals = 3;
        auto record = [&](int n) {
            for (int i = 0; i < n; ++i) {
                e.m_data.m_fValue = 1.0f + 0.01f * float(i);
                rec.OnMeterEvent(e);
                QApplication::processEvents();
            }
        };
        record(2);
        const int full = view.Graph()->FullPaints();
        const int incremental = view.Graph()->IncrementalDraws();
        record(8);
        QCOMPARE(view.Graph()->FullPaints(), full);
        QCOMPARE(view.Graph()->IncrementalDraws(), incremental + 8);

        // On the list tab a reading moves the table's pixels up a row and paints the new one: the
        // window shows what a whole repaint shows.
        view.SelectTab(CMyOrvelView::TabList);
        QApplication::processEvents();
        record(60);
        QVERIFY(view.ListWindow()->First() > 0);
        const QImage moved = QGuiApplication::primaryScreen()->grabWindow(view.winId()).toImage();
        view.List()->viewport()->repaint();
        const QImage whole = QGuiApplication::primaryScreen()->grabWindow(view.winId()).toImage();
        if (moved != whole) {
            moved.save(outDir() + "/list-moved.png");
            whole.save(outDir() + "/list-whole.png");
        }
        QVERIFY(!moved.isNull());
        QVERIFY(moved == whole);

        // The list's bar is left as drawn while its slider keeps its pixels, and is exact again
        // the moment the user reaches for it.
        record(400);
        QScrollBar* bar = view.ListScroll();
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 2));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->width() / 2, 2));
        QCOMPARE(bar->maximum(), view.ListWindow()->LastFirst());
        QCOMPARE(bar->value(), view.ListWindow()->First());
    }

    void listCellsLookAsTheStockDelegateDrawsThem()
    {
        // The list's own cell painter places glyphs itself: the page it paints is pixel for pixel
        // what the stock delegate paints, for plain rows, the lost-link row, "OL", units outside
        // ASCII, a text too wide for its column, a selected row and the focused cell.
        CMyOrvelDoc doc;
        CMyOrvelView view(&doc);
        view.resize(700, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.OnInitialUpdate();
        view.SelectTab(CMyOrvelView::TabList);
        const QString units[] = { "VDC", "mVAC", QString::fromUtf8("\u2103"), QString::fromUtf8("M\u03a9"), "Hz" };
        for (int i = 0; i < 40; ++i) {
            RecordingListRow row;
            row.number = QString::number(i + 1);
            row.time = QString::asprintf("5/12/26 %d:%02d:%02d", 9 + i / 20, i * 7 % 60, i * 13 % 60);
            row.unit = units[i % 5];
            row.value = i % 9 == 4 ? QStringLiteral("OL") : QString::asprintf("%.4f", (i - 20) * 1.0625);
            row.label = i % 5 == 3 ? QStringLiteral("Temperature probe reading") : row.unit;
            if (i == 30) {
                row.time = QStringLiteral("5/12/26 9:31:07");
                row.unit.clear();
                row.value = QStringLiteral("-");
                row.label = CRecorder::GapLabel();
            }
            view.AddListRow(row, true);
        }
        QApplication::processEvents();
        QTableView* list = view.List();
        auto* fast = qobject_cast<CDataListDelegate*>(list->itemDelegate());
        QVERIFY(fast);
        // The cells the stock path drew, or -1 when the pictures differ.
        auto compare = [&](const char* name) {
            list->setItemDelegate(fast);
            const int stock = fast->StockCells();
            const QImage mine = list->grab().toImage();
            const int stockCells = fast->StockCells() - stock;
            QStyledItemDelegate plain;
            list->setItemDelegate(&plain);
            const QImage theirs = list->grab().toImage();
            list->setItemDelegate(fast);
            if (mine != theirs) {
                mine.save(outDir() + QStringLiteral("/list-%1-fast.png").arg(name));
                theirs.save(outDir() + QStringLiteral("/list-%1-stock.png").arg(name));
                return -1;
            }
            return stockCells;
        };
        // Only the too-wide function texts of the page take the stock path.
        const int page = view.ListWindow()->PageRows();
        int wide = 0;
        for (int r = 0; r < page; ++r)
            wide += view.ListWindow()->data(view.ListWindow()->index(r, 4)).toString().size() > 20;
        QVERIFY(wide > 0);
        QCOMPARE(compare("plain"), wide);
        const QImage mine0 = list->grab().toImage();
        list->selectRow(3);
        list->setFocus();
        list->setCurrentIndex(view.ListWindow()->index(5, 1));
        QApplication::processEvents();
        QVERIFY(compare("selected") > wide);
        // Its pixels, not just the path: another row selected draws another page.
        QVERIFY(list->grab().toImage() != mine0);
        // A narrow window shrinks the columns: texts that no longer fit are elided as before.
        view.resize(330, 400);
        QApplication::processEvents();
        QVERIFY(compare("narrow") >= 0);
        // Another font: its glyphs are looked up again and its line is centred the same way.
        view.resize(700, 500);
        for (const qreal points : { 7.5, 10.5, 11.0 }) {
            QFont font = list->font();
            font.setPointSizeF(points);
            list->setFont(font);
            QApplication::processEvents();
            const int stock = compare("font");
            QVERIFY2(stock >= 0 && stock < page, qPrintable(QString::number(points)));
        }
    }

    void envelopeMatchesFullPolyline()
    {
        // Where readings jump and a column holds a whole summarised span of them, the markers are
        // a band over the column's extent rather than each reading's own: compared without markers
        // there, and with them where fewer share a column.
        struct Shape {
            const char* name;
            double (*f)(int);
            int count;
            bool bandOfMarks;
        } shapes[] = {
            { "sine", [](int i) { return std::sin(i * 0.00002) * 400; }, 1000000, false },
            { "noise", [](int i) { return double(QRandomGenerator(uint(i)).bounded(800)) - 400; }, 1000000, true },
            { "sparse-noise", [](int i) { return double(QRandomGenerator(uint(i)).bounded(800)) - 400; }, 150000, false },
            { "steps", [](int i) { return (i / 50000) % 2 ? 300.0 : -300.0; }, 1000000, true },
            { "sparse-steps", [](int i) { return (i / 7500) % 2 ? 300.0 : -300.0; }, 150000, false },
            { "spikes", [](int i) { return i % 9973 == 0 ? 500000.0 : std::sin(i * 0.001) * 100; }, 1000000, false },
        };
        for (const Shape& shape : shapes) {
            CDataSeries s;
            s.Reserve(shape.count);
            for (int i = 0; i < shape.count; ++i)
                s.Append(shape.f(i), u"V", 0, i, u"t", u"VDC", 600);
            for (bool marks : { false, true }) {
                if (marks && shape.bandOfMarks)
                    continue;
                CGraphModel m;
                m.Init(840, 520);
                m.GrowX(s.Size(), false, false);
                QImage pics[2];
                for (int e = 0; e < 2; ++e) {
                    GraphDrawParams p { QRect(0, 0, 840, 520), m.State(0).m_dXPerPixel, m.State(0).m_dYPerPixel };
                    p.maskPoints = marks;
                    p.envelope = e == 1;
                    pics[e] = QImage(840, 520, QImage::Format_RGB32);
                    pics[e].fill(GraphColor::PlotBack);
                    QPainter painter(&pics[e]);
                    GraphPainter::Render(painter, BuildGraphScene(m.State(0), s, p), GraphColors());
                }
                if (pics[0] != pics[1]) {
                    pics[0].save(outDir() + "/full-" + shape.name + ".png");
                    pics[1].save(outDir() + "/envelope-" + shape.name + ".png");
                }
                QVERIFY2(pics[0] == pics[1], qPrintable(QStringLiteral("%1 marks %2").arg(shape.name).arg(marks)));
            }
        }
    }

    // The child frame stays maximised and makes its view the active one; the tool bar's buttons
    // reach that view; "Big" and "Small" are hidden.
    void childFrameAndToolBar()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("r.ini");
        CDocManager manager(nullptr, [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); });
        QMdiArea area;
        area.resize(900, 600);
        area.show();
        CMyOrvelDoc* doc = manager.OnFileNew();
        auto* frame = new CChildFrame(doc, &manager);
        area.addSubWindow(frame);
        frame->view()->OnInitialUpdate();
        frame->showMaximized();
        frame->OnActivated();
        QVERIFY(frame->isMaximized());
        QCOMPARE(CMyOrvelView::Active(), frame->view());
        frame->showNormal();
        QTRY_VERIFY(frame->isMaximized());

        CControlDlgBar bar;
        bar.show();
        QVERIFY(bar.Button(1007) == nullptr || !bar.Button(1007)->isVisible());
        QVERIFY(bar.Button(1008) == nullptr || !bar.Button(1008)->isVisible());
        QVERIFY(bar.Button(1000)->isVisible());
        bar.Button(1000)->click();
        QCOMPARE(frame->view()->Graph()->Tool(), int(CGraphModel::Move));
        bar.Button(1011)->click();
        QCOMPARE(frame->view()->Graph()->Tool(), int(CGraphModel::Fft));
        const QPixmap icon = CControlDlgBar::MakeIcon(1011).pixmap(QSize(22, 22), 2.0);
        QCOMPARE(icon.size(), QSize(44, 44));

        // A live view's window asks for Stop when it closes.
        QSignalSpy stop(frame, &CChildFrame::stopRequested);
        QVERIFY(frame->view()->m_bLiveView);
        frame->close();
        QCOMPARE(stop.count(), 1);
        QVERIFY(manager.Documents().isEmpty());
        QCOMPARE(CMyOrvelView::Active(), nullptr);
    }
};

QTEST_MAIN(TestDatalogView)
#include "test_datalog_view.moc"
