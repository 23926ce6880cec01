#include "datalog/DataSeries.h"

#include <cstdlib>
#include <cstring>
#include <new>
#if defined(Q_OS_LINUX)
#ifdef __linux__
#include <sys/mman.h> // huge-page advice; other systems do without it
#endif
#endif

namespace datalog_detail {

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kBulkBytes = size_t(4) << 20;
} // namespace

void* BulkAllocate(size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (bytes >= kBulkBytes) {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (!p)
            throw std::bad_alloc();
        madvise(p, rounded, MADV_HUGEPAGE); // advice only: without it the block still works
        return p;
    }
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

} // namespace datalog_detail

const QString& CDataSeries::text(quint32 id) const
{
    static const QString empty;
    return id < m_texts.size() ? m_texts[id] : empty;
}

QStringView CDataSeries::DateTimeView(qsizetype i) const
{
    const quint64 begin = i > 0 ? rec(i - 1).timeEnd : 0;
    const quint64 end = rec(i).timeEnd;
    return QStringView(m_chars.data() + begin, static_cast<qsizetype>(end - begin));
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

void CDataSeries::Append(double value, QStringView unit, double sampleRate, qint32 index, QStringView dateTime,
    QStringView type, float range)
{
    const quint32 unitId = Intern(unit, m_lastUnit);
    const quint32 typeId = Intern(type, m_lastType);
    m_chars.insert(m_chars.end(), dateTime.utf16(), dateTime.utf16() + dateTime.size());
    m_recs.push_back(Rec { value, sampleRate, m_chars.size(), index, range, unitId, typeId });
}

void CDataSeries::Append(const CObData& p)
{
    Append(p.m_dValue, p.m_strUnit, p.m_dSampleRate, p.m_nIndex, p.m_strDateTime, p.m_strType, p.m_fRange);
}

void CDataSeries::AppendNull()
{
    const CObData none;
    m_recs.push_back(
        Rec { none.m_dValue, none.m_dSampleRate, TimeEnd(), none.m_nIndex, none.m_fRange, kNullId, kNullId });
    ++m_nNulls;
}

void CDataSeries::AppendCopy(const CDataSeries& from, qsizetype i)
{
    if (from.IsNull(i)) {
        AppendNull();
        return;
    }
    // Copy out first: `from` may be this series, and appending can move its storage.
    Append(from.At(i));
}

void CDataSeries::Reserve(qsizetype points, qsizetype chars)
{
    m_recs.reserve(static_cast<size_t>(points));
    m_chars.reserve(static_cast<size_t>(chars));
}

void CDataSeries::Clear()
{
    decltype(m_recs)().swap(m_recs);
    decltype(m_chars)().swap(m_chars);
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
