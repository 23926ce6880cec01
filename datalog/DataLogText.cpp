#include "datalog/DataLogText.h"

#include "platform/ArchiveFile.h"

#include <QDir>
#include "datalog/DataLogExport.h"

#include <cmath>

namespace datalog_text {

QString ValueText(double value, Place place)
{
    if (!std::isfinite(value))
        return QString();
    if (value >= kOverRange || value <= -kOverRange)
        return QStringLiteral("OL");
    return QString::asprintf(place == Place::PrintTable ? "%.2f" : "%.4f", value);
}

StatTexts StatisticsTexts(const CDataLog& log, Place place)
{
    StatTexts t;
    const QString unset = log.m_nDataNumber > 0 ? QStringLiteral("OL") : QString();
    t.maxSet = log.m_dMax != CDataLog::kInitialMax;
    t.minSet = log.m_dMin != CDataLog::kInitialMin;
    t.max = t.maxSet ? ValueText(log.m_dMax, place) : unset;
    t.min = t.minSet ? ValueText(log.m_dMin, place) : unset;
    t.average = t.maxSet || t.minSet ? ValueText(log.m_dAverage, place) : unset;
    return t;
}

QString SummaryText(const CDataLog& log)
{
    const StatTexts st = StatisticsTexts(log, Place::LoadedList);
    // Built piece by piece: the texts come from files and may hold '%'.
    QString s = QStringLiteral("---------------------------Summary---------------------------\r\n\r\n");
    s += QStringLiteral("StartTime: ") + log.m_strStartTime + QStringLiteral(" \r\n\r\n");
    s += QStringLiteral("EndTime: ") + log.m_strEndTime + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Maximum: ") + st.max + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Maxinum Time: ") + log.m_strMaxTime + QStringLiteral(" \r\n\r\n");
    s += QStringLiteral("Minimum: ") + st.min + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Minimum Time: ") + log.m_strMinTime + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Average:") + st.average + QStringLiteral("\r\n\r\n");
    s += QString::asprintf("DataNumber: %d\r\n\r\n", log.m_nDataNumber);
    s += QStringLiteral("Type:") + log.m_strType + QStringLiteral("\r\n\r\n");
    return s;
}

qsizetype PointCount(const CDataSeries& s)
{
    return s.PointCount();
}

QByteArray ExportXls(const CDataLog& log)
{
    QByteArray bytes;
    datalog_export::CTextExport e(log, datalog_export::Format::Xls, [&bytes](const char* data, qint64 size) {
        bytes.append(data, size);
        return true;
    });
    if (e.IsEmpty())
        return QByteArray();
    e.Step(e.Total());
    return bytes;
}

bool WriteExportXls(const QString& path, const CDataLog& log, QString* message)
{
    return datalog_export::WriteExport(path, log, datalog_export::Format::Xls, message);
}

QString DefaultExportName(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%d-%d-%d %d-%d.xls", d.year(), d.month(), d.day(), t.hour(), t.minute());
}

YRange FitYRange(double max, double min, float limit, bool exactZeroOnly)
{
    YRange r;
    if (!(max >= min) || !std::isfinite(max) || !std::isfinite(min)) {
        // Nothing in range: show the band from 0 up to the limit, as a meter reading OL would.
        r.min = 0.0;
        r.max = limit > 0.0f && std::isfinite(limit) ? double(limit) : 1.0;
        return r;
    }
    double m = (max - min) / 10.0;
    if (exactZeroOnly ? m == 0.0 : m < 0.01)
        m = 0.01;
    r.max = max + m;
    r.min = min - m;
    return r;
}

YRange TakeDownloadedPoints(CDataLog& log, const QVector<CObData>& points)
{
    CDataSeries& s = log.m_arrSeries[0];
    const qsizetype from = s.Size();
    s.Reserve(from + points.size());
    for (const CObData& p : points)
        s.Append(p);
    log.TakeStatistics(from);
    const double max = log.m_dMax;
    const double min = log.m_dMin;
    const int counted = log.m_nAvgCount;
    if (points.isEmpty())
        return FitYRange(max, min, 0.0f);

    const CObData& first = points.first();
    log.m_dSampleRate = first.m_dSampleRate;
    log.m_strType = first.m_strType;
    log.m_strStartTime = first.m_strDateTime;
    log.m_strEndTime = points.last().m_strDateTime;

    if (counted > 0 && double(first.m_fRange) < max) {
        YRange r;
        r.max = first.m_fRange;
        r.min = min == CDataLog::kInitialMin ? 0.0 : min;
        if (r.max > r.min)
            return r;
    }
    return FitYRange(max, min, first.m_fRange);
}

} // namespace datalog_text
