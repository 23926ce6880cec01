// The trend graph's arithmetic without a display: sizing, X growth, the tools' zoom and pan rules
// with their thresholds, picks, the FFT range, scroll bars, and what the drawing step computes.
#include "datalog/DataSeries.h"
#include "datalog/GraphModel.h"
#include "datalog/GraphScene.h"

#include <QtTest>

namespace {

CDataSeries series(int n, double (*f)(int) = [](int i) { return double(i); })
{
    CDataSeries s;
    for (int i = 0; i < n; ++i)
        s.Append(f(i), u"V", 0, 0, u"t", u"VDC", 6); // downloaded points: all sequence numbers 0
    return s;
}

// A graph whose client is 440 x 250: plot 300 x 200.
CGraphModel graph()
{
    CGraphModel g;
    g.Init(440, 250);
    return g;
}

} // namespace

class TestGraphModel : public QObject {
    Q_OBJECT
private slots:
    void initialStatesAndResize()
    {
        CGraphModel g = graph();
        QCOMPARE(g.PlotWidth(), 300);
        QCOMPARE(g.State(0).m_dXPerPixel, 20.0 / 300);
        QCOMPARE(g.State(1).m_dXPerPixel, 100.0 / 300);
        QCOMPARE(g.State(0).m_dYPerPixel, 5.0);
        // Resizing keeps the visible window.
        g.State(0).m_dXMin = 2;
        g.Resize(740, 450);
        QCOMPARE(g.PlotWidth(), 600);
        QCOMPARE(g.State(0).m_dXMin + 600 * g.State(0).m_dXPerPixel, 2 + 20.0);
        QCOMPARE(g.State(0).m_dYMin + 400 * g.State(0).m_dYPerPixel, 500.0);
        // Too small a window still has a plot of one pixel.
        g.Resize(50, 20);
        QCOMPARE(g.PlotWidth(), 1);
        QVERIFY(g.State(0).m_dXPerPixel > 0);
    }

    void xGrowthInSteps()
    {
        CGraphModel g = graph();
        g.State(0).m_dXPerPixel = 0.1;
        g.State(0).m_dXMax = 0.1 * 300;
        g.GrowX(30, false, false);
        QCOMPARE(g.State(0).m_dXPerPixel, 0.1); // 30 points fit in 30
        g.GrowX(32, false, false);
        QCOMPARE(g.State(0).m_dXPerPixel, 0.1 * 16 / 15);
        g.GrowX(40, false, false);
        double xpp = 0.1;
        while (300 * xpp < 39)
            xpp = xpp * 16 / 15;
        QCOMPARE(g.State(0).m_dXPerPixel, xpp);
        QCOMPARE(g.State(0).m_dXMax, 300 * xpp);
        // Zoomed and live: the window follows one point per call.
        g.SetZoomed(true);
        const double min = g.State(0).m_dXMin;
        g.GrowX(1000, true, false);
        QCOMPARE(g.State(0).m_dXMin, min + 1);
        QCOMPARE(g.State(0).m_dXMax, 999.0);
        g.GrowX(1000, false, false);
        QCOMPARE(g.State(0).m_dXMin, min + 1);
    }

    void growthEndsAtTinyWidths()
    {
        // A 50-pixel graph, and a per-pixel value that has collapsed to nothing.
        CGraphModel g;
        g.Init(50, 50);
        g.State(0).m_dXPerPixel = 1e-300;
        g.State(0).m_dXMax = 0;
        g.GrowX(1000000, false, false);
        QVERIFY(g.State(0).m_dXMax >= 999999);
        g.State(0).m_dXPerPixel = 0;
        g.State(0).m_dXMax = 0;
        g.GrowX(10, false, false);
        QVERIFY(g.State(0).m_dXMax >= 9);
        const CDataSeries s = series(1000);
        const GraphScene scene = BuildGraphScene(g.State(0), s,
            GraphDrawParams { QRect(0, 0, 50, 50), g.State(0).m_dXPerPixel, g.State(0).m_dYPerPixel });
        QCOMPARE(scene.plot.width(), 1);
    }

