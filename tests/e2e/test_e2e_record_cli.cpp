// multimeter-cli record as a separate process: a function change through metersim's
// pseudo-terminal writes two files; SIGTERM stops and saves; a file that cannot be written
// exits 2 and keeps the journal; SIGKILL mid-recording loses at most the last second, and
// "mlog recover" makes a document of what the journal kept, skipping damaged records.
#include "datalog/MLogFile.h"
#include "recording/RecordingJournal.h"

#include "TinyDisk.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <utility>

namespace {

const QString kMeter = QStringLiteral("a4:c1:38:00:11:22");

QProcessEnvironment EnvWithData(const QString& dataHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome + QStringLiteral("/config"));
    return env;
}

QStringList Journals(const QString& dataHome)
{
    const QDir dir(dataHome + QStringLiteral("/multimeter/journal"));
    QStringList out;
    for (const QString& n : dir.entryList({ QStringLiteral("*.mjournal") }, QDir::Files))
        out << dir.filePath(n);
    return out;
}

QStringList Labels(const CDataLog& log)
{
    QStringList out;
    for (qsizetype i = 0; i < log.m_arrSeries[0].Size(); ++i)
        out << log.m_arrSeries[0].Type(i);
    out.removeDuplicates();
    return out;
}

// "%d/%d/%d %d:%d:%d" (day, month, two-digit year, ...) as a local time.
QDateTime FromDateText(const QString& text)
{
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("^(\\d+)/(\\d+)/(\\d+) (\\d+):(\\d+):(\\d+)$")).match(text);
    if (!m.hasMatch())
        return {};
    return QDateTime(QDate(2000 + m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt()),
        QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()));
}

} // namespace

