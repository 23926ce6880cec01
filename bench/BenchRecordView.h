#pragma once
// bench_record through the real data-log view (built where the program's windows are): readings
// recorded with the view shown on its graph tab, then on its list tab, each reading's time
// including the repaint it causes; the resident memory per reading of document, list and graph;
// and reopening the recorded file.
#include "bench/BenchMemory.h"
#include "datalog/DataListModel.h"
#include "datalog/DataListWindow.h"
#include "datalog/GraphDlg.h"
#include "datalog/MLogFile.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "recording/Recorder.h"

#include <QApplication>
#include <QFile>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace bench {

using ViewClock = std::chrono::steady_clock;

class OneViewHost : public IRecordingHost {
public:
    CMyOrvelDoc* doc = nullptr;
    CMyOrvelView* view = nullptr;
    std::vector<RecordingTarget> RecordingTargets() override
    {
        return view ? std::vector<RecordingTarget> { { doc, view } } : std::vector<RecordingTarget> {};
    }
    IRecordingView* OpenNewDocument() override { return view; }
};

inline int PercentileOf(std::vector<int> v, double p)
{
    if (v.empty())
        return 0;
    const size_t k = std::min(v.size() - 1, size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + long(k), v.end());
    return v[k];
}

inline double MsSince(ViewClock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(ViewClock::now() - t0).count();
}

// What the last readings left to paint is painted, as the event loop does before the next frame.
inline void PaintPending() { QApplication::processEvents(); }

// CPU time of this thread: a reading whose wall time is long while its CPU time is short waited
// for a core (the machine was busy), it did no work.
inline qint64 ThreadCpuNs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Page faults of this thread so far (a first touch of fresh memory is one).
inline long ThreadFaults()
{
#ifdef RUSAGE_THREAD
    rusage u {};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt + u.ru_majflt;
#else
    return 0;
#endif
}

struct ViewRun {
    std::vector<int> all; // ns per reading; painted readings include their repaint
    std::vector<int> painted; // the readings painted every `stride`th (or on a whole graph repaint)
    // The last readings, each painted as it comes: the meter sends a few readings a second and the
    // window paints at most every frame, so a paint shows one new row, not a stride of them.
    std::vector<int> eachPainted;
    std::vector<int> paintedCpu, eachPaintedCpu; // thread CPU ns of those
    int stride = 1;
    std::vector<int> cpu; // thread CPU ns per reading
    std::vector<bool> wasPainted;
    std::vector<int> faults; // page faults per reading
    qint64 bytesPerReading = -1;
    int fullPaints = 0;
};

// Records `count` readings into a shown view on `tab`. A reading is painted at once when the
// graph asked for a whole repaint (it grew its range) and every `stride`th reading otherwise, and
// each of the last readings (a window near the end, as at the meter's rate); a painted reading's
// time includes the paint. The recorded document is saved to `savePath`.
inline ViewRun RecordIntoView(int count, const std::vector<MeterEvent>& events, int tab, const QString& savePath)
{
    ViewRun run;
    const int stride = std::max(1, count / 20000);
    run.stride = stride;
    const int eachFrom = count - std::min(2000, count / 10);
    releaseFreed();
    const qint64 before = residentBytes();
    {
        auto doc = std::make_unique<CMyOrvelDoc>();
        auto view = std::make_unique<CMyOrvelView>(doc.get());
        view->resize(900, 600);
        view->show();
        view->OnInitialUpdate();
        view->SelectTab(tab);
        PaintPending();
        OneViewHost host;
        host.doc = doc.get();
        host.view = view.get();
        CRecorder rec(host, [] { return true; });
        rec.SetMaxReadings(count);
        rec.OnStart();
        run.all.reserve(size_t(count));
        run.cpu.reserve(size_t(count));
        run.wasPainted.reserve(size_t(count));
        run.faults.reserve(size_t(count));
        run.painted.reserve(size_t(count / stride + 4096));
        run.paintedCpu.reserve(run.painted.capacity());
        CGraphDlg* graph = view->Graph();
        for (int i = 0; i < count; ++i) {
            const int incremental = graph->IncrementalDraws();
            const long f0 = ThreadFaults();
            const qint64 c0 = ThreadCpuNs();
            const auto t0 = ViewClock::now();
            rec.OnMeterEvent(events[size_t(i) % events.size()]);
            const bool paint = i % stride == 0 || i >= eachFrom
                || (tab == CMyOrvelView::TabGraph && graph->IncrementalDraws() == incremental);
            if (paint)
                PaintPending();
            const int ns = int(std::chrono::duration_cast<std::chrono::nanoseconds>(ViewClock::now() - t0).count());
            run.all.push_back(ns);
            run.cpu.push_back(int(ThreadCpuNs() - c0));
            run.faults.push_back(int(ThreadFaults() - f0));
            run.wasPainted.push_back(paint);
            if (i >= eachFrom) {
                run.eachPainted.push_back(ns);
                run.eachPaintedCpu.push_back(run.cpu.back());
            } else if (paint) {
                run.painted.push_back(ns);
                run.paintedCpu.push_back(run.cpu.back());
            }
        }
        PaintPending();
        run.fullPaints = graph->FullPaints();
        if (doc->m_arrSeries[0].Size() != count || view->ListModel()->rowCount() != count)
            std::fprintf(stderr, "view recorded %lld points, %d rows of %d\n",
                static_cast<long long>(doc->m_arrSeries[0].Size()), view->ListModel()->rowCount(), count);
        releaseFreed();
        const qint64 after = residentBytes();
        const qint64 timing
            = qint64((run.all.capacity() + run.painted.capacity() + run.eachPainted.capacity() + run.cpu.capacity()
                         + run.paintedCpu.capacity() + run.eachPaintedCpu.capacity() + run.faults.capacity())
                    * sizeof(int)
                + run.wasPainted.capacity() / 8);
        if (before >= 0 && after >= 0)
            run.bytesPerReading = (after - before - timing) / count;
        if (!savePath.isEmpty())
            mlog::Save(savePath, *doc);
    }
    return run;
}

