#pragma once
// Input of the replay verbs: one notification payload per line as hexadecimal text.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// The link delivers at most this many bytes per notification.
constexpr size_t kNotificationBytes = 20;

// Reads one line without its end; false at the end of the input or on a read error.
bool ReadLine(std::FILE* in, std::string& line);
// The payload bytes of one input line (empty for a blank line); false when the line is not
// hexadecimal.
bool ParseLine(const std::string& line, std::vector<uint8_t>& bytes);

} // namespace cli
