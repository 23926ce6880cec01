#include "datalog/DataLog.h"

#include "platform/Archive.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace {

// The least a new point of a known class takes in the file: class reference, two doubles, an
// int, three empty strings and a float.
constexpr qint64 kMinPointBytes = 2 + 8 + 4 + 8 + 4 + 4 + 4 + 4;

std::atomic<quint64> g_maxLoadPoints { 0 };

// The fields of a point as read from a file; the texts are views into the reader's buffers.
struct PointFields {
    double value = 0.0;
    double rate = 0.0;
    qint32 index = 0;
    float range = 0.0f;
    QStringView unit, dateTime, type;
};

// Room for the texts of a point decoded in one go: the short wide form holds up to 254 characters.
struct ShortTexts {
    static constexpr qint64 kMostChars = 0xFE;
    char16_t unit[kMostChars], dateTime[kMostChars], type[kMostChars];
};
// A point whose three texts are short wide ones takes at most this many bytes after its tag.
constexpr qint64 kMostShortPointBytes = 8 + 8 + 4 + 4 + 3 * (4 + 2 * ShortTexts::kMostChars);

template <typename T> T takeNumber(const char*& p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return qFromLittleEndian(v);
}

// A text in the short wide form the writer uses (FF FE FF, a length under 255, UTF-16LE
// characters) at `p`, copied to `to`: false when it is stored another way or runs past `end`.
bool takeShortText(const char*& p, const char* end, char16_t* to, QStringView& text)
{
    if (end - p < 4 || quint8(p[0]) != 0xFF || quint8(p[1]) != 0xFE || quint8(p[2]) != 0xFF || quint8(p[3]) == 0xFF)
        return false;
    const qsizetype length = quint8(p[3]);
    p += 4;
    if (end - p < 2 * length)
        return false;
    std::memcpy(to, p, size_t(2 * length));
    p += 2 * length;
    text = QStringView(to, length);
    return true;
}

// Decodes the point after a tag from the bytes [p, end) when all its texts are short wide ones,
// as this program writes them, with no call into the reader per field. Returns the bytes it took,
// or 0 when the point is stored otherwise or is cut off (it is then read field by field, which
// finds the same values or the fault).
qint64 takeShortPoint(const char* p, const char* end, ShortTexts& room, PointFields& f)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const char* const start = p;
    if (end - p < 8)
        return 0;
    const quint64 valueBits = takeNumber<quint64>(p);
    if (!takeShortText(p, end, room.unit, f.unit) || end - p < 12)
        return 0;
    const quint64 rateBits = takeNumber<quint64>(p);
    f.index = takeNumber<qint32>(p);
    if (!takeShortText(p, end, room.dateTime, f.dateTime) || !takeShortText(p, end, room.type, f.type) || end - p < 4)
        return 0;
    const quint32 rangeBits = takeNumber<quint32>(p);
    std::memcpy(&f.value, &valueBits, 8);
    std::memcpy(&f.rate, &rateBits, 8);
    std::memcpy(&f.range, &rangeBits, 4);
    return p - start;
#else
    Q_UNUSED(p);
    Q_UNUSED(end);
    Q_UNUSED(room);
    Q_UNUSED(f);
    return 0;
#endif
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

void CDataLog::SetMaxLoadPointsForTesting(quint64 points)
{
    g_maxLoadPoints = points;
}

quint64 CDataLog::PointCount() const
{
    quint64 n = 0;
    for (const CDataSeries& s : m_arrSeries)
        n += static_cast<quint64>(s.Size());
    return n;
}

quint64 CDataLog::MaxLoadPoints()
{
    const quint64 set = g_maxLoadPoints;
    return set ? set : kMaxLoadPoints;
}

quint64 CDataLog::LoadMemoryBound(quint64 fileBytes)
{
    constexpr quint64 kExpansion = 4;
    const quint64 most = MaxLoadPoints() * CDataSeries::kBytesPerPoint;
    const quint64 least = most / 16;
    return std::min(most, std::max(least, fileBytes > most ? most : fileBytes * kExpansion));
}

const archive::ClassInfo& CDataLog::PointClass()
{
    static const archive::ClassInfo info { QByteArrayLiteral("CObData"), 1 };
    return info;
}

