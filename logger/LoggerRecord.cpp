#include "logger/LoggerRecord.h"

#include "datalog/DataLog.h"

#include <algorithm>

QString logger::ValueText(double value)
{
    if (value >= kOverRange || value <= -kOverRange)
        return QStringLiteral("OL");
    return QString::asprintf("%.4f", value);
}

LoggerDisplay FillLoggerDocument(CDataLog& doc, const LoggerRecord& record)
{
    doc.DeleteContents();
    doc.m_strStartTime.clear();
    doc.m_strEndTime.clear();
    doc.m_dSampleRate = 1.0;

    const LoggerRecordHeader& h = record.header;
    const double interval = h.m_nLogInterval;
    CDataSeries& series = doc.m_arrSeries[0];
    qsizetype chars = 0;
    for (const LoggerPoint& p : record.points)
        chars += p.time.size();
    series.Reserve(qsizetype(record.points.size()), chars);
    // One unit for the whole record, so that the statistics and the graph compare like with like.
    const QString unit = logger::RecordUnit(h.m_nLogFunction, record.points);
    for (const LoggerPoint& p : record.points) {
        if (unit.isEmpty())
            series.Append(p.value, p.unit, interval, 0, p.time, h.m_strLogFunction, h.m_fLogLimit);
        else
            series.Append(logger::ValueIn(h.m_nLogFunction, p.value, p.unit, unit), unit, interval, 0, p.time,
                h.m_strLogFunction, h.m_fLogLimit);
    }
    doc.TakeStatistics(0);
    if (!record.points.empty()) {
        doc.m_dSampleRate = interval;
        doc.m_strType = h.m_strLogFunction;
        doc.m_strStartTime = record.points.front().time;
        doc.m_strEndTime = record.points.back().time;
    }

    LoggerDisplay display;
    display.limit = h.m_fLogLimit;
    const double max = doc.m_dMax, min = doc.m_dMin;
    const double d = std::max((max - min) / 10.0, 0.01);
    if (doc.m_nAvgCount == 0) {
        // Nothing in range (every reading over range): the graph spans zero to the limit
        // instead of the inverted range the initial extremes would give.
        display.yMax = display.limit;
        display.yMin = 0.0;
    } else if (max <= display.limit) {
        display.yMax = max + d;
        display.yMin = min - d;
    } else {
        display.yMax = display.limit;
        display.yMin = min == CDataLog::kInitialMin ? 0.0 : min;
    }
    return display;
}
