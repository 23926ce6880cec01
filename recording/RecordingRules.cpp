#include "recording/RecordingRules.h"

#include "datalog/DataLog.h"

#include "protocol/MeterData.h"

#include <QSettings>
#include <cstdio>

namespace recording {

namespace {

struct RangeRow {
    int decimals;
    double acMax; // AC-like functions: acMax .. 0
    double dcMax; // DC-like functions: dcMax .. -dcMax
};

// By the digits shown; the micro-ampere ranges reach further at one decimal.
constexpr RangeRow kRanges[] = {
    { 4, 5.0, 5.0 },
    { 3, 50.0, 50.0 },
    { 2, 500.0, 500.0 },
    { 1, 1000.0, 1000.0 },
};
constexpr double kMicroAmpOneDecimal = 5000.0;

const char* const kAcLike[] = { "VAC", "RES", "Diode", "mVAC", "AAC", "mAAC", "uAAC" };
const char* const kDcLike[] = { "VDC", "mVDC", "ADC", "mADC", "uADC" };

bool OneOf(const QString& function, const char* const* names, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (function == QLatin1String(names[i]))
            return true;
    }
    return false;
}

} // namespace

int MaxReadingsSetting(const QString& iniPath)
{
    constexpr int kDefault = 20000;
    // A document may not grow past what can be opened again once saved.
    constexpr qlonglong kMost = static_cast<qlonglong>(CDataLog::kMaxLoadPoints);
    if (iniPath.isEmpty())
        return kDefault;
    const QSettings ini(iniPath, QSettings::IniFormat);
    bool ok = false;
    const qlonglong v = ini.value(QStringLiteral("Recording/MaxReadings")).toString().trimmed().toLongLong(&ok);
    return ok && v >= 1 && v <= kMost ? static_cast<int>(v) : kDefault;
}

bool VerticalRangeFor(int decimals, const QString& function, double* max, double* min)
{
    const bool ac = OneOf(function, kAcLike, std::size(kAcLike));
    const bool dc = OneOf(function, kDcLike, std::size(kDcLike));
    if (!ac && !dc)
        return false;
    for (const RangeRow& row : kRanges) {
        if (row.decimals != decimals)
            continue;
        double top = ac ? row.acMax : row.dcMax;
        if (decimals == 1 && (function == QLatin1String("uAAC") || function == QLatin1String("uADC")))
            top = kMicroAmpOneDecimal;
        *max = top;
        *min = ac ? 0.0 : -top;
        return true;
    }
    return false;
}

bool ParseStamp(const QString& stamp, QDateTime* out)
{
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    char suffix[8] = {};
    const QByteArray text = stamp.toLatin1();
    if (std::sscanf(text.constData(), "%d/%d/%d %d:%d:%d %7s", &day, &month, &year, &hour, &minute, &second, suffix)
        < 6)
        return false;
    if (qstrcmp(suffix, "pm") == 0)
        hour += 12;
    *out = MeterClock(2000 + year, month, day, hour, minute, second);
    return out->isValid();
}

QString RunStartText(int kind, const MeterData& d)
{
    QDateTime clock;
    if (kind == 4 || kind == 5)
        ParseStamp(d.m_strStart, &clock);
    else
        clock = MeterClock(2000 + d.m_byYear, d.m_byMonth, d.m_byDay, d.m_byHour, d.m_byMinute, d.m_bySecond);
    if (!clock.isValid())
        return QString();

    int h = 0, m = 0, s = 0;
    const QByteArray elapsed = d.m_statAvg.m_strTime.toLatin1();
    if (std::sscanf(elapsed.constData(), "%d:%d:%d", &h, &m, &s) == 3)
        clock = clock.addSecs(-(qint64(h) * 3600 + qint64(m) * 60 + s));

    const QDate date = clock.date();
    const QTime time = clock.time();
    return QString::asprintf("%.2d/%.2d/%.2d %.2d:%.2d:%.2d", date.year(), date.month(), date.day(), time.hour(),
        time.minute(), time.second());
}

float CrestFactor(float value, float peakMax, float peakMin)
{
    if (value == 0.0f)
        return kFallbackCrestFactor;
    const float cf = static_cast<float>((static_cast<double>(peakMax) - peakMin) / (2.0 * value));
    if (!(cf > 1.0f && cf < 5.0f))
        return kFallbackCrestFactor;
    return cf;
}

} // namespace recording
