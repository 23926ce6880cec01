#include "recording/RecordingJournal.h"

#include "datalog/DataLog.h"
#include "datalog/MyOrvelDoc.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QtEndian>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr char kMagic[8] = { 'M', 'L', 'O', 'G', 'J', 'R', 'N', 'L' };
constexpr quint32 kVersion = 1;
constexpr qsizetype kHeaderBytes = 12;
// A point's texts are a few dozen characters; anything this long is not a record.
constexpr quint32 kMaxPayload = 1u << 20;

quint32 Fnv1a(const char* data, qsizetype size)
{
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < size; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 16777619u;
    }
    return h;
}

template <typename T> void Put(QByteArray& out, T v)
{
    char bytes[sizeof(T)];
    qToLittleEndian(v, bytes);
    out.append(bytes, sizeof(T));
}

void PutText(QByteArray& out, QStringView s)
{
    Put<quint32>(out, static_cast<quint32>(s.size()));
    for (QChar c : s)
        Put<quint16>(out, c.unicode());
}

class Reader {
public:
    Reader(const char* data, qsizetype size)
        : m_p(data)
        , m_end(data + size)
    {
    }
    template <typename T> bool Get(T* v)
    {
        if (m_end - m_p < qsizetype(sizeof(T)))
            return false;
        *v = qFromLittleEndian<T>(m_p);
        m_p += sizeof(T);
        return true;
    }
    bool GetText(QString* s)
    {
        quint32 n = 0;
        if (!Get(&n) || quint64(m_end - m_p) < quint64(n) * 2)
            return false;
        s->resize(n);
        for (quint32 i = 0; i < n; ++i) {
            quint16 c = 0;
            Get(&c);
            (*s)[i] = QChar(c);
        }
        return true;
    }
    bool AtEnd() const { return m_p == m_end; }

private:
    const char* m_p;
    const char* m_end;
};

bool Flush(int fd)
{
#ifdef Q_OS_WIN
    return _commit(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

struct Point {
    double value = 0, rate = 0;
    qint32 index = 0;
    float range = 0;
    QString unit, time, type;
};

// The size of the whole record at `at` when its length, check and fields all hold, else 0. The
// point goes to `p` when given.
qsizetype RecordAt(const QByteArray& bytes, qsizetype at, Point* p)
{
    const qsizetype left = bytes.size() - at;
    if (left < 8)
        return 0;
    const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + at);
    if (length > kMaxPayload || left < 8 + qsizetype(length))
        return 0;
    const char* payload = bytes.constData() + at + 4;
    if (Fnv1a(payload, length) != qFromLittleEndian<quint32>(payload + length))
        return 0;
    Point scratch;
    Point& pt = p ? *p : scratch;
    Reader rd(payload, length);
    if (!rd.Get(&pt.value) || !rd.Get(&pt.rate) || !rd.Get(&pt.index) || !rd.Get(&pt.range) || !rd.GetText(&pt.unit)
        || !rd.GetText(&pt.time) || !rd.GetText(&pt.type) || !rd.AtEnd())
        return 0;
    return 8 + qsizetype(length);
}

// The record at `at` announces more bytes than the file has left (or not even its length fits).
bool ClaimsMoreThanLeft(const QByteArray& bytes, qsizetype at)
{
    const qsizetype left = bytes.size() - at;
    return left < 4 || qsizetype(qFromLittleEndian<quint32>(bytes.constData() + at)) + 8 > left;
}

// How many records the damaged stretch [from, to) held: their length fields are followed as long
// as they stay inside it; a stretch they do not describe counts as one.
qsizetype DamagedRecordsIn(const QByteArray& bytes, qsizetype from, qsizetype to)
{
    qsizetype count = 0;
    qsizetype at = from;
    while (at < to) {
        ++count;
        if (to - at < 4)
            break;
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + at);
        if (length > kMaxPayload || at + 8 + qsizetype(length) > to)
            break;
        at += 8 + qsizetype(length);
    }
    return count;
}

} // namespace

namespace journal {

QString& OverriddenFolder()
{
    static QString folder;
    return folder;
}

QString DefaultFolder()
{
    if (!OverriddenFolder().isEmpty())
        return OverriddenFolder();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("multimeter/journal"));
}

void OverrideDefaultFolder(const QString& folder)
{
    OverriddenFolder() = folder;
}

QStringList UnfinishedJournals(const QString& folder)
{
    QStringList out;
    const QDir dir(folder);
    const QStringList names = dir.entryList({ QStringLiteral("*") + QLatin1String(kSuffix) }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(0); // only a live owner holds it
        if (lock.tryLock(0)) {
            out << path;
            lock.unlock();
        }
    }
    return out;
}

