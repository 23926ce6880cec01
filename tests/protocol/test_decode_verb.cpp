// The decode verb of multimeter-cli, run as a program: its exact output for known frames.
#include "CliRun.h"
#include "FrameBuilder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

using testcli::Run;

Run RunCli(const QStringList& args, const QByteArray& input = QByteArray())
{
    return testcli::Cli(QStringLiteral(METER_CLI_PATH), QStringList { "decode" } + args, input);
}

// Payload lines as the link delivers them: 20 bytes at most, spaced bytes.
QByteArray Lines(const std::string& hex)
{
    QByteArray out;
    for (size_t i = 0; i < hex.size(); i += 40) {
        const std::string part = hex.substr(i, 40);
        for (size_t j = 0; j < part.size(); j += 2)
            out += QByteArray::fromStdString(part.substr(j, 2)) + (j + 2 < part.size() ? " " : "");
        out += '\n';
    }
    return out;
}

const char* const kStat = "{\"m_fValue\":0,\"m_strUnit\":\"\",\"m_nDecimals\":0,\"m_strTime\":\"\"}";

} // namespace

class TestDecodeVerb : public QObject {
    Q_OBJECT
private slots:
    void normalFrameFromFile()
    {
        FrameBuilder f(1);
        f.byte(2, 4).byte(3, 0x01).f32(4, 2200.0f).f32(8, 6000.0f).unit(12, "ko").byte(16, 2);
        f.clock(17, 26, 12, 5, 9, 3, 7).byte(23, 0x02);
        QTemporaryDir dir;
        QFile file(dir.filePath("frames.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\n" + Lines(f.hex()) + "\n");
        file.close();

        const Run r = RunCli({ file.fileName() });
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray());
        const QByteArray expected
            = QByteArray("{\"mode\":1,\"saved\":0,\"date\":\"12/5/26 9:3:7\",\"dial\":8,\"record\":{")
            + "\"m_strFunction\":\"RES\",\"m_bHold\":true,\"m_bAutoRange\":true,\"m_fLimit\":6,\"m_fValue\":2.20000005,"
            + "\"m_strUnit\":\"K\xce\xa9\",\"m_nDecimals\":3," + "\"m_statMax\":" + kStat + ",\"m_statMin\":" + kStat
            + ",\"m_statAvg\":" + kStat
            + ",\"m_strStart\":\"\",\"m_fReference\":0,\"m_fRelValue\":0,\"m_fAltValue\":0,\"m_strAltUnit\":\"\","
            + "\"m_fSubValue\":0,\"m_strSubUnit\":\"\",\"m_nSubKind\":0,\"m_fAux\":0,\"m_strAux\":\"\",\"m_fDuty\":0,"
            + "\"m_bSubMode\":false,\"m_bSubMode2\":false,\"m_bSubMode3\":false,\"m_byYear\":26,\"m_byMonth\":12,"
            + "\"m_byDay\":5,\"m_byHour\":9,\"m_byMinute\":3,\"m_bySecond\":7,\"m_b24Hour\":false,\"m_bMonthFirst\":"
              "true,"
            + "\"m_byElapsedH\":0,\"m_byElapsedM\":0,\"m_byElapsedS\":0}}" + "\n";
        QCOMPARE(r.out, expected);

        // the same frame on one long line from standard input is cut into notifications
        const Run s = RunCli({}, QByteArray::fromStdString(f.hex()).toUpper() + "\n");
        QCOMPARE(s.status, 0);
        QCOMPARE(s.out, expected);
    }

    void savedKindsAndWarning()
    {
        FrameBuilder minMax(2, true);
        minMax.unit(25, "V").clock(50, 26, 0, 3, 1, 2, 3);
        const std::string input = "f8f8f8f8\n" + FrameBuilder(7, true).hex() + "\n" + minMax.hex() + "\n" + minMax.hex()
            + "\n" + FrameBuilder(7).hex() + "\n";
        const Run r = RunCli({ "-" }, QByteArray::fromStdString(input));
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 5); // four objects and the end
        const QByteArray first = "{\"mode\":7,\"saved\":9,\"date\":\"0/0/0 0:0:0\",\"dial\":0,";
        const QByteArray second = "{\"mode\":2,\"saved\":2,\"date\":\"1/1/2026 ";
        const QByteArray mended = "\"m_byMonth\":1,\"m_byDay\":1,";
        const QByteArray third = "{\"mode\":2,\"saved\":2,";
        const QByteArray fourth = "{\"mode\":7,\"saved\":0,";
        QVERIFY(lines[0].startsWith(first));
        QVERIFY(lines[1].startsWith(second));
        QVERIFY(lines[1].contains(mended));
        QVERIFY(lines[2].startsWith(third));
        QVERIFY(lines[3].startsWith(fourth));
        QCOMPARE(r.err, QByteArray("DateTime is wrong, please correct datetime!\n"));
    }

    void errors()
    {
        QCOMPARE(RunCli({ "--bogus" }).status, 1);
        QCOMPARE(RunCli({ "a", "b" }).status, 1);
        const Run missing = RunCli({ "/nonexistent/frames.txt" });
        QCOMPARE(missing.status, 2);
        QCOMPARE(missing.err.count('\n'), 1);
        QCOMPARE(RunCli({}, "a0 8z\n").status, 2);
        QCOMPARE(RunCli({}, "a08\n").status, 2);
        QTemporaryDir dir;
        QCOMPARE(RunCli({ dir.path() }).status, 2);
    }

    void badBytesNameTheirLine()
    {
        // A NUL does not end the line early: it is an error, with its line.
        const Run nul = RunCli({}, QByteArray("a0 80\naa\0zz\n", 13));
        QCOMPARE(nul.status, 2);
        QCOMPARE(nul.err, QByteArray("multimeter-cli: line 2 holds a NUL byte\n"));
        const Run letter = RunCli({}, "\n\nab cd\n0g\n");
        QCOMPARE(letter.status, 2);
        QCOMPARE(letter.err, QByteArray("multimeter-cli: line 4 is not hexadecimal payload\n"));

        // A long line is taken as it comes: the frames before a bad character are already out.
        const std::string frame = FrameBuilder(7).hex();
        QByteArray line;
        for (int i = 0; i < 2000; ++i)
            line += QByteArray::fromStdString(frame);
        const Run late = RunCli({}, line + "x\n");
        QCOMPARE(late.status, 2);
        QCOMPARE(late.out.count('\n'), 2000);
        QCOMPARE(late.err, QByteArray("multimeter-cli: line 1 is not hexadecimal payload\n"));
    }
};

QTEST_GUILESS_MAIN(TestDecodeVerb)
#include "test_decode_verb.moc"
