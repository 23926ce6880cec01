// The exports of a large data-log document (JSON, CSV, the ".xls" text, the workbook): the
// extra memory at their peak and their time, formatting the whole text first and then writing
// it, against writing it in chunks as it is formatted, side by side in one run.
//
//   bench_export [points] [folder]
#include "bench/BenchMemory.h"
#include "datalog/DataLogExport.h"
#include "datalog/DataLogText.h"
#include "datalog/MLogJson.h"
#include "platform/ArchiveFile.h"
#include "platform/SafeSave.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

using bench::releaseFreed;
using bench::residentBytes;

// The process's peak resident size since the last reset; -1 where the system does not tell.
qint64 peakBytes()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

struct Figure {
    double secs = 0;
    qint64 extra = -1; // bytes above the resident size before
};

Figure measure(const std::function<bool()>& fn)
{
    releaseFreed();
    resetPeak();
    const qint64 before = residentBytes();
    QElapsedTimer t;
    t.start();
    if (!fn())
        std::fprintf(stderr, "a write failed\n");
    Figure f;
    f.secs = t.nsecsElapsed() / 1e9;
    const qint64 peak = peakBytes();
    if (before >= 0 && peak >= 0)
        f.extra = peak - before;
    return f;
}

void row(const char* name, const Figure& whole, const Figure& streamed)
{
    std::printf("%-6s whole %.3f s %7.1f MB | streamed %.3f s %7.1f MB | memory whole/streamed %6.1f  time "
                "streamed/whole %.2f\n",
        name, whole.secs, whole.extra / 1e6, streamed.secs, streamed.extra / 1e6,
        streamed.extra > 0 ? double(whole.extra) / double(streamed.extra) : 0.0, streamed.secs / whole.secs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int points = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench_export-XXXXXX") : QString());
    const QString out = tmp.filePath(QStringLiteral("out"));

    CDataLog log;
    for (int i = 0; i < points; ++i) {
        const int s = i % 86400;
        const QString time
            = QString::asprintf("2024/03/%.2d %.2d:%.2d:%.2d", 1 + i / 86400 % 28, s / 3600, s / 60 % 60, s % 60);
        const double v = (i % 2000) * 0.25 - 250.0;
        log.AddPoint(0, v, QStringLiteral("mVDC"), 0.0, i, time, QStringLiteral("mVDC"), 600.0f, float(v));
    }
    std::printf("points %d\n", points);

    using datalog_export::Format;
    row("json",
        measure([&] { return archive::SaveBytes(out, mlog::ToJson(log)); }),
        measure([&] {
            CSafeSave save(out);
            return save.Open() && mlog::WriteJson(log, [&save](const char* d, qint64 n) { return save.Write(d, n); })
                && save.Commit();
        }));
    row("csv", measure([&] { return archive::SaveBytes(out, mlog::ToCsv(log)); }),
        measure([&] { return datalog_export::WriteExport(out, log, Format::Csv); }));
    row("xls", measure([&] { return archive::SaveBytes(out, datalog_text::ExportXls(log)); }),
        measure([&] { return datalog_export::WriteExport(out, log, Format::Xls); }));
    // The workbook: its rows are spooled as they are written; closing it packs the file, which
    // is then copied to the target.
    double rowSecs = 0;
    const Figure xlsx = measure([&] {
        auto file = datalog_export::CExportFile::Open(out + ".xlsx", log, Format::Xlsx);
        QElapsedTimer t;
        t.start();
        const bool ok = file && file->Step(points);
        rowSecs = t.nsecsElapsed() / 1e9;
        return ok && file->Finish();
    });
    std::printf("xlsx   streamed %.3f s %7.1f MB (rows %.3f s, packing %.3f s)\n", xlsx.secs, xlsx.extra / 1e6,
        rowSecs, xlsx.secs - rowSecs);
    return 0;
}