bool CDataLog::AddPoint(int series, double value, const QString& unit, double sampleRate, int index,
    const QString& dateTime, const QString& type, float limit, float bandValue)
{
    if (series < 0 || series >= kSeriesCount)
        return false;
    CDataSeries& s = m_arrSeries[static_cast<size_t>(series)];
    s.Append(value, unit, sampleRate, index, dateTime, type, limit);
    if (series != 0)
        return false;

    if (-limit < bandValue && bandValue < limit) {
        if (value > m_dMax) {
            m_dMax = value;
            m_strMaxTime = dateTime;
            m_strExtremeUnit = unit;
        }
        if (value < m_dMin) {
            m_dMin = value;
            m_strMinTime = dateTime;
            m_strExtremeUnit = unit;
        }
        m_strType = type;
        ++m_nAvgCount;
        m_dSum += value;
        m_dAverage = m_dSum / m_nAvgCount;
        m_strStartTime = s.DateTime(0);
        m_strEndTime = s.DateTime(s.Size() - 1);
    }
    m_nDataNumber = static_cast<qint32>(s.PointCount());
    return true;
}

void CDataLog::TakeStatistics(qsizetype from)
{
    const CDataSeries& s = m_arrSeries[0];
    m_dSum = 0.0;
    m_nAvgCount = 0;
    m_dMax = kInitialMax;
    m_dMin = kInitialMin;
    m_strMaxTime.clear();
    m_strMinTime.clear();
    m_strExtremeUnit.clear();
    for (qsizetype i = from; i < s.Size(); ++i) {
        if (s.IsNull(i))
            continue;
        const double v = s.Value(i);
        if (!(v > -kStoredOverRange && v < kStoredOverRange))
            continue;
        m_dSum += v;
        ++m_nAvgCount;
        if (v > m_dMax) {
            m_dMax = v;
            m_strMaxTime = s.DateTime(i);
            m_strExtremeUnit = s.Unit(i);
        }
        if (v < m_dMin) {
            m_dMin = v;
            m_strMinTime = s.DateTime(i);
            m_strExtremeUnit = s.Unit(i);
        }
    }
    m_dAverage = m_nAvgCount > 0 ? m_dSum / m_nAvgCount : 0.0;
    m_nDataNumber = static_cast<qint32>(s.PointCount());
}

void CDataLog::DeleteContents()
{
    // Last series first, as the points were always released.
    for (int i = kSeriesCount - 1; i >= 0; --i)
        m_arrSeries[static_cast<size_t>(i)].Clear();
}

void CDataLog::Serialize(archive::CArchiveWriter& ar) const
{
    const archive::ClassInfo& cls = PointClass();
    for (const CDataSeries& s : m_arrSeries) {
        ar.WriteCount(static_cast<quint64>(s.Size()));
        for (qsizetype i = 0; i < s.Size(); ++i) {
            if (s.IsNull(i)) {
                ar.WriteNullObject();
                continue;
            }
            ar.WriteNewObject(cls);
            ar.WriteDouble(s.Value(i));
            ar.WriteString(s.Unit(i));
            ar.WriteDouble(s.SampleRate(i));
            ar.WriteInt32(s.Index(i));
            ar.WriteString(s.DateTimeView(i));
            ar.WriteString(s.Type(i));
            ar.WriteFloat(s.Range(i));
        }
    }
    ar.WriteDouble(m_dAverage);
    ar.WriteDouble(m_dMax);
    ar.WriteString(m_strMaxTime);
    ar.WriteDouble(m_dMin);
    ar.WriteString(m_strMinTime);
    ar.WriteDouble(m_dSampleRate);
    ar.WriteDouble(m_dSum);
    ar.WriteInt32(m_nDataNumber);
    ar.WriteString(m_strStartTime);
    ar.WriteString(m_strEndTime);
    ar.WriteString(m_strType);
}

void CDataLog::Serialize(archive::CArchiveReader& ar)
{
    ReadInPieces(ar, {});
}

