// multimeter-cli fft: the JSON it prints, against the analysis run in-process, and its exit
// statuses.
#include "CliRun.h"
#include "datalog/MLogFile.h"
#include "scope/FftAnalysis.h"
#include "scope/FftWindow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace {

using testcli::Run;

Run cli(const QStringList& args)
{
    return testcli::Cli(QStringLiteral(METER_CLI_PATH), QStringList { "fft" } + args);
}

double value(int i) { return 3.0 + std::sin(i * 0.7) + 0.25 * std::cos(i * 2.1); }

} // namespace

class TestFftCli : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_file;
    CDataLog m_log;

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 3000; ++i) {
            if (i == 5 || (i >= 20 && i < 24))
                m_log.m_arrSeries[0].AppendNull();
            else
                m_log.AddPoint(0, value(i), "VDC", 1.0, i, "2026/01/01 00:00:00", "DCV", 60.0f, float(value(i)));
        }
        m_file = m_dir.filePath("run.mLog");
        QVERIFY(mlog::Save(m_file, m_log));
    }

    void defaultsAndExactNumbers()
    {
        const Run r = cli({ m_file, "--from", "2", "--to", "700" });
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith("{\"size\":32,\"window\":\"none\",\"view\":\"magnitude\",\"inPeak\":"));
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        const QJsonArray values = o.value("values").toArray();
        QCOMPARE(values.size(), 32);

        // The same analysis in-process: every number printed exactly (17 significant digits).
        CFftAnalysis a;
        const std::vector<double> v = fft::CopySeriesValues(m_log.m_arrSeries[0], 2, 700, 32);
        QCOMPARE(v[3], value(6)); // the null element at 5 was skipped
        QVERIFY(a.Run({ 32, -1, 16, false }, v.data(), int(v.size())) == CFftAnalysis::Result::Done);
        QVERIFY(r.err.isEmpty());
        for (int k = 0; k < 32; ++k)
            QCOMPARE(values[k].toDouble(), a.m_pOutMag[k]);
        QCOMPARE(o.value("peak").toDouble(), a.m_dPeak);
        QCOMPARE(o.value("inPeak").toDouble(), a.m_dInPeak);
    }

    void powerWithWindowAndSize()
    {
        // Ends given the other way round and past the end are clamped like the graph's.
        const Run r = cli({ m_file, "--from", "99999", "--to", "10", "--size", "256", "--window", "blackman-harris",
            "--power" });
        QCOMPARE(r.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(o.value("size").toInt(), 256);
        QCOMPARE(o.value("window").toString(), QStringLiteral("blackman-harris"));
        QCOMPARE(o.value("view").toString(), QStringLiteral("power"));
        QCOMPARE(r.err, QByteArray("multimeter-cli: fft: --from 99999 is outside the points 0 to 2999; 2999 is used.\n"));
        const QJsonArray values = o.value("values").toArray();
        QCOMPARE(values.size(), 128);
        CFftAnalysis a;
        const std::vector<double> v = fft::CopySeriesValues(m_log.m_arrSeries[0], 10, 2999, 256);
        QVERIFY(a.Run({ 256, fft::WindowBlackmanHarris, 16, true }, v.data(), int(v.size()))
            == CFftAnalysis::Result::Done);
        for (int k = 0; k < 128; ++k)
            QCOMPARE(values[k].toDouble(), a.m_pPower[k]);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("equal ends") << QStringList { "--from", "4", "--to", "4" } << 2 << QByteArray("same point");
        QTest::newRow("equal after clamping")
            << QStringList { "--from", "3000", "--to", "5000" } << 2 << QByteArray("same point");
        QTest::newRow("size 48") << QStringList { "--from", "0", "--to", "9", "--size", "48" } << 2
                                 << QByteArray("size must be");
        QTest::newRow("size 4096") << QStringList { "--from", "0", "--to", "9", "--size", "4096" } << 2
                                   << QByteArray("size must be");
        QTest::newRow("size word") << QStringList { "--from", "0", "--to", "9", "--size", "big" } << 2
                                   << QByteArray("size must be");
        QTest::newRow("unknown window") << QStringList { "--from", "0", "--to", "9", "--window", "kaiser" } << 1
                                        << QByteArray("unknown window");
        QTest::newRow("no range") << QStringList { "--from", "0" } << 1 << QByteArray("usage");
        QTest::newRow("only gaps") << QStringList { "--from", "20", "--to", "23" } << 2
                                   << QByteArray("points 20 to 23 hold no readings, only gaps");
        QTest::newRow("before the first, only a gap")
            << QStringList { "--from", "-1", "--to", "-7" } << 2
            << QByteArray("--from -1 is outside the points 0 to 2999; 0 is used.\n"
                          "multimeter-cli: fft: --to -7 is outside the points 0 to 2999; 0 is used.\n"
                          "multimeter-cli: fft: the range starts and ends at the same point");
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        const Run r = cli(QStringList { m_file } + args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    void damagedFile()
    {
        QFile in(m_file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        QFile out(m_dir.filePath("cut.mLog"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(bytes.size() / 2));
        out.close();
        const Run r = cli({ out.fileName(), "--from", "0", "--to", "9" });
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(cli({ m_dir.filePath("missing.mLog"), "--from", "0", "--to", "9" }).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestFftCli)
#include "test_fft_cli.moc"