    void rectangleZoom()
    {
        CGraphModel g = graph();
        QVERIFY(!g.RectZoom(QPoint(100, 100), QPoint(104, 150))); // 4 pixels wide
        QVERIFY(!g.RectZoom(QPoint(100, 100), QPoint(150, 96)));
        QVERIFY(!g.IsZoomed());
        QVERIFY(g.RectZoom(QPoint(100, 50), QPoint(160, 150)));
        QVERIFY(g.IsZoomed());
        QCOMPARE(g.State(0).m_dXMin, 30 * 20.0 / 300);
        QCOMPARE(g.State(0).m_dXPerPixel, 60 * (20.0 / 300) / 300);
        QCOMPARE(g.State(0).m_dYMin, -500 + (200 - 150 + 25) * 5.0);
        QCOMPARE(g.State(0).m_dYPerPixel, 100 * 5.0 / 200);
        QCOMPARE(g.State(1).m_dXMin, 0.0); // state 0 only
        // The end point is clamped to the plot.
        CGraphModel h = graph();
        QVERIFY(h.RectZoom(QPoint(300, 100), QPoint(500, 400)));
        QCOMPARE(h.State(0).m_dXPerPixel, 70 * (20.0 / 300) / 300);
        QCOMPARE(h.State(0).m_dYPerPixel, 125 * 5.0 / 200);
    }

    void zoomLimits()
    {
        CGraphModel g = graph();
        g.State(0).m_dXPerPixel = 0.005;
        g.State(0).m_dYPerPixel = 0.006;
        QVERIFY(g.RectZoom(QPoint(100, 50), QPoint(160, 150)));
        QCOMPARE(g.State(0).m_dXPerPixel, 0.005); // at the limit: X stays
        QCOMPARE(g.State(0).m_dYPerPixel, 0.006 * 100 / 200);
        QVERIFY(!g.ZoomY(QPoint(100, 50), QPoint(100, 150))); // now below the limit
        QVERIFY(!g.ZoomX(QPoint(100, 50), QPoint(160, 50)));
        // Axis zooms act on all three states.
        CGraphModel h = graph();
        QVERIFY(h.ZoomX(QPoint(100, 50), QPoint(160, 52)));
        QCOMPARE(h.State(2).m_dXPerPixel, 60 * (100.0 / 300) / 300);
        QCOMPARE(h.State(0).m_dYPerPixel, 5.0);
        QVERIFY(h.ZoomY(QPoint(100, 50), QPoint(100, 150)));
        QCOMPARE(h.State(1).m_dYPerPixel, 2.5);
        // Step zoom in stops at 0.02.
        h.State(0).m_dXPerPixel = 0.03;
        h.State(0).m_dYPerPixel = 0.02;
        QVERIFY(h.StepZoomIn());
        QCOMPARE(h.State(0).m_dXPerPixel, 0.03 - 0.02);
        QCOMPARE(h.State(0).m_dYPerPixel, 0.02);
        QVERIFY(!h.StepZoomIn());
        // Step zoom out: by 0.02, never beyond the full range.
        h.ResetZoom();
        QVERIFY(!h.StepZoomOut());
        h.State(0).m_dXPerPixel = 0.06;
        QVERIFY(h.StepZoomOut());
        QCOMPARE(h.State(0).m_dXPerPixel, 20.0 / 300);
    }

