// The data-log document: statistics, the exact ".mLog" bytes, and refusal of damaged files.
#include "datalog/ChunkedArray.h"
#include "datalog/MLogFile.h"
#include "datalog/MLogLoader.h"
#include "platform/Archive.h"
#include "platform/ArchiveFile.h"
#include "datalog/MyOrvelDoc.h"
#include "protocol/MeterData.h"

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>
#include <set>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

QByteArray d64(double v)
{
    QByteArray b(8, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray str(const QString& s)
{
    QByteArray b = hex("fffeff");
    if (s.size() >= 0xff) {
        b += char(0xff);
        b += char(s.size() & 0xff);
        b += char(s.size() >> 8);
    } else {
        b += char(s.size());
    }
    b.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    return b;
}

// The statistics block of a document with its initial values.
QByteArray initialStats()
{
    return d64(0.0) + d64(-60000.0) + str({}) + d64(60000.0) + str({}) + d64(1.0) + d64(0.0) + hex("00000000") + str({})
        + str({}) + str({});
}

QByteArray pointBody(
    double v, const QString& unit, double rate, qint32 index, const QString& time, const QString& type, float range)
{
    QByteArray b = d64(v) + str(unit) + d64(rate);
    b.append(reinterpret_cast<const char*>(&index), 4);
    b += str(time) + str(type);
    b.append(reinterpret_cast<const char*>(&range), 4);
    return b;
}

template <typename To, typename From> To bitsAs(From v)
{
    static_assert(sizeof(To) == sizeof(From), "same size");
    To to;
    std::memcpy(&to, &v, sizeof to);
    return to;
}

const QByteArray kNewClass = QByteArray::fromHex("ffff01000700434f6244617461");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}


// A document of three blocks of points: units and labels that change, time stamps of changing
// length (some straddle a block of characters), null elements on block edges, statistics in
// series 1 and one time stamp longer than a block of characters.
void fillAcrossBlocks(CDataLog& log)
{
    const qsizetype k = CDataSeries::kChunkPoints;
    const QString longTime(2100000, QLatin1Char('t'));
    for (qsizetype i = 0; i < 2 * k + 1000; ++i) {
        for (qsizetype at = log.m_arrSeries[0].Size(); at == k - 1 || at == k || at == 2 * k; ++at)
            log.m_arrSeries[0].AppendNull();
        const QString time = QStringLiteral("2026/12/07 %1:%2:%3%4")
                                 .arg(i / 3600 % 24)
                                 .arg(i / 60 % 60)
                                 .arg(i % 60)
                                 .arg(QString(int(i % 7), QLatin1Char('.')));
        const double v = (i % 1000 == 999) ? 500000.0 : std::sin(double(i) / 500.0) * 5.0;
        log.AddPoint(0, v, i % 5000 < 2500 ? "VDC" : "mVDC", 0.0, qint32(i), i == 7 ? longTime : time,
            i % 3000 < 1500 ? "VDC" : "VAC", 6.0f, float(v));
        if (i % 40000 == 3)
            log.AddPoint(1, v + 1.0, "VDC", 1.0, qint32(i), time, "Max", 6.0f, 0.0f);
    }
}

// Reads `bytes` the way a file is read in the background: the points in pieces taken one by one
// into `target` (each with the blocks it brings), then the statistics.
bool readInPieces(const QByteArray& bytes, CDataLog& target, int* pieces = nullptr)
{
    CDataLog statistics;
    int n = 0;
    QString why;
    const bool ok = archive::ReadBytes(
        bytes,
        [&](archive::CArchiveReader& ar) {
            statistics.ReadInPieces(ar, [&](int series, CDataSeries&& piece, qint64) {
                QVERIFY(piece.Size() <= CDataLog::kPiecePoints);
                CDataSeries mine(std::move(piece));
                target.TakePiece(series, mine);
                ++n;
            });
        },
        &why);
    target.DropSpareBlocks();
    if (ok)
        target.TakeStoredStatistics(statistics);
    if (pieces)
        *pieces = n;
    return ok;
}

// The document of fillAcrossBlocks, saved in `dir` as "big.mLog": its path (empty when not saved).
QString saveAcrossBlocks(const QTemporaryDir& dir, CDataLog& log)
{
    fillAcrossBlocks(log);
    const QString path = dir.filePath("big.mLog");
    return mlog::Save(path, log) ? path : QString();
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

class TestDataLog : public QObject {
    Q_OBJECT
private slots:
    void emptyDocumentBytes()
    {
        CMyOrvelDoc doc;
        QVERIFY(doc.m_bLive);
        QCOMPARE(mlog::ToBytes(doc), hex("000000000000") + initialStats());
    }

    void smallDocumentBytes()
    {
        CMyOrvelDoc doc;
        doc.AddPoint(0, 1.5, "VDC", 0.0, 0, "2024/03/05 10:07:09", "VDC", 6.0f);
        doc.AddPoint(1, 2.0, "VDC", 1.0, 0, "2024/03/05 10:07:09", "Max", 6.0f);
        doc.AddPoint(0, 500000.0, "VDC", 0.0, 1, "2024/03/05 10:07:10", "VDC", 6.0f);

        QByteArray expected = hex("0200") + kNewClass
            + pointBody(1.5, "VDC", 0.0, 0, "2024/03/05 10:07:09", "VDC", 6.0f) + hex("0180")
            + pointBody(500000.0, "VDC", 0.0, 1, "2024/03/05 10:07:10", "VDC", 6.0f) + hex("0100") + hex("0180")
            + pointBody(2.0, "VDC", 1.0, 0, "2024/03/05 10:07:09", "Max", 6.0f) + hex("0000");
        expected += d64(1.5) + d64(1.5) + str("2024/03/05 10:07:09") + d64(1.5) + str("2024/03/05 10:07:09") + d64(1.0)
            + d64(1.5) + hex("02000000") + str("2024/03/05 10:07:09") + str("2024/03/05 10:07:09") + str("VDC");
        const QByteArray bytes = mlog::ToBytes(doc);
        QCOMPARE(bytes.toHex(), expected.toHex());

        CDataLog back;
        QVERIFY(mlog::FromBytes(bytes, back));
        QVERIFY(back.SameStoredContents(doc));
        QCOMPARE(back.m_arrSeries[1].At(0), CObData(2.0, "VDC", 1.0, 0, "2024/03/05 10:07:09", "Max", 6.0f));
        QCOMPARE(mlog::ToBytes(back), bytes);
    }

    void longForms()
    {
        CDataLog log;
        const QString longText(300, QLatin1Char('u'));
        for (int i = 0; i < 70000; ++i)
            log.AddPoint(0, i, "mVDC", 0.0, i, QStringLiteral("t%1").arg(i), i == 5 ? longText : "mVDC", 600.0f, i);
        const QByteArray bytes = mlog::ToBytes(log);
        QCOMPARE(bytes.left(6), hex("ffff70110100"));
        QVERIFY(bytes.contains(hex("fffeffff2c01") + QByteArray("u\0u\0", 4)));
        CDataLog back;
        QVERIFY(mlog::FromBytes(bytes, back));
        QVERIFY(back.SameStoredContents(log));
        QCOMPARE(back.m_arrSeries[0].Type(5), longText);
        QCOMPARE(back.m_arrSeries[0].DateTime(69999), QStringLiteral("t69999"));
    }

    // A file read in pieces (as the window reads a large one) makes the same document as one read
    // at once: points, null elements on block and piece edges, a time stamp longer than a block,
    // back-references into earlier pieces and into the piece being read, the span summaries the
    // graph draws from, and the bytes written back.
    void piecesMakeTheSameDocument()
    {
        CDataLog log;
        fillAcrossBlocks(log);
        const QByteArray blocks = mlog::ToBytes(log);

        // Series 0 of n points (objects 2 .. n + 1), then series 1 referring back to the first
        // and last point of series 0, a new point and a reference to that one.
        const qsizetype n = 2 * CDataLog::kPiecePoints + 5;
        CDataLog plain;
        for (qsizetype i = 0; i < n; ++i)
            plain.AddPoint(0, double(i % 97), "VDC", 0.0, qint32(i), QStringLiteral("t%1").arg(i), "VDC", 6.0f, 0.0f);
        const QByteArray head = mlog::ToBytes(plain);
        CDataLog statsOnly = plain;
        statsOnly.DeleteContents();
        const QByteArray stats = mlog::ToBytes(statsOnly).mid(6);
        const QByteArray refs = head.left(head.size() - 4 - stats.size()) + hex("0400") + hex("0200") + hex("ff7f")
            + le32(quint32(n + 1)) + hex("0180") + pointBody(-1.5, "A", 1.0, 3, "x", "Max", 6.0f) + hex("ff7f")
            + le32(quint32(n + 2)) + hex("0000") + stats;

        for (const QByteArray& bytes : { blocks, refs }) {
            CDataLog whole;
            QString why;
            QVERIFY2(mlog::FromBytes(bytes, whole, &why), qPrintable(why));
            CDataLog pieced;
            int pieces = 0;
            QVERIFY(readInPieces(bytes, pieced, &pieces));
            QVERIFY(pieces > 2);
            QVERIFY(pieced.SameStoredContents(whole));
            QCOMPARE(mlog::ToBytes(pieced), mlog::ToBytes(whole));
            const CDataSeries& a = pieced.m_arrSeries[0];
            const CDataSeries& b = whole.m_arrSeries[0];
            for (int level = 0; level < CDataSeries::kSpanLevels; ++level) {
                const qsizetype step = qsizetype(1) << CDataSeries::SpanBitsAt(level);
                for (qsizetype first = 0; first < a.Size(); first += step) {
                    const CDataSeries::Span& x = a.SpanFrom(level, first);
                    const CDataSeries::Span& y = b.SpanFrom(level, first);
                    QVERIFY(x.min == y.min && x.max == y.max && x.maxStep == y.maxStep && x.plain == y.plain);
                }
            }
        }
        CDataLog pieced;
        QVERIFY(readInPieces(refs, pieced));
        const CDataSeries& s1 = pieced.m_arrSeries[1];
        QCOMPARE(s1.Size(), 4);
        QCOMPARE(s1.At(0), pieced.m_arrSeries[0].At(0));
        QCOMPARE(s1.At(1), pieced.m_arrSeries[0].At(n - 1));
        QCOMPARE(s1.At(3), s1.At(2));
        QCOMPARE(s1.DateTime(1), QStringLiteral("t%1").arg(n - 1));
    }

    // A fault part-way is found as a whole read finds it; a reference to a point not read yet is
    // refused, not resolved later.
    void piecesStopAtTheFault()
    {
        CDataLog log;
        fillAcrossBlocks(log);
        const QByteArray bytes = mlog::ToBytes(log);
        for (qsizetype cut : { qsizetype(100), bytes.size() / 2, bytes.size() - 3 }) {
            QString whole, pieced;
            CDataLog a, b;
            QVERIFY(!mlog::FromBytes(bytes.left(cut), a, &whole));
            QVERIFY(!archive::ReadBytes(
                bytes.left(cut), [&](archive::CArchiveReader& ar) { b.ReadInPieces(ar, [](int, CDataSeries&&, qint64) {}); },
                &pieced));
            QCOMPARE(pieced, whole);
        }
        const QByteArray a = pointBody(3.0, "A", 0.0, 7, "x", "T", 1.0f);
        const QByteArray ahead = hex("0200") + kNewClass + a + hex("0300") + hex("0000") + hex("0000") + initialStats();
        CDataLog target;
        QVERIFY(!readInPieces(ahead, target));
    }

    // The loader reads on a thread of its own and fills the document on this one: the same
    // document, progress on the way, and a damaged file told as an ordinary open tells it.
    void loaderReadsInTheBackground()
    {
        QTemporaryDir dir;
        CDataLog log;
        const QString path = saveAcrossBlocks(dir, log);
        QVERIFY(!path.isEmpty());
        CDataLog target;
        CMLogLoader loader(path, &target);
        QSignalSpy progressed(&loader, &CMLogLoader::progressed);
        QSignalSpy finished(&loader, &CMLogLoader::finished);
        loader.Start();
        QVERIFY(loader.IsRunning());
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).toBool(), true);
        QVERIFY(progressed.count() > 2);
        QVERIFY(!loader.IsRunning());
        QCOMPARE(loader.Permille(), 1000);
        QVERIFY(target.SameStoredContents(log));

        const QByteArray bytes = readFile(path);
        const QString cut = dir.filePath("cut.mLog");
        writeFile(cut, bytes.left(bytes.size() * 2 / 3));
        CDataLog partial;
        CMLogLoader bad(cut, &partial);
        QSignalSpy badEnd(&bad, &CMLogLoader::finished);
        bad.Start();
        QVERIFY(badEnd.wait(30000));
        QCOMPARE(badEnd.first().at(0).toBool(), false);
        QString message;
        CDataLog none;
        QVERIFY(!mlog::Load(cut, none, &message));
        QCOMPARE(badEnd.first().at(1).toString(), message);
        QVERIFY(message.startsWith("Cannot open"));
    }

    // A loader that goes away part-way stops its worker and leaves the target alone after.
    void loaderStopsWhenDestroyed()
    {
        QTemporaryDir dir;
        CDataLog log;
        const QString path = saveAcrossBlocks(dir, log);
        QVERIFY(!path.isEmpty());
        CDataLog target;
        auto loader = std::make_unique<CMLogLoader>(path, &target);
        QSignalSpy progressed(loader.get(), &CMLogLoader::progressed);
        loader->Start();
        QVERIFY(progressed.wait(30000));
        loader.reset();
        const qsizetype held = target.m_arrSeries[0].Size();
        QTest::qWait(50);
        QCOMPARE(target.m_arrSeries[0].Size(), held);
        QVERIFY(held < log.m_arrSeries[0].Size());
    }

    // The document read in the background: loading until the whole file is in, then named after
    // it and not modified; a damaged one says why and is not the file's.
    void documentOpenedInTheBackground()
    {
        QTemporaryDir dir;
        CDataLog log;
        const QString path = saveAcrossBlocks(dir, log);
        QVERIFY(!path.isEmpty());
        CMyOrvelDoc doc;
        QSignalSpy loaded(&doc, &CMyOrvelDoc::contentsLoaded);
        QStringList titles;
        connect(&doc, &CMyOrvelDoc::titleChanged, this, [&titles](const QString& t) { titles << t; });
        doc.BeginOpenDocument(path);
        QVERIFY(doc.IsLoading());
        QVERIFY(loaded.wait(30000));
        QVERIFY(!doc.IsLoading());
        QVERIFY(!doc.m_bLive);
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.GetPathName(), path);
        QCOMPARE(doc.GetTitle(), QStringLiteral("big.mLog"));
        // The title tells the progress while reading and is the file's name again at the end.
        QVERIFY(std::any_of(titles.begin(), titles.end(), [](const QString& t) { return t.startsWith("big.mLog (reading, "); }));
        QCOMPARE(titles.last(), QStringLiteral("big.mLog"));
        QVERIFY(doc.SameStoredContents(log));

        const QString cut = dir.filePath("cut.mLog");
        writeFile(cut, readFile(path).left(5000));
        CMyOrvelDoc bad;
        QSignalSpy failed(&bad, &CMyOrvelDoc::loadFailed);
        bad.BeginOpenDocument(cut);
        QVERIFY(failed.wait(30000));
        QVERIFY(!bad.IsLoading());
        QVERIFY(bad.GetPathName().isEmpty());
        QVERIFY(failed.first().at(0).toString().contains("cut.mLog"));
    }

    void backReferencesAndNulls()
    {
        const QByteArray a = pointBody(3.0, "A", 0.0, 7, "x", "T", 1.0f);
        const QByteArray b = pointBody(4.0, "B", 0.0, 8, "y", "T", 1.0f);
        // Series 0: A(2), null, B(3), ref A; series 1: big-form ref B, class ref by big tag; series 2 empty.
        const QByteArray file = hex("0400") + kNewClass + a + hex("0000") + hex("0180") + b + hex("0200") + hex("0200")
            + hex("ff7f03000000") + hex("ff7f01000080") + a + hex("0000") + initialStats();
        CDataLog log;
        QString why;
        QVERIFY2(mlog::FromBytes(file, log, &why), qPrintable(why));
        const CDataSeries& s0 = log.m_arrSeries[0];
        QCOMPARE(s0.Size(), 4);
        QVERIFY(s0.IsNull(1));
        QCOMPARE(s0.At(3), s0.At(0));
        QCOMPARE(s0.At(2).m_strUnit, QStringLiteral("B"));
        QCOMPARE(log.m_arrSeries[1].At(0), s0.At(2));
        QCOMPARE(log.m_arrSeries[1].At(1).m_nIndex, 7);
        // Written back, references become new objects and nulls stay.
        CDataLog again;
        QVERIFY(mlog::FromBytes(mlog::ToBytes(log), again));
        QVERIFY(again.SameStoredContents(log));
        QVERIFY(!mlog::ToBytes(log).contains(hex("ff7f")));
    }


    // The stored form does not depend on how the points are held in memory: a document of
    // several blocks gives the bytes it gave before the points were kept in blocks (apart from
    // "DataNumber", which counts the readings and no longer the gaps).
    void savedBytesUnchangedAcrossBlocks()
    {
        CDataLog log;
        fillAcrossBlocks(log);
        const QByteArray bytes = mlog::ToBytes(log);
        QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
            QByteArray("c443051e22ff6646e54569f57421efcf5e816e0d8d6e927cbde0c1f1498f2c11"));
        CDataLog back;
        QVERIFY(mlog::FromBytes(bytes, back));
        QVERIFY(back.SameStoredContents(log));
        QCOMPARE(mlog::ToBytes(back), bytes);
    }

    void pointsAcrossBlocks()
    {
        const qsizetype k = CDataSeries::kChunkPoints;
        CDataLog log;
        fillAcrossBlocks(log);
        const CDataSeries& s = log.m_arrSeries[0];
        QCOMPARE(s.Size(), 2 * k + 1003);
        // Nulls on both sides of the first block edge and at the start of the third block.
        for (qsizetype i : { k - 1, k, 2 * k }) {
            QVERIFY(s.IsNull(i));
            QCOMPARE(s.DateTimeView(i).size(), 0);
            QCOMPARE(s.At(i), CObData());
        }
        // Every time stamp reads back whole, also those that would have straddled a block of
        // characters (the first such block ends near point 75000).
        for (qsizetype i = 0, n = 0; i < s.Size(); ++i) {
            if (s.IsNull(i))
                continue;
            if (n == 7) {
                QCOMPARE(s.DateTimeView(i).size(), 2100000);
            } else {
                const QString want = QStringLiteral("2026/12/07 %1:%2:%3%4")
                                         .arg(n / 3600 % 24)
                                         .arg(n / 60 % 60)
                                         .arg(n % 60)
                                         .arg(QString(int(n % 7), QLatin1Char('.')));
                if (s.DateTimeView(i) != want)
                    QFAIL(qPrintable(QStringLiteral("point %1: %2").arg(i).arg(s.DateTime(i))));
                QCOMPARE(s.Index(i), qint32(n));
            }
            ++n;
        }
        // First and last point of a block, and a copy of an early point appended at the end.
        QCOMPARE(s.Index(k - 2), qint32(k - 2));
        QCOMPARE(s.Index(k + 1), qint32(k - 1));
        QCOMPARE(s.Index(2 * k + 1002), qint32(2 * k + 999));
        CDataSeries copy = s;
        QVERIFY(copy == s);
        copy.AppendCopy(copy, 5);
        copy.AppendCopy(copy, k);
        QCOMPARE(copy.At(copy.Size() - 2), s.At(5));
        QVERIFY(copy.IsNull(copy.Size() - 1));
        QVERIFY(copy != s);
        QCOMPARE(s.Size(), 2 * k + 1003);

        // A small series stays small; growing past a block never moves what it holds.
        CDataSeries small;
        const QStringView time = u"2026/12/07 10:00:00.";
        small.Append(1.0, u"V", 0.0, 0, time, u"VDC", 6.0f);
        QVERIFY(small.Capacity() < 64);
        const QChar* first = small.DateTimeView(0).data();
        for (qsizetype i = 1; i < k + 10; ++i)
            small.Append(double(i), u"V", 0.0, qint32(i), time, u"VDC", 6.0f);
        const QChar* moved = small.DateTimeView(0).data();
        for (qsizetype i = 0; i < k; ++i)
            small.Append(double(i), u"V", 0.0, qint32(i), time, u"VDC", 6.0f);
        QVERIFY(first != moved); // the first block grew while it was the only one
        QCOMPARE(small.DateTimeView(0).data(), moved);
        small.Clear();
        QVERIFY(small.IsEmpty());
        QCOMPARE(small.Capacity(), 0);
    }

    void appendedBlocksTakeOrdinaryPages()
    {
#ifndef __linux__
        QSKIP("page advice is read back from /proc");
#else
        // A block reached by appending one element at a time must not ask for huge pages: the
        // first touch of one cleared (and compacted for) a whole huge page within one reading.
        // Blocks inside the room Reserve asked for are filled at once and keep asking.
        auto flagsAt = [](const void* p) {
            QFile f(QStringLiteral("/proc/self/smaps"));
            if (!f.open(QIODevice::ReadOnly))
                return QByteArray();
            const quintptr at = quintptr(p);
            bool inside = false;
            for (const QByteArray& line : f.readAll().split('\n')) {
                const int dash = line.indexOf('-');
                const int space = line.indexOf(' ');
                if (dash > 0 && space > dash && !line.startsWith("VmFlags")) {
                    bool ok1 = false, ok2 = false;
                    const quintptr from = line.left(dash).toULongLong(&ok1, 16);
                    const quintptr to = line.mid(dash + 1, space - dash - 1).toULongLong(&ok2, 16);
                    if (ok1 && ok2)
                        inside = from <= at && at < to;
                } else if (inside && line.startsWith("VmFlags:")) {
                    return line.mid(8).simplified();
                }
            }
            return QByteArray();
        };
        using Blocks = datalog_detail::ChunkedArray<double, 20>; // 8 MB blocks
        Blocks appended;
        for (size_t i = 0; i <= Blocks::kChunk; ++i)
            appended.Append(double(i));
        const QByteArray plain = flagsAt(&appended[Blocks::kChunk]);
        if (plain.isEmpty())
            QSKIP("no /proc/self/smaps");
        QVERIFY2(!plain.split(' ').contains("hg"), plain.constData());
        Blocks reserved;
        reserved.Reserve(3 * Blocks::kChunk);
        for (size_t i = 0; i <= Blocks::kChunk; ++i)
            reserved.Append(double(i));
        const QByteArray bulk = flagsAt(&reserved[Blocks::kChunk]);
        QVERIFY2(bulk.split(' ').contains("hg"), bulk.constData());
        QCOMPARE(reserved[Blocks::kChunk], appended[Blocks::kChunk]);
#endif
    }

    // The per-span summaries the graph draws from.
    void spanSummaries()
    {
        const qsizetype n = CDataSeries::kSpanPoints;
        CDataSeries s;
        for (qsizetype i = 0; i < 3 * n + 5; ++i) {
            if (i == 2 * n)
                s.AppendNull();
            const double v = i == n + 7 ? -500000.0 : double(i % 10) * (i < n ? 1.0 : -2.0);
            s.Append(v, u"V", 0.0, 0, u"t", u"VDC", 6.0f);
        }
        const CDataSeries::Span& a = s.SpanFrom(0);
        QVERIFY(a.plain);
        QCOMPARE(a.min, 0.0);
        QCOMPARE(a.max, 9.0);
        QCOMPARE(a.maxStep, 9.0); // from 9 back to 0
        QVERIFY(!s.SpanFrom(n).plain); // an over-range mark
        QVERIFY(!s.SpanFrom(2 * n).plain); // a null element first in its span
        const CDataSeries::Span& d = s.SpanFrom(3 * n); // the last span, not full
        QVERIFY(d.plain);
        QCOMPARE(d.max, 0.0);
        QCOMPARE(d.min, -18.0);
        s.Append(qQNaN(), u"V", 0.0, 0, u"t", u"VDC", 6.0f);
        QVERIFY(!s.SpanFrom(3 * n).plain);
    }

    // Every level's summaries against the points they sum up, while appends complete spans of each
    // level: gaps, an over-range mark and a NaN on level boundaries, a partial last span.
    void spanSummaryLevels()
    {
        const qsizetype top = qsizetype(1) << CDataSeries::SpanBitsAt(CDataSeries::kSpanLevels - 1);
        const qsizetype mid = qsizetype(1) << CDataSeries::SpanBitsAt(1);
        auto value = [&](qsizetype i) { return double((i * 7919) % 1001) - 500.0 + (i % 3 ? 0.25 : 0.0); };
        auto check = [](const CDataSeries& s, int level, qsizetype first) {
            const qsizetype length = qsizetype(1) << CDataSeries::SpanBitsAt(level);
            const qsizetype end = std::min(s.Size(), first + length);
            bool plain = true;
            double lo = 0, hi = 0, step = 0;
            for (qsizetype i = first; i < end && plain; ++i) {
                const double v = s.Value(i);
                plain = !s.IsNull(i) && std::isfinite(v) && std::abs(v) < 500000.0;
                if (i == first)
                    lo = hi = v;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                if (i > first)
                    step = std::max(step, std::abs(v - s.Value(i - 1)));
            }
            const CDataSeries::Span& span = s.SpanFrom(level, first);
            const QString where = QStringLiteral("level %1 from %2 of %3").arg(level).arg(first).arg(s.Size());
            QVERIFY2(span.plain == plain, qPrintable(where));
            if (plain) {
                QVERIFY2(span.min == lo && span.max == hi && span.maxStep == step, qPrintable(where));
            }
        };
        CDataSeries s;
        const std::set<qsizetype> stops { 1, 255, 256, 257, mid - 1, mid, mid + 1, 16 * mid, top - 1, top, top + 300 };
        for (qsizetype i = 0; i < top + 300; ++i) {
            if (i == mid || i == 16 * mid - 1) // gaps first and last in a span
                s.AppendNull();
            else if (i == 3 * mid - 1)
                s.Append(500000.0, u"V", 0.0, 0, u"", u"VDC", 6.0f);
            else if (i == 5 * mid)
                s.Append(qQNaN(), u"V", 0.0, 0, u"", u"VDC", 6.0f);
            else
                s.Append(value(i), u"V", 0.0, 0, u"", u"VDC", 6.0f);
            if (stops.count(s.Size())) {
                for (int level = 0; level < CDataSeries::kSpanLevels; ++level)
                    check(s, level, (s.Size() - 1) >> CDataSeries::SpanBitsAt(level) << CDataSeries::SpanBitsAt(level));
            }
        }
        for (int level = 0; level < CDataSeries::kSpanLevels; ++level) {
            for (qsizetype first = 0; first < s.Size(); first += qsizetype(1) << CDataSeries::SpanBitsAt(level))
                check(s, level, first);
        }
        QVERIFY(s.SpanFrom(1, 0).plain);
        QVERIFY(!s.SpanFrom(1, mid).plain);
        QVERIFY(!s.SpanFrom(2, 0).plain);
        QVERIFY(s.SpanFrom(3, top).plain); // the partial last one
    }

    void statistics()
    {
        CMyOrvelDoc doc;
        QSignalSpy refresh(&doc, &CMyOrvelDoc::summaryRefreshRequested);
        doc.AddPoint(0, 7.0, "VDC", 0.0, 0, "t0", "VDC", 6.0f); // out of band: stored only
        QCOMPARE(doc.m_dMax, -60000.0);
        QCOMPARE(doc.m_strStartTime, QString());
        doc.AddPoint(0, 2.0, "VDC", 0.0, 1, "t1", "VDC", 6.0f);
        doc.AddPoint(0, 2.0, "mV", 0.0, 2, "t2", "VDC", 6.0f); // equal maximum keeps the first time
        doc.AddPoint(0, -1.0, "mV", 0.0, 3, "t3", "VAC", 6.0f);
        doc.AddPoint(0, 6.0, "VDC", 0.0, 4, "t4", "VDC", 6.0f); // on the limit: not inside
        doc.AddPoint(1, 99.0, "VDC", 1.0, 4, "t5", "Max", 6.0f); // series 1 changes nothing
        QCOMPARE(doc.m_dMax, 2.0);
        QCOMPARE(doc.m_strMaxTime, QStringLiteral("t1"));
        QCOMPARE(doc.m_dMin, -1.0);
        QCOMPARE(doc.m_strMinTime, QStringLiteral("t3"));
        QCOMPARE(doc.m_strExtremeUnit, QStringLiteral("mV"));
        QCOMPARE(doc.m_nAvgCount, 3);
        QCOMPARE(doc.m_dSum, 3.0);
        QCOMPARE(doc.m_dAverage, 1.0);
        QCOMPARE(doc.m_strType, QStringLiteral("VAC"));
        QCOMPARE(doc.m_strStartTime, QStringLiteral("t0")); // the first point, counted or not
        QCOMPARE(doc.m_strEndTime, QStringLiteral("t3"));
        QCOMPARE(doc.m_nDataNumber, 5);
        QCOMPARE(doc.m_arrSeries[0].Range(0), 6.0f);
        QCOMPARE(refresh.count(), 5);
        QCOMPARE(refresh.last().at(0).toFloat(), 6.0f);
        QVERIFY(doc.IsModified());

        // With a reading record, its reading decides, not the stored value.
        MeterData rec;
        rec.m_fLimit = 60.0f;
        rec.m_fValue = 70.0f;
        doc.AddPoint(0, 10.0, "VDC", 0.0, 5, "t6", "VDC", rec);
        QCOMPARE(doc.m_dMax, 2.0);
        QCOMPARE(doc.m_arrSeries[0].Range(5), 60.0f);
        rec.m_fValue = 10.0f;
        doc.AddPoint(0, 10.0, "VDC", 0.0, 6, "t7", "VDC", rec);
        QCOMPARE(doc.m_dMax, 10.0);
    }

    // Points are read in one go when their texts are in the short wide form, field by field
    // otherwise; both give the same bits, and a point cut anywhere is refused either way.
    void pointFormsReadAlike()
    {
        const double nanPayload = bitsAs<double>(quint64(0x7ff4000000000123));
        const double values[] = { -0.0, std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
            -std::numeric_limits<double>::infinity(), nanPayload, 0.1 + 0.2, -500000.0 };
        const QString longest(254, QChar(0x00b5));
        const QString tooLong(255, QLatin1Char('x'));
        QByteArray narrow = d64(2.5) + hex("04") + QByteArray("\xb5VDC") + d64(1.0) + hex("09000000") + hex("00")
            + str("VDC");
        const float range = bitsAs<float>(quint32(0x7fc00001));
        narrow.append(reinterpret_cast<const char*>(&range), 4);
        const int count = int(std::size(values)) + 3;
        QByteArray file = hex("0a00") + kNewClass + narrow;
        for (double v : values)
            file += hex("0180") + pointBody(v, {}, v, -1, longest, "VDC", float(v));
        file += hex("0180") + pointBody(1.0, tooLong, 0.0, 1, "t", tooLong, 1.0f);
        file += hex("0180") + pointBody(3.0, "V", 0.0, 2, QString(), "V", 1.0f);
        file += hex("0000") + hex("0000") + initialStats();
        QCOMPARE(count, 10);

        CDataLog log;
        QString why;
        QVERIFY2(mlog::FromBytes(file, log, &why), qPrintable(why));
        const CDataSeries& s = log.m_arrSeries[0];
        QCOMPARE(s.Size(), count);
        QCOMPARE(s.Unit(0), QString(QChar(0x00b5)) + "VDC");
        QCOMPARE(s.DateTimeView(0).size(), 0);
        QCOMPARE(bitsAs<quint32>(s.Range(0)), quint32(0x7fc00001));
        for (int i = 0; i < int(std::size(values)); ++i) {
            QCOMPARE(bitsAs<quint64>(s.Value(i + 1)), bitsAs<quint64>(values[i]));
            QCOMPARE(bitsAs<quint64>(s.SampleRate(i + 1)), bitsAs<quint64>(values[i]));
            QCOMPARE(bitsAs<quint32>(s.Range(i + 1)), bitsAs<quint32>(float(values[i])));
            QCOMPARE(s.DateTime(i + 1), longest);
            QCOMPARE(s.Index(i + 1), -1);
        }
        QCOMPARE(s.Unit(8), tooLong);
        QCOMPARE(s.Type(8), tooLong);
        QCOMPARE(s.DateTime(9), QString());
        QCOMPARE(s.Unit(9), QStringLiteral("V"));

        // Cut anywhere inside the last points: refused, naming the end of the data.
        const qsizetype tail = initialStats().size() + 4;
        for (qsizetype n = file.size() - tail - 600; n < file.size() - tail; ++n) {
            CDataLog cut;
            QVERIFY(!mlog::FromBytes(file.left(n), cut, &why));
            QVERIFY2(why.contains("end"), qPrintable(why));
        }
        // A text whose length runs past the data is a bad length, as before.
        QByteArray lying = file;
        lying[file.size() - tail - 7] = char(0xfe);
        QVERIFY(!mlog::FromBytes(lying, log, &why));
        QVERIFY2(why.contains("254"), qPrintable(why));
    }

    // A file read from disk through the reader's window gives what the same bytes give in memory,
    // also where points straddle the window's edge.
    void loadFromDiskMatchesBytes()
    {
        CDataLog log;
        fillAcrossBlocks(log);
        QTemporaryDir dir;
        const QString path = dir.filePath("big.mLog");
        QVERIFY(mlog::Save(path, log));
        CDataLog fromDisk;
        QString message;
        QVERIFY2(mlog::Load(path, fromDisk, &message), qPrintable(message));
        QVERIFY(fromDisk.SameStoredContents(log));
        QCOMPARE(fromDisk.m_arrSeries[0].DateTime(7).size(), 2100000);
    }

    void damagedFilesRefused()
    {
        QTemporaryDir dir;
        CMyOrvelDoc good;
        good.AddPoint(0, 1.25, "VDC", 0.0, 0, "2024/03/05 10:07:09", "VDC", 6.0f);
        good.AddPoint(1, 1.5, "VDC", 1.0, 0, "2024/03/05 10:07:09", "Max", 6.0f);
        const QByteArray bytes = mlog::ToBytes(good);
        const QString path = dir.filePath("d.mLog");

        CMyOrvelDoc doc;
        doc.AddPoint(0, 3.0, "A", 0.0, 0, "keep", "VAC", 6.0f);
        const QByteArray before = mlog::ToBytes(doc);
        auto refused = [&](const QByteArray& content, const char* expect) {
            writeFile(path, content);
            QString message;
            const bool ok = doc.OnOpenDocument(path, &message);
            if (ok || !message.contains(QDir::toNativeSeparators(path)) || !message.contains(QLatin1String(expect))
                || mlog::ToBytes(doc) != before || !doc.m_bLive)
                return QStringLiteral("accepted or wrong: ") + message;
            return QString();
        };
        for (int n = 0; n < bytes.size(); ++n)
            QCOMPARE(refused(bytes.left(n), n ? "end" : "empty"), QString());
        QByteArray wrongSchema = bytes;
        wrongSchema[4] = 2;
        QCOMPARE(refused(wrongSchema, "incompatible format"), QString());
        QCOMPARE(refused(bytes + "x", "after the end"), QString());
        QCOMPARE(refused(hex("ffffffffff7f") + bytes, "count"), QString());
        QCOMPARE(refused(hex("89504e470d0a1a0a0000000d49484452"), "byte"), QString());
        QCOMPARE(refused(hex("0100") + hex("0500"), "reference"), QString());

        QString message;
        QVERIFY(!doc.OnOpenDocument(dir.filePath("missing.mLog"), &message));
        QVERIFY(message.contains("missing.mLog"));
        QVERIFY(!doc.OnOpenDocument(dir.path(), &message));
        QVERIFY(message.contains("folder"));

        writeFile(path, bytes);
        QSignalSpy loaded(&doc, &CMyOrvelDoc::contentsLoaded);
        QVERIFY(doc.OnOpenDocument(path, &message));
        QVERIFY(!doc.m_bLive);
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.GetTitle(), QStringLiteral("d.mLog"));
        QCOMPARE(loaded.count(), 1);
        QVERIFY(doc.SameStoredContents(good));
    }

    void failedSaveKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("old.mLog");
        CMyOrvelDoc old;
        old.AddPoint(0, 1.0, "V", 0.0, 0, "a", "VDC", 6.0f);
        QVERIFY(old.OnSaveDocument(path));
        const QByteArray oldBytes = readFile(path);

        CMyOrvelDoc bigger;
        for (int i = 0; i < 5000; ++i)
            bigger.AddPoint(0, i, "V", 0.0, i, "b", "VDC", 6000.0f);
        for (qint64 fault : { qint64(0), qint64(100), qint64(200000) }) {
            mlog::SetWriteFaultForTesting(fault);
            QString message;
            const bool ok = bigger.OnSaveDocument(path, &message);
            mlog::SetWriteFaultForTesting(-1);
            QVERIFY(!ok);
            QVERIFY(message.contains(QDir::toNativeSeparators(path)));
            QVERIFY(message.contains("unchanged"));
            QVERIFY(bigger.IsModified());
            QCOMPARE(readFile(path), oldBytes);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "old.mLog" });

        QString message;
        QVERIFY(!bigger.OnSaveDocument(dir.filePath("no/such/folder/x.mLog"), &message));
        QVERIFY(message.startsWith("Cannot save"));
        QVERIFY(bigger.OnSaveDocument(path));
        QVERIFY(!bigger.IsModified());
        QCOMPARE(readFile(path), mlog::ToBytes(bigger));
    }
};

QTEST_GUILESS_MAIN(TestDataLog)
#include "test_datalog.moc"
