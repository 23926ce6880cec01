// The one way files are saved: whatever goes wrong, the previous file stays as it was and no
// temporary is left behind; success is told only when every byte reached the disk. Full disks
// are real (a tiny tmpfs, when the test may mount one) or injected through the save's fault hook.
#include "datalog/DataLogText.h"
#include "datalog/MyOrvelDoc.h"
#include "platform/ArchiveFile.h"
#include "platform/SafeSave.h"
#include "scope/OscExport.h"
#include "scope/OscFile.h"

#include "TinyDisk.h"
#include "scope/OscSamples.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
}

} // namespace

class TestSafeSave : public QObject {
    Q_OBJECT
private slots:
    void fullDiskIsNeverSuccess()
    {
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        const QString path = disk.FilePath("rec.mLog");
        QVERIFY(WriteAll(path, "good old file"));
        disk.Fill(12 * 1024);

        // Less than one buffered piece: every Write is taken, only the end finds the disk full.
        {
            CSafeSave save(path);
            QVERIFY(save.Open());
            QVERIFY(save.Write(QByteArray(20 * 1024, 'n')));
            QString message;
            QVERIFY(!save.Commit(&message));
            QVERIFY2(message.contains("No space left on device"), qPrintable(message));
            QVERIFY2(message.endsWith("The previous file is unchanged."), qPrintable(message));
            QCOMPARE(save.ErrorString(), qt_error_string(ENOSPC));
        }
        QCOMPARE(ReadAll(path), QByteArray("good old file"));
        QCOMPARE(disk.Entries(), QStringList { "rec.mLog" });

        // Many pieces: the write that meets the full disk fails, and so does every later one.
        {
            CSafeSave save(path);
            QVERIFY(save.Open());
            bool refused = false;
            for (int i = 0; i < 8 && !refused; ++i)
                refused = !save.Write(QByteArray(64 * 1024, 'n'));
            QVERIFY(refused);
            QVERIFY(save.Failed());
            QVERIFY(!save.Write("x", 1));
            QVERIFY(!save.Commit());
        }
        QCOMPARE(ReadAll(path), QByteArray("good old file"));
        QCOMPARE(disk.Entries(), QStringList { "rec.mLog" });

        // The archive saves go the same way, also when all of a save is one last piece.
        QString message;
        QVERIFY(!archive::SaveBytes(path, QByteArray(14 * 1024, 'b'), &message));
        QVERIFY2(message.contains("No space left on device"), qPrintable(message));
        QVERIFY(!archive::SaveFile(path, [](archive::CArchiveWriter& ar) {
            for (int i = 0; i < 1800; ++i)
                ar.WriteDouble(i);
        }, &message));
        QVERIFY2(message.contains("No space left on device"), qPrintable(message));
        QCOMPARE(ReadAll(path), QByteArray("good old file"));
        QCOMPARE(disk.Entries(), QStringList { "rec.mLog" });

        // What fits is saved.
        QVERIFY2(archive::SaveBytes(path, QByteArray(1000, 'k'), &message), qPrintable(message));
        QCOMPARE(ReadAll(path), QByteArray(1000, 'k'));
    }

