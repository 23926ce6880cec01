// Recording a million live readings: the cost of one reading through the recording rules (the
// point, its list row, the range rules), with and without the crash journal, beside the cost of
// adding the bare point to a document; the per-reading latency (median, p99, worst); and the
// resident memory a recorded point takes beside a point of the same document loaded from its file.
// Where the program's windows are built, the same readings go through the real data-log view as
// well, shown on its graph tab and then on its list tab: the per-reading time with the view's
// repaint, the resident memory per reading of document, list and graph together, and reopening
// the recorded file: the time to the first painted graph against the time to copy the file, and
// a full redraw of the graph and of the list afterwards.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_record [readings] [view|list]   (default 1000000)
//   QT_QPA_PLATFORM=offscreen build/bench/bench_record [readings] reopen [file]
// With "view" only the figures of the real view are taken (they are the long part); with "list"
// only those of its list tab. With "reopen" only the reopening is timed, of `file` (default: in
// the temporary folder), which is written first when it does not exist yet and kept, so that the
// next run reuses it.
#include "bench/BenchMemory.h"
#include "datalog/MLogFile.h"
#include "recording/RecordingJournal.h"
#include "recording/Recorder.h"
#include "recording/RecordingFakes.h"

#include <QCoreApplication>
#ifdef BENCH_RECORD_VIEW
#include "bench/BenchRecordView.h"
#include <QApplication>
#endif
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

using bench::releaseFreed;
using bench::residentBytes;

// The decoder's events of a slowly drifting VDC reading, one a third of a second.
std::vector<MeterEvent> Events(int count)
{
    std::vector<MeterEvent> out;
    out.reserve(size_t(std::min(count, 4096)));
    for (int i = 0; i < std::min(count, 4096); ++i) {
        MeterEvent e;
        e.m_nMode = 1;
        e.m_data.m_strFunction = QStringLiteral("VDC");
        e.m_data.m_strUnit = QStringLiteral("VDC");
        e.m_data.m_fValue = 5.0f + 0.001f * float(i % 97);
        e.m_data.m_fLimit = 6.0f;
        e.m_data.m_nDecimals = 3;
        const int s = i / 3;
        e.m_strDate = QStringLiteral("5/12/26 %1:%2:%3").arg(9 + s / 3600).arg(s / 60 % 60).arg(s % 60);
        out.push_back(e);
    }
    return out;
}

struct Run {
    double secs = 0;
    std::vector<int> ns; // per reading
    qint64 residentPerPoint = -1;
};

Run RecordAll(int count, const std::vector<MeterEvent>& events, const QString& journalFolder)
{
    releaseFreed();
    const qint64 before = residentBytes();
    Run run;
    {
        FakeHost host;
        CRecorder rec(host, [] { return true; });
        rec.SetMaxReadings(count);
        std::unique_ptr<CRecordingJournals> journals;
        if (!journalFolder.isEmpty()) {
            journals = std::make_unique<CRecordingJournals>(journalFolder);
            QObject::connect(&rec, &CRecorder::livePointAdded, journals.get(), &CRecordingJournals::OnLivePoint);
        }
        rec.OnStart();
        // The stand-in view keeps no rows: the list is the real view's memory, not the document's.
        run.ns.reserve(size_t(count));
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const auto t0 = Clock::now();
            rec.OnMeterEvent(events[size_t(i) % events.size()]);
            run.ns.push_back(int(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count()));
            if (host.View(0).rows.size() > 1024)
                host.View(0).rows.clear();
        }
        run.secs = std::chrono::duration<double>(Clock::now() - start).count();
        std::vector<int> timing;
        timing.swap(run.ns);
        releaseFreed();
        const qint64 after = residentBytes();
        if (before >= 0 && after >= 0)
            run.residentPerPoint = (after - before) / count;
        run.ns.swap(timing);
        if (host.Doc(0).m_arrSeries[0].Size() != count)
            std::fprintf(
                stderr, "recorded %lld of %d\n", static_cast<long long>(host.Doc(0).m_arrSeries[0].Size()), count);
        if (journals)
            journals->SyncAll();
    }
    return run;
}

int Percentile(std::vector<int> v, double p)
{
    if (v.empty())
        return 0;
    const size_t k = std::min(v.size() - 1, size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + long(k), v.end());
    return v[k];
}

} // namespace

