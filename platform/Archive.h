#pragma once
// The object archive: the little-endian stream in which ".mLog" and ".osc" files are stored.
//
// Numbers are little-endian (integers two's complement, IEEE 754 floating point, bool as one
// byte). Strings carry a length prefix in one of several sizes; the writer always emits the
// UTF-16 form, the reader also takes the unmarked single-byte form (Windows-1252). Object arrays
// carry a 16-bit count or 0xFFFF and a 32-bit count. Objects are introduced by tags: a new class
// (0xFFFF, schema, name), a reference to a class already seen (0x8000 | number), a null element
// (0x0000), or a back-reference to an object already read; classes and objects share one
// numbering that starts at 1.
//
// The reader treats its input as hostile: every length and count is checked against the bytes
// that are left before anything is allocated, and every fault throws archive::Error.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

class QIODevice;

namespace archive {

enum class Cause {
    EndOfFile, // the data ends inside a value
    BadCount, // an element count larger than the remaining data can hold
    BadLength, // a string length larger than the remaining data can hold
    BadClass, // an unknown class name or a malformed class record
    BadSchema, // a known class stored with another schema number
    BadIndex, // a tag that refers to no earlier class or object, or to the wrong kind
    TooLarge, // more objects or characters than the format can number
    TrailingData, // bytes left after the end of the stored data
    WriteFailed, // the output device refused the data
};

class Error : public std::exception {
public:
    Error(Cause cause, qint64 offset, const QString& detail = QString());

    Cause cause() const { return m_cause; }
    // Byte offset in the stream where the fault was found.
    qint64 offset() const { return m_offset; }
    // A short English sentence fragment, e.g. "the data ends early at byte 120".
    QString description() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Cause m_cause;
    qint64 m_offset;
    QString m_detail;
    std::string m_what;
};

// A serialisable class as the archive knows it: its name (ASCII, under 64 characters) and the
// schema number stored with it.
struct ClassInfo {
    QByteArray name;
    quint16 schema = 0;
};

// Decodes text stored in the single-byte form (Windows-1252, the code page of the systems that
// wrote it). Bytes without a character in that code page map to the C1 control of the same value.
QString DecodeWindows1252(const char* data, qsizetype size);

class CArchiveWriter {
public:
    // Appends everything to `out`.
    explicit CArchiveWriter(QByteArray* out);
    // Writes to `device` through a buffer; Flush() must be called at the end.
    explicit CArchiveWriter(QIODevice* device, qsizetype bufferSize = 1 << 18);
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    void WriteUInt8(quint8 v) { Put(&v, 1); }
    void WriteUInt16(quint16 v);
    void WriteUInt32(quint32 v);
    void WriteUInt64(quint64 v);
    void WriteInt32(qint32 v) { WriteUInt32(static_cast<quint32>(v)); }
    void WriteDouble(double v);
    void WriteFloat(float v);
    void WriteBool(bool v) { WriteUInt8(v ? 1 : 0); }
    void WriteString(QStringView s);
    // The element count of an object array.
    void WriteCount(quint64 count);

    // Tag of a null element.
    void WriteNullObject() { WriteUInt16(0); }
    // Tag of a new object of class `cls`: the class record the first time the class is seen, a
    // class reference after that. The caller writes the object's fields next. Returns the number
    // the object takes.
    quint32 WriteNewObject(const ClassInfo& cls);
    // Tag of a back-reference to an object written before.
    void WriteObjectReference(quint32 number);

    // Hands the buffered bytes to the output. Throws Error(WriteFailed) when the device refuses.
    void Flush();
    // Bytes written so far, buffered or not.
    qint64 Position() const { return m_flushed + static_cast<qint64>(m_used); }

private:
    void Put(const void* data, size_t size);
    void Drain();
    void WriteReference(quint32 number, bool isClass);