bool Read(const QString& path, CDataLog& out, ReadResult* result, QString* why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = QStringLiteral("Cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0
        || qFromLittleEndian<quint32>(bytes.constData() + 8) != kVersion) {
        if (why)
            *why = QStringLiteral("\"%1\" is not a recording journal.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    ReadResult r;
    qsizetype at = kHeaderBytes;
    while (at < bytes.size()) {
        Point p;
        const qsizetype length = RecordAt(bytes, at, &p);
        if (length > 0) {
            // The reading was stored as it counted live: its own value against its own limit.
            out.AddPoint(0, p.value, p.unit, p.rate, p.index, p.time, p.type, p.range, static_cast<float>(p.value));
            ++r.points;
            at += length;
            continue;
        }
        // A damaged stretch: go on at the next offset where a whole record checks out.
        qsizetype next = at + 1;
        while (next < bytes.size() && RecordAt(bytes, next, nullptr) == 0)
            ++next;
        if (next >= bytes.size() && ClaimsMoreThanLeft(bytes, at)) {
            // Nothing whole after it and its length runs past the end: the process died while
            // writing it.
            r.tornTail = true;
        } else {
            r.damaged += DamagedRecordsIn(bytes, at, next);
        }
        at = next;
    }
    if (result)
        *result = r;
    return true;
}

} // namespace journal

// --- CJournalWriter ------------------------------------------------------------------------------

CJournalWriter::CJournalWriter() = default;

CJournalWriter::~CJournalWriter()
{
    if (m_file)
        m_file->close();
    if (m_lock)
        m_lock->unlock();
}

bool CJournalWriter::IsOpen() const
{
    return m_file && m_file->isOpen();
}

bool CJournalWriter::Open(const QString& folder, QString* why)
{
    if (!QDir().mkpath(folder)) {
        if (why)
            *why = QStringLiteral("Cannot make the journal folder \"%1\".").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    static int counter = 0;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = QDir(folder).filePath(QStringLiteral("recording-%1-%2-%3%4")
                                                       .arg(stamp)
                                                       .arg(QCoreApplication::applicationPid())
                                                       .arg(++counter)
                                                       .arg(QLatin1String(journal::kSuffix)));
        auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            if (file->exists())
                continue;
            if (why)
                *why = QStringLiteral("Cannot write \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(path), file->errorString());
            return false;
        }
        QByteArray header(kMagic, sizeof kMagic);
        Put<quint32>(header, kVersion);
        if (file->write(header) != header.size()) {
            if (why)
                *why = QStringLiteral("Cannot write \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(path), file->errorString());
            file->close();
            file->remove();
            return false;
        }
        m_file = std::move(file);
        m_lock = std::move(lock);
        m_strPath = path;
        m_bDirty = true;
        m_nWholeSize = header.size();
        m_nAppended = 0;
        m_bTorn = false;
        return true;
    }
    if (why)
        *why = QStringLiteral("Cannot make a journal in \"%1\".").arg(QDir::toNativeSeparators(folder));
    return false;
}

namespace {
bool g_shortWrites = false;
}

void CJournalWriter::SetShortWritesForTesting(bool on)
{
    g_shortWrites = on;
}

bool CJournalWriter::Append(const CDataSeries& s, qsizetype i)
{
    if (!IsOpen())
        return false;
    if (s.IsNull(i)) {
        ++m_nAppended;
        return true;
    }
    // A record must follow a whole one: what a failed write left goes first.
    if (m_bTorn) {
        if (!m_file->resize(m_nWholeSize) || !m_file->seek(m_nWholeSize))
            return false;
        m_bTorn = false;
    }
    QByteArray& b = m_buffer;
    b.resize(4);
    Put<double>(b, s.Value(i));
    Put<double>(b, s.SampleRate(i));
    Put<qint32>(b, s.Index(i));
    Put<float>(b, s.Range(i));
    PutText(b, s.Unit(i));
    PutText(b, s.DateTimeView(i));
    PutText(b, s.Type(i));
    const quint32 length = static_cast<quint32>(b.size() - 4);
    qToLittleEndian(length, b.data());
    Put<quint32>(b, Fnv1a(b.constData() + 4, length));
    // One write per point: once it returns, the point survives the death of this process.
    const qint64 written = g_shortWrites ? m_file->write(b.constData(), b.size() / 2) : m_file->write(b);
    m_bDirty = true;
    if (written != b.size()) {
        if (m_file->resize(m_nWholeSize) && m_file->seek(m_nWholeSize))
            m_bTorn = false;
        else
            m_bTorn = true;
        return false;
    }
    m_nWholeSize += written;
    ++m_nAppended;
    return true;
}

void CJournalWriter::Sync()
{
    if (IsOpen() && m_bDirty) {
        Flush(m_file->handle());
        m_bDirty = false;
    }
}

void CJournalWriter::Discard()
{
    if (m_file) {
        m_file->close();
        m_file->remove();
        m_file.reset();
    }
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
}

// --- CRecordingJournals --------------------------------------------------------------------------

CRecordingJournals::CRecordingJournals(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_strFolder(folder)
{
    m_syncTimer.setInterval(1000);
    connect(&m_syncTimer, &QTimer::timeout, this, &CRecordingJournals::SyncAll);
}

CRecordingJournals::~CRecordingJournals()
{
    // Documents still open keep their journals: the program is going away without them.
    qDeleteAll(m_writers);
}

CJournalWriter* CRecordingJournals::WriterFor(CMyOrvelDoc* doc)
{
    if (CJournalWriter* w = m_writers.value(doc))
        return w;
    auto w = std::make_unique<CJournalWriter>();
    QString why;
    if (!w->Open(m_strFolder, &why)) {
        if (!m_bFailReported) {
            m_bFailReported = true;
            emit journalFailed(why);
        }
        return nullptr;
    }
    const CDataSeries& s = doc->m_arrSeries[0];
    for (qsizetype i = 0; i < s.Size(); ++i) {
        if (!w->Append(s, i))
            break; // the next live point tries again from here
    }
    // A document that goes without being closed (the program ending without the question)
    // leaves its journal for the next start.
    connect(doc, &QObject::destroyed, this, [this, doc] { Release(doc); });
    connect(doc, &CMyOrvelDoc::modifiedChanged, this, [this, doc](bool modified) {
        // Saved after its recording ended: the file holds it all now.
        if (!modified && !doc->m_bLive)
            Forget(doc);
    });
    m_writers.insert(doc, w.get());
    if (!m_syncTimer.isActive())
        m_syncTimer.start();
    return w.release();
}

void CRecordingJournals::OnLivePoint(CMyOrvelDoc* doc)
{
    CJournalWriter* w = WriterFor(doc);
    if (!w)
        return;
    // Points whose write failed before are written again with this one, so the journal stays
    // in the order of the document.
    const CDataSeries& s = doc->m_arrSeries[0];
    for (qsizetype i = w->Appended(); i < s.Size(); ++i) {
        if (!w->Append(s, i)) {
            if (!m_bFailReported) {
                m_bFailReported = true;
                emit journalFailed(QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(w->Path())));
            }
            break;
        }
    }
}

void CRecordingJournals::OnRecordingEnded(CMyOrvelDoc* doc)
{
    if (m_writers.contains(doc) && !doc->IsModified())
        Forget(doc);
}

void CRecordingJournals::OnDocumentClosed(CMyOrvelDoc* doc)
{
    Forget(doc);
    delete m_held.take(doc); // unlocked; the file stays
}

void CRecordingJournals::Release(CMyOrvelDoc* doc)
{
    CJournalWriter* w = m_writers.take(doc);
    if (!w)
        return;
    disconnect(doc, nullptr, this, nullptr);
    w->Sync();
    delete w; // closed and unlocked, the file stays
    if (m_writers.isEmpty())
        m_syncTimer.stop();
}

namespace {
// A restored journal, locked while its document is open.
class CHeldJournal : public QObject {
public:
    CHeldJournal(const QString& path, QObject* parent)
        : QObject(parent)
        , m_strPath(path)
        , m_lock(path + QStringLiteral(".lock"))
    {
        m_lock.setStaleLockTime(0);
        m_lock.tryLock(0);
    }
    const QString& Path() const { return m_strPath; }
    void Remove()
    {
        QFile::remove(m_strPath);
        m_lock.unlock();
    }

private:
    QString m_strPath;
    QLockFile m_lock;
};
} // namespace

void CRecordingJournals::HoldUntilSaved(CMyOrvelDoc* doc, const QString& path, bool removeWhenSaved)
{
    delete m_held.take(doc);
    auto* held = new CHeldJournal(path, this);
    m_held.insert(doc, held);
    connect(doc, &QObject::destroyed, held, [this, doc] { delete m_held.take(doc); });
    connect(doc, &CMyOrvelDoc::modifiedChanged, held, [this, doc, held, removeWhenSaved](bool modified) {
        // Only a successful save clears the modified flag: the readings are in a file now.
        if (modified || doc->GetPathName().isEmpty())
            return;
        if (removeWhenSaved)
            held->Remove();
        m_held.remove(doc);
        held->deleteLater(); // it runs this call
    });
}

QStringList CRecordingJournals::HeldJournals() const
{
    QStringList out;
    for (QObject* o : m_held)
        out << static_cast<CHeldJournal*>(o)->Path();
    return out;
}

QString CRecordingJournals::JournalOf(CMyOrvelDoc* doc) const
{
    const CJournalWriter* w = m_writers.value(doc);
    return w ? w->Path() : QString();
}

void CRecordingJournals::SyncAll()
{
    for (CJournalWriter* w : std::as_const(m_writers))
        w->Sync();
}

void CRecordingJournals::Forget(CMyOrvelDoc* doc)
{
    CJournalWriter* w = m_writers.take(doc);
    if (!w)
        return;
    disconnect(doc, nullptr, this, nullptr);
    w->Discard();
    delete w;
    if (m_writers.isEmpty())
        m_syncTimer.stop();
}
