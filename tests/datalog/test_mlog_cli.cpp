// multimeter-cli mlog: the JSON round trip through the tool, CSV export and exit statuses.
#include "CliRun.h"
#include "TinyDisk.h"
#include "datalog/DataLogText.h"
#include "datalog/MLogFile.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

using testcli::Run;

Run cli(const QStringList& args)
{
    return testcli::Cli(QStringLiteral(METER_CLI_PATH), QStringList { "mlog" } + args);
}

using testcli::readFile;
using testcli::writeFile;

// A document whose texts run over many output chunks: non-ASCII units, texts that CSV must
// quote, null elements, statistics in series 1, values of every size the meter shows.
CDataLog varied(int n)
{
    CDataLog log;
    const QString units[] = { QStringLiteral("mVDC"), QString::fromUtf8("\u2103"), QString::fromUtf8("M\u03a9"),
        QString::fromUtf8("\u00b5A") };
    const QString types[] = { QStringLiteral("VDC"), QStringLiteral("say \"hi\""), QStringLiteral("a,b"),
        QStringLiteral("two\nlines") };
    for (int i = 0; i < n; ++i) {
        const double v = (i % 13 - 6) * 1234.5678 / (1 + i % 5) + i * 1e-4;
        log.AddPoint(0, v, units[i % 4], 0.5, i, QString::asprintf("2024/03/05 %02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60),
            types[i / 7 % 4], 60000.0f, float(v));
        if (i % 97 == 0)
            log.m_arrSeries[0].AppendNull();
        if (i % 50 == 0)
            log.AddPoint(1, v / 3, units[0], 1.0, i, "2024/03/05 00:00:00", "MAX", 60000.0f, 0);
    }
    log.m_arrSeries[2].AppendNull();
    return log;
}

QByteArray sha(const QByteArray& b)
{
    return QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex().left(16);
}

} // namespace

class TestMLogCli : public QObject {
    Q_OBJECT
private slots:
    void dumpBuildIsByteIdentical()
    {
        QTemporaryDir dir;
        CDataLog log;
        for (int i = 0; i < 300; ++i)
            log.AddPoint(0, i * 0.37 - 20, i % 7 ? "mVDC" : QString::fromUtf8("\u00b5A"), 0.5, i,
                QStringLiteral("2024/03/05 10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')), "VDC", 60.0f,
                float(i * 0.37 - 20));
        log.AddPoint(1, 1.0 / 3, "mVDC", 1.0, 3, QString(300, QLatin1Char('x')), "Max", 60.0f, 0);
        log.m_arrSeries[2].AppendNull();
        const QString file = dir.filePath("a.mLog");
        QVERIFY(mlog::Save(file, log));

        const Run dump = cli({ "dump", file });
        QCOMPARE(dump.status, 0);
        QVERIFY(dump.out.startsWith("{\"series\":[[{\"m_dValue\":-20,"));
        QVERIFY(dump.out.endsWith("}\n"));
        QVERIFY(writeFile(dir.filePath("a.json"), dump.out));
        const Run build = cli({ "build", dir.filePath("a.json"), dir.filePath("b.mLog") });
        QCOMPARE(build.status, 0);
        QCOMPARE(readFile(dir.filePath("b.mLog")), readFile(file));

        const Run exported = cli({ "export", file, dir.filePath("a.csv") });
        QCOMPARE(exported.status, 0);
        const QList<QByteArray> lines = readFile(dir.filePath("a.csv")).split('\n');
        QCOMPARE(lines.size(), 302);
        QCOMPARE(lines[0], QByteArray("index,time,unit,value,type\r"));
        QCOMPARE(lines[1],
            QByteArray("1,2024/03/05 10:00:00,\xc2\xb5"
                       "A,-20,VDC\r"));
    }

    // JSON, CSV and ".xls" are written in pieces as they are formatted: the bytes are the ones
    // earlier versions wrote whole (their digests; the dump's since "DataNumber" counts readings
    // and not gaps), and a large document's output costs little memory beyond the document itself.
    void outputsAreStreamedUnchanged()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("v.mLog");
        QVERIFY(mlog::Save(file, varied(6000)));
        const Run dump = cli({ "dump", file });
        QCOMPARE(dump.status, 0);
        QCOMPARE(dump.out.size(), 988298);
        QCOMPARE(sha(dump.out), QByteArray("3a9ff3034ca78858"));
        QCOMPARE(cli({ "export", file, dir.filePath("v.csv") }).status, 0);
        QCOMPARE(sha(readFile(dir.filePath("v.csv"))), QByteArray("cb9903349f9ea701"));
        QCOMPARE(cli({ "export", "--xls", file, dir.filePath("v.xls") }).status, 0);
        QCOMPARE(sha(readFile(dir.filePath("v.xls"))), QByteArray("ba8be2a0ef90d89d"));
    }

