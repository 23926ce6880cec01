#pragma once
// A record downloaded from the meter's logger as one value, and how it fills the "DataLogger"
// document: series 0 takes its readings, the statistics are computed from the readings in range,
// and the graph's vertical range follows from them.
#include "logger/LoggerFrames.h"

#include <vector>

class CDataLog;

struct LoggerRecord {
    int address = 0; // record address; 0 for a record the meter sent unasked
    bool listed = false; // fetched through the list
    LoggerListData entry; // its list entry (empty for an unasked record)
    LoggerRecordHeader header;
    std::vector<LoggerPoint> points;
};

// What the view needs beyond the document to draw a downloaded record: the limit line and the
// vertical range of the graph.
struct LoggerDisplay {
    float limit = 1000.0f; // the first point's over-range limit
    double yMax = 0.0;
    double yMin = 0.0;
};

namespace logger {
// The document's title while it shows a downloaded record.
constexpr const char* kDocumentTitle = "DataLogger";
// A value as the data list shows a downloaded reading: "%.4f", or "OL" at or beyond the sentinel.
QString ValueText(double value);
} // namespace logger

// Replaces the document's points and statistics with the record's: every reading goes to
// series 0 (value, unit, sample interval, index 0, time text, the function name as label, the
// limit as range), all in the record's one unit (logger::RecordUnit); readings strictly inside +/-500000 build the sum, average, maximum and minimum
// (the first of equal extremes keeps its time). Returns the graph's range.
LoggerDisplay FillLoggerDocument(CDataLog& doc, const LoggerRecord& record);
