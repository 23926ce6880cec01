#pragma once
// Byte streams held as lowercase hexadecimal text, two characters per byte: the link text
// from the dongle and the frame text of the meter. Both are appended at the back and consumed
// from the front many times a second, so consuming only moves a start offset; the storage is
// compacted once the consumed part outweighs the rest. Every operation is amortised linear in
// the text handled.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class HexText {
public:
    static constexpr size_t npos = std::string_view::npos;

    // The unconsumed text.
    std::string_view view() const { return std::string_view(m_buf).substr(m_head); }
    size_t size() const { return m_buf.size() - m_head; }
    bool empty() const { return size() == 0; }

    void appendText(std::string_view hex) { m_buf.append(hex); }
    // Appends each byte as "%.2x".
    void appendBytes(const uint8_t* bytes, size_t count);

    // Drops the first n characters (all of them when n >= size()).
    void consume(size_t n);
    void clear()
    {
        m_buf.clear();
        m_head = 0;
    }

    size_t find(std::string_view needle, size_t from = 0) const { return view().find(needle, from); }
    std::string_view substr(size_t pos, size_t n = npos) const { return view().substr(pos, n); }
    std::string str() const { return std::string(view()); }

private:
    std::string m_buf;
    size_t m_head = 0;
};

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// Lowercase hexadecimal of a byte run, "%.2x" per byte.
std::string BytesToHex(const uint8_t* bytes, size_t count);

// Converts count bytes of hexadecimal text: byte i comes from the two characters that end at
// position end + 2i (characters end+2i-2 and end+2i-1). With end = 2 it converts from the start.
// A pair that is not valid hexadecimal reads as the value of its valid leading part, or 0; pairs
// beyond the text read as 0.
void HexToBytes(int count, uint8_t* out, std::string_view text, int end);
