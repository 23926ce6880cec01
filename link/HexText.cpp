#include "link/HexText.h"

namespace {
const char kDigits[] = "0123456789abcdef";
} // namespace

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void HexText::appendBytes(const uint8_t* bytes, size_t count)
{
    const size_t old = m_buf.size();
    m_buf.resize(old + 2 * count);
    char* out = &m_buf[old];
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0f];
    }
}

void HexText::consume(size_t n)
{
    if (n >= size()) {
        clear();
        return;
    }
    m_head += n;
    // Compact once the dead prefix is both large and at least half the storage, so the
    // copying stays proportional to what was consumed.
    if (m_head >= 4096 && m_head * 2 >= m_buf.size()) {
        m_buf.erase(0, m_head);
        m_head = 0;
    }
}

std::string BytesToHex(const uint8_t* bytes, size_t count)
{
    HexText t;
    t.appendBytes(bytes, count);
    return t.str();
}

void HexToBytes(int count, uint8_t* out, std::string_view text, int end)
{
    for (int i = 0; i < count; ++i) {
        const long pos = static_cast<long>(end) + 2L * i - 2;
        int value = 0;
        if (pos >= 0 && static_cast<size_t>(pos) < text.size()) {
            const int hi = HexDigitValue(text[static_cast<size_t>(pos)]);
            if (hi >= 0) {
                value = hi;
                if (static_cast<size_t>(pos) + 1 < text.size()) {
                    const int lo = HexDigitValue(text[static_cast<size_t>(pos) + 1]);
                    if (lo >= 0)
                        value = hi * 16 + lo;
                }
            }
        }
        out[i] = static_cast<uint8_t>(value);
    }
}
