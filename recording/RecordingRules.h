#pragma once
// The small rules of recording readings, as pure functions: the graph's
// vertical range for a function and its decimals, the meter's time stamps, the start of a
// MAX/MIN or PEAK run and the crest factor of a PEAK reading.
#include "datalog/ObData.h"
#include "protocol/MeterTime.h"

#include <QDateTime>
#include <QString>

struct MeterData;

namespace recording {

// The over-range sentinel a reading beyond the meter's limit is stored as (with its sign).
constexpr double kOverRange = kStoredOverRange;
// What a crest factor outside (1, 5), or of a zero reading, is recorded as: 1.3 in single
// precision (1.2999999523162842).
constexpr float kFallbackCrestFactor = 1.3f;

// The words that label the statistic points of saved readings.
inline const QString kWordMax = QStringLiteral("Max");
inline const QString kWordMin = QStringLiteral("Min");
inline const QString kWordAverage = QStringLiteral("Average");
inline const QString kWordRef = QStringLiteral("Ref");
inline const QString kWordRel = QStringLiteral("Rel");
inline const QString kWordPeakMax = QStringLiteral("PeakMax");
inline const QString kWordPeakMin = QStringLiteral("PeakMin");
inline const QString kWordPeakAverage = QStringLiteral("PeakAverage");
inline const QString kWordCrestFactor = QStringLiteral("Crest Factor");

// The most live readings one document takes: 20000, unless the settings file `iniPath` raises
// it with the key MaxReadings of its section [Recording] (for logging over days). A value that
// is not a whole number from 1 to CDataLog::kMaxLoadPoints (the most a document file may hold to
// be opened again) is ignored.
int MaxReadingsSetting(const QString& iniPath);


// The graph's vertical range for a reading of `function` shown with `decimals` digits: false
// (range left as it is) for decimals outside 1..4 and functions that are neither AC-like nor
// DC-like.
bool VerticalRangeFor(int decimals, const QString& function, double* max, double* min);

// The meter's clock as a time without zone (protocol/MeterTime).
using meter_time::MeterClock;

// Reads a stamp "%d/%d/%d %d:%d:%d %s" (day, month, two-digit year, hour, minute, second,
// "am"/"pm") as the meter's clock (MeterClock); "pm" adds 12 hours. False when the text is not
// such a stamp.
bool ParseStamp(const QString& stamp, QDateTime* out);

// The start of the meter's MAX/MIN (kind 2) or PEAK (kinds 4, 5) run: the frame's clock (for
// PEAK the stamp in m_strStart) less the elapsed time of m_statAvg.m_strTime ("h:m:s"), as
// "%.2d/%.2d/%.2d %.2d:%.2d:%.2d" (four-digit year, month, day, hour, minute, second). Empty
// when the clock cannot be read.
QString RunStartText(int kind, const MeterData& record);

// The crest factor of a PEAK reading: (peak max - peak min) / (2 x reading), or 1.3 when the
// reading is 0 or the result is not strictly between 1 and 5.
float CrestFactor(float value, float peakMax, float peakMin);

} // namespace recording