    void panStaysInRange()
    {
        CGraphModel g = graph();
        QVERIFY(g.RectZoom(QPoint(100, 50), QPoint(160, 150)));
        const GraphAxisState before = g.State(0);
        QVERIFY(g.Pan(QPoint(200, 100), QPoint(190, 100))); // left: the window moves right
        QCOMPARE(g.State(0).m_dXMin, before.m_dXMin + 10 * before.m_dXPerPixel);
        QVERIFY(g.Pan(QPoint(200, 100), QPoint(2000, 100)));
        QCOMPARE(g.State(0).m_dXMin, 0.0);
        QVERIFY(g.Pan(QPoint(200, 100), QPoint(200, 5000)));
        QCOMPARE(g.State(0).m_dYMin, 500 - 200 * g.State(0).m_dYPerPixel);
        QVERIFY(g.Pan(QPoint(200, 5000), QPoint(200, 0)));
        QCOMPARE(g.State(0).m_dYMin, -500.0);
        QVERIFY(!g.Pan(QPoint(200, 0), QPoint(200, -10)));
        g.ResetZoom();
        QVERIFY(!g.IsZoomed());
        QCOMPARE(g.State(0).m_dXPerPixel, 20.0 / 300);
    }

    void picksAndFftRange()
    {
        CGraphModel g = graph(); // 20 / 300 points per pixel
        CDataSeries s = series(10);
        QCOMPARE(g.PickIndex(70 + 15, s), 1);
        QCOMPARE(g.PickIndex(70, s), -1); // on the axis: outside
        QCOMPARE(g.PickIndex(70 + 160, s), -1); // right of the last point
        s.AppendNull();
        s.Append(1, u"V", 0, 0, u"t", u"VDC", 6);
        QCOMPARE(g.PickIndex(70 + 150, s), -1); // a null element shows nothing
        QCOMPARE(g.PickIndex(70 + 165, s), 11);

        QVERIFY(!g.FftRange(100, 101, 10).has_value()); // same index
        const auto r = g.FftRange(250, 100, 10);
        QVERIFY(r.has_value());
        QCOMPARE(r->first, 2);
        QCOMPARE(r->second, 9); // limited to the last point
        QVERIFY(!g.FftRange(30, 100, 10).has_value()); // left of the plot
    }

    void scrollBars()
    {
        CGraphModel g = graph();
        g.SetYRange(100, 0);
        QCOMPARE(g.HScrollMax(), 0);
        QCOMPARE(g.VScrollMax(), 0);
        g.State(0).m_dXMax = 1000;
        g.State(0).m_dXPerPixel = 1; // 300 points visible
        g.State(0).m_dYPerPixel = 0.25; // 50 units visible
        QCOMPARE(g.HScrollMax(), 700);
        g.SetHScrollPos(900);
        QCOMPARE(g.State(0).m_dXMin, 700.0);
        // The vertical bar counts plot pixels: 100 units at 0.25 a pixel less the 200 shown.
        QCOMPARE(g.VScrollMax(), 200);
        QCOMPARE(g.VScrollPos(), 200); // at the bottom
        g.SetVScrollPos(40);
        QCOMPARE(g.State(0).m_dYMin, 40.0);
        QCOMPARE(g.VScrollPos(), 40);
        // A 0.5 V window over -5..5 moves a pixel's worth a step, not a whole volt.
        g.SetYRange(5, -5);
        g.State(0).m_dYPerPixel = 0.5 / 200;
        QCOMPARE(g.VScrollMax(), 3800);
        g.SetVScrollPos(1);
        QCOMPARE(g.State(0).m_dYMin, 5 - 0.5 - 0.0025);
        // A window over 0..0.05 can move at all.
        g.SetYRange(0.05, 0);
        g.State(0).m_dYPerPixel = 0.01 / 200;
        QCOMPARE(g.VScrollMax(), 800);
        g.SetVScrollPos(400);
        QVERIFY(std::abs(g.State(0).m_dYMin - 0.02) < 1e-12);
        QCOMPARE(g.VScrollPos(), 400);
    }

