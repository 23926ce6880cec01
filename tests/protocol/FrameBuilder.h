#pragma once
// Builds meter frames byte by byte for the protocol tests.
#include "link/HexText.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class FrameBuilder {
public:
    // A live frame of display mode 1..7: start byte, kind byte, trailer A1, zeros between.
    FrameBuilder(int mode, bool saved = false)
        : m_bytes(LengthOf(mode), 0)
    {
        m_bytes[0] = 0xA0;
        m_bytes[1] = static_cast<uint8_t>((saved ? 0x90 : 0x80) + mode - 1);
        m_bytes.back() = 0xA1;
    }
    explicit FrameBuilder(std::vector<uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {
    }

    static size_t LengthOf(int mode)
    {
        static const size_t kLength[8] = { 0, 27, 59, 35, 47, 36, 34, 21 };
        return kLength[mode];
    }

    FrameBuilder& byte(int k, uint8_t v)
    {
        m_bytes.at(static_cast<size_t>(k)) = v;
        return *this;
    }
    FrameBuilder& bcd(int k, int v) { return byte(k, static_cast<uint8_t>((v / 10) << 4 | (v % 10))); }
    FrameBuilder& f32(int k, float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i)
            byte(k + i, static_cast<uint8_t>(bits >> (8 * i)));
        return *this;
    }
    // Four characters, padded with blanks.
    FrameBuilder& unit(int k, const char* text)
    {
        const size_t n = std::strlen(text);
        for (size_t i = 0; i < 4; ++i)
            byte(k + static_cast<int>(i), i < n ? static_cast<uint8_t>(text[i]) : ' ');
        return *this;
    }
    FrameBuilder& clock(int k, int y, int mo, int d, int h, int mi, int s)
    {
        return bcd(k, y).bcd(k + 1, mo).bcd(k + 2, d).bcd(k + 3, h).bcd(k + 4, mi).bcd(k + 5, s);
    }

    std::string hex() const { return BytesToHex(m_bytes.data(), m_bytes.size()); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Bytes from hexadecimal text such as "a0 a9 02".
inline std::vector<uint8_t> HexBytes(const std::string& text)
{
    std::string clean;
    for (char c : text)
        if (c != ' ')
            clean += c;
    std::vector<uint8_t> out(clean.size() / 2);
    HexToBytes(static_cast<int>(out.size()), out.data(), clean, 2);
    return out;
}
