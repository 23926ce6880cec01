#include "logger/LoggerFrames.h"

#include "link/HexText.h"
#include "protocol/FrameFields.h"

#include <QDateTime>
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace {

uint32_t Le32(const uint8_t* b)
{
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// A BCD byte as the time texts print it ("%.2x") and read it back ("%d"): the decimal digits
// up to the first one that is not a digit.
int BcdValue(uint8_t b)
{
    const int hi = b >> 4, lo = b & 0x0F;
    if (hi > 9)
        return 0;
    return lo > 9 ? hi : hi * 10 + lo;
}

int ClampToInt(uint32_t v)
{
    return v > 0x7FFFFFFFu ? 0x7FFFFFFF : int(v);
}

// A record whose clock was never set is dated here instead.
const QDateTime& FallbackStart()
{
    static const QDateTime t(QDate(2010, 9, 10), QTime(10, 10, 10), Qt::UTC);
    return t;
}

QDateTime StartOf(const LoggerRecordHeader& h)
{
    if (h.badDate)
        return FallbackStart();
    return QDateTime(QDate(h.year, h.month, h.day), QTime(h.hour, h.minute, h.second), Qt::UTC);
}

// Over-range rule and unit steps of the functions whose unit the logger scales.
struct ScaleRow {
    int codes[2];
    bool testBelow; // v <= -L is over range too
    const char* units[3]; // below 500, below 500000 (/1000), above (/1000000)
};

const ScaleRow kScaleRows[] = {
    { { 16, 31 }, false, { "HZ", "KHZ", "MHZ" } },
    { { 5, 5 }, true, { "nF", "uF", "mF" } },
    { { 4, 4 }, true, { "\u03A9", "K\u03A9", "M\u03A9" } },
};

} // namespace

QStringList LoggerListData::ColumnTexts() const
{
    return { m_strFunction, m_strTime, QString::number(m_nPoints), QString::number(m_nSampleRate),
        QString::number(m_nAddress) };
}

const QStringList& logger::LoggerUnitTable()
{
    static const QStringList table = [] {
        QStringList t;
        const char* const units[32] = { "\u2109", "VAC", "VDC", "mVDC", "\u03A9", "nF", "\u2103", "ADC", "mADC", "uADC",
            "%", "mVAC", "AAC", "mAAC", "uAAC", "V", "HZ", "VAC", "\u03A9", "", "", "V", "mV", "A", "mA", "uA", "", "",
            "", "", "", "HZ" };
        for (const char* u : units)
            t << QString::fromUtf8(u);
        return t;
    }();
    return table;
}

const QStringList& g_astrLoggerUnit = logger::LoggerUnitTable();

QString logger::LoggerUnit(int code)
{
    const QStringList& t = LoggerUnitTable();
    return code >= 0 && code < t.size() ? t[code] : QString();
}

float LoggerLimit(int code)
{
    switch (code) {
    case 4:
        return 49990000.0f;
    case 5:
        return 10000000.0f;
    case 9:
    case 14:
        return 5000.0f;
    case 3:
    case 8:
    case 11:
    case 13:
    case 24:
        return 500.0f;
    case 7:
    case 12:
    case 23:
        return 10.0f;
    case 6:
        return 2462.0f;
    case 0:
        return 1350.0f;
    default:
        return 1000.0f;
    }
}

int DecodeLoggerListHeader(std::string_view entryText)
{
    uint8_t b[4] = {};
    HexToBytes(4, b, entryText, 2);
    return b[3];
}

std::vector<LoggerListData> DecodeLoggerList(std::string_view listText)
{
    std::vector<LoggerListData> out;
    for (size_t at = 0; at + logger::kEntryChars <= listText.size(); at += logger::kEntryChars) {
        uint8_t b[logger::kEntryBytes];
        HexToBytes(logger::kEntryBytes, b, listText.substr(at, logger::kEntryChars), 2);
        LoggerListData e;
        e.m_strFunction = FunctionName(b[4]);
        char time[40];
        std::snprintf(time, sizeof time, "%.2x-%.2x-20%.2x, %.2x %.2x %.2x", b[7], b[6], b[5], b[8], b[9], b[10]);
        e.m_strTime = QString::fromLatin1(time);
        e.m_nPoints = ClampToInt(Le32(b + 19));
        e.m_nSampleRate = ClampToInt(Le32(b + 11));
        e.m_nAddress = b[2];
        out.push_back(std::move(e));
    }
    return out;
}

bool DecodeLoggerHeader(const uint8_t* b, LoggerRecordHeader* out)
{
    if (b[0] != 0xA0 || b[1] != 0xA8)
        return false;
    LoggerRecordHeader h;
    const int code = b[2];
    h.m_nLogFunction = code;
    h.m_strLogFunction = FunctionName(code);
    h.m_strLogUnit = logger::LoggerUnit(code);
    char time[40];
    std::snprintf(time, sizeof time, "%.2x/%.2x/%.2x %.2x:%.2x:%.2x", b[5], b[4], b[3], b[6], b[7], b[8]);
    h.m_strLogTime = QString::fromLatin1(time);
    h.m_nLogInterval = ClampToInt(Le32(b + 9));
    h.m_nTotalBlocks = b[21] | b[22] << 8;
    h.m_fLogLimit = LoggerLimit(code);

    h.year = 2000 + BcdValue(b[3]);
    h.month = BcdValue(b[4]);
    h.day = BcdValue(b[5]);
    h.hour = BcdValue(b[6]);
    h.minute = BcdValue(b[7]);
    h.second = BcdValue(b[8]);
    // Day or month 0 is the meter's unset clock; any other impossible date is treated alike
    // rather than giving every reading an invalid time.
    h.badDate = h.day == 0 || h.month == 0 || !QDate(h.year, h.month, h.day).isValid()
        || !QTime(h.hour, h.minute, h.second).isValid();
    *out = std::move(h);
    return true;
}

void ScaleLoggerReading(int code, float limit, double* value, QString* unit)
{
    for (const ScaleRow& row : kScaleRows) {
        if (code != row.codes[0] && code != row.codes[1])
            continue;
        const double v = *value;
        if (v >= limit) {
            *value = logger::kOverRange;
            *unit = QString::fromUtf8(row.units[2]);
        } else if (row.testBelow && v <= -limit) {
            *value = -logger::kOverRange;
            *unit = QString::fromUtf8(row.units[2]);
        } else if (v < 500.0) {
            *unit = QString::fromUtf8(row.units[0]);
        } else if (v < 500000.0) {
            *value = v / 1000.0;
            *unit = QString::fromUtf8(row.units[1]);
        } else {
            *value = v / 1000000.0;
            *unit = QString::fromUtf8(row.units[2]);
        }
        return;
    }
}

namespace {

const ScaleRow* ScaleRowOf(int code)
{
    for (const ScaleRow& row : kScaleRows) {
        if (code == row.codes[0] || code == row.codes[1])
            return &row;
    }
    return nullptr;
}

// 1, 1000 or 1000000 for the row's three units; 0 for a unit not in the row.
double UnitFactor(const ScaleRow& row, const QString& unit)
{
    // The units as texts, made once: this runs for every reading of a record shown.
    static const std::vector<std::array<QString, 3>> texts = [] {
        std::vector<std::array<QString, 3>> out;
        for (const ScaleRow& r : kScaleRows)
            out.push_back({ QString::fromUtf8(r.units[0]), QString::fromUtf8(r.units[1]), QString::fromUtf8(r.units[2]) });
        return out;
    }();
    constexpr double kFactors[3] = { 1.0, 1000.0, 1000000.0 };
    const std::array<QString, 3>& units = texts[size_t(&row - kScaleRows)];
    for (int i = 0; i < 3; ++i) {
        if (unit == units[size_t(i)])
            return kFactors[i];
    }
    return 0.0;
}

} // namespace

QString logger::RecordUnit(int code, const std::vector<LoggerPoint>& points)
{
    const ScaleRow* row = ScaleRowOf(code);
    if (!row || points.empty())
        return QString();
    // The largest reading in range, compared in the function's base unit.
    const LoggerPoint* largest = nullptr;
    double largestBase = 0.0;
    for (const LoggerPoint& p : points) {
        const double factor = UnitFactor(*row, p.unit);
        if (factor == 0.0 || p.value >= kOverRange || p.value <= -kOverRange)
            continue;
        const double base = p.value * factor;
        if (!largest || base > largestBase) {
            largest = &p;
            largestBase = base;
        }
    }
    // Nothing in range: the over-range readings' own unit, the largest step.
    return largest ? largest->unit : QString::fromUtf8(row->units[2]);
}

double logger::ValueIn(int code, double value, const QString& from, const QString& to)
{
    const ScaleRow* row = ScaleRowOf(code);
    if (!row || from == to || value >= kOverRange || value <= -kOverRange)
        return value;
    const double f = UnitFactor(*row, from), t = UnitFactor(*row, to);
    return f == 0.0 || t == 0.0 ? value : value * (f / t);
}

QString LoggerPointTime(const LoggerRecordHeader& header, uint32_t offset)
{
    const QDateTime t = StartOf(header).addSecs(qint64(offset));
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%d/%d/%d %d:%d:%d", d.day(), d.month(), d.year(), c.hour(), c.minute(), c.second());
}

std::vector<LoggerPoint> DecodeLoggerBlock(const LoggerRecordHeader& header, std::string_view blockText, int records)
{
    std::vector<LoggerPoint> out;
    const int whole = int(std::min<size_t>(size_t(std::max(records, 0)), blockText.size() / logger::kReadingChars));
    out.reserve(size_t(whole));
    const QDateTime start = StartOf(header);
    for (int i = 0; i < whole; ++i) {
        const std::string_view reading = blockText.substr(size_t(i) * logger::kReadingChars, logger::kReadingChars);
        uint8_t b[8];
        HexToBytes(8, b, reading, 2);
        LoggerPoint p;
        p.value = FrameFloatAt(reading, 0);
        p.unit = header.m_strLogUnit;
        ScaleLoggerReading(header.m_nLogFunction, header.m_fLogLimit, &p.value, &p.unit);
        const QDateTime t = start.addSecs(qint64(Le32(b + 4)));
        const QDate d = t.date();
        const QTime c = t.time();
        p.time = QString::asprintf("%d/%d/%d %d:%d:%d", d.day(), d.month(), d.year(), c.hour(), c.minute(), c.second());
        out.push_back(std::move(p));
    }
    return out;
}
