// multimeter-cli osc: frames decoded from notification payloads, the dump/build round trip and
// the exit statuses.
#include "CliRun.h"
#include "TinyDisk.h"
#include "OscFrames.h"
#include "OscSamples.h"
#include "scope/OscFile.h"
#include "scope/OscJson.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

using testcli::Run;

Run cli(const QStringList& args, const QByteArray& input = QByteArray())
{
    return testcli::Cli(QStringLiteral(METER_CLI_PATH), QStringList { "osc" } + args, input);
}

using testcli::readFile;
using testcli::writeFile;

} // namespace

class TestOscCli : public QObject {
    Q_OBJECT
private slots:
    void decodePrintsEachFrameOfASlot()
    {
        // One frame as one long line (cut into 20-byte notifications), two damaged frames (slot
        // 12, time base 200), then a second frame for slot 4 split over several lines.
        OscFrameBuilder first(4, 1, 4, 7);
        first.byte(80, 160).word(30, 0).word(32, 25);
        const std::string second = OscFrameBuilder(4, 3, 3, 7).hex();
        QByteArray input = QByteArray::fromStdString(first.hex()) + "\n";
        input += QByteArray::fromStdString(OscFrameBuilder(12, 1).hex()) + "\n";
        input += QByteArray::fromStdString(OscFrameBuilder(5, 1, 200).hex()) + "\n";
        for (size_t i = 0; i < second.size(); i += 300)
            input += QByteArray::fromStdString(second.substr(i, 300)) + "\n";

        const Run r = cli({ "decode" }, input);
        QCOMPARE(r.status, 0);
        // Stored waveforms come as a download of ten: the ones not there are named.
        QCOMPARE(r.err, QByteArray("multimeter-cli: 1 of the 10 stored waveforms arrived; missing: 1, 2, 3, 5, 6, 7, 8, 9, 10.\n"));
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("{\"slot\":4,\"data\":{\"nID\":4,\"bValid\":true,\"fWave\":[1,0,0,"));
        QVERIFY(lines[0].contains("\"strFreq\":\"200.00 Hz\""));
        QVERIFY(lines[0].contains("\"dVoltDiv\":1,"));
        QVERIFY(lines[1].contains("\"nStatus\":3,\"strRate\":\"10mS/div\",\"nTimeBase\":3,"));
        QVERIFY(lines[1].contains("\"fWave\":[0,0,"));
        QVERIFY(lines[1].endsWith("}}"));

        // A whole download says nothing.
        QByteArray all;
        for (int slot = 1; slot <= 10; ++slot)
            all += QByteArray::fromStdString(OscFrameBuilder(slot, 2).hex()) + "\n";
        const Run whole = cli({ "decode" }, all);
        QCOMPARE(whole.status, 0);
        QCOMPARE(whole.err, QByteArray());
        QCOMPARE(whole.out.count('\n'), 10);

        QCOMPARE(cli({ "decode", "/nonexistent/x" }).status, 2);
        QCOMPARE(cli({ "decode" }, "e0e0zz\n").status, 2);
    }

    void dumpBuildIsByteIdentical()
    {
        QTemporaryDir dir;
        osc::OscSlots set;
        for (int s = 0; s < 11; s += 2)
            osc::DecodeFrame(OscFrameBuilder(s, s % 5, s + 3, s + 1).byte(80 + s, 200).word(30, 3).word(32, 3 + s), set[static_cast<size_t>(s)]);
        set[4].info.strSpare = QString(300, QChar(0x263A));
        const QString file = dir.filePath("a.osc");
        QVERIFY(osc::Save(file, osc::AllSlotsFile(set)));

        const Run dump = cli({ "dump", file });
        QCOMPARE(dump.status, 0);
        QVERIFY(dump.out.startsWith("{\"kind\":1,\"records\":[{\"nID\":0,"));
        QVERIFY(dump.out.endsWith("]}\n"));
        QVERIFY(writeFile(dir.filePath("a.json"), dump.out));
        QCOMPARE(cli({ "build", dir.filePath("a.json"), dir.filePath("b.osc") }).status, 0);
        QCOMPARE(readFile(dir.filePath("b.osc")), readFile(file));

        const QString one = dir.filePath("one.osc");
        QVERIFY(osc::Save(one, osc::CurrentFile(set[6])));
        const Run single = cli({ "dump", one });
        QVERIFY(single.out.startsWith("{\"kind\":0,\"records\":[{\"nID\":0,\"bValid\":true,"));
        QVERIFY(writeFile(dir.filePath("one.json"), single.out));
        QCOMPARE(cli({ "build", dir.filePath("one.json"), dir.filePath("one2.osc") }).status, 0);
        QCOMPARE(readFile(dir.filePath("one2.osc")), readFile(one));
    }

    void damagedInputsExitWithStatusTwo()
    {
        QTemporaryDir dir;
        const QByteArray good = osc::ToBytes(osc::CurrentFile(OSCData()));
        QVERIFY(writeFile(dir.filePath("cut.osc"), good.left(good.size() - 1)));
        Run r = cli({ "dump", dir.filePath("cut.osc") });
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains("ends early"));
        QVERIFY(writeFile(dir.filePath("foreign.osc"), QByteArray("\x05\0\0\0", 4) + good.mid(4)));
        r = cli({ "dump", dir.filePath("foreign.osc") });
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(writeFile(dir.filePath("bad.json"), "{\"kind\":1,\"records\":[]}"));
        r = cli({ "build", dir.filePath("bad.json"), dir.filePath("x.osc") });
        QCOMPARE(r.status, 2);
        QVERIFY(!QFile::exists(dir.filePath("x.osc")));
        QCOMPARE(cli({ "dump" }).status, 1);

        // A FIFO nobody writes to is refused, not waited on.
        const QString fifo = dir.filePath("pipe.json");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        r = cli({ "build", fifo, dir.filePath("x.osc") });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("it is not a regular file"), r.err.constData());
        QVERIFY(!QFile::exists(dir.filePath("x.osc")));
    }

    // A full disk under "osc build": exit 2 with the reason, and the good file in the way stays.
    void fullDiskKeepsTheOldFile()
    {
        testdisk::CTinyDisk disk;
        if (!disk.Mounted())
            QSKIP("needs the administrator to mount a small tmpfs");
        QTemporaryDir dir;
        osc::OscSlots set;
        for (int slot = 0; slot < osc::kSlotCount; ++slot)
            set[slot] = osc_samples::Record(slot % 4);
        const QString big = dir.filePath("all.osc");
        QVERIFY(osc::Save(big, osc::AllSlotsFile(set)));
        const QString json = dir.filePath("all.json");
        QVERIFY(writeFile(json, cli({ "dump", big }).out));

        const QString out = disk.FilePath("out.osc");
        const QByteArray good(3000, 'g');
        QVERIFY(writeFile(out, good));
        disk.Fill(4 * 1024);
        const Run r = cli({ "build", json, out });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("No space left on device"), r.err.constData());
        QCOMPARE(readFile(out), good);
        QCOMPARE(disk.Entries(), QStringList { "out.osc" });
    }
};

QTEST_GUILESS_MAIN(TestOscCli)
#include "test_osc_cli.moc"
