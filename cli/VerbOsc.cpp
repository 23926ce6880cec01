// multimeter-cli osc: oscilloscope frames and ".osc" files as JSON.
//   osc decode [FILE]   replays notification payloads (as `decode` does) and prints each
//                       oscilloscope frame decoded into a slot: {"slot":S,"data":{...}};
//                       damaged frames are left out, and stored waveforms missing from a
//                       download are named on stderr
//   osc dump FILE       {"kind":K,"records":[...]}
//   osc build JSON OUT  writes the file back from the dump's form
//   osc export FILE [--record N] [--spectrum] OUT.xlsx
//                       the oscilloscope window's spreadsheet of record N (from 0, in file order;
//                       the first valid one by default), as the waveform or the spectrum view
#include "cli/CliVerbs.h"
#include "cli/PayloadLines.h"
#include "link/HexText.h"
#include "platform/FileTarget.h"
#include "protocol/MeterProtocol.h"
#include "scope/OscController.h"
#include "scope/OscExport.h"
#include "scope/OscFile.h"
#include "scope/OscJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using cli::ioError;

bool writeOut(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout)
        == static_cast<size_t>(bytes.size())
        && std::fflush(stdout) == 0;
}

int decode(const QString& path)
{
    const bool fromStdin = path.isEmpty() || path == QLatin1String("-");
    const QString name = fromStdin ? QStringLiteral("standard input") : path;
    std::FILE* input = fromStdin ? stdin : nullptr;
    if (!fromStdin && !QFileInfo(path).isDir())
        input = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!input)
        return ioError(QStringLiteral("cannot read %1").arg(name));
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(fromStdin ? nullptr : input, &std::fclose);

    HexText text;
    // The slots keep their records between frames, as the program's eleven do.
    std::unique_ptr<COscController> scopePtr;
    bool outputFailed = false;
    osc::StoredArrivals arrived {};
    bool storedSeen = false;
    CMeterProtocol protocol(
        text, [](const uint8_t*, int) { return true; }, [](int) {},
        [&](CFrameDispatcher& dispatcher, FrameDispatcherHooks& hooks) {
            scopePtr = std::make_unique<COscController>(
                dispatcher, [](const uint8_t*, int) { return true; }, [] { return true; });
            hooks.oscRecord = [&](HexText& t) {
                COscController& scope = *scopePtr;
                const osc::OscFrame frame = osc::FrameFromText(t.view());
                scope.OnOscFrame(frame);
                const int slot = frame.Slot();
                if (slot >= osc::kSlotCount)
                    return;
                if (slot > 0)
                    storedSeen = arrived[size_t(slot)] = true;
                const QByteArray line = "{\"slot\":" + QByteArray::number(slot) + ",\"data\":" + osc::RecordToJson(scope.Slot(slot)) + "}\n";
                outputFailed = outputFailed || !writeOut(line);
            };
        });
    COscController& scope = *scopePtr;
    QObject::connect(
        &scope, &COscController::messageDue, &scope,
        [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }, Qt::DirectConnection);

    QString error;
    const bool read = cli::ReplayPayloads(input, name, [&](const uint8_t* bytes, size_t count) {
        text.appendBytes(bytes, count);
        protocol.MeterFrameDispatcher();
    }, &error);
    if (!read)
        return ioError(error);
    // Stored waveforms come as a download of all ten; say which of them the stream lacks.
    const QString shortText = storedSeen ? osc::ShortDownloadText(arrived) : QString();
    if (!shortText.isEmpty())
        std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(shortText));
    if (outputFailed)
        return ioError(QStringLiteral("Cannot write the output."));
    return cli::ExitOk;
}

int dump(const QString& path)
{
    osc::OscFile file;
    QString message;
    if (!osc::Load(path, file, &message))
        return ioError(message);
    if (!writeOut(osc::FileToJson(file) + '\n'))
        return ioError(QStringLiteral("Cannot write the output."));
    return cli::ExitOk;
}

int build(const QString& jsonPath, const QString& out)
{
    QByteArray json;
    if (const int failed = cli::ReadInputFile(jsonPath, &json))
        return failed;
    osc::OscFile osc;
    QString why;
    if (!osc::FileFromJson(json, osc, &why))
        return ioError(QStringLiteral("Cannot read \"%1\": %2.").arg(QDir::toNativeSeparators(jsonPath), why));
    QString message;
    if (!osc::Save(out, osc, &message))
        return ioError(message);
    return cli::ExitOk;
}

int exportSheet(const QString& path, const QString& record, bool spectrum, const QString& out)
{
    osc::OscFile file;
    QString message;
    if (!osc::Load(path, file, &message))
        return ioError(message);
    int index = -1;
    if (record.isEmpty()) {
        const auto first = std::find_if(file.records.begin(), file.records.end(), [](const OSCData& r) { return r.bValid; });
        if (first == file.records.end())
            return ioError(QStringLiteral("\"%1\" holds no valid record.").arg(QDir::toNativeSeparators(path)));
        index = int(first - file.records.begin());
    } else {
        bool ok = false;
        index = record.toInt(&ok);
        if (!ok || index < 0 || index >= int(file.records.size()))
            return ioError(QStringLiteral("\"%1\" has no record %2 (records 0 to %3).")
                               .arg(QDir::toNativeSeparators(path), record)
                               .arg(int(file.records.size()) - 1));
        if (!file.records[size_t(index)].bValid)
            return ioError(QStringLiteral("Record %1 of \"%2\" is not valid.").arg(index).arg(QDir::toNativeSeparators(path)));
    }
    const OSCData& rec = file.records[size_t(index)];
    const QVector<osc::SheetCell> cells = spectrum
        ? osc::ExportCells(rec.info, rec.fSpectrum.data(), OSCData::kSpectrumPoints)
        : osc::ExportCells(rec.info, rec.fWave.data(), OSCData::kWavePoints);
    if (!osc::WriteWorkbook(out, cells, &message))
        return ioError(message);
    return cli::ExitOk;
}

int run(const QStringList& args)
{
    const cli::Args parsed(args, { QStringLiteral("--record") }, { QStringLiteral("--spectrum") });
    if (!parsed.ok())
        return cli::usageError(parsed.error());
    const QStringList& p = parsed.positionals();
    const QString sub = p.value(0);
    if (sub == QLatin1String("decode") && p.size() <= 2)
        return decode(p.value(1));
    if (sub == QLatin1String("dump") && p.size() == 2)
        return dump(p[1]);
    if (sub == QLatin1String("build") && p.size() == 3)
        return build(p[1], p[2]);
    if (sub == QLatin1String("export") && p.size() == 3)
        return exportSheet(p[1], parsed.value(QStringLiteral("--record")), parsed.has(QStringLiteral("--spectrum")), p[2]);
    return cli::usageError(QStringLiteral("osc: wrong arguments"));
}

const cli::CliVerbRegistration registration({
    "osc",
    "osc decode [FILE] | osc dump FILE | osc build JSON OUT | osc export FILE [--record N] [--spectrum] OUT.xlsx    "
    "oscilloscope frames and .osc files as JSON, a record as a spreadsheet",
    run,
});

} // namespace