    void yRangeIsAlwaysDrawable()
    {
        CGraphModel g = graph();
        g.SetYRange(5, 5);
        QVERIFY(g.State(0).m_dYMax > g.State(0).m_dYMinHome);
        QVERIFY(g.State(2).m_dYPerPixel > 0);
        g.SetYRange(-60000, 60000);
        QVERIFY(g.State(0).m_dYMax > g.State(0).m_dYMinHome);
        g.SetYRange(6, 0);
        QCOMPARE(g.State(1).m_dYMax, 6.0);
        QCOMPARE(g.State(1).m_dYMin, 0.0);
        QCOMPARE(g.State(1).m_dYPerPixel, 6.0 / 200);
    }

    void sceneGridLabelsAndPinning()
    {
        CGraphModel g = graph();
        g.SetYRange(10, 0);
        // Positions, not sequence numbers, place the points (all carry 0 here).
        const CDataSeries s = series(4, [](int i) { return i == 1 ? 500000.0 : i == 2 ? -500000.0 : 5.0; });
        GraphDrawParams p { QRect(0, 0, 440, 250), 1.0 / 50, 0.05 };
        p.envelope = false;
        const GraphScene scene = BuildGraphScene(g.State(0), s, p);
        QCOMPARE(scene.plot, QRect(70, 25, 300, 200));
        QCOMPARE(scene.grid.size(), 17);
        QCOMPARE(scene.grid[10], QLine(70, 25, 370, 25));
        QCOMPARE(scene.trace.size(), 3);
        QCOMPARE(scene.trace[0], QLine(70, 125, 120, 25)); // 500000 on the top edge
        QCOMPARE(scene.trace[1].p2(), QPoint(170, 225)); // -500000 on the bottom edge
        QCOMPARE(scene.marks.size(), 4);
        QCOMPARE(scene.labels[0].text, QStringLiteral("0.00"));
        QCOMPARE(scene.labels[10].text, QStringLiteral("10.00"));
        QCOMPARE(scene.labels[10].anchor, QPoint(68, 25));
        QCOMPARE(scene.labels[16].text, QStringLiteral("6"));
        QCOMPARE(scene.labels[16].anchor, QPoint(370, 225));
        QCOMPARE(scene.margins[0], QRect(0, 0, 440, 25));
        QCOMPARE(scene.margins[3], QRect(370, 0, 70, 270));
        // The cross of a 500000 point sits on the top edge, that of -500000 uses the value.
        QCOMPARE(PickCross(g.State(0), p, 1, 500000)[1].y1(), 25);
        QVERIFY(PickCross(g.State(0), p, 2, -500000)[1].y1() > 1000);
        // One point: a mark, no line.
        const GraphScene one = BuildGraphScene(g.State(0), series(1), p);
        QCOMPARE(one.trace.size(), 0);
        QCOMPARE(one.marks.size(), 1);
    }

    void yLabelsDifferOverSmallRanges()
    {
        CGraphModel g = graph();
        for (const auto& [max, min] : { std::pair { 5.05, 5.0 }, std::pair { 5.0302, 5.0201 }, std::pair { 0.05, 0.0 },
                 std::pair { 10.0, -10.0 } }) {
            g.SetYRange(max, min);
            const GraphScene scene = BuildGraphScene(g.State(0), CDataSeries(),
                GraphDrawParams { QRect(0, 0, 440, 250), g.State(0).m_dXPerPixel, g.State(0).m_dYPerPixel });
            QStringList y;
            for (int i = 0; i <= 10; ++i)
                y << scene.labels[i].text;
            QCOMPARE(QSet<QString>(y.begin(), y.end()).size(), 11);
        }
        // Ranges that two decimals tell apart keep two.
        QCOMPARE(YLabelDecimals(1.0), 2);
        QCOMPARE(YLabelDecimals(0.1), 2);
        QCOMPARE(YLabelDecimals(0.001), 4);
    }

