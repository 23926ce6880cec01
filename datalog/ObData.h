#pragma once
// One logged point of a data-log document.
#include <QString>
#include <QtGlobal>

// An over-range reading is stored as this value with either sign (the file format's sentinel).
constexpr double kStoredOverRange = 500000.0;

struct CObData {
    double m_dValue = 0.0; // reading in the displayed unit; over range is +/-500000
    QString m_strUnit; // unit text, e.g. "mVDC"
    double m_dSampleRate = 0.0; // sampling interval in seconds (0 live, 1 saved readings)
    qint32 m_nIndex = 0; // number of series-0 points before this reading
    QString m_strDateTime; // time stamp text
    QString m_strType; // function text or the word of a statistic
    float m_fRange = 0.0f; // over-range limit in force when the point was taken

    CObData() = default;
    CObData(const CObData&) = default;
    CObData& operator=(const CObData&) = default;
    CObData(double value, const QString& unit, double sampleRate, qint32 index, const QString& dateTime,
        const QString& type, float range)
        : m_dValue(value)
        , m_strUnit(unit)
        , m_dSampleRate(sampleRate)
        , m_nIndex(index)
        , m_strDateTime(dateTime)
        , m_strType(type)
        , m_fRange(range)
    {
    }

    bool operator==(const CObData& o) const
    {
        return m_dValue == o.m_dValue && m_strUnit == o.m_strUnit && m_dSampleRate == o.m_dSampleRate
            && m_nIndex == o.m_nIndex && m_strDateTime == o.m_strDateTime && m_strType == o.m_strType
            && m_fRange == o.m_fRange;
    }
    bool operator!=(const CObData& o) const { return !(*this == o); }
};
