// multimeter-cli fft: the spectrum of points A..B of a ".mLog" file, as the "FFT Analysis" dialog
// computes it, printed as one JSON object.
#include "cli/CliVerbs.h"
#include "datalog/MLogFile.h"
#include "scope/FftAnalysis.h"
#include "scope/FftTransform.h"
#include "scope/FftWindow.h"

#include <QByteArray>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
    return cli::ExitIo;
}

// Shortest exact form of a double; JSON has no words for infinities and NaN.
QByteArray number(double v)
{
    if (!std::isfinite(v))
        return QByteArrayLiteral("null");
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return QByteArray(buf);
}

bool toInt(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

int run(const QStringList& args)
{
    const cli::Args parsed(args, { QStringLiteral("--from"), QStringLiteral("--to"), QStringLiteral("--size"),
                                     QStringLiteral("--window") },
        { QStringLiteral("--power") });
    if (!parsed.ok())
        return cli::usageError(parsed.error());
    if (parsed.positionals().size() != 1 || !parsed.has(QStringLiteral("--from"))
        || !parsed.has(QStringLiteral("--to")))
        return cli::usageError(QStringLiteral("fft: give FILE, --from and --to"));
    int from = 0;
    int to = 0;
    if (!toInt(parsed.value(QStringLiteral("--from")), &from) || !toInt(parsed.value(QStringLiteral("--to")), &to))
        return cli::usageError(QStringLiteral("fft: --from and --to take point numbers"));

    CFftAnalysis::Settings settings;
    settings.power = parsed.has(QStringLiteral("--power"));
    const QString windowKey = parsed.value(QStringLiteral("--window"), QStringLiteral("none"));
    if (!fft::WindowFromKey(windowKey.toUtf8().constData(), &settings.window))
        return cli::usageError(QStringLiteral("fft: unknown window \"%1\"").arg(windowKey));
    const QString sizeText = parsed.value(QStringLiteral("--size"), QStringLiteral("32"));
    if (!toInt(sizeText, &settings.size) || !fft::IsAnalysisSize(settings.size))
        return fail(QStringLiteral("fft: the size must be 32, 64, 128, 256, 512, 1024 or 2048, not \"%1\".")
                        .arg(sizeText));

    CDataLog log;
    QString message;
    if (!mlog::Load(parsed.positionals()[0], log, &message))
        return fail(message.replace(QLatin1Char('\n'), QLatin1Char(' ')));
    const CDataSeries& series = log.m_arrSeries[0];
    if (series.IsEmpty())
        return fail(QStringLiteral("fft: the file holds no points."));
    // Ends outside the points are brought in as the graph's drag ends are, but not silently.
    const int lastPoint = static_cast<int>(series.Size()) - 1;
    for (const auto& [name, end] : { std::pair<const char*, int> { "--from", from }, { "--to", to } }) {
        if (end < 0 || end > lastPoint)
            std::fprintf(stderr, "multimeter-cli: fft: %s %d is outside the points 0 to %d; %d is used.\n", name, end,
                lastPoint, end < 0 ? 0 : lastPoint);
    }
    int first = 0;
    int last = 0;
    if (!fft::RangeFromDragEnds(static_cast<int>(series.Size()), from, to, &first, &last))
        return fail(QStringLiteral("fft: the range starts and ends at the same point; choose two different points."));

    CFftAnalysis analysis;
    if (!analysis.Ready())
        return fail(QLatin1String(fft::kBufferAllocFailed));
    const std::vector<double> values = fft::CopySeriesValues(series, first, last, settings.size);
    if (values.empty())
        return fail(QStringLiteral("fft: points %1 to %2 hold no readings, only gaps in the recording.").arg(first).arg(last));
    if (analysis.Run(settings, values.data(), static_cast<int>(values.size())) != CFftAnalysis::Result::Done)
        return fail(QLatin1String(fft::kTwiddleAllocFailed));

    QByteArray out;
    out += "{\"size\":" + QByteArray::number(settings.size);
    out += ",\"window\":\"" + QByteArray(fft::WindowKey(settings.window)) + '"';
    out += settings.power ? ",\"view\":\"power\"" : ",\"view\":\"magnitude\"";
    out += ",\"inPeak\":" + number(analysis.m_dInPeak);
    out += ",\"peak\":" + number(analysis.m_dPeak);
    out += ",\"values\":[";
    const std::vector<double> spectrum = analysis.Values();
    for (size_t i = 0; i < spectrum.size(); ++i) {
        if (i)
            out += ',';
        out += number(spectrum[i]);
    }
    out += "]}\n";
    if (std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout) != static_cast<size_t>(out.size())
        || std::fflush(stdout) != 0)
        return fail(QStringLiteral("Cannot write the output."));
    return cli::ExitOk;
}

const cli::CliVerbRegistration registration({
    "fft",
    "fft FILE --from A --to B [--size N] [--window none|hamming|hanning|triangle|blackman|blackman-harris] "
    "[--power]",
    run,
});

} // namespace