    void gapBreaksTheTrace()
    {
        CGraphModel g = graph();
        g.SetYRange(10, 0);
        CDataSeries s = series(3, [](int) { return 5.0; });
        s.AppendNull();
        s.Append(6, u"V", 0, 0, u"t", u"VDC", 6);
        s.Append(7, u"V", 0, 0, u"t", u"VDC", 6);
        // One point per 50 pixels, and four points per column: neither joins across the gap.
        for (double xpp : { 1.0 / 50, 4.0 }) {
            for (bool envelope : { false, true }) {
                GraphDrawParams p { QRect(0, 0, 440, 250), xpp, 0.05 };
                p.envelope = envelope;
                const GraphScene scene = BuildGraphScene(g.State(0), s, p);
                const int gapLeft = GraphPointAt(g.State(0), p, 2, 5).x();
                const int gapRight = GraphPointAt(g.State(0), p, 4, 6).x();
                for (const QLine& l : scene.trace) {
                    const bool crosses = std::min(l.x1(), l.x2()) <= gapLeft && std::max(l.x1(), l.x2()) >= gapRight
                        && gapLeft != gapRight;
                    QVERIFY2(!crosses, qPrintable(QStringLiteral("xpp %1 envelope %2").arg(xpp).arg(envelope)));
                }
                if (xpp < 1.0 && !envelope)
                    QCOMPARE(scene.trace.size(), 3); // 0-1, 1-2, 4-5
            }
        }
    }

    void envelopeKeepsColumnsAndLinks()
    {
        CGraphModel g = graph();
        g.SetYRange(1, -1);
        const CDataSeries s = series(100000, [](int i) { return std::sin(i * 0.001) * (i % 7 == 0 ? 1.0 : 0.5); });
        g.GrowX(s.Size(), false, false);
        GraphDrawParams p { QRect(0, 0, 440, 250), g.State(0).m_dXPerPixel, g.State(0).m_dYPerPixel };
        const GraphScene env = BuildGraphScene(g.State(0), s, p);
        p.envelope = false;
        const GraphScene full = BuildGraphScene(g.State(0), s, p);
        QCOMPARE(full.trace.size(), 99999);
        QVERIFY(env.trace.size() < 2 * 310);
        // Same extent of pixels per column.
        auto extent = [](const GraphScene& sc) {
            QMap<int, QPair<int, int>> m;
            for (const QLine& l : sc.trace)
                for (const QPoint& q : { l.p1(), l.p2() }) {
                    auto it = m.find(q.x());
                    if (it == m.end())
                        m.insert(q.x(), { q.y(), q.y() });
                    else
                        *it = { std::min(it->first, q.y()), std::max(it->second, q.y()) };
                }
            return m;
        };
        QCOMPARE(extent(env), extent(full));
    }

