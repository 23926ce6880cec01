#include "datalog/DataSeries.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#if defined(Q_OS_LINUX)
#ifdef __linux__
#include <sys/mman.h> // huge-page advice; other systems do without it
#endif
#endif

namespace {
constexpr double kOverRange = kStoredOverRange;
} // namespace

namespace datalog_detail {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kBulkBytes = size_t(4) << 20;
} // namespace

void* BulkAllocate(size_t bytes, bool filledAtOnce)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (bytes >= kBulkBytes) {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (!p)
            throw std::bad_alloc();
        // Advice only: without it the block still works. A block filled a reading at a time says
        // so even where the system gives huge pages unasked, so no one reading pays for one.
        madvise(p, rounded, filledAtOnce ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
        return p;
    }
#else
    (void)filledAtOnce;
#endif
    return ::operator new(bytes);
}

void BulkFree(void* p, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (bytes >= kBulkBytes) {
        std::free(p);
        return;
    }
#endif
    ::operator delete(p);
}

void TouchPages(void* p, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    if (madvise(p, bytes, MADV_POPULATE_WRITE) == 0)
        return;
#endif
    std::memset(p, 0, bytes);
}

} // namespace datalog_detail

const QString& CDataSeries::text(quint32 id) const
{
    static const QString empty;
    return id < m_texts.size() ? m_texts[id] : empty;
}

QStringView CDataSeries::DateTimeView(qsizetype i) const
{
    const quint64 t = rec(i).time;
    const quint64 length = t & kLongTime;
    if (length == kLongTime) {
        const auto it = m_longTimes.find(i);
        return it == m_longTimes.end() ? QStringView() : QStringView(it->second);
    }
    if (length == 0)
        return QStringView();
    return QStringView(&m_chars[static_cast<size_t>(t >> 24)], static_cast<qsizetype>(length));
}

CObData CDataSeries::At(qsizetype i) const
{
    if (IsNull(i))
        return CObData();
    const Rec& r = rec(i);
    return CObData(r.value, text(r.unit), r.rate, r.index, DateTime(i), text(r.type), r.range);
}

quint32 CDataSeries::Intern(QStringView s, quint32& lastHit)
{
    // Readings come in runs of the same unit and label: try the last one first.
    if (lastHit < m_texts.size()) {
        const QString& t = m_texts[lastHit];
        // An empty text may come with no characters at all (a null data pointer): memcmp must not
        // see it.
        if (t.size() == s.size() && (s.isEmpty() || std::memcmp(t.constData(), s.data(), static_cast<size_t>(s.size()) * 2) == 0))
            return lastHit;
    }
    // A key that borrows the caller's characters, so that a lookup allocates nothing.
    const QString key = QString::fromRawData(reinterpret_cast<const QChar*>(s.data()), s.size());
    auto it = m_textIds.constFind(key);
    if (it != m_textIds.constEnd()) {
        lastHit = it.value();
        return lastHit;
    }
    const auto id = static_cast<quint32>(m_texts.size());
    m_texts.push_back(s.toString());
    m_textIds.insert(m_texts.back(), id);
    lastHit = id;
    return id;
}

bool CDataSeries::KeptApart(size_t length)
{
    return length >= kLongTime || length > decltype(m_chars)::kChunk;
}

qsizetype CDataSeries::CharsAfter(qsizetype chars, qsizetype length)
{
    const auto n = static_cast<size_t>(length);
    if (n == 0 || KeptApart(n))
        return chars;
    return static_cast<qsizetype>(decltype(m_chars)::SizeAfterGrab(static_cast<size_t>(chars), n));
}

void CDataSeries::AddReadyBlocks(qsizetype records, qsizetype chars, CReadyBlocks* ready)
{
    for (qsizetype i = 0; i < records; ++i) {
        Rec* block = ready ? ready->TakeRecords() : nullptr;
        m_recs.AddSpare(block ? block : decltype(m_recs)::ReadyBlock());
    }
    for (qsizetype i = 0; i < chars; ++i) {
        char16_t* block = ready ? ready->TakeChars() : nullptr;
        m_chars.AddSpare(block ? block : decltype(m_chars)::ReadyBlock());
    }
}

