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
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
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

struct ViewRun {
    std::vector<int> all; // ns per reading; painted readings include their repaint
    std::vector<int> painted;
    std::vector<int> cpu; // thread CPU ns per reading
    qint64 bytesPerReading = -1;
    int fullPaints = 0;
};

// Records `count` readings into a shown view on `tab`. A reading is painted at once when the
// graph asked for a whole repaint (it grew its range) and every `stride`th reading otherwise; a
// painted reading's time includes the paint. The recorded document is saved to `savePath`.
inline ViewRun RecordIntoView(int count, const std::vector<MeterEvent>& events, int tab, const QString& savePath)
{
    ViewRun run;
    const int stride = std::max(1, count / 20000);
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
        run.painted.reserve(size_t(count / stride + 4096));
        CGraphDlg* graph = view->Graph();
        for (int i = 0; i < count; ++i) {
            const int incremental = graph->IncrementalDraws();
            const qint64 c0 = ThreadCpuNs();
            const auto t0 = ViewClock::now();
            rec.OnMeterEvent(events[size_t(i) % events.size()]);
            const bool paint
                = i % stride == 0 || (tab == CMyOrvelView::TabGraph && graph->IncrementalDraws() == incremental);
            if (paint)
                PaintPending();
            const int ns = int(std::chrono::duration_cast<std::chrono::nanoseconds>(ViewClock::now() - t0).count());
            run.all.push_back(ns);
            run.cpu.push_back(int(ThreadCpuNs() - c0));
            if (paint)
                run.painted.push_back(ns);
        }
        PaintPending();
        run.fullPaints = graph->FullPaints();
        if (doc->m_arrSeries[0].Size() != count || view->ListModel()->rowCount() != count)
            std::fprintf(stderr, "view recorded %lld points, %d rows of %d\n",
                static_cast<long long>(doc->m_arrSeries[0].Size()), view->ListModel()->rowCount(), count);
        releaseFreed();
        const qint64 after = residentBytes();
        const qint64 timing = qint64((run.all.capacity() + run.painted.capacity() + run.cpu.capacity()) * sizeof(int));
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
    std::printf("  painted readings (%zu, repaint included)  p50 %d ns  p99 %d ns  worst %d ns\n", r.painted.size(),
        PercentileOf(r.painted, 0.5), PercentileOf(r.painted, 0.99),
        r.painted.empty() ? 0 : *std::max_element(r.painted.begin(), r.painted.end()));
    std::printf("  thread CPU per reading  p99 %d ns  worst %d ns (a wall time far above it waited for a core)\n",
        PercentileOf(r.cpu, 0.99), *std::max_element(r.cpu.begin(), r.cpu.end()));
    std::printf("  worst / 16 ms frame %.3f   p99 with repaint / 2 ms %.3f   full graph repaints %d\n",
        std::max(*std::max_element(r.all.begin(), r.all.end()), PercentileOf(r.painted, 1.0)) / 16e6,
        PercentileOf(r.painted, 0.99) / 2e6, r.fullPaints);
    if (r.bytesPerReading >= 0)
        std::printf("  resident memory per reading (document, list, graph)  %lld bytes\n",
            static_cast<long long>(r.bytesPerReading));
}

// Opening the recorded file in a new view until its graph is painted, against copying the file;
// then a full redraw of the graph and of a list page in the middle.
inline void Reopen(const QString& path)
{
    const QString copy = path + QStringLiteral(".copy");
    QFile::remove(copy);
    auto t0 = ViewClock::now();
    QFile::copy(path, copy);
    const double copyMs = MsSince(t0);
    QFile::remove(copy);

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

    std::printf("reopen: copy of the file %.0f ms, open to the first painted graph %.0f ms, ratio %.2f\n", copyMs,
        firstPaintMs, firstPaintMs / copyMs);
    std::printf("  (the document read in %.0f ms, the view up and painted %.0f ms later)\n", openMs,
        firstPaintMs - openMs);
    std::printf("  then a full graph redraw %.2f ms, a list page in the middle %.2f ms (16 ms frame)\n", graphMs,
        listMs);
}

inline void RecordIntoViews(int count, const std::vector<MeterEvent>& events, const QString& folder)
{
    const QString file = folder + QStringLiteral("/view.mLog");
    PrintRun("graph", RecordIntoView(count, events, CMyOrvelView::TabGraph, file));
    PrintRun("list", RecordIntoView(count, events, CMyOrvelView::TabList, QString()));
    Reopen(file);
}

} // namespace bench
