#pragma once
// The field readers of the meter's live frames and the tables the decoders share: function
// names, unit normalisation, decimals and the dial position. A frame is lowercase hexadecimal
// text, two characters per byte; byte numbers count from the frame's start byte A0.
#include <QString>
#include <cstdint>
#include <string_view>

// Byte k read as a base-16 pair. A pair that is not valid hexadecimal reads as its valid
// leading part or 0; bytes beyond the text read as 0.
uint8_t FrameByte(std::string_view frame, int k);

// Byte k read as a base-10 pair: reading stops at the first character that is not a decimal
// digit, so "59" is 59, "5a" is 5 and "a5" is 0.
uint8_t FrameBcd(std::string_view frame, int k);

// Four bytes ending at character end (end = 2 * firstByte + 2) as an IEEE-754 single, least
// significant byte first.
float GetFrameFloat(std::string_view frame, int end);
inline float FrameFloatAt(std::string_view frame, int k)
{
    return GetFrameFloat(frame, 2 * k + 2);
}

// Bytes k..k+3 as four characters (Latin-1). The text ends at the first zero byte, as the
// meter pads with blanks or zeros.
QString FrameUnitText(std::string_view frame, int k);

// "%.2x:%.2x:%.2x" of bytes k..k+2: the BCD digits as sent.
QString FrameTimeText(std::string_view frame, int k);

// The function-code table: 34 rows, empty text for codes without a name or beyond the table.
QString FunctionName(int code);

// Digits after the decimal point for a decimal-point code.
inline int DecimalsFromCode(int code)
{
    return 5 - code;
}
// Modes 2 and 4 pack four 2-bit codes into one byte: slot 0 main, 1 MAX, 2 MIN, 3 average.
inline int PackedDecimals(uint8_t packed, int slot)
{
    return 5 - ((packed >> (2 * slot)) & 3);
}

// Which rules of the unit table a decoder applies.
enum class UnitRules {
    Normal, // mode 1
    MinMaxMain, // mode 2, main unit
    MinMaxStat, // mode 2, each statistic on its own
    Relative, // mode 3
};

// What one normalisation did; the caller applies the divisor to the values the rule covers.
struct UnitNormalisation {
    QString unit; // the unit after normalisation (trimmed when no rule applies)
    float divisor = 1.0f; // values covered by the rule are divided by it
    bool capacitance = false; // "uF", "mF" or "nF" matched (mode 1 lowers the decimals)
    bool frequency = false; // the function becomes "HZ"
    bool temperature = false; // "s" or "h" matched (mode 2 copies the symbol to the statistics)
};

// Trims the unit text and applies the first matching rule of the given set.
UnitNormalisation NormaliseUnit(const QString& sent, UnitRules rules);

// The dial position after a frame whose normalised main unit is unit: the first matching row
// of the dial table, or current when none matches.
int ClassifyDial(const QString& unit, bool subMode2, int current);

// The degree symbols and the ohm sign as the record holds them.
extern const QString kUnitCelsius; // U+2103
extern const QString kUnitFahrenheit; // U+2109
extern const QString kUnitOhm; // U+03A9