    void errors()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("bad.mLog"), "\x01\x00"));
        QVERIFY(writeFile(dir.filePath("bad.json"), "{\"series\":"));

        const Run usage = cli({ "dump" });
        QCOMPARE(usage.status, 1);
        QCOMPARE(cli({ "frobnicate", "x" }).status, 1);
        QCOMPARE(cli({ "build", "x" }).status, 1);

        for (const QStringList& args :
            { QStringList { "dump", dir.filePath("bad.mLog") }, QStringList { "dump", dir.filePath("none.mLog") },
                QStringList { "build", dir.filePath("bad.json"), dir.filePath("o.mLog") },
                QStringList { "export", dir.filePath("bad.mLog"), dir.filePath("o.csv") } }) {
            const Run r = cli(args);
            QCOMPARE(r.status, 2);
            QVERIFY(r.out.isEmpty());
            QCOMPARE(r.err.count('\n'), 1);
            QVERIFY2(r.err.contains(QFileInfo(args[1]).fileName().toUtf8()), r.err.constData());
        }
        QVERIFY(!QFile::exists(dir.filePath("o.mLog")));
        QVERIFY(!QFile::exists(dir.filePath("o.csv")));

        // An output that cannot be written.
        QVERIFY(mlog::Save(dir.filePath("ok.mLog"), CDataLog()));
        QCOMPARE(cli({ "export", dir.filePath("ok.mLog"), dir.filePath("no/dir/o.csv") }).status, 2);
    }

    // "mlog export --xls" writes the window's export; no reading or a damaged file: exit 2, and an
    // existing output stays as it was.
    void exportXls()
    {
        QTemporaryDir dir;
        CDataLog log;
        log.AddPoint(0, 1.25, QString::fromUtf8("\u2103"), 0, 0, "2026/05/12 14:07:33", "TEMP", 600, 1.25f);
        log.AddPoint(0, 500000, QString::fromUtf8("M\u03a9"), 0, 1, "2026/05/12 14:07:34", "OHM", 60, 70.0f);
        const QString file = dir.filePath("a.mLog");
        QVERIFY(mlog::Save(file, log));
        const QString out = dir.filePath("out.xls");
        QCOMPARE(cli({ "export", "--xls", file, out }).status, 0);
        QCOMPARE(readFile(out), datalog_text::ExportXls(log));

        const QString empty = dir.filePath("empty.mLog");
        QVERIFY(mlog::Save(empty, CDataLog()));
        const QString none = dir.filePath("none.xls");
        const Run r = cli({ "export", "--xls", empty, none });
        QCOMPARE(r.status, 2);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!QFile::exists(none));

        QByteArray bytes = readFile(file);
        QVERIFY(writeFile(dir.filePath("bad.mLog"), bytes.left(bytes.size() - 3)));
        QCOMPARE(cli({ "export", "--xls", dir.filePath("bad.mLog"), out }).status, 2);
        QCOMPARE(readFile(out), datalog_text::ExportXls(log));
        QCOMPARE(cli({ "dump", "--xls", file }).status, 1);
    }

    void fifosAreRefusedNotWaitedFor()
    {
        // A FIFO nobody writes to, as input and as output: refused at once, left in place.
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString fifoLink = dir.filePath("pipe-link.xls");
        QVERIFY(QFile::link(fifo, fifoLink));
        CDataLog log;
        log.AddPoint(0, 1.25, "VDC", 1, 0, "2026/05/12 14:07:33", "VDC", 60, 1.25f);
        QVERIFY(mlog::Save(dir.filePath("ok.mLog"), log));
        QVERIFY(writeFile(dir.filePath("ok.json"), cli({ "dump", dir.filePath("ok.mLog") }).out));
        for (const QStringList& args : { QStringList { "dump", fifo }, QStringList { "build", fifo, dir.filePath("o.mLog") },
                 QStringList { "build", dir.filePath("ok.json"), fifo },
                 QStringList { "export", dir.filePath("ok.mLog"), fifo },
                 QStringList { "export", "--xls", dir.filePath("ok.mLog"), fifo },
                 QStringList { "export", "--xls", dir.filePath("ok.mLog"), fifoLink },
                 QStringList { "recover", fifo, dir.filePath("o.mLog") } }) {
            const Run r = cli(args);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains("it is not a regular file"), r.err.constData());
        }
        QVERIFY(!QFileInfo(fifo).isFile());
        QVERIFY(QFileInfo(fifoLink).isSymLink());
        QVERIFY(!QFile::exists(dir.filePath("o.mLog")));
    }

    // A full disk: exit 2 with the system's reason, and a good file in the way stays as it was.
    void fullDiskKeepsTheOldFile()
    {
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        QTemporaryDir dir;
        CDataLog log;
        for (int i = 0; i < 2000; ++i)
            log.AddPoint(0, i, "VDC", 1, i, "2026/05/12 14:07:33", "VDC", 60, float(i));
        const QString big = dir.filePath("big.mLog");
        QVERIFY(mlog::Save(big, log));
        const QString json = dir.filePath("big.json");
        QVERIFY(writeFile(json, cli({ "dump", big }).out));

        const QString out = disk.FilePath("out.mLog");
        const QString xls = disk.FilePath("out.xls");
        const QByteArray good(3000, 'g');
        QVERIFY(writeFile(out, good) && writeFile(xls, good));
        disk.Fill(8 * 1024);
        for (const QStringList& args : { QStringList { "build", json, out }, QStringList { "export", "--xls", big, xls } }) {
            const Run r = cli(args);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains("No space left on device"), r.err.constData());
        }
        QCOMPARE(readFile(out), good);
        QCOMPARE(readFile(xls), good);
        QCOMPARE(disk.Entries(), (QStringList { "out.mLog", "out.xls" }));
    }
};

QTEST_GUILESS_MAIN(TestMLogCli)
#include "test_mlog_cli.moc"
