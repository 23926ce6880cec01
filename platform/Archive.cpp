#include "platform/Archive.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace archive {

namespace {

constexpr quint16 kNullTag = 0x0000;
constexpr quint16 kNewClassTag = 0xFFFF;
constexpr quint16 kClassTag = 0x8000;
constexpr quint16 kBigObjectTag = 0x7FFF;
constexpr quint32 kBigClassTag = 0x80000000u;
constexpr quint32 kMaxMapCount = 0x3FFFFFFEu;
constexpr int kMaxClassName = 64;

// Windows-1252 characters for the bytes 0x80..0x9F; the other bytes are the same as Latin-1.
// The five bytes that have no character keep their own value as a C1 control.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

Error::Error(Cause cause, qint64 offset, const QString& detail)
    : m_cause(cause)
    , m_offset(offset)
    , m_detail(detail)
{
    m_what = description().toStdString();
}

QString Error::description() const
{
    QString text;
    switch (m_cause) {
    case Cause::EndOfFile:
        text = QStringLiteral("the data ends early at byte %1");
        break;
    case Cause::BadCount:
        text = QStringLiteral("an element count at byte %1 runs past the end of the data");
        break;
    case Cause::BadLength:
        text = QStringLiteral("a text length at byte %1 runs past the end of the data");
        break;
    case Cause::BadClass:
        text = QStringLiteral("an unexpected object class at byte %1");
        break;
    case Cause::BadSchema:
        text = QStringLiteral("incompatible format: wrong class schema at byte %1");
        break;
    case Cause::BadIndex:
        text = QStringLiteral("a damaged object reference at byte %1");
        break;
    case Cause::TooLarge:
        text = QStringLiteral("too many objects or characters at byte %1");
        break;
    case Cause::TrailingData:
        text = QStringLiteral("unexpected data after the end, at byte %1");
        break;
    case Cause::WriteFailed:
        text = QStringLiteral("writing failed at byte %1");
        break;
    }
    text = text.arg(m_offset);
    if (!m_detail.isEmpty())
        text += QStringLiteral(" (%1)").arg(m_detail);
    return text;
}

QString DecodeWindows1252(const char* data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Writer

CArchiveWriter::CArchiveWriter(QByteArray* out)
    : m_out(out)
    , m_buf(1 << 16)
{
}

CArchiveWriter::CArchiveWriter(QIODevice* device, qsizetype bufferSize)
    : m_device(device)
    , m_buf(static_cast<size_t>(qMax<qsizetype>(bufferSize, 64)))
{
}

void CArchiveWriter::Drain()
{
    if (m_used == 0)
        return;
    if (m_out) {
        m_out->append(m_buf.data(), static_cast<qsizetype>(m_used));
    } else {
        const char* p = m_buf.data();
        qint64 left = static_cast<qint64>(m_used);
        while (left > 0) {
            const qint64 n = m_device->write(p, left);
            if (n <= 0)
                throw Error(Cause::WriteFailed, m_flushed + (p - m_buf.data()), m_device->errorString());
            p += n;
            left -= n;
        }
    }
    m_flushed += static_cast<qint64>(m_used);
    m_used = 0;
}

void CArchiveWriter::Flush()
{
    Drain();
}

void CArchiveWriter::Put(const void* data, size_t size)
{
    if (size == 0)
        return;
    if (m_used + size > m_buf.size()) {
        Drain();
        if (size > m_buf.size()) {
            // Too big for the buffer: hand it over in buffer-sized pieces.
            const char* p = static_cast<const char*>(data);
            while (size > 0) {
                const size_t n = std::min(size, m_buf.size());
                std::memcpy(m_buf.data(), p, n);
                m_used = n;
                Drain();
                p += n;
                size -= n;
            }
            return;
        }
    }
    std::memcpy(m_buf.data() + m_used, data, size);
    m_used += size;
}

void CArchiveWriter::WriteUInt16(quint16 v)
{
    v = qToLittleEndian(v);
    Put(&v, 2);
}

void CArchiveWriter::WriteUInt32(quint32 v)
{
    v = qToLittleEndian(v);
    Put(&v, 4);
}

void CArchiveWriter::WriteUInt64(quint64 v)
{
    v = qToLittleEndian(v);
    Put(&v, 8);
}

void CArchiveWriter::WriteDouble(double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, 8);
    WriteUInt64(bits);
}

void CArchiveWriter::WriteFloat(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    WriteUInt32(bits);
}

void CArchiveWriter::WriteString(QStringView s)
{
    const auto len = static_cast<quint64>(s.size());
    // FF FE FF marks UTF-16 text; the length follows in the shortest form that holds it.
    unsigned char head[16] = { 0xFF, 0xFE, 0xFF };
    size_t n = 3;
    auto put16 = [&](quint16 v) {
        qToLittleEndian(v, head + n);
        n += 2;
    };
    if (len < 0xFF) {
        head[n++] = static_cast<unsigned char>(len);
    } else {
        head[n++] = 0xFF;
        if (len < 0xFFFE) {
            put16(static_cast<quint16>(len));
        } else {
            put16(0xFFFF);
            if (len < 0xFFFFFFFFull) {
                qToLittleEndian(static_cast<quint32>(len), head + n);
                n += 4;
            } else {
                qToLittleEndian(0xFFFFFFFFu, head + n);
                n += 4;
                Put(head, n);
                WriteUInt64(len);
                n = 0;
            }
        }
    }
    if (n)
        Put(head, n);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    Put(s.data(), static_cast<size_t>(len) * 2);
#else
    for (QChar c : s)
        WriteUInt16(c.unicode());
#endif
}

void CArchiveWriter::WriteCount(quint64 count)
{
    if (count < 0xFFFF) {
        WriteUInt16(static_cast<quint16>(count));
        return;
    }
    WriteUInt16(0xFFFF);
    if (count < 0xFFFFFFFFull) {
        WriteUInt32(static_cast<quint32>(count));
    } else {
        WriteUInt32(0xFFFFFFFFu);
        WriteUInt64(count);
    }
}

void CArchiveWriter::WriteReference(quint32 number, bool isClass)
{
    if (number < kBigObjectTag) {
        WriteUInt16(static_cast<quint16>(number | (isClass ? kClassTag : 0)));
    } else {
        WriteUInt16(kBigObjectTag);
        WriteUInt32(number | (isClass ? kBigClassTag : 0));
    }
}

quint32 CArchiveWriter::WriteNewObject(const ClassInfo& cls)
{
    if (m_nextNumber + 1 > kMaxMapCount)
        throw Error(Cause::TooLarge, Position());
    bool known = false;
    for (const auto& c : m_classes) {
        if (c.first == cls.name) {
            WriteReference(c.second, true);
            known = true;
            break;
        }
    }
    if (!known) {
        WriteUInt16(kNewClassTag);
        WriteUInt16(cls.schema);
        WriteUInt16(static_cast<quint16>(cls.name.size()));
        Put(cls.name.constData(), static_cast<size_t>(cls.name.size()));
        m_classes.emplace_back(cls.name, m_nextNumber++);
    }
    return m_nextNumber++;
}

void CArchiveWriter::WriteObjectReference(quint32 number)
{
    WriteReference(number, false);
}

// ---------------------------------------------------------------------------------------------
// Reader

CArchiveReader::CArchiveReader(const char* data, qsizetype size)
    : m_begin(data)
    , m_end(data + size)
    , m_p(data)
    , m_size(size)
{
}

CArchiveReader::CArchiveReader(QIODevice* device, qsizetype window)
    : m_begin(nullptr)
    , m_end(nullptr)
    , m_p(nullptr)
    , m_size(qMax<qint64>(0, device->size() - device->pos()))
    , m_device(device)
    , m_window(static_cast<size_t>(qMax<qsizetype>(window, 64)))
{
    m_begin = m_end = m_p = m_window.data();
}

int CArchiveReader::RegisterClass(const ClassInfo& cls)
{
    m_known.push_back(cls);
    return static_cast<int>(m_known.size() - 1);
}

void CArchiveReader::Fail(Cause cause, const QString& detail) const
{
    throw Error(cause, Position(), detail);
}

void CArchiveReader::Refill(qint64 n)
{
    if (n > Remaining())
        throw Error(Cause::EndOfFile, Size(), QStringLiteral("%1 more bytes needed at byte %2").arg(n).arg(Position()));
    if (!m_device)
        Fail(Cause::EndOfFile); // memory input holds everything: not reached
    // Keep the unread tail, then fill the window up from the device.
    const qint64 tail = m_end - m_p;
    m_base = Position();
    m_begin = m_p;
    if (static_cast<size_t>(n) > m_window.size()) {
        // A value larger than the window (a long text): a window that holds it.
        std::vector<char> bigger(static_cast<size_t>(n));
        std::memcpy(bigger.data(), m_p, static_cast<size_t>(tail));
        m_window.swap(bigger);
    } else {
        std::memmove(m_window.data(), m_p, static_cast<size_t>(tail));
    }
    char* buf = m_window.data();
    qint64 have = tail;
    const qint64 want = std::min<qint64>(static_cast<qint64>(m_window.size()), Remaining());
    while (have < want) {
        const qint64 got = m_device->read(buf + have, want - have);
        if (got <= 0) {
            const QString why = got < 0 ? m_device->errorString() : QStringLiteral("the file became shorter");
            m_begin = m_p = buf;
            m_end = buf + have;
            if (have >= n)
                break;
            throw Error(Cause::EndOfFile, m_base + have, QStringLiteral("read failed: %1").arg(why));
        }
        have += got;
    }
    m_begin = m_p = buf;
    m_end = buf + have;
}

void CArchiveReader::ExpectEnd() const
{
    if (!AtEnd())
        Fail(Cause::TrailingData, QStringLiteral("%1 bytes").arg(Remaining()));
}

double CArchiveReader::ReadDouble()
{
    const quint64 bits = ReadUInt64();
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

float CArchiveReader::ReadFloat()
{
    const quint32 bits = ReadUInt32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

qint64 CArchiveReader::ReadStringLength(bool& wide)
{
    wide = false;
    quint8 b = ReadUInt8();
    if (b < 0xFF)
        return b;
    quint16 w = ReadUInt16();
    if (w == 0xFFFE) {
        // UTF-16 mark; the real length follows in the same forms.
        wide = true;
        b = ReadUInt8();
        if (b < 0xFF)
            return b;
        w = ReadUInt16();
    }
    if (w < 0xFFFF)
        return w;
    const quint32 dw = ReadUInt32();
    if (dw < 0xFFFFFFFFu)
        return dw;
    const quint64 qw = ReadUInt64();
    if (qw > static_cast<quint64>(Remaining()))
        Fail(Cause::BadLength, QStringLiteral("%1 characters").arg(qw));
    return static_cast<qint64>(qw);
}

void CArchiveReader::ReadString(QString& out)
{
    const qint64 at = Position();
    bool wide = false;
    const qint64 len = ReadStringLength(wide);
    const qint64 bytes = wide ? len * 2 : len;
    if (bytes > Remaining())
        throw Error(Cause::BadLength, at, QStringLiteral("%1 characters, %2 bytes left").arg(len).arg(Remaining()));
    Need(bytes);
    if (!wide) {
        out = DecodeWindows1252(m_p, static_cast<qsizetype>(len));
        m_p += len;
        return;
    }
    out.resize(static_cast<qsizetype>(len));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    if (len)
        std::memcpy(out.data(), m_p, static_cast<size_t>(bytes));
#else
    QChar* dst = out.data();
    for (qint64 i = 0; i < len; ++i)
        dst[i] = QChar(qFromLittleEndian<quint16>(m_p + 2 * i));
#endif
    m_p += bytes;
}

quint64 CArchiveReader::ReadCount(qint64 minElementBytes)
{
    const qint64 at = Position();
    quint64 count = ReadUInt16();
    if (count == 0xFFFF) {
        count = ReadUInt32();
        if (count == 0xFFFFFFFFu)
            count = ReadUInt64();
    }
    if (minElementBytes < 1)
        minElementBytes = 1;
    if (count > static_cast<quint64>(Remaining() / minElementBytes))
        throw Error(Cause::BadCount, at, QStringLiteral("%1 elements, %2 bytes left").arg(count).arg(Remaining()));
    return count;
}

quint32 CArchiveReader::AddToMap(qint32 entry)
{
    if (m_nextNumber >= kMaxMapCount)
        Fail(Cause::TooLarge);
    if (m_runs.empty() || m_runs.back().second != entry)
        m_runs.emplace_back(m_nextNumber, entry);
    return m_nextNumber++;
}

qint32 CArchiveReader::MapEntry(quint32 n) const
{
    // The last run that starts at or before n.
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), n,
        [](quint32 v, const std::pair<quint32, qint32>& run) { return v < run.first; });
    return std::prev(it)->second;
}

CArchiveReader::ObjectTag CArchiveReader::ReadObjectTag()
{
    const qint64 at = Position();
    const quint16 wTag = ReadUInt16();
    ObjectTag tag;
    int classId = -1;

    if (wTag == kNewClassTag) {
        const quint16 schema = ReadUInt16();
        const quint16 nameLen = ReadUInt16();
        if (nameLen >= kMaxClassName)
            throw Error(Cause::BadClass, at, QStringLiteral("class name of %1 characters").arg(nameLen));
        Need(nameLen);
        const QByteArray name(m_p, nameLen);
        m_p += nameLen;
        for (size_t i = 0; i < m_known.size(); ++i) {
            if (m_known[i].name == name) {
                classId = static_cast<int>(i);
                break;
            }
        }
        if (classId < 0)
            throw Error(Cause::BadClass, at, QStringLiteral("class \"%1\"").arg(QString::fromLatin1(name)));
        if (m_known[static_cast<size_t>(classId)].schema != schema)
            throw Error(Cause::BadSchema, at,
                QStringLiteral("%1 schema %2, expected %3")
                    .arg(QString::fromLatin1(name))
                    .arg(schema)
                    .arg(m_known[static_cast<size_t>(classId)].schema));
        AddToMap(-(classId + 1));
    } else {
        quint32 obTag;
        if (wTag == kBigObjectTag)
            obTag = ReadUInt32();
        else
            obTag = (static_cast<quint32>(wTag & kClassTag) << 16) | (wTag & ~kClassTag);

        if (!(obTag & kBigClassTag)) {
            // Null element or back-reference to an object already read.
            if (obTag == kNullTag)
                return tag;
            if (obTag >= m_nextNumber || MapEntry(obTag) < 0)
                throw Error(Cause::BadIndex, at, QStringLiteral("object %1 of %2").arg(obTag).arg(m_nextNumber - 1));
            tag.kind = ObjectTag::Reference;
            tag.classId = MapEntry(obTag);
            tag.number = obTag;
            return tag;
        }
        const quint32 classNumber = obTag & ~kBigClassTag;
        if (classNumber == 0 || classNumber >= m_nextNumber || MapEntry(classNumber) >= 0)
            throw Error(Cause::BadIndex, at, QStringLiteral("class %1").arg(classNumber));
        classId = -MapEntry(classNumber) - 1;
    }
    tag.kind = ObjectTag::NewObject;
    tag.classId = classId;
    tag.number = AddToMap(classId);
    return tag;
}

} // namespace archive
