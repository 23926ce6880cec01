#include "cli/PayloadLines.h"

#include "link/HexText.h"

namespace cli {

CPayloadReader::CPayloadReader(NotifyFn notify)
    : m_notify(std::move(notify))
{
}

bool CPayloadReader::Take(const char* data, size_t size)
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

bool CPayloadReader::Finish() { return EndLine(); }

bool CPayloadReader::EndLine()
{
    if (m_high >= 0) {
        m_error = QStringLiteral("line %1 is not hexadecimal payload (an odd number of digits)").arg(m_nLine);
        return false;
    }
    Flush();
    ++m_nLine;
    return true;
}

void CPayloadReader::Flush()
{
    if (m_nBytes > 0)
        m_notify(m_bytes, m_nBytes);
    m_nBytes = 0;
}

bool ReplayPayloads(std::FILE* input, const QString& name, const CPayloadReader::NotifyFn& notify, QString* error)
{
    CPayloadReader reader(notify);
    char piece[64 * 1024];
    size_t n;
    bool good = true;
    while (good && (n = std::fread(piece, 1, sizeof piece, input)) > 0)
        good = reader.Take(piece, n);
    if (good && std::ferror(input)) {
        *error = QStringLiteral("cannot read %1").arg(name);
        return false;
    }
    if (good)
        good = reader.Finish();
    if (!good)
        *error = reader.Error();
    return good;
}

} // namespace cli