inline void PrintRun(const char* name, const ViewRun& r)
{
    std::printf("view on its %-5s tab: every reading  p50 %d ns  p99 %d ns  worst %d ns\n", name,
        PercentileOf(r.all, 0.5), PercentileOf(r.all, 0.99), *std::max_element(r.all.begin(), r.all.end()));
    std::printf("  painted readings (%zu, one in %d: a paint shows that many new rows; repaint included)  p50 %d ns  "
                "p99 %d ns  worst %d ns\n",
        r.painted.size(), r.stride, PercentileOf(r.painted, 0.5), PercentileOf(r.painted, 0.99),
        r.painted.empty() ? 0 : *std::max_element(r.painted.begin(), r.painted.end()));
    if (!r.paintedCpu.empty())
        std::printf("    their thread CPU  p50 %d ns  p99 %d ns  worst %d ns\n", PercentileOf(r.paintedCpu, 0.5),
            PercentileOf(r.paintedCpu, 0.99), *std::max_element(r.paintedCpu.begin(), r.paintedCpu.end()));
    if (!r.eachPainted.empty())
        std::printf("  each of the last %zu readings painted as it comes (one new row, the meter's rate)  p50 %d ns  "
                    "p99 %d ns  worst %d ns\n",
            r.eachPainted.size(), PercentileOf(r.eachPainted, 0.5), PercentileOf(r.eachPainted, 0.99),
            *std::max_element(r.eachPainted.begin(), r.eachPainted.end()));
    if (!r.eachPaintedCpu.empty())
        std::printf("    their thread CPU  p50 %d ns  p99 %d ns  worst %d ns\n", PercentileOf(r.eachPaintedCpu, 0.5),
            PercentileOf(r.eachPaintedCpu, 0.99), *std::max_element(r.eachPaintedCpu.begin(), r.eachPaintedCpu.end()));
    std::printf("  thread CPU per reading  p99 %d ns  worst %d ns (a wall time far above it waited for a core)\n",
        PercentileOf(r.cpu, 0.99), *std::max_element(r.cpu.begin(), r.cpu.end()));
    std::printf("  worst / 16 ms frame %.3f   p99 with repaint / 2 ms %.3f   full graph repaints %d\n",
        std::max(*std::max_element(r.all.begin(), r.all.end()), PercentileOf(r.painted, 1.0)) / 16e6,
        PercentileOf(r.painted, 0.99) / 2e6, r.fullPaints);
    // The readings that took the most CPU: which one, whether it painted, how many pages it touched
    // for the first time, and where it falls in the blocks of records and of time characters.
    std::vector<int> order(r.cpu.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    const size_t top = std::min<size_t>(5, order.size());
    std::partial_sort(order.begin(), order.begin() + long(top), order.end(),
        [&r](int a, int b) { return r.cpu[size_t(a)] > r.cpu[size_t(b)]; });
    for (size_t k = 0; k < top; ++k) {
        const size_t i = size_t(order[k]);
        std::printf("  CPU-heaviest #%zu: reading %zu  %d ns CPU  %s  %d page faults  (record block +%lld)\n", k + 1, i,
            r.cpu[i], r.wasPainted[i] ? "painted" : "not painted", r.faults[i],
            static_cast<long long>(qsizetype(i) % CDataSeries::kChunkPoints));
    }
    long faults = 0;
    for (int f : r.faults)
        faults += f;
    std::printf("  page faults while recording %ld\n", faults);
    if (r.bytesPerReading >= 0)
        std::printf("  resident memory per reading (document, list, graph)  %lld bytes\n",
            static_cast<long long>(r.bytesPerReading));
}

struct ListPageTimes {
    int rows = 0;
    double medianMs = 0, bestMs = 0;
    double stockMedianMs = 0; // the same pages drawn by the stock item delegate
};

inline ListPageTimes ListPages(CMyOrvelView& view);

// Whole repaints of the list's page at pages spread over the list (the view on its list tab), with
// the list's own cell painter and, side by side, with the stock delegate.
inline ListPageTimes ListPagesSideBySide(CMyOrvelView& view)
{
    ListPageTimes t = ListPages(view);
    QAbstractItemDelegate* own = view.List()->itemDelegate();
    QStyledItemDelegate stock;
    view.List()->setItemDelegate(&stock);
    t.stockMedianMs = ListPages(view).medianMs;
    view.List()->setItemDelegate(own);
    return t;
}

inline ListPageTimes ListPages(CMyOrvelView& view)
{
    CDataListWindow* window = view.ListWindow();
    std::vector<double> ms;
    const int pages = 60;
    for (int i = 0; i < pages; ++i) {
        window->SetFirst(int(qint64(window->LastFirst()) * i / (pages - 1)));
        PaintPending();
        const auto t0 = ViewClock::now();
        view.List()->viewport()->repaint();
        ms.push_back(MsSince(t0));
    }
    std::sort(ms.begin(), ms.end());
    return ListPageTimes { window->PageRows(), ms[ms.size() / 2], ms.front() };
}

inline double ThreadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct BackgroundOpen {
    double firstPaintMs = 0; // open to the first graph painted with points
    qsizetype firstPoints = 0; // points that graph showed
    double wholeMs = 0; // open to the graph of the whole file painted
    double worstTurnMs = 0, p99TurnMs = 0; // the GUI thread's CPU per event-loop turn meanwhile
    double nextTurnsMs[2] = {}; // the second and third busiest
    size_t turns = 0;
};

// Opening a file as the window opens a large one: read in the background into a shown view, until
// the graph of the whole file is painted. The GUI thread's busy time is taken per turn of its
// event loop as CPU time, so another program's load does not count.
inline BackgroundOpen OpenInBackground(const QString& path)
{
    BackgroundOpen r;
    // A timer of 1 ms fires once in every turn of the loop while the thread is busy: the thread's
    // CPU time between two of its ticks is the work of one turn.
    std::vector<double> turns;
    double lastTick = ThreadCpuMs();
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = ThreadCpuMs();
        turns.push_back(now - lastTick);
        lastTick = now;
    });
    ticker.start();
    const auto t0 = ViewClock::now();
    CMyOrvelDoc doc;
    CMyOrvelView view(&doc);
    view.resize(900, 600);
    view.show();
    int paintsAtFirst = -1, paintsAtWhole = -1;
    bool loaded = false;
    QObject::connect(&doc, &CMyOrvelDoc::loadProgress, [&] {
        if (paintsAtFirst < 0)
            paintsAtFirst = view.Graph()->FullPaints();
    });
    QObject::connect(&doc, &CMyOrvelDoc::contentsLoaded, [&] {
        loaded = true;
        paintsAtWhole = view.Graph()->FullPaints();
    });
    QObject::connect(&doc, &CMyOrvelDoc::loadFailed, [&](const QString& m) {
        std::fprintf(stderr, "%s\n", qPrintable(m));
        loaded = true;
    });
    // The turns counted are those of the reading: the window's own making is not.
    QApplication::processEvents();
    turns.clear();
    lastTick = ThreadCpuMs();
    doc.BeginOpenDocument(path);
    while (!(loaded && view.Graph()->FullPaints() > paintsAtWhole)) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (r.firstPaintMs == 0 && paintsAtFirst >= 0 && view.Graph()->FullPaints() > paintsAtFirst) {
            r.firstPaintMs = MsSince(t0);
            r.firstPoints = doc.m_arrSeries[0].Size();
        }
        if (paintsAtWhole < 0 && loaded)
            break; // failed
    }
    r.wholeMs = MsSince(t0);
    ticker.stop();
    r.turns = turns.size();
    if (!turns.empty()) {
        std::sort(turns.begin(), turns.end());
        r.worstTurnMs = turns.back();
        for (size_t k = 0; k < 2 && k + 2 <= turns.size(); ++k)
            r.nextTurnsMs[k] = turns[turns.size() - 2 - k];
        r.p99TurnMs = turns[size_t(0.99 * double(turns.size() - 1))];
    }
    return r;
}