void CDataLog::ReadInPieces(archive::CArchiveReader& ar, const PieceFn& hand, CDataSeries::CReadyBlocks* ready)
{
    const int pointClass = ar.RegisterClass(PointClass());
    // Where each numbered object went, for back-references. New objects take consecutive numbers
    // and consecutive places, so runs of them are kept: number n of a run lies at n - offset.
    struct Run {
        quint32 first;
        int series;
        qint64 offset;
    };
    std::vector<Run> runs;
    QString unit, dateTime, type;
    ShortTexts shortTexts;
    const quint64 maxPoints = MaxLoadPoints();
    quint64 announced = 0;
    // What the elements read so far take in memory: each is counted before it is stored, whether
    // it is a new point, a back-reference or a null element.
    const quint64 memoryBound = LoadMemoryBound(static_cast<quint64>(std::max<qint64>(ar.Size(), 0)));
    quint64 memory = 0;
    const auto take = [&](qsizetype dateChars) {
        memory += CDataSeries::kBytesPerPoint + 2 * static_cast<quint64>(dateChars);
        if (memory > memoryBound)
            throw CDataLogTooLarge { announced, memory };
    };
    // Elements of each series read so far, and the longest time stamp among them: a reference
    // into a piece already handed over is counted as taking that much.
    std::array<qsizetype, kSeriesCount> stored {};
    std::array<qsizetype, kSeriesCount> longest {};
    // What the series taking the pieces will hold in characters of time stamps, and the blocks
    // made ready for it so far (records, characters): each piece brings the blocks its points
    // need, made ready here rather than by the thread that takes it.
    std::array<qsizetype, kSeriesCount> chars {};
    std::array<qsizetype, kSeriesCount> readyRecords {};
    std::array<qsizetype, kSeriesCount> readyChars {};
    const auto handOver = [&](int si, CDataSeries& piece) {
        const auto blocks = [](qsizetype n, qsizetype per) { return (n + per - 1) / per; };
        const qsizetype records = blocks(stored[si], CDataSeries::kChunkPoints) - readyRecords[si];
        const qsizetype charBlocks = blocks(chars[si], qsizetype(1) << CDataSeries::kTimeChunkBits) - readyChars[si];
        piece.AddReadyBlocks(std::max<qsizetype>(0, records), std::max<qsizetype>(0, charBlocks), ready);
        readyRecords[si] += std::max<qsizetype>(0, records);
        readyChars[si] += std::max<qsizetype>(0, charBlocks);
        hand(si, std::move(piece), ar.Position());
    };

    for (int si = 0; si < kSeriesCount; ++si) {
        CDataSeries piece;
        CDataSeries& s = hand ? piece : m_arrSeries[static_cast<size_t>(si)];
        const quint64 count = ar.ReadCount(2);
        // Refused before anything is allocated, rather than running out of memory on the way.
        announced += count;
        if (announced > maxPoints)
            throw CDataLogTooLarge { announced };
        // Reserve only what the remaining bytes can really hold as points.
        const auto reserve = [&](quint64 points) {
            const quint64 fit = std::min<quint64>(points, static_cast<quint64>(ar.Remaining()) / kMinPointBytes);
            s.Reserve(static_cast<qsizetype>(fit), static_cast<qsizetype>(std::min<quint64>(fit * 24, ar.Remaining() / 2)));
        };
        reserve(hand ? std::min<quint64>(count, kPiecePoints) : count);
        for (quint64 k = 0; k < count; ++k) {
            if (hand && piece.Size() == kPiecePoints) {
                handOver(si, piece);
                piece = CDataSeries();
                reserve(std::min<quint64>(count - k, kPiecePoints));
            }
            const qint64 tagAt = ar.Position();
            const auto tag = ar.ReadObjectTag();
            if (tag.kind == archive::CArchiveReader::ObjectTag::Null) {
                // Null elements take two bytes in the file, far fewer than the room reserved per
                // point above: take room for the announced count at once, which the file's size
                // has bounded, instead of growing by doubling.
                take(0);
                if (!hand && s.Size() == s.Capacity())
                    s.Reserve(static_cast<qsizetype>(count));
                s.AppendNull();
                ++stored[si];
                continue;
            }
            if (tag.classId != pointClass)
                throw archive::Error(archive::Cause::BadClass, tagAt);
            if (tag.kind == archive::CArchiveReader::ObjectTag::Reference) {
                auto it = std::upper_bound(
                    runs.begin(), runs.end(), tag.number, [](quint32 n, const Run& r) { return n < r.first; });
                if (it == runs.begin())
                    throw archive::Error(archive::Cause::BadIndex, tagAt);
                const Run& run = *std::prev(it);
                const qint64 at = static_cast<qint64>(tag.number) - run.offset;
                if (at < 0 || at >= stored[run.series])
                    throw archive::Error(archive::Cause::BadIndex, tagAt);
                if (hand) {
                    take(longest[run.series]);
                    chars[si] = CDataSeries::CharsAfter(chars[si], longest[run.series]);
                    piece.AppendReference(run.series, at);
                } else {
                    const CDataSeries& from = m_arrSeries[static_cast<size_t>(run.series)];
                    take(from.IsNull(at) ? 0 : from.DateTimeView(at).size());
                    s.AppendCopy(from, at);
                }
                ++stored[si];
                continue;
            }
            PointFields f;
            qint64 have = 0;
            const char* bytes = ar.Peek(kMostShortPointBytes, have);
            if (const qint64 used = takeShortPoint(bytes, bytes + have, shortTexts, f)) {
                ar.Skip(used);
            } else {
                f.value = ar.ReadDouble();
                ar.ReadString(unit);
                f.rate = ar.ReadDouble();
                f.index = ar.ReadInt32();
                ar.ReadString(dateTime);
                ar.ReadString(type);
                f.range = ar.ReadFloat();
                f.unit = unit;
                f.dateTime = dateTime;
                f.type = type;
            }
            take(f.dateTime.size());
            longest[si] = std::max(longest[si], f.dateTime.size());
            chars[si] = CDataSeries::CharsAfter(chars[si], f.dateTime.size());
            const qint64 offset = static_cast<qint64>(tag.number) - stored[si];
            if (runs.empty() || runs.back().series != si || runs.back().offset != offset)
                runs.push_back(Run { tag.number, si, offset });
            s.Append(f.value, f.unit, f.rate, f.index, f.dateTime, f.type, f.range);
            ++stored[si];
        }
        if (hand && !piece.IsEmpty())
            handOver(si, piece);
    }
    m_dAverage = ar.ReadDouble();
    m_dMax = ar.ReadDouble();
    ar.ReadString(m_strMaxTime);
    m_dMin = ar.ReadDouble();
    ar.ReadString(m_strMinTime);
    m_dSampleRate = ar.ReadDouble();
    m_dSum = ar.ReadDouble();
    m_nDataNumber = ar.ReadInt32();
    ar.ReadString(m_strStartTime);
    ar.ReadString(m_strEndTime);
    ar.ReadString(m_strType);
}

