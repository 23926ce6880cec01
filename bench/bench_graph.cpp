// Redrawing the trend graph: the drawing step with the per-column envelope against the plain
// polyline through every point, at 20,000 and 1,000,000 points, measured side by side in one run;
// a zoomed window of the million; ten million readings that jump at every turn; and opening a 1,000,000-point file up to the first painted
// picture of its view.
//
//   bench_graph [repeats]
#include "datalog/GraphDlg.h"
#include "datalog/GraphPainter.h"
#include "datalog/MLogFile.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// CPU time of this thread: on a machine shared with other work the wall time overstates the cost.
double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Timing {
    double wall, cpu;
};

constexpr int kWidth = 1200, kHeight = 700; // a maximised view's graph on a full-HD screen

void fillSeries(CDataSeries& s, int n)
{
    s.Reserve(n, qsizetype(n) * 19);
    for (int i = 0; i < n; ++i) {
        const double v = std::sin(i * 6.0 / n * 6.2832) * 3 + std::sin(i * 0.37) * 0.4 + (i % 1013 == 0 ? 1.5 : 0);
        s.Append(v, u"VDC", 0, i, u"2026/05/12 14:07:33", u"VDC", 6);
    }
}

// Median milliseconds (wall and thread CPU) of one full redraw: scene + painting into the picture.
bool marks = true;

Timing redraw(const CGraphModel& m, const CDataSeries& s, bool envelope, int repeats)
{
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    std::vector<double> times, cpus;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer t;
        t.start();
        const double c0 = threadCpuMs();
        img.fill(GraphColor::PlotBack);
        QPainter p(&img);
        GraphDrawParams params { QRect(0, 0, kWidth, kHeight), m.State(0).m_dXPerPixel, m.State(0).m_dYPerPixel };
        params.envelope = envelope;
        params.maskPoints = marks;
        GraphPainter::Render(p, BuildGraphScene(m.State(0), s, params), GraphColors());
        p.end();
        times.push_back(t.nsecsElapsed() / 1e6);
        cpus.push_back(threadCpuMs() - c0);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpus.begin(), cpus.end());
    return { times[times.size() / 2], cpus[cpus.size() / 2] };
}

CGraphModel fitted(const CDataSeries& s)
{
    CGraphModel m;
    m.Init(kWidth, kHeight);
    m.SetYRange(4.5, -4.5);
    m.GrowX(s.Size(), false, false);
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    std::printf("graph %d x %d, median of %d redraws; wall ms / thread CPU ms\n", kWidth, kHeight, repeats);
    std::printf("%-34s %19s %19s %8s\n", "points", "envelope", "full polyline", "ratio");
    CDataSeries small, large;
    fillSeries(small, 20000);
    fillSeries(large, 1000000);
    for (bool withMarks : { true, false }) {
        marks = withMarks;
        const char* tag = withMarks ? "marks" : "no marks";
        for (const CDataSeries* s : { &small, &large }) {
            const CGraphModel m = fitted(*s);
            const Timing env = redraw(m, *s, true, repeats);
            const Timing full = redraw(m, *s, false, std::max(1, repeats / 3));
            std::printf("%-8lld %-25s %9.2f / %7.2f %9.2f / %7.2f %7.1fx\n", static_cast<long long>(s->Size()), tag,
                env.wall, env.cpu, full.wall, full.cpu, full.cpu / env.cpu);
        }
        CGraphModel m = fitted(large);
        m.ZoomX(QPoint(CGraphModel::kLeft + 400, 100), QPoint(CGraphModel::kLeft + 460, 100)); // 1/18 of the points
        const Timing env = redraw(m, large, true, repeats);
        const Timing full = redraw(m, large, false, std::max(1, repeats / 3));
        std::printf("%-8s %-25s %9.2f / %7.2f %9.2f / %7.2f %7.1fx\n", "1000000", withMarks ? "marks, zoomed x18" : "no marks, zoomed x18",
            env.wall, env.cpu, full.wall, full.cpu, full.cpu / env.cpu);
    }

    // Ten million readings that jump the whole height every 97 (as bench_record records them):
    // no run of them is smooth, so only the summaries over longer spans spare visiting each.
    {
        CDataSeries jumpy;
        jumpy.Reserve(10000000);
        for (int i = 0; i < 10000000; ++i)
            jumpy.Append(5.0 + 0.001 * (i % 97), u"VDC", 0, i, u"", u"VDC", 6);
        CGraphModel m;
        m.Init(kWidth, kHeight);
        m.SetYRange(5.1, 4.99);
        m.GrowX(jumpy.Size(), false, false);
        for (bool withMarks : { true, false }) {
            marks = withMarks;
            const Timing env = redraw(m, jumpy, true, repeats);
            const Timing full = redraw(m, jumpy, false, 1);
            std::printf("%-8s %-25s %9.2f / %7.2f %9.2f / %7.2f %7.1fx   envelope / 16 ms frame %.2f\n", "10000000",
                withMarks ? "jumpy, marks" : "jumpy, no marks", env.wall, env.cpu, full.wall, full.cpu,
                full.cpu / env.cpu, env.cpu / 16.0);
            // Of which the picture's numbers (the rest is painting them).
            GraphDrawParams params { QRect(0, 0, kWidth, kHeight), m.State(0).m_dXPerPixel, m.State(0).m_dYPerPixel };
            params.maskPoints = withMarks;
            std::vector<double> cpus;
            qsizetype lines = 0, points = 0;
            for (int r = 0; r < repeats; ++r) {
                const double c0 = threadCpuMs();
                const GraphScene scene = BuildGraphScene(m.State(0), jumpy, params);
                cpus.push_back(threadCpuMs() - c0);
                lines = scene.trace.size();
                points = scene.marks.size();
                for (const QLine& run : scene.markRuns)
                    points += run.y2() - run.y1() + 1;
            }
            std::sort(cpus.begin(), cpus.end());
            std::printf("         of which the scene (%lld lines, %lld marks)  %.2f ms CPU\n", static_cast<long long>(lines),
                static_cast<long long>(points), cpus[cpus.size() / 2]);
        }
    }

    // Opening a file of a million points up to the first picture of its graph.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("million.mLog"));
    {
        CDataLog log;
        fillSeries(log.m_arrSeries[0], 1000000);
        log.m_nDataNumber = 1000000;
        log.m_dMax = 3.5;
        log.m_dMin = -3.5;
        if (!mlog::Save(path, log))
            return 1;
    }
    QElapsedTimer t;
    t.start();
    CMyOrvelDoc doc;
    if (!doc.OnOpenDocument(path))
        return 1;
    const double loaded = t.nsecsElapsed() / 1e6;
    CMyOrvelView view(&doc);
    view.resize(kWidth + 60, kHeight + 80);
    view.OnInitialUpdate();
    const QPixmap first = view.Graph()->grab();
    const double painted = t.nsecsElapsed() / 1e6;
    std::printf("open 1000000-point file to first paint: %.0f ms (load %.0f ms, view and paint %.0f ms)\n", painted,
        loaded, painted - loaded);
    return first.isNull() ? 1 : 0;
}
