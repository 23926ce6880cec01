// multimeter-cli multilog as a separate process against two metersim processes, a voltage and a
// current meter: the CSV's columns and seconds, power, energy and charge worked out again from
// the rows' own values, an alarm said once, a meter that falls silent mid-run, ports that cannot
// be used, and a one-meter run ended by SIGTERM and by SIGKILL.
#include "TinyDisk.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

namespace {

const QString kVolts = QStringLiteral("0a:00:00:00:00:01");
const QString kAmps = QStringLiteral("0a:00:00:00:00:02");

struct EndProcess {
    void operator()(QProcess* p) const
    {
        p->terminate();
        p->waitForFinished(5000);
        delete p;
    }
};
using Process = std::unique_ptr<QProcess, EndProcess>;

// A metersim serving behind `link`; ended when the test is done with it.
Process StartMeter(const QString& link, const QString& address, const QString& function, const QStringList& more = {})
{
    Process p(new QProcess);
    p->start(QStringLiteral(METERSIM_PATH),
        QStringList { "--link", link, "--address", address, "--function", function } + more);
    if (!p->waitForStarted(5000) || !p->waitForReadyRead(5000))
        return nullptr;
    return p;
}

struct Result {
    int status = -1;
    QString err;
    QList<QStringList> rows; // the header first, each line cut at its commas
};

Result RunCli(const QStringList& args, const QString& out, const QString& tz = QStringLiteral("CET-1"))
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), tz);
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(CLI_PATH), args);
    Result r;
    if (!cli.waitForFinished(40000))
        return r;
    r.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    r.err = QString::fromUtf8(cli.readAllStandardError());
    QFile f(out);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            r.rows << line.split(QLatin1Char(','));
    }
    return r;
}

// Rows one second apart, each time in ISO 8601 with the offset `offset`.
bool SecondsInOrder(const QList<QStringList>& rows, const QString& offset, QString* why)
{
    const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d") + QRegularExpression::escape(offset) + '$');
    for (int i = 1; i < rows.size(); ++i) {
        if (!form.match(rows[i][0]).hasMatch()) {
            *why = rows[i][0];
            return false;
        }
        if (i > 1
            && QDateTime::fromString(rows[i - 1][0], Qt::ISODate).secsTo(QDateTime::fromString(rows[i][0], Qt::ISODate))
                != 1) {
            *why = rows[i - 1][0] + " -> " + rows[i][0];
            return false;
        }
    }
    return true;
}

} // namespace

