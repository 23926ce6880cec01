#include "protocol/FrameFields.h"

#include "link/HexText.h"

#include <cstring>

const QString kUnitCelsius = QStringLiteral("\u2103");
const QString kUnitFahrenheit = QStringLiteral("\u2109");
const QString kUnitOhm = QStringLiteral("\u03a9");

uint8_t FrameByte(std::string_view frame, int k)
{
    uint8_t b = 0;
    HexToBytes(1, &b, frame, 2 * k + 2);
    return b;
}

uint8_t FrameBcd(std::string_view frame, int k)
{
    const size_t pos = 2 * static_cast<size_t>(k);
    int value = 0;
    for (size_t i = pos; i < pos + 2 && i < frame.size(); ++i) {
        const char c = frame[i];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return static_cast<uint8_t>(value);
}

float GetFrameFloat(std::string_view frame, int end)
{
    uint8_t b[4];
    HexToBytes(4, b, frame, end);
    const uint32_t bits = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

QString FrameUnitText(std::string_view frame, int k)
{
    uint8_t b[4];
    HexToBytes(4, b, frame, 2 * k + 2);
    QString text;
    for (uint8_t c : b) {
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

QString FrameTimeText(std::string_view frame, int k)
{
    uint8_t b[3];
    HexToBytes(3, b, frame, 2 * k + 2);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2x:%.2x:%.2x", b[0], b[1], b[2]);
    return QString::fromLatin1(buf);
}

QString FunctionName(int code)
{
    // Rows without a name are the meter's unused codes.
    static const char* const kNames[34] = {
        "TEMP",
        "VAC",
        "VDC",
        "mVDC",
        "RES",
        "CAP",
        "TEMP",
        "ADC",
        "mADC",
        "uADC",
        "4-20mA",
        "mVAC",
        "AAC",
        "mAAC",
        "uAAC",
        "Diode",
        "HZ",
        "VAC",
        "RESBEEP",
        "",
        "",
        "DC+AC(V)",
        "DC+AC(mV)",
        "DC+AC(A)",
        "DC+AC(mA)",
        "DC+AC(uA)",
        "",
        "",
        "",
        "",
        "",
        "HZ",
        "",
        "",
    };
    if (code < 0 || code >= 34)
        return QString();
    return QString::fromLatin1(kNames[code]);
}

namespace {

enum : uint8_t {
    SetNormal = 1 << 0,
    SetMinMaxMain = 1 << 1,
    SetMinMaxStat = 1 << 2,
    SetRelative = 1 << 3,
};

struct UnitRow {
    const char* sent;
    const char16_t* becomes;
    float divisor;
    uint8_t sets;
    bool capacitance;
    bool frequency;
    bool temperature;
};

// In table order; the first row that names the text and belongs to the decoder's set applies.
const UnitRow kUnitRows[] = {
    { "s", u"\u2103", 1.0f, SetNormal | SetMinMaxMain | SetRelative, false, false, true },
    { "h", u"\u2109", 1.0f, SetNormal | SetMinMaxMain | SetRelative, false, false, true },
    { "o", u"\u03a9", 1.0f, SetNormal | SetMinMaxMain | SetMinMaxStat | SetRelative, false, false, false },
    { "o@", u"\u03a9", 1.0f, SetNormal, false, false, false },
    { "ko", u"K\u03a9", 1000.0f, SetNormal | SetMinMaxMain | SetMinMaxStat | SetRelative, false, false, false },
    { "Mo", u"M\u03a9", 1000000.0f, SetNormal | SetMinMaxMain | SetMinMaxStat | SetRelative, false, false, false },
    { "VE", u"V", 1.0f, SetNormal, false, false, false },
    { "uF", u"uF", 1000.0f, SetNormal | SetRelative, true, false, false },
    { "mF", u"mF", 1000000.0f, SetNormal | SetRelative, true, false, false },
    { "nF", u"nF", 1.0f, SetNormal, true, false, false },
    { "HZ", u"HZ", 1.0f, SetMinMaxMain | SetRelative, false, true, false },
    { "kHZ", u"KHZ", 1000.0f, SetRelative, false, true, false },
    { "kHZ", u"kHZ", 1000.0f, SetMinMaxMain | SetMinMaxStat, false, true, false },
    { "MHZ", u"MHZ", 1000000.0f, SetMinMaxMain | SetMinMaxStat | SetRelative, false, true, false },
};

uint8_t SetOf(UnitRules rules)
{
    switch (rules) {
    case UnitRules::Normal:
        return SetNormal;
    case UnitRules::MinMaxMain:
        return SetMinMaxMain;
    case UnitRules::MinMaxStat:
        return SetMinMaxStat;
    case UnitRules::Relative:
        return SetRelative;
    }
    return 0;
}

} // namespace

UnitNormalisation NormaliseUnit(const QString& sent, UnitRules rules)
{
    UnitNormalisation result;
    result.unit = sent.trimmed();
    const uint8_t set = SetOf(rules);
    for (const UnitRow& row : kUnitRows) {
        if (!(row.sets & set) || result.unit != QLatin1String(row.sent))
            continue;
        result.unit = QString::fromUtf16(row.becomes);
        result.divisor = row.divisor;
        result.capacitance = row.capacitance;
        // A statistic's frequency unit only scales that statistic.
        result.frequency = row.frequency && rules != UnitRules::MinMaxStat;
        result.temperature = row.temperature;
        break;
    }
    return result;
}

int ClassifyDial(const QString& unit, bool subMode2, int current)
{
    if (unit == QLatin1String("uADC"))
        return 1;
    if (unit == QLatin1String("mADC"))
        return 2;
    if (unit == QLatin1String("ADC"))
        return 3;
    if (unit == kUnitFahrenheit || unit == kUnitCelsius)
        return 4;
    if (unit == QLatin1String("VAC"))
        return 5;
    if (unit == QLatin1String("VDC"))
        return 6;
    if (unit == QLatin1String("mVDC") || unit == QLatin1String("mVAC"))
        return 7;
    if (unit == kUnitOhm || unit == QStringLiteral("K\u03a9") || unit == QStringLiteral("M\u03a9"))
        return 8;
    if (unit == QLatin1String("uF") || unit == QLatin1String("nF") || unit == QLatin1String("mF"))
        return 8;
    if (subMode2)
        return 10;
    if (unit == QLatin1String("OSC"))
        return 11;
    return current;
}