int main(int argc, char** argv)
{
#ifdef BENCH_RECORD_VIEW
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    const std::vector<MeterEvent> events = Events(count);
    QTemporaryDir dir;
#ifdef BENCH_RECORD_VIEW
    if (argc > 2 && (QByteArray(argv[2]) == "view" || QByteArray(argv[2]) == "list")) {
        std::printf("readings                              %d\n", count);
        bench::RecordIntoViews(count, events, dir.path(), QByteArray(argv[2]) == "list");
        return 0;
    }
    if (argc > 2 && QByteArray(argv[2]) == "reopen") {
        const QString file = argc > 3 ? QString::fromLocal8Bit(argv[3])
                                      : QDir::temp().filePath(QStringLiteral("bench_record-reopen-%1.mLog").arg(count));
        if (!QFile::exists(file)) {
            CDataLog log;
            for (int i = 0; i < count; ++i) {
                const MeterEvent& e = events[size_t(i) % events.size()];
                log.AddPoint(0, e.m_data.m_fValue, e.m_data.m_strUnit, 0.0, i, e.m_strDate, e.m_data.m_strFunction,
                    e.m_data.m_fLimit, e.m_data.m_fValue);
            }
            QString message;
            if (!mlog::Save(file, log, &message)) {
                std::fprintf(stderr, "%s\n", qPrintable(message));
                return 1;
            }
        }
        std::printf("readings                              %d (%s)\n", count, qPrintable(file));
        bench::Reopen(file);
        return 0;
    }
#endif

    // The bare document: AddPoint alone (best of two, the first pays for warming up).
    double bareSecs = 1e30;
    for (int round = 0; round < 2; ++round) {
        CDataLog log;
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            const MeterEvent& e = events[size_t(i) % events.size()];
            log.AddPoint(0, e.m_data.m_fValue, e.m_data.m_strUnit, 0.0, i, e.m_strDate, e.m_data.m_strFunction,
                e.m_data.m_fLimit, e.m_data.m_fValue);
        }
        bareSecs = std::min(bareSecs, std::chrono::duration<double>(Clock::now() - start).count());
    }

    const Run plain = RecordAll(count, events, QString());
    const Run journalled = RecordAll(count, events, dir.filePath(QStringLiteral("journal")));

    // The same document saved and loaded: its resident memory per point.
    qint64 loadedPerPoint = -1;
    {
        CDataLog log;
        for (int i = 0; i < count; ++i) {
            const MeterEvent& e = events[size_t(i) % events.size()];
            log.AddPoint(0, e.m_data.m_fValue, e.m_data.m_strUnit, 0.0, i, e.m_strDate, e.m_data.m_strFunction,
                e.m_data.m_fLimit, e.m_data.m_fValue);
        }
        const QString file = dir.filePath(QStringLiteral("run.mLog"));
        mlog::Save(file, log);
        log = CDataLog();
        releaseFreed();
        const qint64 before = residentBytes();
        CDataLog loaded;
        mlog::Load(file, loaded);
        releaseFreed();
        const qint64 after = residentBytes();
        if (before >= 0 && after >= 0)
            loadedPerPoint = (after - before) / count;
    }

    auto perReading = [count](double secs) { return secs * 1e9 / count; };
    std::printf("readings                              %d\n", count);
    std::printf("bare AddPoint                         %.0f ns per reading\n", perReading(bareSecs));
    std::printf("recorded (no journal)                 %.0f ns per reading\n", perReading(plain.secs));
    std::printf("recorded with journal                 %.0f ns per reading\n", perReading(journalled.secs));
    std::printf("recording / bare AddPoint             %.2f\n", plain.secs / bareSecs);
    std::printf("journal overhead (with / without)     %.2f\n", journalled.secs / plain.secs);
    std::printf("latency without journal  p50 %d ns  p99 %d ns  worst %d ns\n", Percentile(plain.ns, 0.5),
        Percentile(plain.ns, 0.99), *std::max_element(plain.ns.begin(), plain.ns.end()));
    std::printf("latency with journal     p50 %d ns  p99 %d ns  worst %d ns\n", Percentile(journalled.ns, 0.5),
        Percentile(journalled.ns, 0.99), *std::max_element(journalled.ns.begin(), journalled.ns.end()));
    std::printf("p99 with journal / 16 ms frame budget %.5f\n", Percentile(journalled.ns, 0.99) / 16e6);
    if (plain.residentPerPoint >= 0 && loadedPerPoint > 0) {
        std::printf(
            "resident memory per recorded point    %lld bytes\n", static_cast<long long>(plain.residentPerPoint));
        std::printf("resident memory per loaded point      %lld bytes\n", static_cast<long long>(loadedPerPoint));
        std::printf("recorded / loaded memory per point    %.2f\n", double(plain.residentPerPoint) / loadedPerPoint);
    }
    std::printf("(the figures above leave out the data-log view: the view there has no widgets)\n");
#ifdef BENCH_RECORD_VIEW
    bench::RecordIntoViews(count, events, dir.path(), false);
#endif
    return 0;
}