class TestE2eMultilogCli : public QObject {
    Q_OBJECT
private slots:
    void voltsAndAmperesGivePowerEnergyChargeAndAnAlarm()
    {
        QTemporaryDir dir;
        const QString d1 = dir.filePath(QStringLiteral("d1")), d2 = dir.filePath(QStringLiteral("d2"));
        // Meter 1 is the current meter: the derived columns come either way round.
        const auto amps = StartMeter(d1, kAmps, QStringLiteral("adc"));
        const auto volts = StartMeter(d2, kVolts, QStringLiteral("vdc"));
        QVERIFY(amps && volts);
        const QString out = dir.filePath(QStringLiteral("battery.csv"));
        // The current meter reads about 1.23 A: below 2 from its first reading on, one crossing.
        const Result r = RunCli({ "multilog", "--meter", d1 + ',' + kAmps.toUpper(), "--meter", d2 + ',' + kVolts,
                                    "--seconds", "7", "--alarm", "1:2:", "--alarm", "2::100", out },
            out);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.rows.size() >= 5, qPrintable(r.err));
        QCOMPARE(r.rows[0].join(','), QStringLiteral("time,m1_value,m1_unit,m2_value,m2_unit,power_W,energy_Wh,charge_Ah"));
        QString why;
        QVERIFY2(SecondsInOrder(r.rows, QStringLiteral("+01:00"), &why), qPrintable(why));
        double energy = 0, charge = 0;
        int powered = 0;
        for (int i = 1; i < r.rows.size(); ++i) {
            const QStringList& row = r.rows[i];
            QCOMPARE(row.size(), 8);
            bool haveA = false, haveV = false;
            const double a = row[1].toDouble(&haveA), v = row[3].toDouble(&haveV);
            if (haveA) {
                QCOMPARE(row[2], QStringLiteral("ADC"));
                QVERIFY(QRegularExpression(QStringLiteral("^1\\.\\d{3}$")).match(row[1]).hasMatch());
                charge += a / 3600;
            }
            if (haveV)
                QCOMPARE(row[4], QStringLiteral("VDC"));
            if (haveA && haveV) {
                ++powered;
                energy += v * a / 3600;
                QCOMPARE(row[5], QString::asprintf("%.6g", v * a));
            } else {
                QCOMPARE(row[5], QString());
            }
            QCOMPARE(row[6], QString::asprintf("%.6g", energy));
            QCOMPARE(row[7], QString::asprintf("%.6g", charge));
        }
        QVERIFY2(powered >= 2, qPrintable(r.err));
        // The low alarm once, as the reading came, in the time column's form; the high one never.
        const QRegularExpression alarm(
            QStringLiteral("^alarm m1 low 1\\.\\d{3} ADC (\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+01:00)$"),
            QRegularExpression::MultilineOption);
        QCOMPARE(r.err.count(QStringLiteral("alarm ")), 1);
        const QRegularExpressionMatch m = alarm.match(r.err);
        QVERIFY2(m.hasMatch(), qPrintable(r.err));
        // It came with the current meter's first reading, in the second of its first row.
        int first = 1;
        while (first < r.rows.size() && r.rows[first][1].isEmpty())
            ++first;
        QVERIFY(first < r.rows.size());
        QCOMPARE(m.captured(1), r.rows[first][0]);
    }

    void aSilentMeterLeavesItsColumnsEmptyAndTheRunGoesOn()
    {
        QTemporaryDir dir;
        const QString d1 = dir.filePath(QStringLiteral("d1")), d2 = dir.filePath(QStringLiteral("d2"));
        const auto volts = StartMeter(d1, kVolts, QStringLiteral("vdc"));
        const auto amps = StartMeter(d2, kAmps, QStringLiteral("adc"), { "--silent-after", "2000" });
        QVERIFY(volts && amps);
        const QString out = dir.filePath(QStringLiteral("silent.csv"));
        const Result r = RunCli(
            { "multilog", "--meter", d1 + ',' + kVolts, "--meter", d2 + ',' + kAmps, "--seconds", "10", out }, out,
            QStringLiteral("XYZ+03:30"));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.rows.size() >= 7, qPrintable(r.err));
        QCOMPARE(r.rows[0].size(), 8);
        QString why;
        QVERIFY2(SecondsInOrder(r.rows, QStringLiteral("-03:30"), &why), qPrintable(why));
        QVERIFY2(r.err.contains(QStringLiteral("the meter %1 on %2 sent nothing for 4 s").arg(kAmps, d2)),
            qPrintable(r.err));
        // The current meter read at first; its last rows are empty while the voltmeter goes on,
        // and the sums stay where they were.
        QVERIFY(r.rows[1][4] == QLatin1String("ADC") || r.rows[2][4] == QLatin1String("ADC"));
        for (int i = r.rows.size() - 4; i < r.rows.size(); ++i) {
            const QStringList& row = r.rows[i];
            QCOMPARE(row[2], QStringLiteral("VDC"));
            QCOMPARE(row.mid(3, 3), QStringList({ "", "", "" }));
            QCOMPARE(row.mid(6), r.rows[i - 1].mid(6));
        }
        QVERIFY(r.rows.last()[6].toDouble() > 0);
    }

    void portsAndOptionsThatCannotBeUsed()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("x.csv"));
        Result r = RunCli({ "multilog", "--meter", "sim," + kVolts, "--meter",
                              dir.filePath(QStringLiteral("no-such-port")) + ',' + kAmps, "--seconds", "5", out },
            out);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QLatin1String("no-such-port: it does not exist")), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
        r = RunCli({ "multilog", "--meter", "sim," + kVolts, "--seconds", "5", dir.filePath("missing/x.csv") }, out);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QLatin1String("No such file or directory")), qPrintable(r.err));

        const QStringList usage[] = {
            { "--meter", "sim," + kVolts, "--meter", dir.path() + ',' + kVolts.toUpper() }, // the same meter
            { "--meter", "sim," + kVolts, "--meter", "sim," + kAmps }, // the same port
            { "--meter", "sim," + kVolts, "--alarm", "2:1:" },
            { "--meter", "sim," + kVolts, "--alarm", "1:low:" },
            { "--meter", "sim" },
            {},
        };
        for (const QStringList& args : usage) {
            r = RunCli(QStringList { "multilog" } + args + QStringList { out }, out);
            QCOMPARE(r.status, 1);
            QVERIFY(!QFile::exists(out));
        }
    }

    // A disk that fills up: the run stops at the first row that cannot be written.
    void aFullDiskEndsTheRunWithStatusTwo()
    {
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        disk.Fill(0);
        const QString out = disk.FilePath(QStringLiteral("full.csv"));
        QElapsedTimer ran;
        ran.start();
        const Result r = RunCli({ "multilog", "--meter", "sim,a4:c1:38:00:11:22", "--seconds", "30", out }, out);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QLatin1String("No space left on device")), qPrintable(r.err));
        QVERIFY(ran.elapsed() < 15000);
    }

    // One meter: three columns. SIGTERM ends the run with its rows written; SIGKILL loses at
    // most the last second, because every row is flushed as it is written.
    void oneMeterStopsOnSigtermAndLosesAtMostASecondToSigkill()
    {
        QTemporaryDir dir;
        for (const int signal : { SIGTERM, SIGKILL }) {
            const QString out = dir.filePath(signal == SIGTERM ? QStringLiteral("t.csv") : QStringLiteral("k.csv"));
            QProcess cli;
            cli.start(QStringLiteral(CLI_PATH), { "multilog", "--meter", "sim," + QStringLiteral("a4:c1:38:00:11:22"), out });
            QVERIFY(cli.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out).size() > 120, 15000);
            const QDateTime at = QDateTime::currentDateTime();
            ::kill(pid_t(cli.processId()), signal);
            QVERIFY(cli.waitForFinished(10000));
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
            QCOMPARE(lines.first(), QStringLiteral("time,m1_value,m1_unit"));
            QCOMPARE(lines.last(), QString()); // no half row
            QVERIFY(lines.size() >= 4);
            for (int i = 1; i < lines.size() - 1; ++i)
                QVERIFY2(QRegularExpression(QStringLiteral("^[^,]+,5\\.0\\d\\d,VDC$")).match(lines[i]).hasMatch(),
                    qPrintable(lines[i]));
            const QDateTime last = QDateTime::fromString(lines[lines.size() - 2].section(',', 0, 0), Qt::ISODate);
            if (signal == SIGTERM) {
                QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
                QCOMPARE(cli.exitCode(), 0);
                // The second before the signal at least (the one it came in, if a reading did).
                QVERIFY2(last.secsTo(at) <= 1, qPrintable(last.toString(Qt::ISODate)));
            } else {
                QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
                QVERIFY2(last.secsTo(at) <= 2, qPrintable(last.toString(Qt::ISODate)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eMultilogCli)
#include "test_e2e_multilog_cli.moc"