class TestE2eRecordCli : public QObject {
    Q_OBJECT
private slots:
    void functionChangeThroughMetersimWritesTwoFiles()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("dongle"));
        const QString scenarioPath = dir.filePath(QStringLiteral("change.scn"));
        {
            QFile f(scenarioPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("live on\nfunction vdc\npause 3500\nfunction vac\n");
        }
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH),
            { QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"), scenarioPath });
        QVERIFY(metersim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);

        QProcess cli;
        cli.setProcessEnvironment(EnvWithData(dir.filePath(QStringLiteral("data"))));
        const QString out = dir.filePath(QStringLiteral("run.mLog"));
        cli.start(
            QStringLiteral(CLI_PATH), { "record", "--port", linkPath, "--address", kMeter, "--seconds", "7", out });
        QVERIFY(cli.waitForFinished(30000));
        metersim.terminate();
        metersim.waitForFinished(5000);
        const QString stderrText = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 0);
        const QString second = dir.filePath(QStringLiteral("run-2.mLog"));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out + '\n' + second + '\n');

        CDataLog first, next;
        QVERIFY(mlog::Load(out, first));
        QVERIFY(mlog::Load(second, next));
        QCOMPARE(Labels(first), QStringList({ "VDC" }));
        QCOMPARE(Labels(next), QStringList({ "VAC" }));
        QVERIFY2(first.m_arrSeries[0].Size() >= 5, qPrintable(stderrText));
        QVERIFY(next.m_arrSeries[0].Size() >= 5);
        QCOMPARE(next.m_arrSeries[0].Index(0), 0);
        // Both documents were saved: no journal is left behind.
        QVERIFY(Journals(dir.filePath(QStringLiteral("data"))).isEmpty());
    }

    void reconnectKeepsRecordingIntoTheSameFileAcrossAGap()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("dongle"));
        const QString scenarioPath = dir.filePath(QStringLiteral("drop.scn"));
        {
            QFile f(scenarioPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("live on\nfunction vdc\npause 3000\nfault drop-link\n");
        }
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH),
            { QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"), scenarioPath });
        QVERIFY(metersim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);

        QProcess cli;
        cli.setProcessEnvironment(EnvWithData(dir.filePath(QStringLiteral("data"))));
        const QString out = dir.filePath(QStringLiteral("gap.mLog"));
        cli.start(QStringLiteral(CLI_PATH),
            { "record", "--port", linkPath, "--address", kMeter, "--seconds", "14", "--reconnect", out });
        QVERIFY(cli.waitForFinished(40000));
        metersim.terminate();
        metersim.waitForFinished(5000);
        const QString stderrText = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out + '\n');
        QVERIFY2(stderrText.contains(QLatin1String("reconnecting (attempt 1)")), qPrintable(stderrText));
        QVERIFY2(stderrText.contains(QLatin1String("reconnected")), qPrintable(stderrText));

        CDataLog log;
        QVERIFY(mlog::Load(out, log));
        const CDataSeries& s = log.m_arrSeries[0];
        qsizetype gap = -1, nulls = 0;
        for (qsizetype i = 0; i < s.Size(); ++i) {
            if (s.IsNull(i)) {
                gap = i;
                ++nulls;
            }
        }
        QCOMPARE(nulls, qsizetype(1));
        // About three seconds of readings before the drop, and more after the reconnect.
        QVERIFY2(gap >= 6, qPrintable(stderrText));
        QVERIFY2(s.Size() - gap - 1 >= 5, qPrintable(QString::number(s.Size() - gap - 1) + stderrText));
        QCOMPARE(Labels(log).size(), 2); // "VDC" and the null element's empty label
    }

    void monitorReconnectsToo()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("dongle"));
        const QString scenarioPath = dir.filePath(QStringLiteral("drop.scn"));
        {
            QFile f(scenarioPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("live on\npause 2000\nfault drop-link\n");
        }
        QProcess metersim;
        metersim.start(QStringLiteral(METERSIM_PATH),
            { QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"), scenarioPath });
        QVERIFY(metersim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);
        QProcess cli;
        cli.start(QStringLiteral(CLI_PATH),
            { "monitor", "--port", linkPath, "--address", kMeter, "--seconds", "12", "--json", "--reconnect" });
        QVERIFY(cli.waitForFinished(30000));
        metersim.terminate();
        metersim.waitForFinished(5000);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(err.contains(QLatin1String("reconnected")), qPrintable(err));
        // Readings before the drop (about two seconds) and after the reconnect.
        const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
        QVERIFY2(lines.size() >= 10, qPrintable(err));
    }

    void sigtermStopsAndSaves()
    {
        QTemporaryDir dir;
        QProcess cli;
        const QString data = dir.filePath(QStringLiteral("data"));
        cli.setProcessEnvironment(EnvWithData(data));
        const QString out = dir.filePath(QStringLiteral("term.mLog"));
        cli.start(QStringLiteral(CLI_PATH), { "record", "--port", "sim", "--address", kMeter, out });
        QVERIFY(cli.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!Journals(data).isEmpty() && QFileInfo(Journals(data).first()).size() > 200, 10000);
        cli.terminate();
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out + '\n');
        CDataLog log;
        QVERIFY(mlog::Load(out, log));
        QVERIFY(log.m_arrSeries[0].Size() >= 2);
        QVERIFY(Journals(data).isEmpty());
    }

    void readingLimitEndsTheRunWithItsFileSaved()
    {
        // The settings file's own key lowers the limit here, so that the run is short.
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QDir().mkpath(data + QStringLiteral("/config"));
        {
            QFile ini(data + QStringLiteral("/config/MultipleSetInfo.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Recording]\nMaxReadings=6\n");
        }
        QProcess cli;
        cli.setProcessEnvironment(EnvWithData(data));
        const QString out = dir.filePath(QStringLiteral("limit.mLog"));
        cli.start(QStringLiteral(CLI_PATH), { "record", "--port", "sim", "--address", kMeter, "--seconds", "60", out });
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out + '\n');
        CDataLog log;
        QVERIFY(mlog::Load(out, log));
        QCOMPARE(log.m_arrSeries[0].Size(), qsizetype(6));
    }

    void fileThatCannotBeWrittenExitsTwoAndKeepsTheJournal()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        // A folder that is not there is found before the meter is reached: no recording at all.
        QProcess cli;
        cli.setProcessEnvironment(EnvWithData(data));
        cli.start(QStringLiteral(CLI_PATH),
            { "record", "--port", "sim", "--address", kMeter, "--seconds", "30",
                dir.filePath(QStringLiteral("missing/folder/x.mLog")) });
        QVERIFY(cli.waitForFinished(20000));
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.readAllStandardOutput().isEmpty());
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(err.contains(QLatin1String("No such file or directory")), qPrintable(err));
        QVERIFY(Journals(data).isEmpty());

        // A disk that fills up: the save fails with the reason, nothing is left in the way, and
        // the journal keeps the readings.
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        disk.Fill(0);
        QProcess full;
        full.setProcessEnvironment(EnvWithData(data));
        full.start(QStringLiteral(CLI_PATH),
            { "record", "--port", "sim", "--address", kMeter, "--seconds", "3", disk.FilePath("rec.mLog") });
        QVERIFY(full.waitForFinished(20000));
        const QString fullErr = QString::fromUtf8(full.readAllStandardError());
        QCOMPARE(full.exitCode(), 2);
        QVERIFY(full.readAllStandardOutput().isEmpty());
        QVERIFY2(fullErr.contains(QLatin1String("No space left on device")), qPrintable(fullErr));
        QVERIFY(disk.Entries().isEmpty());
        const QStringList left = Journals(data);
        QCOMPARE(left.size(), 1);
        CDataLog log;
        QVERIFY(journal::Read(left.first(), log));
        QVERIFY(log.m_arrSeries[0].Size() >= 2);

        // A port that cannot be used.
        QProcess bad;
        bad.start(QStringLiteral(CLI_PATH),
            { "record", "--port", dir.filePath(QStringLiteral("no-such-port")), "--address", kMeter, "--seconds", "1",
                dir.filePath(QStringLiteral("y.mLog")) });
        QVERIFY(bad.waitForFinished(20000));
        QCOMPARE(bad.exitCode(), 2);
    }

    // Without --reconnect a meter that falls silent ends the run after four seconds, with status
    // 2 and the recording saved; monitor ends the same way.
    void silentMeterEndsTheRun()
    {
        QTemporaryDir dir;
        const QString scenarioPath = dir.filePath(QStringLiteral("silent.scn"));
        {
            QFile f(scenarioPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("live on\nfunction vdc\npause 2000\nfault silence 60000\n");
        }
        for (const bool record : { true, false }) {
            const QString linkPath = dir.filePath(record ? QStringLiteral("dongle-r") : QStringLiteral("dongle-m"));
            QProcess metersim;
            metersim.start(QStringLiteral(METERSIM_PATH),
                { QStringLiteral("--link"), linkPath, QStringLiteral("--scenario"), scenarioPath });
            QVERIFY(metersim.waitForStarted(5000));
            QTRY_VERIFY_WITH_TIMEOUT(metersim.canReadLine(), 5000);

            QProcess cli;
            cli.setProcessEnvironment(EnvWithData(dir.filePath(QStringLiteral("data"))));
            const QString out = dir.filePath(QStringLiteral("silent.mLog"));
            const QStringList args = record
                ? QStringList { "record", "--port", linkPath, "--address", kMeter, "--seconds", "40", out }
                : QStringList { "monitor", "--port", linkPath, "--address", kMeter, "--seconds", "40" };
            QElapsedTimer ran;
            ran.start();
            cli.start(QStringLiteral(CLI_PATH), args);
            QVERIFY(cli.waitForFinished(30000));
            const qint64 ms = ran.elapsed();
            metersim.terminate();
            metersim.waitForFinished(5000);
            const QString err = QString::fromUtf8(cli.readAllStandardError());
            QCOMPARE(cli.exitCode(), 2);
            QVERIFY2(err.contains(QLatin1String("sent nothing for 4 s")), qPrintable(err));
            QVERIFY2(ms >= 6000 && ms < 15000, qPrintable(QString::number(ms)));
            const QByteArray printed = cli.readAllStandardOutput();
            if (record) {
                QCOMPARE(QString::fromUtf8(printed), out + '\n');
                CDataLog log;
                QVERIFY(mlog::Load(out, log));
                QVERIFY(log.m_arrSeries[0].Size() >= 2);
            } else {
                QVERIFY(printed.count('\n') >= 2);
            }
        }
    }

    // A run lasts at least the seconds asked for: a coarse timer ended most runs of 4 s some
    // tens of milliseconds early, so three runs are measured.
    void runLastsTheSecondsAskedFor()
    {
        for (int run = 0; run < 3; ++run) {
            QProcess cli;
            QElapsedTimer ran;
            ran.start();
            cli.start(QStringLiteral(CLI_PATH), { "monitor", "--port", "sim", "--address", kMeter, "--seconds", "4" });
            QVERIFY(cli.waitForFinished(20000));
            const qint64 ms = ran.elapsed();
            QCOMPARE(cli.exitCode(), 0);
            QVERIFY2(ms >= 4000, qPrintable(QString::number(ms)));
        }
    }

    void killedMidRecordingLosesAtMostTheLastSecond()
    {
        QTemporaryDir dir;
        QProcess cli;
        const QString data = dir.filePath(QStringLiteral("data"));
        cli.setProcessEnvironment(EnvWithData(data));
        cli.start(QStringLiteral(CLI_PATH),
            { "record", "--port", "sim", "--address", kMeter, dir.filePath(QStringLiteral("never.mLog")) });
        QVERIFY(cli.waitForStarted());
        // Some seconds of readings, then the process dies without a word.
        QTRY_VERIFY_WITH_TIMEOUT(!Journals(data).isEmpty() && QFileInfo(Journals(data).first()).size() > 1500, 15000);
        const QDateTime killedAt = QDateTime::currentDateTime();
        ::kill(pid_t(cli.processId()), SIGKILL);
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("never.mLog"))));

        const QStringList left = Journals(data);
        QCOMPARE(left.size(), 1);
        // Nobody holds it: it is an unfinished recording.
        QCOMPARE(journal::UnfinishedJournals(data + QStringLiteral("/multimeter/journal")), left);
        CDataLog log;
        journal::ReadResult read;
        QVERIFY(journal::Read(left.first(), log, &read));
        QVERIFY(read.points >= 10);
        // The newest reading kept was taken within about a second of the kill (the simulated
        // meter's clock is the local time; its time text has whole seconds).
        const QDateTime last = FromDateText(log.m_arrSeries[0].DateTime(read.points - 1));
        QVERIFY(last.isValid());
        QVERIFY2(last.secsTo(killedAt) <= 2, qPrintable(last.toString() + " / " + killedAt.toString()));

        // "mlog recover" writes it as a document.
        const QString recovered = dir.filePath(QStringLiteral("recovered.mLog"));
        QProcess recover;
        recover.start(QStringLiteral(CLI_PATH), { "mlog", "recover", left.first(), recovered });
        QVERIFY(recover.waitForFinished(10000));
        QCOMPARE(recover.exitCode(), 0);
        CDataLog reopened;
        QVERIFY(mlog::Load(recovered, reopened));
        QVERIFY(reopened.SameStoredContents(log));

        QProcess notJournal;
        notJournal.start(QStringLiteral(CLI_PATH), { "mlog", "recover", recovered, dir.filePath("z.mLog") });
        QVERIFY(notJournal.waitForFinished(10000));
        QCOMPARE(notJournal.exitCode(), 2);
    }

    void recoverSkipsDamageAnywhereInARealJournal()
    {
        // A journal as "record" leaves it when it dies mid-recording.
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QProcess cli;
        cli.setProcessEnvironment(EnvWithData(data));
        cli.start(QStringLiteral(CLI_PATH),
            { "record", "--port", "sim", "--address", kMeter, dir.filePath(QStringLiteral("x.mLog")) });
        QVERIFY(cli.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!Journals(data).isEmpty() && QFileInfo(Journals(data).first()).size() > 1500, 15000);
        ::kill(pid_t(cli.processId()), SIGKILL);
        QVERIFY(cli.waitForFinished(5000));
        const QStringList left = Journals(data);
        QCOMPARE(left.size(), 1);
        QFile file(left.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        file.close();
        CDataLog whole;
        QVERIFY(journal::Read(left.first(), whole));
        const CDataSeries& all = whole.m_arrSeries[0];
        // Where each record begins: after the 12-byte header, a length, the payload and a check.
        QList<qsizetype> starts;
        for (qsizetype at = 12; at + 4 <= bytes.size();)
            starts << std::exchange(at, at + 8 + qFromLittleEndian<quint32>(bytes.constData() + at));
        QCOMPARE(starts.size(), all.Size());
        QVERIFY2(starts.size() >= 5, qPrintable(QString::number(starts.size())));

        const QString damagedPath = dir.filePath(QStringLiteral("damaged.mjournal"));
        const QString out = dir.filePath(QStringLiteral("recovered.mLog"));
        auto recover = [&](const QList<qsizetype>& damaged, QString* err) {
            QByteArray b = bytes;
            for (qsizetype record : damaged)
                b[starts[record] + 12] = char(b[starts[record] + 12] ^ 0x40); // a byte of its payload
            QFile f(damagedPath);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(b);
            f.close();
            QFile::remove(out);
            QProcess p;
            p.start(QStringLiteral(CLI_PATH), { "mlog", "recover", damagedPath, out });
            p.waitForFinished(10000);
            *err = QString::fromLocal8Bit(p.readAllStandardError());
            return p.exitCode();
        };
        const qsizetype n = all.Size();
        for (qsizetype which : { qsizetype(0), n / 2, n - 1 }) {
            QString err;
            QCOMPARE(recover({ which }, &err), 0);
            QVERIFY2(err.contains(QStringLiteral("%1 readings recovered, 1 damaged records skipped").arg(n - 1)),
                qPrintable(err));
            CDataLog got;
            QVERIFY(mlog::Load(out, got));
            CDataSeries expected;
            for (qsizetype i = 0; i < n; ++i) {
                if (i != which)
                    expected.AppendCopy(all, i);
            }
            QCOMPARE(got.m_arrSeries[0], expected);
        }

        // Every record damaged: nothing to recover is a failure, and no document is written.
        QList<qsizetype> every;
        for (qsizetype i = 0; i < n; ++i)
            every << i;
        QString err;
        QCOMPARE(recover(every, &err), 2);
        QVERIFY2(err.contains(QLatin1String("Nothing could be recovered")), qPrintable(err));
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestE2eRecordCli)
#include "test_e2e_record_cli.moc"
