#pragma once
// One series of a data-log document: an ordered list of points, some of which may be null
// elements (a file can hold them).
//
// A recording can hold ten million points, so the points are not kept as separate objects: each
// takes one fixed-size record, the time stamps lie end to end in blocks of characters, and the
// unit and label texts, which repeat from point to point, are kept once and shared. Records and
// characters sit in blocks that never move (datalog/ChunkedArray.h): appending never copies the
// points already held.
#include "datalog/ChunkedArray.h"
#include "datalog/ObData.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <map>
#include <vector>

class CDataSeries {
public:
    qsizetype Size() const { return static_cast<qsizetype>(m_recs.Size()); }
    bool IsEmpty() const { return m_recs.IsEmpty(); }
    // The points that are not null elements: the readings of series 0.
    qsizetype PointCount() const { return Size() - m_nNulls; }
    // Points the series holds room for; each point or null element takes kBytesPerPoint.
    qsizetype Capacity() const { return static_cast<qsizetype>(m_recs.Capacity()); }

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

    // Room for `points` points with `chars` characters of time stamps in all (blocks past the
    // first are still allocated only when reached).
    void Reserve(qsizetype points, qsizetype chars = 0);
    // Deletes every point.
    void Clear();

    bool operator==(const CDataSeries& o) const;
    bool operator!=(const CDataSeries& o) const { return !(*this == o); }

private:
    struct Rec;

public:
    static constexpr size_t kBytesPerPoint = 40;
    // Points per block of records: a block is allocated whole once the series passes it.
    static constexpr int kChunkBits = 17;
    static constexpr qsizetype kChunkPoints = qsizetype(1) << kChunkBits;
    // Characters per block of time stamps; a longer stamp is kept apart.
    static constexpr int kTimeChunkBits = 21;

    // What a graph needs of kSpanPoints consecutive points (from a multiple of kSpanPoints) to
    // draw them without visiting each: their smallest and largest value and the largest step
    // between neighbours. `plain` says every one of them is a finite value that is neither a null
    // element nor an over-range mark (+-500000 or above), so those three describe them fully.
    struct Span {
        double min;
        double max;
        double maxStep;
        bool plain;
    };
    static constexpr int kSpanBits = 8;
    static constexpr qsizetype kSpanPoints = qsizetype(1) << kSpanBits;
    // The summary of the points from `first` (a multiple of kSpanPoints) to the end of their
    // span or of the series, whichever comes first.
    const Span& SpanFrom(qsizetype first) const { return m_spans[0][static_cast<size_t>(first >> kSpanBits)]; }

    // The same summaries over longer spans, so that a picture of ten million points reads a few
    // per pixel column: level 0 spans kSpanPoints points, each next level 16 times as many.
    static constexpr int kSpanLevels = 4;
    static constexpr int kLevelBits = 4;
    static constexpr int SpanBitsAt(int level) { return kSpanBits + level * kLevelBits; }
    // The summary at `level` of the points from `first` (a multiple of 1 << SpanBitsAt(level)) to
    // the end of their span or of the series.
    const Span& SpanFrom(int level, qsizetype first) const
    {
        return m_spans[level][static_cast<size_t>(first >> SpanBitsAt(level))];
    }

private:
    static constexpr quint32 kNullId = 0xFFFFFFFFu;

    struct Rec {
        double value;
        double rate;
        quint64 time; // where the time stamp begins in m_chars << 24 | its length (kLongTime: apart)
        qint32 index;
        float range;
        quint32 unit; // into m_texts, kNullId for a null element
        quint32 type;
    };
    static_assert(sizeof(Rec) == kBytesPerPoint, "a point and a null element take one record each");

    static constexpr quint64 kLongTime = 0xFFFFFF;

    const Rec& rec(qsizetype i) const { return m_recs[static_cast<size_t>(i)]; }
    const QString& text(quint32 id) const;
    quint32 Intern(QStringView s, quint32& lastHit);
    quint64 StoreTime(QStringView dateTime);
    void PushRec(const Rec& r);

    datalog_detail::ChunkedArray<Rec, kChunkBits> m_recs;
    datalog_detail::ChunkedArray<char16_t, kTimeChunkBits> m_chars;
    // Time stamps longer than a block of characters, by point.
    std::map<qsizetype, QString> m_longTimes;
    datalog_detail::ChunkedArray<Span, 12> m_spans[kSpanLevels];
    std::vector<QString> m_texts;
    QHash<QString, quint32> m_textIds;
    quint32 m_lastUnit = kNullId;
    quint32 m_lastType = kNullId;
    qsizetype m_nNulls = 0;
};
