// Saving and loading a 1,000,000-point data-log document, measured against a plain copy of a
// file of the same size in the same run, and the resident memory a loaded point takes.
//
//   bench_mlog [points] [folder]
#include "bench/BenchMemory.h"
#include "datalog/MLogFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

using bench::releaseFreed;
using bench::residentBytes;

// Best of `runs` timings, in seconds.
double best(int runs, const std::function<void()>& fn)
{
    double b = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        b = std::min(b, t.nsecsElapsed() / 1e9);
    }
    return b;
}

bool plainCopy(const QString& from, const QString& to, bool safe)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray buf(1 << 20, Qt::Uninitialized);
    auto pump = [&](QIODevice& out) {
        for (;;) {
            const qint64 n = in.read(buf.data(), buf.size());
            if (n <= 0)
                return n == 0;
            if (out.write(buf.constData(), n) != n)
                return false;
        }
    };
    if (safe) {
        QSaveFile out(to);
        return out.open(QIODevice::WriteOnly) && pump(out) && out.commit();
    }
    QFile out(to);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && pump(out);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int points = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir tmp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench_mlog-XXXXXX") : QString());
    const QString file = tmp.filePath(QStringLiteral("big.mLog"));
    const QString copy = tmp.filePath(QStringLiteral("copy.mLog"));
    const int runs = 3;

    double saveSecs = 0;
    {
        CDataLog log;
        for (int i = 0; i < points; ++i) {
            const int s = i % 86400;
            const QString time
                = QString::asprintf("2024/03/%.2d %.2d:%.2d:%.2d", 1 + i / 86400 % 28, s / 3600, s / 60 % 60, s % 60);
            const double v = (i % 2000) * 0.25 - 250.0;
            log.AddPoint(0, v, QStringLiteral("mVDC"), 0.0, i, time, QStringLiteral("mVDC"), 600.0f, float(v));
        }
        saveSecs = best(runs, [&] {
            QString message;
            if (!mlog::Save(file, log, &message))
                std::fprintf(stderr, "%s\n", qPrintable(message));
        });
    }
    releaseFreed();
    const qint64 size = QFile(file).size();

    const double copySecs = best(runs, [&] { plainCopy(file, copy, false); });
    const double safeCopySecs = best(runs, [&] { plainCopy(file, copy, true); });

    double loadSecs = 0;
    qint64 perPoint = -1;
    {
        const qint64 before = residentBytes();
        CDataLog loaded;
        QString message;
        QElapsedTimer t;
        t.start();
        if (!mlog::Load(file, loaded, &message)) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            return 1;
        }
        loadSecs = t.nsecsElapsed() / 1e9;
        releaseFreed();
        const qint64 after = residentBytes();
        if (before >= 0 && after >= 0)
            perPoint = (after - before) / points;
    }
    loadSecs = std::min(loadSecs, best(runs - 1, [&] {
        CDataLog again;
        mlog::Load(file, again);
    }));

    const double mb = size / 1e6;
    std::printf("points                 %d\n", points);
    std::printf("file size              %.1f MB\n", mb);
    std::printf("plain copy             %.3f s  (%.0f MB/s)\n", copySecs, mb / copySecs);
    std::printf("copy via QSaveFile     %.3f s  (%.0f MB/s)\n", safeCopySecs, mb / safeCopySecs);
    std::printf("save                   %.3f s  (%.0f MB/s)\n", saveSecs, mb / saveSecs);
    std::printf("load                   %.3f s  (%.0f MB/s)\n", loadSecs, mb / loadSecs);
    std::printf("save speed / plain copy          %.2f\n", copySecs / saveSecs);
    std::printf("save speed / QSaveFile copy      %.2f\n", safeCopySecs / saveSecs);
    std::printf("load speed / plain copy          %.2f\n", copySecs / loadSecs);
    if (perPoint >= 0)
        std::printf("resident memory per loaded point %lld bytes\n", static_cast<long long>(perPoint));
    return 0;
}
