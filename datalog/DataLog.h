#pragma once
// The contents of a data-log document: three series of points and the running statistics of
// the readings, and their stored form (the ".mLog" object archive).
#include "datalog/DataSeries.h"

#include <QString>
#include <array>
#include <functional>

namespace archive {
class CArchiveReader;
class CArchiveWriter;
struct ClassInfo;
} // namespace archive

// Thrown while loading when the file's points would need more memory than a document may take.
struct CDataLogTooLarge {
    quint64 points; // points and null elements the file announces so far
    // When the file expands beyond its bound (see CDataLog::LoadMemoryBound): the memory its
    // elements read so far take; 0 when the point count was refused.
    quint64 bytes = 0;
};

class CDataLog {
public:
    // The most points and null elements a document may hold, all series together: the most a
    // file may hold to be opened, so also the most a save writes and the highest reading limit
    // a user may set. About 2 GB of memory loaded (a million points take 80 MB).
    static constexpr quint64 kMaxLoadPoints = 25'000'000;
    // All points and null elements of the three series.
    quint64 PointCount() const;
    // Tests: another bound (0 restores kMaxLoadPoints).
    static void SetMaxLoadPointsForTesting(quint64 points);
    static quint64 MaxLoadPoints();
    // The memory a document loaded from a file of `fileBytes` may take for its points. A new point
    // takes about as much memory as file, while a null element or a back-reference to a point read
    // before takes two bytes of file and a whole point (with its time text) of memory: a small file
    // of back-references would expand without end. So the bound is a few times the file's size,
    // at least a sixteenth of the point bound's memory (a recording with many gaps) and at most
    // the point bound's memory.
    static quint64 LoadMemoryBound(quint64 fileBytes);

    static constexpr int kSeriesCount = 3;
    static constexpr double kInitialMax = -60000.0;
    static constexpr double kInitialMin = 60000.0;
    // The class record of a point in the archive.
    static const archive::ClassInfo& PointClass();

    // Series 0: the readings. Series 1: statistics recorded with a reading, matched to it by
    // m_nIndex. Series 2: kept and stored, not filled by this program.
    std::array<CDataSeries, kSeriesCount> m_arrSeries;
    double m_dSum = 0.0;
    double m_dAverage = 0.0;
    double m_dMax = kInitialMax;
    double m_dMin = kInitialMin;
    QString m_strMaxTime;
    QString m_strExtremeUnit; // not stored
    QString m_strMinTime;
    QString m_strStartTime;
    QString m_strEndTime;
    QString m_strType;
    qint32 m_nDataNumber = 0;
    double m_dSampleRate = 1.0;
    qint32 m_nAvgCount = 0; // not stored

    // Appends a point to `series` (0 to 2; anything else is ignored and returns false). For series
    // 0 the statistics follow: the reading counts when -limit < bandValue < limit (strictly),
    // where limit and bandValue are the over-range limit and the reading of the reading record in
    // force; a larger maximum or smaller minimum (strictly) takes the point's time. Returns true
    // when the point went to series 0.
    bool AddPoint(int series, double value, const QString& unit, double sampleRate, int index, const QString& dateTime,
        const QString& type, float limit, float bandValue);

    // Sets the statistics from the readings of series 0 at index `from` and after, as a
    // downloaded record has them: readings strictly inside +/-500000 build the sum, average,
    // maximum and minimum (a strictly larger maximum or smaller minimum takes the point's time
    // and unit); null elements are skipped. The number of points counts the readings (not the
    // null elements) of series 0.
    void TakeStatistics(qsizetype from);

    // Deletes every point; the statistics stay.
    void DeleteContents();

    // Writes everything in the stored order: the three series, then the statistics.
    void Serialize(archive::CArchiveWriter& ar) const;
    // Reads the stored form into this object, which should be freshly made: after an
    // archive::Error it holds whatever was read up to the fault. Back-references become copies.
    void Serialize(archive::CArchiveReader& ar);

    // Reading a large file in pieces, so that a view can show its points while the rest is read
    // (elsewhere). Gets each piece of a series, in file order, with the file position reached.
    using PieceFn = std::function<void(int series, CDataSeries&& piece, qint64 position)>;
    static constexpr qsizetype kPiecePoints = qsizetype(1) << 14;
    // Reads the stored form like Serialize, but hands the points over in pieces of at most
    // kPiecePoints instead of keeping them (with no `hand`, it is Serialize). The statistics that
    // follow the points are read into this object. Throws what Serialize throws; a throw from
    // `hand` ends the reading.
    // The blocks the pieces bring come from `ready` when given.
    void ReadInPieces(archive::CArchiveReader& ar, const PieceFn& hand, CDataSeries::CReadyBlocks* ready = nullptr);
    // Appends a piece read by ReadInPieces to `series` (taking the blocks it brings); its
    // references are resolved against the points taken before. Until the statistics are taken,
    // the extremes follow the readings.
    void TakePiece(int series, CDataSeries& piece);
    // Frees the blocks pieces brought that were not needed.
    void DropSpareBlocks();
    // Takes the stored statistics of `o` (those read after the points).
    void TakeStoredStatistics(const CDataLog& o);

    // Same contents, numbers compared bit for bit; in-memory-only members are not compared.
    bool SameStoredContents(const CDataLog& o) const;
};