    // A document long enough that whole summaries of every level fall in one column, of readings
    // that jump at every turn, with gaps and over-range marks on summary boundaries: each
    // column's trace is the extent of its points and the joins run between neighbouring columns'
    // last and first points, as found by visiting every point; markers lie within that extent
    // and include every point's.
    void envelopeOfLargeDocument()
    {
        const qsizetype n = (qsizetype(1) << CDataSeries::SpanBitsAt(CDataSeries::kSpanLevels - 1)) * 3 + 4321;
        CDataSeries s;
        s.Reserve(n);
        for (qsizetype i = 0; i < n; ++i) {
            if (i % 1000003 == 65536 || i == 2 * 4096)
                s.AppendNull();
            else if (i == 3 * 65536 - 1 || i == 1048576)
                s.Append(i % 2 ? 500000.0 : -500000.0, u"V", 0, 0, u"", u"VDC", 6);
            else
                s.Append(double((i * 7919) % 997) / 997.0 * 2.0 - 1.0, u"V", 0, 0, u"", u"VDC", 6);
        }
        CGraphModel g;
        g.Init(440, 250);
        g.SetYRange(1, -1);
        for (double xpp : { double(n) / 300.0, double(n) / 3000.0 }) {
            GraphDrawParams p { QRect(0, 0, 440, 250), xpp, g.State(0).m_dYPerPixel };
            const GraphScene scene = BuildGraphScene(g.State(0), s, p);

            // The same picture, point by point.
            QVector<QLine> want;
            QSet<quint64> pointMarks;
            bool open = false;
            int colX = 0, lastY = 0, top = 0, bottom = 0;
            const qsizetype end = std::min(n, qsizetype(std::trunc(scene.plot.width() * xpp + 2.0)));
            for (qsizetype i = 0; i < end; ++i) {
                if (s.IsNull(i)) {
                    if (open && top != bottom)
                        want.append(QLine(colX, top, colX, bottom));
                    open = false;
                    continue;
                }
                const QPoint pt = GraphPointAt(g.State(0), p, i, s.Value(i));
                pointMarks.insert(quint64(quint32(pt.x())) << 32 | quint32(pt.y()));
                if (open && pt.x() == colX) {
                    top = std::min(top, pt.y());
                    bottom = std::max(bottom, pt.y());
                } else {
                    if (open) {
                        if (top != bottom)
                            want.append(QLine(colX, top, colX, bottom));
                        want.append(QLine(colX, lastY, pt.x(), pt.y()));
                    }
                    open = true;
                    colX = pt.x();
                    top = bottom = pt.y();
                }
                lastY = pt.y();
            }
            if (open && top != bottom)
                want.append(QLine(colX, top, colX, bottom));
            QCOMPARE(scene.trace, want);

            QMap<int, QPair<int, int>> extent;
            for (const QLine& l : want) {
                for (const QPoint& q : { l.p1(), l.p2() }) {
                    auto it = extent.find(q.x());
                    if (it == extent.end())
                        extent.insert(q.x(), { q.y(), q.y() });
                    else
                        *it = { std::min(it->first, q.y()), std::max(it->second, q.y()) };
                }
            }
            QSet<quint64> drawn;
            QVector<QPoint> all = scene.marks;
            for (const QLine& run : scene.markRuns) {
                QVERIFY(run.x1() == run.x2() && run.y1() <= run.y2());
                for (int y = run.y1(); y <= run.y2(); ++y)
                    all.append(QPoint(run.x1(), y));
            }
            for (const QPoint& m : all) {
                drawn.insert(quint64(quint32(m.x())) << 32 | quint32(m.y()));
                QVERIFY(extent.contains(m.x()));
                QVERIFY(m.y() >= extent[m.x()].first && m.y() <= extent[m.x()].second);
            }
            QVERIFY(!scene.markRuns.isEmpty());
            const QRect plot = scene.plot.adjusted(-3, -3, 3, 3);
            for (quint64 k : pointMarks) {
                const QPoint m(int(qint32(quint32(k >> 32))), int(qint32(quint32(k))));
                if (plot.contains(m))
                    QVERIFY(drawn.contains(k));
            }
        }
    }

    void incrementalAppend()
    {
        CGraphModel g = graph();
        g.SetYRange(10, 0);
        CDataSeries s = series(5);
        QVERIFY(g.CanAppendIncrementally(s));
        s.Append(11, u"V", 0, 5, u"t", u"VDC", 6); // above the range
        QVERIFY(!g.CanAppendIncrementally(s));
        QVERIFY(!g.CanAppendIncrementally(CDataSeries()));
        CDataSeries t = series(5);
        g.SetZoomed(true);
        QVERIFY(!g.CanAppendIncrementally(t));
        g.SetZoomed(false);
        const GraphScene seg = BuildTraceSegment(g.State(0), t,
            GraphDrawParams { QRect(0, 0, 440, 250), g.State(0).m_dXPerPixel, g.State(0).m_dYPerPixel }, 3, 4);
        QCOMPARE(seg.trace.size(), 1);
        QCOMPARE(seg.marks.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestGraphModel)
#include "test_graph_model.moc"