// Opening the recorded file in a new view until its graph is painted, against copying the file:
// first read in the background as the window opens a large file, then read at once as a small
// one is; then a full redraw of the graph and of a list page in the middle.
inline void Reopen(const QString& path)
{
    const QString copy = path + QStringLiteral(".copy");
    QFile::remove(copy);
    auto t0 = ViewClock::now();
    QFile::copy(path, copy);
    const double copyMs = MsSince(t0);
    QFile::remove(copy);

    const BackgroundOpen bg = OpenInBackground(path);
    releaseFreed();

    t0 = ViewClock::now();
    CMyOrvelDoc doc;
    if (!doc.OnOpenDocument(path)) {
        std::fprintf(stderr, "cannot reopen %s\n", qPrintable(path));
        return;
    }
    const double openMs = MsSince(t0);
    CMyOrvelView view(&doc);
    view.resize(900, 600);
    view.show();
    for (int i = 0; i < 1000 && view.Graph()->FullPaints() == 0; ++i)
        PaintPending();
    const double firstPaintMs = MsSince(t0);

    double graphMs = 1e30;
    for (int round = 0; round < 3; ++round) {
        view.Graph()->Invalidate();
        t0 = ViewClock::now();
        view.Graph()->repaint();
        graphMs = std::min(graphMs, MsSince(t0));
    }
    view.SelectTab(CMyOrvelView::TabList);
    PaintPending();
    t0 = ViewClock::now();
    view.ListWindow()->SetFirst(view.ListWindow()->LastFirst() / 2);
    view.List()->viewport()->repaint();
    const double listMs = MsSince(t0);
    const ListPageTimes normal = ListPagesSideBySide(view);
    // A maximised window on a large screen: the most rows a page paints.
    view.resize(1900, 1040);
    PaintPending();
    const ListPageTimes big = ListPagesSideBySide(view);

    std::printf("reopen: copy of the file %.0f ms\n", copyMs);
    std::printf("  read in the background: first graph painted %.0f ms (%lld points), ratio to the copy %.2f\n",
        bg.firstPaintMs, static_cast<long long>(bg.firstPoints), bg.firstPaintMs / copyMs);
    std::printf("  read in the background: the whole file painted %.0f ms, ratio to the copy %.2f\n", bg.wholeMs,
        bg.wholeMs / copyMs);
    std::printf("  GUI thread CPU per loop turn meanwhile: worst %.2f ms (then %.2f, %.2f), p99 %.2f ms (%zu turns; "
                "16 ms frame)\n",
        bg.worstTurnMs, bg.nextTurnsMs[0], bg.nextTurnsMs[1], bg.p99TurnMs, bg.turns);
    std::printf("  read at once: first painted graph %.0f ms, ratio to the copy %.2f (read %.0f ms, the view "
                "up and painted %.0f ms later)\n",
        firstPaintMs, firstPaintMs / copyMs, openMs, firstPaintMs - openMs);
    std::printf("  then a full graph redraw %.2f ms, a list page in the middle %.2f ms (16 ms frame)\n", graphMs,
        listMs);
    for (const auto& [t, size] : { std::pair { normal, "900x600" }, std::pair { big, "1900x1040" } })
        std::printf("  list page repaint (%d rows, %s)  median %.3f ms  best %.3f ms;  stock delegate %.3f ms, "
                    "ratio %.2f\n",
            t.rows, size, t.medianMs, t.bestMs, t.stockMedianMs, t.stockMedianMs / t.medianMs);
}

// Both tabs, or only the list tab when `listOnly`.
inline void RecordIntoViews(int count, const std::vector<MeterEvent>& events, const QString& folder, bool listOnly)
{
    const QString file = folder + QStringLiteral("/view.mLog");
    if (!listOnly)
        PrintRun("graph", RecordIntoView(count, events, CMyOrvelView::TabGraph, file));
    PrintRun("list", RecordIntoView(count, events, CMyOrvelView::TabList, listOnly ? file : QString()));
    Reopen(file);
}

} // namespace bench