CDataSeries::CReadyBlocks::CReadyBlocks()
    : m_maker([this] { Run(); })
{
}

CDataSeries::CReadyBlocks::~CReadyBlocks()
{
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_maker.join();
    for (Rec* p : m_records)
        datalog_detail::BulkFree(p, decltype(CDataSeries::m_recs)::kChunk * sizeof(Rec));
    for (char16_t* p : m_chars)
        datalog_detail::BulkFree(p, decltype(CDataSeries::m_chars)::kChunk * sizeof(char16_t));
}

template <typename T> T* CDataSeries::CReadyBlocks::Take(std::vector<T*>& waiting)
{
    T* p = nullptr;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (waiting.empty())
            return nullptr;
        p = waiting.back();
        waiting.pop_back();
    }
    m_wake.notify_all();
    return p;
}

CDataSeries::Rec* CDataSeries::CReadyBlocks::TakeRecords()
{
    return Take(m_records);
}

char16_t* CDataSeries::CReadyBlocks::TakeChars()
{
    return Take(m_chars);
}

void CDataSeries::CReadyBlocks::Run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_bStop || m_records.size() < kAhead || m_chars.size() < kAhead; });
        if (m_bStop)
            return;
        // Records first: a point takes more bytes of them than of characters.
        const bool records = m_records.size() < kAhead;
        hold.unlock();
        void* block = nullptr;
        try {
            block = records ? static_cast<void*>(decltype(CDataSeries::m_recs)::ReadyBlock())
                            : static_cast<void*>(decltype(CDataSeries::m_chars)::ReadyBlock());
        } catch (const std::bad_alloc&) {
            return; // the reading makes its own, and finds the shortage itself
        }
        hold.lock();
        if (records)
            m_records.push_back(static_cast<Rec*>(block));
        else
            m_chars.push_back(static_cast<char16_t*>(block));
    }
}

void CDataSeries::DropSpareBlocks()
{
    m_recs.DropSpares();
    m_chars.DropSpares();
}

quint64 CDataSeries::StoreTime(QStringView dateTime)
{
    const auto length = static_cast<size_t>(dateTime.size());
    if (length == 0)
        return 0;
    if (KeptApart(length)) {
        m_longTimes.emplace(Size(), dateTime.toString());
        return kLongTime;
    }
    char16_t* to = m_chars.Grab(length);
    std::memcpy(to, dateTime.utf16(), length * sizeof(char16_t));
    return quint64(m_chars.Size() - length) << 24 | length;
}

void CDataSeries::PushRec(const Rec& r)
{
    const size_t i = m_recs.Size();
    m_recs.Append(r);
    const bool plain = r.unit != kNullId && r.unit != kReferenceId && std::isfinite(r.value) && r.value < kOverRange && r.value != -kOverRange;
    // The step from the previous point counts in every span that holds both.
    const double step = i > 0 ? std::abs(r.value - m_recs[i - 1].value) : 0.0;
    // A point that begins a span at some level begins one at every level below it.
    int level = 0;
    for (; level < kSpanLevels && (i & ((size_t(1) << SpanBitsAt(level)) - 1)) == 0; ++level)
        m_spans[level].Append(Span { r.value, r.value, 0.0, plain });
    // Each longer span holds every point of the shorter one the point joins, so its extremes and
    // step already cover that one's, and it is not plain when that one is not: once a span is
    // left as it was, so is every one above it.
    for (; level < kSpanLevels; ++level) {
        Span& span = m_spans[level][i >> SpanBitsAt(level)];
        if (!span.plain)
            break;
        if (!plain) {
            span.plain = false;
            continue;
        }
        if (!(r.value < span.min || r.value > span.max || step > span.maxStep))
            break;
        span.min = std::min(span.min, r.value);
        span.max = std::max(span.max, r.value);
        span.maxStep = std::max(span.maxStep, step);
    }
}