void CDataLog::TakePiece(int series, CDataSeries& piece)
{
    if (series < 0 || series >= kSeriesCount)
        return;
    CDataSeries& s = m_arrSeries[static_cast<size_t>(series)];
    const qsizetype first = s.Size();
    s.AppendPiece(piece, [this](int k) -> const CDataSeries& { return m_arrSeries[static_cast<size_t>(k)]; });
    if (series != 0)
        return;
    // The stored statistics come after the points: until then the extremes are those of the
    // readings so far, so that a view can scale to them.
    for (qsizetype i = first; i < s.Size(); ++i) {
        const double v = s.Value(i);
        if (s.IsNull(i) || !(v > -kStoredOverRange && v < kStoredOverRange))
            continue;
        m_dMax = std::max(m_dMax, v);
        m_dMin = std::min(m_dMin, v);
    }
}

void CDataLog::DropSpareBlocks()
{
    for (CDataSeries& s : m_arrSeries)
        s.DropSpareBlocks();
}

void CDataLog::TakeStoredStatistics(const CDataLog& o)
{
    m_dAverage = o.m_dAverage;
    m_dMax = o.m_dMax;
    m_strMaxTime = o.m_strMaxTime;
    m_dMin = o.m_dMin;
    m_strMinTime = o.m_strMinTime;
    m_dSampleRate = o.m_dSampleRate;
    m_dSum = o.m_dSum;
    m_nDataNumber = o.m_nDataNumber;
    m_strStartTime = o.m_strStartTime;
    m_strEndTime = o.m_strEndTime;
    m_strType = o.m_strType;
}

bool CDataLog::SameStoredContents(const CDataLog& o) const
{
    return m_arrSeries == o.m_arrSeries && sameBits(m_dAverage, o.m_dAverage) && sameBits(m_dMax, o.m_dMax)
        && m_strMaxTime == o.m_strMaxTime && sameBits(m_dMin, o.m_dMin) && m_strMinTime == o.m_strMinTime
        && sameBits(m_dSampleRate, o.m_dSampleRate) && sameBits(m_dSum, o.m_dSum) && m_nDataNumber == o.m_nDataNumber
        && m_strStartTime == o.m_strStartTime && m_strEndTime == o.m_strEndTime && m_strType == o.m_strType;
}
