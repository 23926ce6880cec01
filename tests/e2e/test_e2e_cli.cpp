// multimeter-cli's scan and monitor verbs against the simulated dongle and meter, and their exit
// statuses for a port that cannot be opened and for bad arguments.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result RunCli(const QStringList& args, int timeoutMs = 15000)
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

} // namespace

class TestE2eCli : public QObject {
    Q_OBJECT
private slots:
    void scanPrintsOneTabSeparatedLinePerRow()
    {
        const Result r = RunCli({ "scan", "--port", "sim", "--seconds", "1.5" });
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out,
            QStringLiteral("0\tDevice Name:SimMeter\ta4:c1:38:00:11:22\t-57\n"
                           "1\tDevice Name:\t02:00:00:aa:bb:cc\t-83\n"));
    }

    void monitorRawPrintsEachPayloadAsHex()
    {
        // The address is matched whatever its case.
        const Result r
            = RunCli({ "monitor", "--port", "sim", "--address", "A4:C1:38:00:11:22", "--seconds", "2.5", "--raw" });
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 4, qPrintable(r.out));
        const QRegularExpression hex(QStringLiteral("^([0-9a-f]{2}){1,20}$"));
        for (const QString& l : lines)
            QVERIFY2(hex.match(l).hasMatch(), qPrintable(l));
        // Joined, the payloads are whole kind-1 frames: 20 bytes, then the remaining 7.
        QVERIFY(lines[0].startsWith(QLatin1String("a080")));
        QCOMPARE(lines[0].size(), 40);
        QCOMPARE(lines[1].size(), 14);
        QVERIFY(lines[1].endsWith(QLatin1String("a1")));
    }

    void monitorDecodesReadings()
    {
        // JSON lines of the decode verb's form, and one human line per reading by default.
        Result r = RunCli({ "monitor", "--port", "sim", "--address", "a4:c1:38:00:11:22", "--seconds", "2", "--json" });
        QCOMPARE(r.exitCode, 0);
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty(), qPrintable(r.err));
        for (const QString& l : lines) {
            QVERIFY2(l.startsWith(QLatin1String("{\"mode\":1,\"saved\":0,\"date\":\"")), qPrintable(l));
            QVERIFY2(l.contains(QLatin1String("\"m_strFunction\":\"VDC\"")), qPrintable(l));
        }
        r = RunCli({ "monitor", "--port", "sim", "--address", "a4:c1:38:00:11:22", "--seconds", "2" });
        QCOMPARE(r.exitCode, 0);
        lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty(), qPrintable(r.err));
        const QRegularExpression human(QStringLiteral("^VDC -?[0-9]+\\.[0-9]{3} VDC .*[0-9]+/[0-9]+/[0-9]+ "));
        for (const QString& l : lines)
            QVERIFY2(human.match(l).hasMatch(), qPrintable(l));
        QVERIFY(RunCli({ "monitor", "--port", "sim", "--address", "a4:c1:38:00:11:22", "--raw", "--json" }).exitCode
            == 1);
    }

    void portThatCannotBeOpenedExitsWithStatusTwo()
    {
        for (const char* port : { "/nonexistent/tty", "COM0" }) {
            Result r = RunCli({ "scan", "--port", port, "--seconds", "1" });
            QCOMPARE(r.exitCode, 2);
            QVERIFY(r.out.isEmpty());
            QCOMPARE(r.err.count('\n'), 1);
            QVERIFY2(r.err.contains(QLatin1String(port)), qPrintable(r.err));
            r = RunCli({ "monitor", "--port", port, "--address", "a4:c1:38:00:11:22" });
            QCOMPARE(r.exitCode, 2);
            QVERIFY2(r.err.contains(QLatin1String(port)), qPrintable(r.err));
        }
    }

    void portErrorsSayWhy()
    {
        QTemporaryDir dir;
        auto reason = [](const QString& port) {
            const Result r = RunCli({ "scan", "--port", port, "--seconds", "1" });
            return r.exitCode == 2 ? r.err : QStringLiteral("exit %1: %2").arg(r.exitCode).arg(r.err);
        };
        const QString prefix = QStringLiteral("multimeter-cli: cannot open port %1: ");
        QCOMPARE(reason("/nonexistent/tty"), prefix.arg("/nonexistent/tty") + "it does not exist\n");

        const QString plain = dir.filePath("plain");
        QFile f(plain);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString& port : { plain, fifo, dir.path() })
            QCOMPARE(reason(port), prefix.arg(port) + "it is not a serial device\n");

        // A terminal another program holds.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString tty = QString::fromLocal8Bit(::ptsname(master));
        const int held = ::open(QFile::encodeName(tty).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(held >= 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        QCOMPARE(reason(tty), prefix.arg(tty) + "it is busy (another program has it open)\n");
        ::close(held);
        ::close(master);

        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(plain, QFileDevice::Permissions()));
        QCOMPARE(reason(plain), prefix.arg(plain) + "permission denied\n");
    }

    void badArgumentsExitWithStatusOne_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("scan without port") << QStringList { "scan" };
        QTest::newRow("scan port without value") << QStringList { "scan", "--port" };
        QTest::newRow("scan bad seconds") << QStringList { "scan", "--port", "sim", "--seconds", "soon" };
        QTest::newRow("scan zero seconds") << QStringList { "scan", "--port", "sim", "--seconds", "0" };
        QTest::newRow("scan unknown option") << QStringList { "scan", "--port", "sim", "--fast" };
        QTest::newRow("monitor without address") << QStringList { "monitor", "--port", "sim", "--raw" };
        QTest::newRow("monitor bad address") << QStringList { "monitor", "--port", "sim", "--address", "a4:c1:38" };
        QTest::newRow("monitor stray word")
            << QStringList { "monitor", "--port", "sim", "--address", "a4:c1:38:00:11:22", "now" };
    }

    void badArgumentsExitWithStatusOne()
    {
        QFETCH(QStringList, args);
        const Result r = RunCli(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QLatin1String("usage:")));
        QVERIFY(r.out.isEmpty());
    }

    void monitorReportsAnAddressThatIsNeverListed()
    {
        const Result r = RunCli({ "monitor", "--port", "sim", "--address", "01:02:03:04:05:06", "--seconds", "1.5" });
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(QLatin1String("01:02:03:04:05:06")));
    }
};

QTEST_GUILESS_MAIN(TestE2eCli)
#include "test_e2e_cli.moc"
