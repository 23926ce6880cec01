// multimeter-cli decode [FILE]: replays notification payloads through the frame dispatcher and
// the live decoders and prints one JSON object per decoded live frame.
#include "cli/CliVerbs.h"
#include "protocol/MeterEventFormat.h"
#include "protocol/MeterProtocol.h"

#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t kNotificationBytes = 20;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The payload bytes of one input line; false when the line is not hexadecimal.
bool ParseLine(const QByteArray& line, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    int high = -1;
    for (char c : line) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        const int v = HexDigit(c);
        if (v < 0)
            return false;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return high < 0;
}

int RunDecode(const QStringList& args)
{
    const cli::Args a(args, {}, {});
    if (!a.ok())
        return cli::usageError(a.error());
    if (a.positionals().size() > 1)
        return cli::usageError(QStringLiteral("decode takes at most one file"));

    QFile input;
    const QString path = a.positionals().value(0);
    bool opened;
    if (path.isEmpty() || path == QLatin1String("-")) {
        opened = input.open(stdin, QIODevice::ReadOnly);
    } else {
        opened = !QFileInfo(path).isDir() && (input.setFileName(path), input.open(QIODevice::ReadOnly));
    }
    if (!opened) {
        std::fprintf(stderr, "multimeter-cli: cannot read %s\n", qPrintable(path.isEmpty() ? "stdin" : path));
        return cli::ExitIo;
    }

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

    std::vector<uint8_t> bytes;
    int lineNumber = 0;
    while (!input.atEnd()) {
        const QByteArray line = input.readLine();
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        if (!ParseLine(line, bytes)) {
            std::fprintf(stderr, "multimeter-cli: line %d is not hexadecimal payload\n", lineNumber);
            return cli::ExitIo;
        }
        for (size_t i = 0; i < bytes.size(); i += kNotificationBytes) {
            text.appendBytes(bytes.data() + i, std::min(kNotificationBytes, bytes.size() - i));
            protocol.MeterFrameDispatcher();
        }
    }
    if (input.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "multimeter-cli: cannot read %s\n", qPrintable(path.isEmpty() ? "stdin" : path));
        return cli::ExitIo;
    }
    return cli::ExitOk;
}

const cli::CliVerbRegistration kDecode({ "decode",
    "decode [FILE]    replay notification payloads (hex, one per line) through the decoders; one JSON line per "
    "live frame",
    RunDecode });

} // namespace