    QByteArray* m_out = nullptr;
    QIODevice* m_device = nullptr;
    std::vector<char> m_buf;
    size_t m_used = 0;
    qint64 m_flushed = 0;
    std::vector<std::pair<QByteArray, quint32>> m_classes;
    quint32 m_nextNumber = 1;
};

class CArchiveReader {
public:
    // Reads from memory that must stay valid while the reader is used.
    CArchiveReader(const char* data, qsizetype size);
    explicit CArchiveReader(const QByteArray& bytes)
        : CArchiveReader(bytes.constData(), bytes.size())
    {
    }
    // The bytes must outlive the reader: a temporary would leave it reading freed memory.
    explicit CArchiveReader(QByteArray&&) = delete;
    // Reads from an open random-access device (a file) from its current position to its end,
    // through a window of `window` bytes, so that the whole file never has to be in memory.
    explicit CArchiveReader(QIODevice* device, qsizetype window = 1 << 20);
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    // Makes a class readable; returns its id for ObjectTag::classId.
    int RegisterClass(const ClassInfo& cls);

    qint64 Position() const { return m_base + (m_p - m_begin); }
    qint64 Size() const { return m_size; }
    qint64 Remaining() const { return m_size - Position(); }
    bool AtEnd() const { return Remaining() == 0; }
    // Throws Error(TrailingData) unless everything has been read.
    void ExpectEnd() const;

    quint8 ReadUInt8()
    {
        Need(1);
        return static_cast<quint8>(*m_p++);
    }
    quint16 ReadUInt16() { return Take<quint16>(); }
    quint32 ReadUInt32() { return Take<quint32>(); }
    quint64 ReadUInt64() { return Take<quint64>(); }
    qint32 ReadInt32() { return static_cast<qint32>(ReadUInt32()); }
    double ReadDouble();
    float ReadFloat();
    bool ReadBool() { return ReadUInt8() != 0; }
    // Reads a string into `out`, reusing its buffer when it can.
    void ReadString(QString& out);
    QString ReadString()
    {
        QString s;
        ReadString(s);
        return s;
    }
    // The element count of an object array; every element takes at least `minElementBytes`
    // bytes, so a count that the remaining data cannot hold is refused.
    quint64 ReadCount(qint64 minElementBytes = 2);

    // The bytes from the current position on, at least `n` of them unless the data ends first
    // (`available` says how many): for a caller that decodes a run of fields in one go and then
    // moves past them with Skip. Valid until the next read.
    const char* Peek(qint64 n, qint64& available)
    {
        Need(std::min(n, Remaining()));
        available = m_end - m_p;
        return m_p;
    }
    // Moves past `n` bytes that the last Peek made available.
    void Skip(qint64 n)
    {
        Need(n);
        m_p += n;
    }

    struct ObjectTag {
        enum Kind { Null, NewObject, Reference } kind = Null;
        int classId = -1; // the registered class of the object (NewObject, Reference)
        quint32 number = 0; // the object's number (NewObject: the one it takes now)
    };
    // Reads the tag in front of an object. For NewObject the caller reads the fields next.
    ObjectTag ReadObjectTag();

private:
    template <typename T> T Take()
    {
        Need(sizeof(T));
        T v;
        std::memcpy(&v, m_p, sizeof(T));
        m_p += sizeof(T);
        return qFromLittleEndian(v);
    }
    // Makes sure `n` bytes can be read at m_p.
    void Need(qint64 n)
    {
        if (m_end - m_p < n)
            Refill(n);
    }
    void Refill(qint64 n);
    [[noreturn]] void Fail(Cause cause, const QString& detail = QString()) const;
    quint32 AddToMap(qint32 entry);
    // What number `n` (1 <= n < m_nextNumber) stands for, as an m_runs entry value.
    qint32 MapEntry(quint32 n) const;
    qint64 ReadStringLength(bool& wide);

    // The bytes at hand: [m_begin, m_end) is stream offset m_base onward; m_p is the next byte.
    const char* m_begin;
    const char* m_end;
    const char* m_p;
    qint64 m_base = 0;
    qint64 m_size;
    QIODevice* m_device = nullptr;
    std::vector<char> m_window;
    std::vector<ClassInfo> m_known;
    // What each number stands for: >= 0 an object of that class id, < 0 the class -(id + 1).
    // Kept as runs (first number, value), as a file numbers thousands of objects of one class.
    std::vector<std::pair<quint32, qint32>> m_runs;
    quint32 m_nextNumber = 1;
};

} // namespace archive
