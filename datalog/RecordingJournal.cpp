#include "datalog/RecordingJournal.h"

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
        const qsizetype left = bytes.size() - at;
        if (left < 4)
            break;
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + at);
        if (length > kMaxPayload || left < 8 + qsizetype(length))
            break;
        const char* payload = bytes.constData() + at + 4;
        if (Fnv1a(payload, length) != qFromLittleEndian<quint32>(payload + length))
            break;
        Reader rd(payload, length);
        double value = 0, rate = 0;
        qint32 index = 0;
        float range = 0;
        QString unit, time, type;
        if (!rd.Get(&value) || !rd.Get(&rate) || !rd.Get(&index) || !rd.Get(&range) || !rd.GetText(&unit)
            || !rd.GetText(&time) || !rd.GetText(&type) || !rd.AtEnd())
            break;
        // The reading was stored as it counted live: its own value against its own limit.
        out.AddPoint(0, value, unit, rate, index, time, type, range, static_cast<float>(value));
        ++r.points;
        at += 8 + length;
    }
    r.tornTail = at < bytes.size();
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
        return true;
    }
    if (why)
        *why = QStringLiteral("Cannot make a journal in \"%1\".").arg(QDir::toNativeSeparators(folder));
    return false;
}

bool CJournalWriter::Append(const CDataSeries& s, qsizetype i)
{
    if (!IsOpen())
        return false;
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
    const bool ok = m_file->write(b) == b.size();
    m_bDirty = true;
    return ok;
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
    for (qsizetype i = 0; i < s.Size(); ++i)
        w->Append(s, i);
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
    const bool existed = m_writers.contains(doc);
    CJournalWriter* w = WriterFor(doc);
    if (!w || !existed)
        return; // a new journal has every point already
    const CDataSeries& s = doc->m_arrSeries[0];
    if (!s.IsEmpty() && !w->Append(s, s.Size() - 1) && !m_bFailReported) {
        m_bFailReported = true;
        emit journalFailed(QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(w->Path())));
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

void CRecordingJournals::Track(CMyOrvelDoc* doc)
{
    WriterFor(doc);
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