void CDataSeries::Append(double value, QStringView unit, double sampleRate, qint32 index, QStringView dateTime,
    QStringView type, float range)
{
    const quint32 unitId = Intern(unit, m_lastUnit);
    const quint32 typeId = Intern(type, m_lastType);
    PushRec(Rec { value, sampleRate, StoreTime(dateTime), index, range, unitId, typeId });
}

void CDataSeries::Append(const CObData& p)
{
    Append(p.m_dValue, p.m_strUnit, p.m_dSampleRate, p.m_nIndex, p.m_strDateTime, p.m_strType, p.m_fRange);
}

void CDataSeries::AppendNull()
{
    const CObData none;
    PushRec(Rec { none.m_dValue, none.m_dSampleRate, 0, none.m_nIndex, none.m_fRange, kNullId, kNullId });
    ++m_nNulls;
}

void CDataSeries::AppendCopy(const CDataSeries& from, qsizetype i)
{
    if (from.IsNull(i)) {
        AppendNull();
        return;
    }
    // Copy out first: `from` may be this series, and appending can move its first block.
    Append(from.At(i));
}

void CDataSeries::AppendReference(int series, qsizetype at)
{
    // Counted in the summaries like a null element (a piece is never drawn, but its summaries
    // must cover every record).
    PushRec(Rec { 0.0, 0.0, static_cast<quint64>(at), series, 0.0f, kReferenceId, kReferenceId });
}

qsizetype CDataSeries::AppendPieceRun(const CDataSeries& piece, qsizetype from, std::vector<quint32>& ids)
{
    // The piece's texts in this series' numbering, looked up once each.
    const auto id = [&](quint32 pieceId, quint32& lastHit) {
        quint32& mine = ids[pieceId];
        if (mine == kNullId)
            mine = Intern(piece.m_texts[pieceId], lastHit);
        return mine;
    };
    qsizetype i = from;
    for (; i < piece.Size(); ++i) {
        const Rec& r = piece.rec(i);
        if (r.unit == kReferenceId)
            break;
        if (r.unit == kNullId) {
            AppendNull();
            continue;
        }
        const quint32 unitId = id(r.unit, m_lastUnit);
        const quint32 typeId = id(r.type, m_lastType);
        PushRec(Rec { r.value, r.rate, StoreTime(piece.DateTimeView(i)), r.index, r.range, unitId, typeId });
    }
    return i;
}

void CDataSeries::Reserve(qsizetype points, qsizetype chars)
{
    m_recs.Reserve(static_cast<size_t>(std::max<qsizetype>(0, points)));
    m_chars.Reserve(static_cast<size_t>(std::max<qsizetype>(0, chars)));
    for (int level = 0; level < kSpanLevels; ++level) {
        const qsizetype span = qsizetype(1) << SpanBitsAt(level);
        m_spans[level].Reserve(static_cast<size_t>((std::max<qsizetype>(0, points) + span - 1) / span));
    }
}

void CDataSeries::Clear()
{
    m_recs.Clear();
    m_chars.Clear();
    for (auto& spans : m_spans)
        spans.Clear();
    m_longTimes.clear();
    std::vector<QString>().swap(m_texts);
    m_textIds.clear();
    m_lastUnit = m_lastType = kNullId;
    m_nNulls = 0;
}

bool CDataSeries::operator==(const CDataSeries& o) const
{
    if (Size() != o.Size())
        return false;
    for (qsizetype i = 0; i < Size(); ++i) {
        if (IsNull(i) != o.IsNull(i))
            return false;
        if (IsNull(i))
            continue;
        const Rec& a = rec(i);
        const Rec& b = o.rec(i);
        // Bitwise for the numbers, so that NaN equals the same NaN.
        if (std::memcmp(&a.value, &b.value, 8) || std::memcmp(&a.rate, &b.rate, 8) || a.index != b.index
            || std::memcmp(&a.range, &b.range, 4) || Unit(i) != o.Unit(i) || Type(i) != o.Type(i)
            || DateTimeView(i) != o.DateTimeView(i))
            return false;
    }
    return true;
}