    // What the window's Save, Save OSC Data and both exports call: on a full disk each fails
    // with the system's reason and the good file in the way stays.
    void windowSavesTellAFullDisk()
    {
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        CMyOrvelDoc doc;
        for (int i = 0; i < 120; ++i)
            doc.AddPoint(0, i, "VDC", 1, i, "7/12/26 12:33:22", "VDC", 60.0f);
        const OSCData record = osc_samples::Record(1);
        const QByteArray good("good old file");
        const QStringList names { "doc.mLog", "scope.osc", "doc.xls", "scope.xlsx" };
        for (const QString& name : names)
            QVERIFY(WriteAll(disk.FilePath(name), good));
        disk.Fill(1024);

        QString message[4];
        QVERIFY(!doc.OnSaveDocument(disk.FilePath(names[0]), &message[0]));
        QVERIFY(!osc::Save(disk.FilePath(names[1]), osc::CurrentFile(record), &message[1]));
        QVERIFY(!datalog_text::WriteExportXls(disk.FilePath(names[2]), doc, &message[2]));
        QVERIFY(!osc::WriteWorkbook(disk.FilePath(names[3]), osc::ExportCells(record.info, record.fWave.data(), 300),
            &message[3]));
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(message[i].contains("No space left on device"), qPrintable(message[i]));
            QCOMPARE(ReadAll(disk.FilePath(names[i])), good);
        }
        QVERIFY(doc.IsModified());
        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(disk.Entries(), sorted);
    }

    void injectedFaultFailsLikeAFullDisk()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.csv");
        QVERIFY(WriteAll(path, "old\n"));
        archive::SetSaveFaultForTesting(100);
        CSafeSave save(path);
        const bool opened = save.Open();
        const bool first = save.Write(QByteArray(60, 'a'));
        const bool second = save.Write(QByteArray(60, 'a'));
        const bool third = save.Write("b", 1);
        QString message;
        const bool committed = save.Commit(&message);
        archive::SetSaveFaultForTesting(-1);
        QVERIFY(opened && first);
        QVERIFY(!second && !third && !committed);
        QCOMPARE(save.ErrorString(), qt_error_string(ENOSPC));
        QVERIFY2(message.contains(qt_error_string(ENOSPC)), qPrintable(message));
        QCOMPARE(ReadAll(path), QByteArray("old\n"));
        QCOMPARE(Entries(dir.path()), QStringList { "out.csv" });
    }

    void cancelOrDropLeavesTheTarget()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.osc");
        QVERIFY(WriteAll(path, "old"));
        {
            CSafeSave save(path);
            QVERIFY(save.Open());
            QVERIFY(save.Write(QByteArray(200000, 'n')));
            save.Cancel();
            QVERIFY(!save.Commit());
        }
        {
            CSafeSave save(path);
            QVERIFY(save.Open());
            QVERIFY(save.Write("new"));
        } // never committed
        QCOMPARE(ReadAll(path), QByteArray("old"));
        QCOMPARE(Entries(dir.path()), QStringList { "a.osc" });
    }

    void oddTargetsAreRefused()
    {
        QTemporaryDir dir;
        QString message;
        const QString fifo = dir.filePath("pipe.xls");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString fifoLink = dir.filePath("pipe-link.xls");
        QVERIFY(QFile::link(fifo, fifoLink));
        for (const QString& path : { fifo, fifoLink, dir.path() }) {
            CSafeSave save(path);
            QVERIFY(!save.Open(&message));
            QVERIFY2(message.startsWith(QStringLiteral("Cannot save \"%1\": it is ").arg(path)), qPrintable(message));
            QVERIFY(!save.Commit());
        }
        QVERIFY(QFileInfo(fifoLink).isSymLink());
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));

        // A file marked read-only is not replaced, even for the administrator.
        const QString locked = dir.filePath("locked.xlsx");
        QVERIFY(WriteAll(locked, "keep"));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup));
        CSafeSave save(locked);
        QVERIFY(!save.Open(&message));
        QVERIFY2(message.contains("read-only"), qPrintable(message));
        QCOMPARE(ReadAll(locked), QByteArray("keep"));
        QCOMPARE(Entries(dir.path()).size(), 3);
    }

    void replacementKeepsPermissionsAndLinks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("shared.mLog");
        QVERIFY(WriteAll(path, "old"));
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(path, mode));
        const QString link = dir.filePath("link.mLog");
        QVERIFY(QFile::link(path, link));

        CSafeSave save(link);
        QVERIFY(save.Open());
        QVERIFY(save.Write("new"));
        QString message;
        QVERIFY2(save.Commit(&message), qPrintable(message));
        QVERIFY(!save.Failed());
        QCOMPARE(ReadAll(path), QByteArray("new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFile::permissions(path), mode);
        QCOMPARE(Entries(dir.path()).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSafeSave)
#include "test_safe_save.moc"
