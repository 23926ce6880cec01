#pragma once
// The texts a data-log document is shown and written as: the value of a list row (each place has
// its own "OL" rule), the summary, the tab-separated ".xls" export, and the vertical range a view
// starts with. Core code: no windows.
#include "datalog/DataLog.h"
#include "datalog/ObData.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

namespace datalog_text {

constexpr double kOverRange = kStoredOverRange;

// Where a value is shown. Every place follows one rule: a value that is not a number or is
// infinite is shown empty, one at or beyond the over-range mark (either sign, or an absurd
// magnitude such as 1e308) reads "OL", any other is the number; the places differ only in the
// number's decimals.
enum class Place {
    LoadedList, // "%.4f" (a loaded file's list)
    DownloadedList, // "%.4f"
    LiveList, // "%.4f" (live recording)
    SavedList, // "%.4f" (the meter's saved readings)
    Export, // "%.4f"
    PrintTable, // "%.2f"
};
QString ValueText(double value, Place place);

// The maximum, minimum and average as shown at `place`: ValueText's rule, except that an
// extreme still at its start value was never set: it reads "OL" when the document holds
// readings (none was in range) and is empty when it holds none. The average of a document
// whose extremes were never set reads the same.
struct StatTexts {
    QString max;
    QString min;
    QString average;
    bool maxSet = false;
    bool minSet = false;
};
StatTexts StatisticsTexts(const CDataLog& log, Place place);

// The summary box: start and end time, maximum and minimum with their times (see
// StatisticsTexts), average, number of points and function text, CR LF line ends.
QString SummaryText(const CDataLog& log);

// The ".xls" export: the bytes FF FE, then UTF-16LE text, tab-separated, CR LF line ends. Null
// elements of series 0 are left out. Empty when series 0 holds no point.
QByteArray ExportXls(const CDataLog& log);
// Number of real (non-null) points in series 0.
qsizetype PointCount(const CDataSeries& s);
// Writes the export of `log` to `path` through a temporary file that replaces `path` only when
// complete. False with a one-line `message` when series 0 is empty or the file cannot be written;
// then no file is made and an existing one is left as it was.
bool WriteExportXls(const QString& path, const CDataLog& log, QString* message = nullptr);
// The proposed file name: "%d-%d-%d %d-%d.xls" of year, month, day, hour and minute.
QString DefaultExportName(const QDateTime& now);

// A vertical range for the graph; always max > min.
struct YRange {
    double max = 500.0;
    double min = -500.0;
};
// The range a view shows for data whose in-range extremes are `max` and `min`: [min - m, max + m]
// with m a tenth of the span, at least 0.01 (`exactZeroOnly`: 0.01 only replaces a margin of
// exactly 0, as the settings dialog does). When no reading is in range (max < min: all over range,
// or none yet) the range is [0, limit] (limit > 0), else [0, 1].
YRange FitYRange(double max, double min, float limit, bool exactZeroOnly = false);

// Moves downloaded logger points into series 0 of `log` (null points are skipped) and fills its
// statistics from the in-range ones (strictly between -500000 and 500000): sum, average, maximum
// and minimum with their time stamps (strict comparisons), then the first point's sampling
// interval and function text, the first and last time stamps and the number of points. Returns
// the vertical range to show: when the first point's limit is below the maximum, [min, limit]
// with a minimum still at its start value taken as 0, otherwise FitYRange.
YRange TakeDownloadedPoints(CDataLog& log, const QVector<CObData>& points);

} // namespace datalog_text
