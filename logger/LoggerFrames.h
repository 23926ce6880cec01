#pragma once
// The frames of the meter's logger memory and what they decode to: the list of stored records
// (26-byte entries), a record's header (26 bytes) and its blocks of readings (8 bytes each).
// Pure functions over bytes and text: they run on the receive thread and their results travel
// to the GUI thread as values.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string_view>
#include <vector>

// One entry of the meter's list of stored records.
struct LoggerListData {
    QString m_strFunction; // function name
    QString m_strTime; // start time, "%.2x-%.2x-20%.2x, %.2x %.2x %.2x" (day, month, year, h, m, s)
    int m_nPoints = 0; // number of readings
    int m_nSampleRate = 0; // sample interval in seconds
    int m_nAddress = 0; // record address, used to request it

    // The five texts of the Logger List pane's columns.
    QStringList ColumnTexts() const;
};

// The header of one stored record.
struct LoggerRecordHeader {
    int m_nLogFunction = 0; // function code
    QString m_strLogFunction; // function name
    QString m_strLogUnit; // default unit of the function
    QString m_strLogTime; // "%.2x/%.2x/%.2x %.2x:%.2x:%.2x" (day, month, year, h, m, s)
    int m_nLogInterval = 0; // sample interval in seconds
    int m_nTotalBlocks = 0;
    float m_fLogLimit = 1000.0f;
    // The start time as calendar fields; badDate when it is no real date (day or month 0 in
    // particular), in which case the record is dated kFallbackStart.
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool badDate = false;
};

// One downloaded reading, before it is given its record address.
struct LoggerPoint {
    double value = 0.0;
    QString unit;
    QString time; // "%d/%d/%d %d:%d:%d" (day, month, four-digit year, h, m, s)
};

namespace logger {

constexpr int kEntryBytes = 26;
constexpr int kEntryChars = 2 * kEntryBytes;
constexpr int kHeaderBytes = 26;
constexpr int kReadingChars = 16;
constexpr double kOverRange = 500000.0;
constexpr const char* kBadDateText = "The datatime is wrong, Please check and change!";
constexpr const char* kBadDateCaption = "error";

// Default unit by function code (32 entries; empty beyond).
QString LoggerUnit(int code);
// Each reading of a frequency, capacitance or resistance record comes with a unit step of its
// own; one record is shown in one unit: the step of its largest reading in range (the largest
// step when every reading is over range). Empty for functions whose unit is not stepped.
QString RecordUnit(int code, const std::vector<LoggerPoint>& points);
// `value` in unit `from` expressed in unit `to` (both steps of the function `code`). The
// over-range sentinels stay as they are.
double ValueIn(int code, double value, const QString& from, const QString& to);
// The whole table, built once.
const QStringList& LoggerUnitTable();

} // namespace logger

// g_astrLoggerUnit of the protocol: the table as a global, for code that indexes it directly.
extern const QStringList& g_astrLoggerUnit;

// Over-range limit by function code.
float LoggerLimit(int code);

// Number of records announced by the first list entry (byte 3), from its 52 characters.
int DecodeLoggerListHeader(std::string_view entryText);
// Every whole 52-character entry of the list text, in order.
std::vector<LoggerListData> DecodeLoggerList(std::string_view listText);
// The 26 header bytes. Returns false (and leaves *out alone) when they are no record header.
bool DecodeLoggerHeader(const uint8_t* bytes, LoggerRecordHeader* out);
// One block body: `records` readings of 16 characters each from the front of the text. Readings
// the text does not hold are not made up.
std::vector<LoggerPoint> DecodeLoggerBlock(const LoggerRecordHeader& header, std::string_view blockText, int records);

// The over-range rule and unit scaling of one reading of the given function.
void ScaleLoggerReading(int code, float limit, double* value, QString* unit);
// "%d/%d/%d %d:%d:%d" of the header's start plus `offset` seconds.
QString LoggerPointTime(const LoggerRecordHeader& header, uint32_t offset);
