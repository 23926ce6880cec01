// multimeter-cli decode [FILE]: replays notification payloads through the frame dispatcher and
// the live decoders and prints one JSON object per decoded live frame.
#include "cli/CliVerbs.h"
#include "cli/PayloadLines.h"
#include "link/HexText.h"
#include "protocol/MeterEventFormat.h"
#include "protocol/MeterProtocol.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

int RunDecode(const QStringList& args)
{
    const cli::Args a(args, {}, {});
    if (!a.ok())
        return cli::usageError(a.error());
    if (a.positionals().size() > 1)
        return cli::usageError(QStringLiteral("decode takes at most one file"));

    const QString path = a.positionals().value(0);
    const bool fromStdin = path.isEmpty() || path == QLatin1String("-");
    const QString name = fromStdin ? QStringLiteral("standard input") : path;
    std::FILE* input = fromStdin ? stdin : nullptr;
    if (!fromStdin && !QFileInfo(path).isDir())
        input = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!input) {
        std::fprintf(stderr, "multimeter-cli: cannot read %s\n", qPrintable(name));
        return cli::ExitIo;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(fromStdin ? nullptr : input, &std::fclose);

    HexText text;
    CMeterProtocol protocol(
        text, [](const uint8_t*, int) { return true; }, [](int) {});
    QObject::connect(
        &protocol.Decoder(), &CLiveDecoder::frameDecoded, &protocol.Decoder(),
        [](const MeterEvent& event) {
            if (event.m_bDateWarning)
                std::fprintf(stderr, "%s\n", CLiveDecoder::kDateWarningText);
            const std::string json = MeterEventToJson(event);
            std::fwrite(json.data(), 1, json.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        },
        Qt::DirectConnection);

    QString error;
    const bool read = cli::ReplayPayloads(input, name, [&](const uint8_t* bytes, size_t count) {
        text.appendBytes(bytes, count);
        protocol.MeterFrameDispatcher();
    }, &error);
    if (!read) {
        std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(error));
        return cli::ExitIo;
    }
    return cli::ExitOk;
}

const cli::CliVerbRegistration kDecode({ "decode",
    "decode [FILE]    replay notification payloads (hex, one per line) through the decoders; one JSON line per "
    "live frame",
    RunDecode });

} // namespace
