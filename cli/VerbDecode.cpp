// multimeter-cli decode [FILE]: replays notification payloads through the frame dispatcher and
// the live decoders and prints one JSON object per decoded live frame.
#include "cli/CliVerbs.h"
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

constexpr size_t kNotificationBytes = 20;


// Cuts the input into notification payloads as it is read, in pieces of bounded size: a line
// of any length costs no more memory than one piece, and a character that cannot belong to a
// payload (anything but hexadecimal digits and blanks, a NUL included) stops the run at once.
class CPayloadReader {
public:
    explicit CPayloadReader(std::function<void(const uint8_t*, size_t)> notify)
        : m_notify(std::move(notify))
    {
    }

    // Takes the next piece of input; false (with Error() set) at the first bad character.
    bool Take(const char* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n') {
                if (!EndLine())
                    return false;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f')
                continue;
            const int v = HexDigitValue(c);
            if (v < 0) {
                m_error = c == '\0' ? QStringLiteral("line %1 holds a NUL byte").arg(m_nLine)
                                    : QStringLiteral("line %1 is not hexadecimal payload").arg(m_nLine);
                return false;
            }
            if (m_high < 0) {
                m_high = v;
                continue;
            }
            m_bytes[m_nBytes++] = static_cast<uint8_t>(m_high << 4 | v);
            m_high = -1;
            // The link delivers at most 20 bytes per notification and runs the dispatcher after each.
            if (m_nBytes == kNotificationBytes)
                Flush();
        }
        return true;
    }
    // The input has ended: a last line without its line end counts as a line.
    bool Finish() { return EndLine(); }
    const QString& Error() const { return m_error; }

private:
    bool EndLine()
    {
        if (m_high >= 0) {
            m_error = QStringLiteral("line %1 is not hexadecimal payload (an odd number of digits)").arg(m_nLine);
            return false;
        }
        Flush();
        ++m_nLine;
        return true;
    }
    void Flush()
    {
        if (m_nBytes > 0)
            m_notify(m_bytes, m_nBytes);
        m_nBytes = 0;
    }

    std::function<void(const uint8_t*, size_t)> m_notify;
    uint8_t m_bytes[kNotificationBytes];
    size_t m_nBytes = 0;
    int m_high = -1;
    qint64 m_nLine = 1;
    QString m_error;
};

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

    CPayloadReader reader([&](const uint8_t* bytes, size_t count) {
        text.appendBytes(bytes, count);
        protocol.MeterFrameDispatcher();
    });
    char piece[64 * 1024];
    size_t n;
    bool good = true;
    while (good && (n = std::fread(piece, 1, sizeof piece, input)) > 0)
        good = reader.Take(piece, n);
    if (good && !std::ferror(input))
        good = reader.Finish();
    if (!good) {
        std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(reader.Error()));
        return cli::ExitIo;
    }
    if (std::ferror(input)) {
        std::fprintf(stderr, "multimeter-cli: cannot read %s\n", qPrintable(name));
        return cli::ExitIo;
    }
    return cli::ExitOk;
}

const cli::CliVerbRegistration kDecode({ "decode",
    "decode [FILE]    replay notification payloads (hex, one per line) through the decoders; one JSON line per "
    "live frame",
    RunDecode });

} // namespace
