// multimeter-cli's logger verbs over metersim's pseudo-terminal: the list, a whole download as
// .mLog and .csv files, an empty logger, a transfer that stalls and a link that drops.
#include "datalog/MLogFile.h"

#include "TinyDisk.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

class Metersim {
public:
    explicit Metersim(const QStringList& args)
    {
        m_process.start(QStringLiteral(METERSIM_PATH), args);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            pty = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Metersim()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    QString pty;

private:
    QProcess m_process;
};

Result RunCli(const QStringList& args, int timeoutMs = 40000)
{
    QProcess p;
    p.start(QStringLiteral(CLI_PATH), args);
    Result r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

QStringList Files(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestE2eLoggerCli : public QObject {
    Q_OBJECT
private slots:
    void listPrintsTheColumns()
    {
        Metersim sim({});
        QVERIFY(!sim.pty.isEmpty());
        const Result r = RunCli({ "logger", "list", "--port", sim.pty, "--address", kMeter, "--seconds", "20" });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out,
            QStringLiteral("HZ\t05-12-2026, 09 03 07\t120\t1\t1\n"
                           "RES\t30-11-2026, 23 59 00\t250\t5\t2\n"
                           "VDC\t01-10-2026, 08 00 00\t3200\t2\t3\n"
                           "TEMP\t00-00-2000, 00 00 00\t60\t10\t4\n"
                           "HZ\t15-09-2026, 14 30 00\t40\t1\t5\n"));
    }

    void downloadWritesEveryRecord()
    {
        Metersim sim({});
        QTemporaryDir out;
        const Result r = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, out.path() });
        QCOMPARE(r.exitCode, 0);
        QStringList expected;
        for (int n : { 5, 4, 3, 2, 1 })
            expected << QDir::toNativeSeparators(QDir(out.path()).filePath(QStringLiteral("record-%1.mLog").arg(n)));
        QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts), expected);
        QCOMPARE(r.err.count(QStringLiteral("The datatime is wrong, Please check and change!")), 1);

        CDataLog log;
        QVERIFY(mlog::Load(QDir(out.path()).filePath("record-3.mLog"), log));
        QCOMPARE(log.m_arrSeries[0].Size(), qsizetype(3200));
        QCOMPARE(log.m_dSampleRate, 2.0);
        QCOMPARE(log.m_strStartTime, QStringLiteral("1/10/2026 8:0:0"));
        QCOMPARE(log.m_arrSeries[0].DateTime(1), QStringLiteral("1/10/2026 8:0:2"));
        QCOMPARE(log.m_arrSeries[0].Type(0), QStringLiteral("VDC"));
        QVERIFY(mlog::Load(QDir(out.path()).filePath("record-2.mLog"), log));
        // ohms to mega-ohms in one unit, that of the largest reading (2.2 mega-ohm)
        QCOMPARE(log.m_arrSeries[0].Unit(0), QStringLiteral("M\u03A9"));
        QCOMPARE(log.m_arrSeries[0].Unit(10), QStringLiteral("M\u03A9"));
        QCOMPARE(log.m_arrSeries[0].Value(10), 0.0022);
        QCOMPARE(log.m_arrSeries[0].Range(0), 49990000.0f);
        QVERIFY(mlog::Load(QDir(out.path()).filePath("record-4.mLog"), log));
        QCOMPARE(log.m_strStartTime, QStringLiteral("10/9/2010 10:10:10"));

        QTemporaryDir csv;
        const Result c = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, csv.path(), "--csv" });
        QCOMPARE(c.exitCode, 0);
        QCOMPARE(Files(csv.path()),
            QStringList({ "record-1.csv", "record-2.csv", "record-3.csv", "record-4.csv", "record-5.csv" }));
    }

    void emptyLoggerPrintsNothing()
    {
        Metersim sim({ "--logger-empty" });
        const Result r = RunCli({ "logger", "list", "--port", sim.pty, "--address", kMeter, "--seconds", "20" });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString());
        QTemporaryDir out;
        const Result d = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, out.path() });
        QCOMPARE(d.exitCode, 0);
        QVERIFY(Files(out.path()).isEmpty());
    }

    void stalledTransferKeepsTheRecordsThatCameWhole()
    {
        // the third record asked for (address 3) comes as blocks 1, 2, 4
        Metersim sim({ "--logger-fault-record", "3", "--logger-wrong-block", "3" });
        QTemporaryDir out;
        const Result r = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, out.path() });
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("Logger download stopped: block 3 of record 3 came numbered 4\n")),
            qPrintable(r.err));
        QCOMPARE(Files(out.path()), QStringList({ "record-4.mLog", "record-5.mLog" }));
    }

    void droppedLinkEndsWithStatusTwo()
    {
        Metersim sim({ "--logger-fault-record", "1", "--logger-drop-link", "1" });
        QTemporaryDir out;
        const Result r = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, out.path() });
        QCOMPARE(r.exitCode, 2);
        // The dongle's word that the link ended, not ten seconds of silence.
        QVERIFY2(r.err.contains(QStringLiteral("Logger download stopped: the link to the meter was lost at record 5, "
                                               "block 1\n")),
            qPrintable(r.err));
        QVERIFY(Files(out.path()).isEmpty());
    }

    // A file that cannot be written ends the download with status 2 and the reason; what is in
    // the way is left as it was.
    void unwritableRecordEndsTheDownload()
    {
        Metersim sim({});
        QTemporaryDir out;
        const QString fifo = QDir(out.path()).filePath("record-5.csv");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const Result r = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, out.path(), "--csv" });
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("it is not a regular file")), qPrintable(r.err));
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));

        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        disk.Fill(0);
        const Result full = RunCli({ "logger", "download", "--port", sim.pty, "--address", kMeter, disk.Path() });
        QCOMPARE(full.exitCode, 2);
        QVERIFY2(full.err.contains(QStringLiteral("No space left on device")), qPrintable(full.err));
        QCOMPARE(full.out, QString());
        QVERIFY(disk.Entries().isEmpty());
    }

    void badArguments()
    {
        QCOMPARE(RunCli({ "logger", "list", "--port", "sim", "--address", kMeter, "extra" }).exitCode, 1);
        QCOMPARE(RunCli({ "logger", "download", "--port", "sim", "--address", kMeter }).exitCode, 1);
        QCOMPARE(RunCli({ "logger", "list", "--port", "sim", "--address", kMeter, "--csv" }).exitCode, 1);
        QCOMPARE(RunCli({ "logger", "list", "--port", "sim", "--address", "nonsense" }).exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(TestE2eLoggerCli)
#include "test_e2e_logger_cli.moc"
