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
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
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

    // A document read in pieces (CDataLog::ReadInPieces) gets its points a piece at a time. A
    // piece may hold references to a point read before: of series `series`, at `at` (where the
    // file stores one object twice). Only a piece holds them; AppendPiece resolves them.
    void AppendReference(int series, qsizetype at);
    // Appends every point of `piece`; a reference in it is resolved through `seriesAt`, which
    // gives the series with that number (this one included) holding every point read before it.
    // The piece's ready blocks become this series' spare ones.
    template <typename SeriesAt> void AppendPiece(CDataSeries& piece, SeriesAt seriesAt);
    // Whole blocks made ready (allocated, their pages touched) by a thread of their own while a
    // file is read in pieces, a few ahead of need: touching fresh pages is the system clearing
    // them, as much work as reading the file, and this way it runs beside the reading.
    class CReadyBlocks;
    // A piece may carry blocks made ready for the series that takes it, so that taking the piece
    // takes no page faults: `records` blocks of points and `chars` blocks of time stamp
    // characters, from `ready` where it has them waiting, else made here.
    void AddReadyBlocks(qsizetype records, qsizetype chars, CReadyBlocks* ready = nullptr);
    // Frees the spare blocks left once no more pieces come.
    void DropSpareBlocks();
    // The characters of time stamps a series holds (blocks skipped into included) after a time
    // stamp of `length` characters is stored when it held `chars`.
    static qsizetype CharsAfter(qsizetype chars, qsizetype length);

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
    // The unit of a reference in a piece: its `index` is the series and its `time` the point.
    static constexpr quint32 kReferenceId = 0xFFFFFFFEu;

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
    // A time stamp of `length` characters is kept apart from the blocks of characters.
    static bool KeptApart(size_t length);

    const Rec& rec(qsizetype i) const { return m_recs[static_cast<size_t>(i)]; }
    // Appends the points of `piece` from `from` up to its next reference or its end; returns
    // where it stopped. `ids` maps the piece's texts to this series' (kNullId: not looked up yet).
    qsizetype AppendPieceRun(const CDataSeries& piece, qsizetype from, std::vector<quint32>& ids);
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

class CDataSeries::CReadyBlocks {
public:
    // Starts the thread that makes them.
    CReadyBlocks();
    // Stops it and frees the blocks not taken.
    ~CReadyBlocks();
    CReadyBlocks(const CReadyBlocks&) = delete;
    CReadyBlocks& operator=(const CReadyBlocks&) = delete;

private:
    friend class CDataSeries;
    static constexpr size_t kAhead = 2; // blocks of each kind kept waiting
    // A waiting block of each kind, or null when none is.
    Rec* TakeRecords();
    char16_t* TakeChars();
    template <typename T> T* Take(std::vector<T*>& waiting);
    void Run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<Rec*> m_records; // guarded by m_lock
    std::vector<char16_t*> m_chars; // guarded by m_lock
    bool m_bStop = false; // guarded by m_lock
    std::thread m_maker;
};

template <typename SeriesAt> void CDataSeries::AppendPiece(CDataSeries& piece, SeriesAt seriesAt)
{
    m_recs.TakeSpares(piece.m_recs);
    m_chars.TakeSpares(piece.m_chars);
    std::vector<quint32> ids(piece.m_texts.size(), kNullId);
    for (qsizetype i = 0; i < piece.Size();) {
        i = AppendPieceRun(piece, i, ids);
        if (i < piece.Size()) {
            const Rec& r = piece.rec(i);
            AppendCopy(seriesAt(r.index), static_cast<qsizetype>(r.time));
            ++i;
        }
    }
}
