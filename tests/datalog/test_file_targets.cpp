// Odd paths and odd files for the document files: targets that are not regular files, FIFOs
// that would block an open, a full disk, the memory a file of null elements takes, and the bounds
// on what a file may make the program load. Everything happens in a scratch folder.
#include "datalog/MLogFile.h"
#include "platform/Archive.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>

namespace {

CDataLog SmallLog()
{
    CDataLog log;
    for (int i = 0; i < 5; ++i)
        log.AddPoint(0, i, "VDC", 1.0, i, QStringLiteral("2026/12/05 09:03:0%1").arg(i), "VDC", 60.0f, float(i));
    return log;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A stored document whose series 0 holds `nulls` null elements, or one point whose time text is
// `dateChars` long followed by `nulls` back-references to it.
QByteArray NullsFile(quint32 nulls, int dateChars = -1)
{
    QByteArray out;
    archive::CArchiveWriter ar(&out);
    if (dateChars < 0) {
        ar.WriteCount(nulls);
        for (quint32 i = 0; i < nulls; ++i)
            ar.WriteNullObject();
    } else {
        ar.WriteCount(nulls + 1);
        const quint32 point = ar.WriteNewObject(CDataLog::PointClass());
        ar.WriteDouble(1.5);
        ar.WriteString(QStringLiteral("VDC"));
        ar.WriteDouble(1.0);
        ar.WriteInt32(0);
        ar.WriteString(QString(dateChars, QLatin1Char('t')));
        ar.WriteString(QStringLiteral("DCV"));
        ar.WriteFloat(60.0f);
        for (quint32 i = 0; i < nulls; ++i)
            ar.WriteObjectReference(point);
    }
    ar.WriteCount(0);
    ar.WriteCount(0);
    for (int i = 0; i < 2; ++i)
        ar.WriteDouble(0);
    ar.WriteString(QString());
    ar.WriteDouble(0);
    ar.WriteString(QString());
    ar.WriteDouble(0);
    ar.WriteDouble(0);
    ar.WriteInt32(0);
    for (int i = 0; i < 3; ++i)
        ar.WriteString(QString());
    ar.Flush();
    return out;
}

} // namespace

class TestFileTargets : public QObject {
    Q_OBJECT
private slots:
    void nonRegularTargetsAreNotReplaced()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.mLog");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString message;
        QVERIFY(!mlog::Save(fifo, SmallLog(), &message));
        QVERIFY2(message.contains("it is not a regular file"), qPrintable(message));
        QVERIFY(!mlog::SaveBytes(fifo, "a,b\n", &message));
        QVERIFY(!QFileInfo(fifo).isFile()); // still the FIFO

        const QString folder = dir.filePath("folder.mLog");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(!mlog::Save(folder, SmallLog(), &message));
        QVERIFY2(message.contains("it is a folder"), qPrintable(message));
        QVERIFY(QFileInfo(folder).isDir());

        // A symbolic link to a regular file is followed: the file it names gets the document.
        const QString real = dir.filePath("real.mLog");
        const QString link = dir.filePath("link.mLog");
        QVERIFY(mlog::Save(real, CDataLog()));
        QVERIFY(QFile::link(real, link));
        QVERIFY2(mlog::Save(link, SmallLog(), &message), qPrintable(message));
        CDataLog back;
        QVERIFY(mlog::Load(real, back));
        QCOMPARE(back.m_arrSeries[0].Size(), qsizetype(5));
        QVERIFY(QFileInfo(link).isSymLink());

        // A link to a FIFO is refused like the FIFO.
        const QString fifoLink = dir.filePath("pipe-link.mLog");
        QVERIFY(QFile::link(fifo, fifoLink));
        QVERIFY(!mlog::Save(fifoLink, SmallLog(), &message));
    }

