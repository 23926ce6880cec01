#pragma once
// One series of a data-log document: an ordered list of points, some of which may be null
// elements (a file can hold them).
//
// A recording can hold a million points, so the points are not kept as separate objects: each
// takes one fixed-size record, the time stamps lie end to end in one character block, and the
// unit and label texts, which repeat from point to point, are kept once and shared.
#include "datalog/ObData.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <vector>

namespace datalog_detail {
// Large blocks come from the system in huge pages where it offers them: a million-point series
// then costs a few dozen page faults instead of tens of thousands.
void* BulkAllocate(size_t bytes);
void BulkFree(void* p, size_t bytes);

template <typename T> struct BulkAllocator {
    using value_type = T;
    BulkAllocator() = default;
    template <typename U> BulkAllocator(const BulkAllocator<U>&) noexcept { }
    T* allocate(size_t n) { return static_cast<T*>(BulkAllocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { BulkFree(p, n * sizeof(T)); }
    template <typename U> bool operator==(const BulkAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const BulkAllocator<U>&) const noexcept { return false; }
};
} // namespace datalog_detail

class CDataSeries {
public:
    qsizetype Size() const { return static_cast<qsizetype>(m_recs.size()); }
    bool IsEmpty() const { return m_recs.empty(); }
    // The points that are not null elements: the readings of series 0.
    qsizetype PointCount() const { return Size() - m_nNulls; }
    // Points the series holds room for; each point or null element takes kBytesPerPoint.
    qsizetype Capacity() const { return static_cast<qsizetype>(m_recs.capacity()); }

    // True for a null element; its accessors give the values of a default CObData.
    bool IsNull(qsizetype i) const { return rec(i).unit == kNullId; }
    CObData At(qsizetype i) const;
    double Value(qsizetype i) const { return rec(i).value; }
    double SampleRate(qsizetype i) const { return rec(i).rate; }
    qint32 Index(qsizetype i) const { return rec(i).index; }
    float Range(qsizetype i) const { return rec(i).range; }
    const QString& Unit(qsizetype i) const { return text(rec(i).unit); }
    const QString& Type(qsizetype i) const { return text(rec(i).type); }
    // The time stamp as a view into the series: valid until the series changes.
    QStringView DateTimeView(qsizetype i) const;
    QString DateTime(qsizetype i) const { return DateTimeView(i).toString(); }

    void Append(const CObData& p);
    void Append(double value, QStringView unit, double sampleRate, qint32 index, QStringView dateTime, QStringView type,
        float range);
    void AppendNull();
    // Appends a copy of point `i` of `from` (which may be this series).
    void AppendCopy(const CDataSeries& from, qsizetype i);

    // Room for `points` points with `chars` characters of time stamps in all.
    void Reserve(qsizetype points, qsizetype chars = 0);
    // Deletes every point.
    void Clear();

    bool operator==(const CDataSeries& o) const;
    bool operator!=(const CDataSeries& o) const { return !(*this == o); }

private:
    struct Rec;

public:
    static constexpr size_t kBytesPerPoint = 40;

private:
    static constexpr quint32 kNullId = 0xFFFFFFFFu;

    struct Rec {
        double value;
        double rate;
        quint64 timeEnd; // end of this point's time stamp in m_chars
        qint32 index;
        float range;
        quint32 unit; // into m_texts, kNullId for a null element
        quint32 type;
    };
    static_assert(sizeof(Rec) == kBytesPerPoint, "a point and a null element take one record each");

    const Rec& rec(qsizetype i) const { return m_recs[static_cast<size_t>(i)]; }
    const QString& text(quint32 id) const;
    quint32 Intern(QStringView s, quint32& lastHit);
    quint64 TimeEnd() const { return m_recs.empty() ? 0 : m_recs.back().timeEnd; }

    std::vector<Rec, datalog_detail::BulkAllocator<Rec>> m_recs;
    std::vector<char16_t, datalog_detail::BulkAllocator<char16_t>> m_chars;
    std::vector<QString> m_texts;
    QHash<QString, quint32> m_textIds;
    quint32 m_lastUnit = kNullId;
    quint32 m_lastType = kNullId;
    qsizetype m_nNulls = 0;
};
