#pragma once
// The crash journal of live recordings. While a live recording runs, every point also goes to a
// journal file in the user's data folder, written through to the system at once (a killed
// process loses nothing that was written) and synced to the disk at least once a second. A
// recording that ends normally (its document saved or closed) removes its journal; a journal
// left behind belongs to a recording that never finished, and can be read back into a document.
//
// File: the 8 bytes "MLOGJRNL", a 32-bit version (1), then one record per point: a 32-bit
// payload length, the payload (value and sampling interval as doubles, sequence number, range
// limit as float, then unit, time and label texts, each a 32-bit character count and UTF-16
// characters; all little-endian) and a 32-bit FNV-1a check of the payload. A record that is cut
// short at the end is where the process died; a record that does not check out is skipped, and
// reading goes on at the next whole record. A write that fails is cut back off the file, so the
// records after it follow a whole one.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

class CDataLog;
class CDataSeries;
class CMyOrvelDoc;
class QFile;
class QLockFile;

namespace journal {

constexpr char kSuffix[] = ".mjournal";

// The folder journals go to: "multimeter/journal" in the user's data folder.
QString DefaultFolder();
// Tests: another default folder; empty restores the user's.
void OverrideDefaultFolder(const QString& folder);

// Journals in `folder` whose recording is not running in a live process, oldest first.
QStringList UnfinishedJournals(const QString& folder);

struct ReadResult {
    qsizetype points = 0; // points read back
    qsizetype damaged = 0; // records skipped because they did not check out
    bool tornTail = false; // a record cut short at the end (the process died mid-write)
    // Every record was read: nothing was skipped (a torn last record was never a whole reading).
    bool Whole() const { return damaged == 0; }
};
// Reads a journal into `out` (fresh), replaying every good point into series 0. False, with
// `why` set, when the file cannot be read or is not a journal.
bool Read(const QString& path, CDataLog& out, ReadResult* result = nullptr, QString* why = nullptr);

} // namespace journal

// One open journal, locked against other processes while it is written.
class CJournalWriter {
public:
    CJournalWriter();
    ~CJournalWriter(); // closes; the file stays
    CJournalWriter(const CJournalWriter&) = delete;
    CJournalWriter& operator=(const CJournalWriter&) = delete;

    // Creates a new journal in `folder` (made when missing).
    bool Open(const QString& folder, QString* why = nullptr);
    bool IsOpen() const;
    const QString& Path() const { return m_strPath; }
    // Appends point `i` of `series`, written through to the system; a null element (a gap) is
    // no reading and writes nothing. After a failed or short write the file is cut back to its
    // last whole record and false is returned.
    bool Append(const CDataSeries& series, qsizetype i);
    // The number of series elements appended so far, gaps included: the next one to append.
    qsizetype Appended() const { return m_nAppended; }
    // Tests: every later Append writes only half its record and fails.
    static void SetShortWritesForTesting(bool on);
    // Pushes what was written since the last call to the disk.
    void Sync();
    // Closes and deletes the journal: its recording is safe elsewhere.
    void Discard();

private:
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QLockFile> m_lock;
    QString m_strPath;
    bool m_bDirty = false;
    QByteArray m_buffer;
    qint64 m_nWholeSize = 0; // bytes up to the end of the last whole record
    qsizetype m_nAppended = 0;
    bool m_bTorn = false; // a failed write left bytes after m_nWholeSize
};

// The journals of the open documents: a document's journal begins with its first live point
// and is removed once the document is saved after its recording ended, or closed (after the
// "save changes?" question). A document destroyed without being closed keeps it.
class CRecordingJournals : public QObject {
    Q_OBJECT
public:
    explicit CRecordingJournals(const QString& folder, QObject* parent = nullptr);
    ~CRecordingJournals() override;

    // The newest point of series 0 of `doc` was recorded live.
    void OnLivePoint(CMyOrvelDoc* doc);
    // The live recording of `doc` ended.
    void OnRecordingEnded(CMyOrvelDoc* doc);
    // The document was closed: what it held was saved or given up by the user.
    void OnDocumentClosed(CMyOrvelDoc* doc);
    // Stops journaling `doc` and leaves its journal on disk, to be recovered (its document could
    // not be saved).
    void Release(CMyOrvelDoc* doc);
    // `doc` was restored from the unfinished journal at `path`. The journal is held (no other
    // process offers it) and removed once the document is saved, when `removeWhenSaved` is set;
    // closing the document unsaved, or the program ending, leaves it for the next start.
    void HoldUntilSaved(CMyOrvelDoc* doc, const QString& path, bool removeWhenSaved);
    // The journals held for restored documents.
    QStringList HeldJournals() const;

    QString JournalOf(CMyOrvelDoc* doc) const;
    const QString& Folder() const { return m_strFolder; }
    // Writes everything outstanding to the disk now (also done every second).
    void SyncAll();

signals:
    // A journal could not be written; the recording itself goes on.
    void journalFailed(const QString& message);

private:
    CJournalWriter* WriterFor(CMyOrvelDoc* doc);
    void Forget(CMyOrvelDoc* doc);

    QString m_strFolder;
    QHash<CMyOrvelDoc*, CJournalWriter*> m_writers;
    QHash<CMyOrvelDoc*, QObject*> m_held; // the lock and connections of each held journal
    QTimer m_syncTimer;
    bool m_bFailReported = false;
};
