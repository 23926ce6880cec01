#include "cli/PayloadLines.h"

#include "link/HexText.h"

#include <cctype>

namespace cli {

bool ReadLine(std::FILE* in, std::string& line)
{
    line.clear();
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, in)) {
        line += chunk;
        if (!line.empty() && line.back() == '\n')
            return true;
    }
    return !line.empty() && !std::ferror(in);
}

bool ParseLine(const std::string& line, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    int high = -1;
    for (char c : line) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        const int v = HexDigitValue(c);
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

} // namespace cli