    void deviceNodeTargetIsNotReplaced()
    {
        QTemporaryDir dir;
        const QString node = dir.filePath("device.mLog");
        // Device 0:0 does not exist: even opened, it could not be written.
        if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600, makedev(0, 0)) != 0)
            QSKIP("this test may not make a device node here (needs the right to mknod)");
        QString message;
        QVERIFY(!mlog::Save(node, SmallLog(), &message));
        QVERIFY2(message.contains("it is not a regular file"), qPrintable(message));
        QVERIFY(!mlog::SaveBytes(node, "x", &message));
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(node).constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
        CDataLog log;
        QVERIFY(!mlog::Load(node, log, &message));
    }

    void fifoIsRefusedAtOnceWhenOpened()
    {
        // Nobody writes to it: opening it for reading would wait for ever.
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.mLog");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        CDataLog log;
        QString message;
        QVERIFY(!mlog::Load(fifo, log, &message));
        QCOMPARE(message, QStringLiteral("Cannot open \"%1\": it is not a regular file.").arg(fifo));
    }

    void fullDiskGivesTheReason()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath("out.csv");
        QVERIFY(mlog::SaveBytes(csv, "old\n"));
        mlog::SetWriteFaultForTesting(2);
        QString message;
        const bool saved = mlog::SaveBytes(csv, QByteArray(100000, 'x'), &message);
        mlog::SetWriteFaultForTesting(-1);
        QVERIFY(!saved);
        QVERIFY2(message.contains(qt_error_string(ENOSPC)), qPrintable(message));
        QVERIFY2(message.endsWith("The previous file is unchanged."), qPrintable(message));
        QCOMPARE(ReadAll(csv), QByteArray("old\n"));
    }

    void nullElementsTakeNoMoreThanPoints()
    {
        const quint32 nulls = 200000;
        const QByteArray file = NullsFile(nulls);
        CDataLog log;
        QString why;
        QVERIFY2(mlog::FromBytes(file, log, &why), qPrintable(why));
        const CDataSeries& s = log.m_arrSeries[0];
        QCOMPARE(s.Size(), qsizetype(nulls));
        QVERIFY(s.IsNull(nulls - 1));
        // Room for what the file holds and less than one block more: no doubling on the way.
        QVERIFY(s.Capacity() >= s.Size() && s.Capacity() < s.Size() + CDataSeries::kChunkPoints);
        QCOMPARE(CDataSeries::kBytesPerPoint, size_t(40));
    }

    void fileBeyondTheLoadBoundIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("many.mLog");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(NullsFile(1001));
        f.close();

        CDataLog::SetMaxLoadPointsForTesting(1000);
        CDataLog log;
        QString message;
        const bool loaded = mlog::Load(path, log, &message);
        CDataLog::SetMaxLoadPointsForTesting(0);
        QVERIFY(!loaded);
        QVERIFY2(message.contains("it holds at least 1001 points, and at most 1000 can be loaded"), qPrintable(message));
        QVERIFY(mlog::Load(path, log, &message));

        // Nor is such a file written: what is saved can be opened again.
        const QString out = dir.filePath("out.mLog");
        CDataLog::SetMaxLoadPointsForTesting(1000);
        const bool saved = mlog::Save(out, log, &message);
        log.m_arrSeries[2].AppendNull();
        const bool savedFewer = mlog::Save(out, SmallLog());
        CDataLog::SetMaxLoadPointsForTesting(0);
        QVERIFY(!saved);
        QVERIFY2(message.contains("it holds 1001 points, and at most 1000 can be opened again"), qPrintable(message));
        QVERIFY(savedFewer);
    }

    void fileThatExpandsFarBeyondItsSizeIsRefused()
    {
        // Two bytes of file per back-reference, a whole point and its long time text in memory:
        // the point count is well within its bound, the memory is not.
        QTemporaryDir dir;
        const QString path = dir.filePath("repeats.mLog");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(NullsFile(5000, 1000));
        f.close();

        CDataLog::SetMaxLoadPointsForTesting(10000);
        CDataLog log;
        QString message;
        const bool loaded = mlog::Load(path, log, &message);
        // A few back-references and gaps, as recordings have them, are fine.
        CDataLog few;
        QString why;
        const bool fewLoaded = mlog::FromBytes(NullsFile(100, 20), few, &why) && mlog::FromBytes(NullsFile(600), few, &why);
        CDataLog::SetMaxLoadPointsForTesting(0);
        QVERIFY(!loaded);
        QVERIFY2(message.contains(QStringLiteral("more than a file of %1 bytes may grow to").arg(QFileInfo(path).size())),
            qPrintable(message));
        QVERIFY2(fewLoaded, qPrintable(why));
    }

    void emptyTextsShareWithNullTexts()
    {
        // A null text (no characters at all) and an empty one are the same text.
        CDataSeries s;
        s.Append(1.0, QStringView(), 1.0, 1, QStringView(), QStringView(), 1.0f);
        s.Append(2.0, QStringView(u""), 1.0, 2, QStringView(u""), QStringView(u""), 1.0f);
        s.Append(3.0, QStringView(), 1.0, 3, QStringView(), QStringView(), 1.0f);
        QCOMPARE(s.Unit(1), QString());
        QCOMPARE(s.Unit(2), QString());
        QCOMPARE(s.Type(0), s.Type(1));
    }
};

QTEST_GUILESS_MAIN(TestFileTargets)
#include "test_file_targets.moc"
