// The crash journal of live recordings: what a killed process leaves is read back up to the last
// whole point, damaged records are skipped, a failed write leaves no torn record behind, a
// journal in use is not offered for restore, and a document's journal goes once the document is
// safe (saved after its recording, or closed) and stays when a save failed.
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingJournal.h"
#include "recording/RecordingRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

void AddReadings(CMyOrvelDoc& doc, int count)
{
    for (int i = 0; i < count; ++i) {
        const qsizetype n = doc.m_arrSeries[0].Size();
        doc.AddPoint(0, i == 1 ? 500000.0 : 0.5 * double(i), QStringLiteral("VDC"), 0.0, int(n),
            QStringLiteral("5/12/26 9:3:%1").arg(i), QStringLiteral("VDC"), 6.0f);
    }
}

QStringList Files(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("*.mjournal") }, QDir::Files);
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void aTornTailEndsTheReadingAndDamageIsSkipped()
    {
        QTemporaryDir dir;
        CMyOrvelDoc doc;
        AddReadings(doc, 5);
        QString path;
        {
            CJournalWriter w;
            QVERIFY(w.Open(dir.path()));
            for (int i = 0; i < 5; ++i)
                QVERIFY(w.Append(doc.m_arrSeries[0], i));
            path = w.Path();
            // Written by another process and still held: not offered.
            QVERIFY(journal::UnfinishedJournals(dir.path()).isEmpty());
        }
        QCOMPARE(journal::UnfinishedJournals(dir.path()), QStringList({ path }));

        CDataLog whole;
        journal::ReadResult r;
        QVERIFY(journal::Read(path, whole, &r));
        QCOMPARE(r.points, qsizetype(5));
        QVERIFY(!r.tornTail);
        QCOMPARE(whole.m_arrSeries[0], doc.m_arrSeries[0]);
        QCOMPARE(whole.m_nAvgCount, doc.m_nAvgCount); // the over-range point is left out again
        QCOMPARE(whole.m_dAverage, doc.m_dAverage);

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray bytes = f.readAll();
        // Killed in the middle of the last record.
        f.resize(bytes.size() - 7);
        f.close();
        CDataLog cut;
        QVERIFY(journal::Read(path, cut, &r));
        QCOMPARE(r.points, qsizetype(4));
        QVERIFY(r.tornTail);
        QVERIFY(r.Whole());

        // A flipped byte in the third record: the reading goes on after it.
        const qsizetype recordBytes = (bytes.size() - 12) / 5;
        auto flipped = [&](qsizetype at) {
            QByteArray damaged = bytes;
            damaged[at] = char(damaged[at] ^ 0x40);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(damaged);
            f.close();
        };
        flipped(12 + 2 * recordBytes + 10);
        CDataLog bad;
        QVERIFY(journal::Read(path, bad, &r));
        QCOMPARE(r.points, qsizetype(4));
        QCOMPARE(r.damaged, qsizetype(1));
        QVERIFY(!r.tornTail && !r.Whole());
        QCOMPARE(bad.m_arrSeries[0].Value(2), doc.m_arrSeries[0].Value(3));
        QCOMPARE(bad.m_arrSeries[0].DateTime(3), doc.m_arrSeries[0].DateTime(4));
        // A length field damaged so that it reaches past the end is found again too.
        flipped(12 + 1 * recordBytes + 3);
        CDataLog badLength;
        QVERIFY(journal::Read(path, badLength, &r));
        QCOMPARE(r.points, qsizetype(4));
        QCOMPARE(r.damaged, qsizetype(1));

        // Not a journal at all.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("hello, world");
        f.close();
        QString why;
        QVERIFY(!journal::Read(path, bad, nullptr, &why));
        QVERIFY(why.contains(QLatin1String("not a recording journal")));
    }

    void aDocumentsJournalLastsUntilItIsSafe()
    {
        QTemporaryDir dir;
        CRecordingJournals journals(dir.path());
        auto doc = std::make_unique<CMyOrvelDoc>();
        AddReadings(*doc, 2);
        journals.OnLivePoint(doc.get()); // the first call writes every point so far
        AddReadings(*doc, 1);
        journals.OnLivePoint(doc.get());
        const QString path = journals.JournalOf(doc.get());
        CDataLog read;
        QVERIFY(journal::Read(path, read));
        QCOMPARE(read.m_arrSeries[0].Size(), qsizetype(3));

        // Saved while still recording: kept. Saved after the recording: gone.
        QVERIFY(doc->OnSaveDocument(dir.filePath(QStringLiteral("a.mLog"))));
        QVERIFY(QFile::exists(path));
        doc->m_bLive = false;
        AddReadings(*doc, 1);
        doc->SetModifiedFlag(true);
        journals.OnRecordingEnded(doc.get());
        QVERIFY(QFile::exists(path));
        QVERIFY(doc->OnSaveDocument(dir.filePath(QStringLiteral("a.mLog"))));
        QVERIFY(!QFile::exists(path));

        // Closed unsaved (the user said No): gone.
        auto other = std::make_unique<CMyOrvelDoc>();
        AddReadings(*other, 1);
        journals.OnLivePoint(other.get());
        const QString otherPath = journals.JournalOf(other.get());
        QVERIFY(QFile::exists(otherPath));
        journals.OnDocumentClosed(other.get());
        other.reset();
        QVERIFY(!QFile::exists(otherPath));

        // Gone without being closed (the program ended without asking): kept, free to restore.
        auto vanished = std::make_unique<CMyOrvelDoc>();
        AddReadings(*vanished, 1);
        journals.OnLivePoint(vanished.get());
        const QString vanishedPath = journals.JournalOf(vanished.get());
        vanished.reset();
        QCOMPARE(journal::UnfinishedJournals(dir.path()), QStringList({ vanishedPath }));
        QFile::remove(vanishedPath);

        // Released after a failed save: it stays, free to be recovered.
        auto failed = std::make_unique<CMyOrvelDoc>();
        AddReadings(*failed, 1);
        journals.OnLivePoint(failed.get());
        const QString failedPath = journals.JournalOf(failed.get());
        journals.Release(failed.get());
        failed.reset();
        QCOMPARE(journal::UnfinishedJournals(dir.path()), QStringList({ failedPath }));
        QCOMPARE(Files(dir.path()).size(), 1);
    }

    void aFailedWriteIsCutBackAndWrittenAgainAndAGapIsSkipped()
    {
        QTemporaryDir dir;
        CRecordingJournals journals(dir.path());
        QStringList failures;
        connect(&journals, &CRecordingJournals::journalFailed, this, [&](const QString& m) { failures << m; });
        CMyOrvelDoc doc;
        AddReadings(doc, 2);
        journals.OnLivePoint(&doc);
        const QString path = journals.JournalOf(&doc);
        const qint64 wholeSize = QFileInfo(path).size();

        // The disk takes half a record: the half goes again, and the next write carries both.
        CJournalWriter::SetShortWritesForTesting(true);
        AddReadings(doc, 1);
        journals.OnLivePoint(&doc);
        CJournalWriter::SetShortWritesForTesting(false);
        QCOMPARE(failures.size(), 1);
        QCOMPARE(QFileInfo(path).size(), wholeSize);
        AddReadings(doc, 1);
        journals.OnLivePoint(&doc);

        CDataLog read;
        journal::ReadResult r;
        QVERIFY(journal::Read(path, read, &r));
        QVERIFY(r.Whole() && !r.tornTail);
        QCOMPARE(read.m_arrSeries[0], doc.m_arrSeries[0]);

        // A gap (the link was lost) is no reading: the journal goes on with the next one.
        doc.m_arrSeries[0].AppendNull();
        AddReadings(doc, 1);
        journals.OnLivePoint(&doc);
        CDataLog afterGap;
        QVERIFY(journal::Read(path, afterGap, &r));
        QCOMPARE(r.points, qsizetype(5));
        QCOMPARE(afterGap.m_arrSeries[0].DateTime(4), doc.m_arrSeries[0].DateTime(5));
        journals.OnDocumentClosed(&doc);
    }

    void settingsKeyRaisesTheReadingLimit()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("MultipleSetInfo.ini"));
        QCOMPARE(recording::MaxReadingsSetting(ini), 20000); // no file
        auto write = [&](const QString& value) {
            QSettings s(ini, QSettings::IniFormat);
            s.setValue(QStringLiteral("Recording/MaxReadings"), value);
        };
        write(QStringLiteral("2000000"));
        QCOMPARE(recording::MaxReadingsSetting(ini), 2000000);
        // The highest limit is the most a file may hold to be opened again.
        write(QString::number(CDataLog::kMaxLoadPoints));
        QCOMPARE(recording::MaxReadingsSetting(ini), int(CDataLog::kMaxLoadPoints));
        for (const char* bad : { "0", "-5", "lots", "1e9", "25000001", "100000000" }) {
            write(QLatin1String(bad));
            QCOMPARE(recording::MaxReadingsSetting(ini), 20000);
        }
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
