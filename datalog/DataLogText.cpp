#include "datalog/DataLogText.h"

#include <QDir>
#include <QSaveFile>
#include <cmath>

namespace datalog_text {

QString ValueText(double value, Place place)
{
    bool ol = false;
    switch (place) {
    case Place::LoadedList:
    case Place::Export:
        ol = value == kOverRange;
        break;
    case Place::DownloadedList:
        ol = value >= kOverRange || value <= -kOverRange;
        break;
    case Place::LiveList:
    case Place::PrintTable:
        ol = value == kOverRange || value == -kOverRange;
        break;
    case Place::SavedList:
        break;
    }
    if (ol)
        return QStringLiteral("OL");
    return QString::asprintf(place == Place::PrintTable ? "%.2f" : "%.4f", value);
}

QString SummaryText(const CDataLog& log)
{
    const QString maxText = (log.m_dMax >= kOverRange || log.m_dMax <= -kOverRange)
        ? QStringLiteral("OL")
        : QString::asprintf("%.4f", log.m_dMax);
    const QString minText
        = log.m_dMin == CDataLog::kInitialMin ? QStringLiteral("OL") : QString::asprintf("%.4f", log.m_dMin);
    // Built piece by piece: the texts come from files and may hold '%'.
    QString s = QStringLiteral("---------------------------Summary---------------------------\r\n\r\n");
    s += QStringLiteral("StartTime: ") + log.m_strStartTime + QStringLiteral(" \r\n\r\n");
    s += QStringLiteral("EndTime: ") + log.m_strEndTime + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Maximum: ") + maxText + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Maxinum Time: ") + log.m_strMaxTime + QStringLiteral(" \r\n\r\n");
    s += QStringLiteral("Minimum: ") + minText + QStringLiteral("\r\n\r\n");
    s += QStringLiteral("Minimum Time: ") + log.m_strMinTime + QStringLiteral("\r\n\r\n");
    s += QString::asprintf("Average:%.4f\r\n\r\n", log.m_dAverage);
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
    const CDataSeries& s = log.m_arrSeries[0];
    qsizetype last = s.Size() - 1;
    while (last >= 0 && s.IsNull(last))
        --last;
    if (last < 0)
        return QByteArray();

    const QString tab = QStringLiteral("\t");
    const QString eol = QStringLiteral("\t\r\n");
    QString text;
    text.reserve(64 + s.Size() * 48);
    text += QStringLiteral("StartTime\t") + log.m_strStartTime + eol;
    text += QStringLiteral("Max\t") + QString::asprintf("%.4f @ ", log.m_dMax) + log.m_strMaxTime + eol;
    text += QStringLiteral("Min\t") + QString::asprintf("%.4f @ ", log.m_dMin) + log.m_strMinTime + eol;
    text += QString::asprintf("Average\t%.4f", log.m_dAverage) + eol;
    text += QStringLiteral("EndTime\t");
    text += s.DateTimeView(last);
    text += eol;
    text += QStringLiteral("ID\tUnit\tValue\tType\tDateTime\t\r\n");
    int number = 0;
    for (qsizetype i = 0; i <= last; ++i) {
        if (s.IsNull(i))
            continue;
        text += QString::number(++number) + tab + s.Unit(i) + tab + ValueText(s.Value(i), Place::Export) + tab
            + s.Type(i) + tab;
        text += s.DateTimeView(i);
        text += eol;
    }

    QByteArray bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.append(char(0xFF)).append(char(0xFE));
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        bytes.append(char(u & 0xFF)).append(char(u >> 8));
    }
    return bytes;
}

bool WriteExportXls(const QString& path, const CDataLog& log, QString* message)
{
    const QByteArray bytes = ExportXls(log);
    if (bytes.isEmpty()) {
        if (message)
            *message = QStringLiteral("The document holds no reading to export.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (message)
            *message
                = QStringLiteral("Cannot save \"%1\": %2.").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
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
