// The oscilloscope spreadsheet: the cells, the .xlsx read back from its sheet XML, and the
// `osc export` verb with its failures.
#include "OscSamples.h"
#include "platform/ArchiveFile.h"
#include "scope/OscExport.h"
#include "scope/OscFile.h"

#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <cerrno>
#include <cmath>

namespace {

// One sheet cell as stored: its text (shared strings resolved) or number.
struct Stored {
    QString value;
    bool number = false;
};
using Sheet = QMap<int, QMap<int, Stored>>; // row -> column -> cell, both from 1

QByteArray unzipMember(const QString& zip, const QString& member)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), { QStringLiteral("-p"), zip, member });
    p.waitForFinished(30000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

int columnOf(const QString& ref)
{
    int col = 0;
    for (QChar c : ref) {
        if (!c.isLetter())
            break;
        col = col * 26 + (c.toLatin1() - 'A' + 1);
    }
    return col;
}

Sheet readSheet(const QString& xlsx)
{
    QStringList shared;
    QXmlStreamReader ss(unzipMember(xlsx, QStringLiteral("xl/sharedStrings.xml")));
    while (!ss.atEnd()) {
        if (ss.readNext() == QXmlStreamReader::StartElement && ss.name() == QLatin1String("si"))
            shared << ss.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    Sheet sheet;
    QXmlStreamReader x(unzipMember(xlsx, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString ref, type;
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (x.name() == QLatin1String("c")) {
            ref = x.attributes().value(QLatin1String("r")).toString();
            type = x.attributes().value(QLatin1String("t")).toString();
        } else if (x.name() == QLatin1String("v")) {
            const QString v = x.readElementText();
            const int row = ref.mid(ref.indexOf(QRegularExpression(QStringLiteral("[0-9]")))).toInt();
            Stored s;
            s.number = type.isEmpty() || type == QLatin1String("n");
            s.value = type == QLatin1String("s") ? shared.value(v.toInt()) : v;
            sheet[row][columnOf(ref)] = s;
        }
    }
    return sheet;
}

int cli(const QStringList& args, QByteArray* err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(METER_CLI_PATH), QStringList { "osc" } + args);
    p.waitForFinished(60000);
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray testFileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestOscExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!osc::WorkbookSupported())
            QSKIP("this build has no spreadsheet writer (libxlsxwriter)");
    }

    // Through the exporter face: stepped a few cells at a time with its progress, the sheet is
    // the one the one-go export writes; a stop before the commit leaves the target as it was.
    void sheetExportSteps()
    {
        QTemporaryDir dir;
        const OSCData d = osc_samples::Record(4, 9);
        const QVector<osc::SheetCell> cells = osc::ExportCells(d.info, d.fWave.data(), 300);
        const QString whole = dir.filePath(QStringLiteral("whole.xlsx"));
        QVERIFY(osc::WriteWorkbook(whole, cells));
        const QString stepped = dir.filePath(QStringLiteral("stepped.xlsx"));
        QString message;
        std::unique_ptr<IExporter> file = osc::OpenSheetExport(stepped, cells, &message);
        QVERIFY2(file, qPrintable(message));
        QCOMPARE(file->Total(), qsizetype(cells.size()));
        int steps = 0;
        while (!file->AtEnd()) {
            QVERIFY(file->Step(100));
            ++steps;
            QCOMPARE(file->Done(), std::min<qsizetype>(100 * steps, cells.size()));
        }
        QCOMPARE(steps, int((cells.size() + 99) / 100));
        QVERIFY(!QFile::exists(stepped));
        QVERIFY2(file->Finish(&message), qPrintable(message));
        for (const char* member : { "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml" }) {
            const QByteArray xml = unzipMember(whole, QString::fromLatin1(member));
            QVERIFY(!xml.isEmpty());
            QCOMPARE(unzipMember(stepped, QString::fromLatin1(member)), xml);
        }

        const QByteArray before = testFileBytes(stepped);
        file = osc::OpenSheetExport(stepped, osc::ExportCells(d.info, d.fSpectrum.data(), 120));
        QVERIFY(file);
        QVERIFY(file->Step(file->Total()) && file->Complete());
        const std::atomic<bool> stop { true };
        QVERIFY(!file->Commit(nullptr, &stop));
        file.reset();
        QCOMPARE(testFileBytes(stepped), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void waveformWorkbook()
    {
        QTemporaryDir dir;
        OSCData d = osc_samples::Record(4, 9);
        d.info.nTrigLevel = -1250;
        d.fWave[0] = 0.36f; // 0.36000001430511475 as a double
        const QString path = dir.filePath(QStringLiteral("wave.xlsx"));
        QString message;
        QVERIFY2(osc::WriteWorkbook(path, osc::ExportCells(d.info, d.fWave.data(), 300), &message), qPrintable(message));
        QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
        QVERIFY(unzipMember(path, QStringLiteral("xl/workbook.xml")).contains("name=\"DataSheet\""));
        const Sheet s = readSheet(path);
        QCOMPARE(s[1][1].value, QStringLiteral("DateTime"));
        QCOMPARE(s[1][3].value, QStringLiteral("12/07/2026  09:05:03"));
        QCOMPARE(s[2][1].value, QStringLiteral("Voo"));
        QCOMPARE(s[2][3].value, d.info.strVoltDiv);
        QCOMPARE(s[3][3].value, d.info.strVpp);
        QCOMPARE(s[4][3].value, d.info.strRate);
        QCOMPARE(s[5][3].value, QStringLiteral("SINGLE"));
        QCOMPARE(s[6][3].value, QStringLiteral("Single:-1.25"));
        QCOMPARE(s[7][1].value, QStringLiteral("ID"));
        QCOMPARE(s[7][3].value, QStringLiteral("Value"));
        QVERIFY(!s[7].contains(4));
        int rows = 0;
        for (auto it = s.begin(); it != s.end(); ++it) {
            if (it.key() < 8)
                continue;
            ++rows;
            QCOMPARE(it.value().keys(), (QList<int> { 1, 3 }));
            QVERIFY(it.value()[1].number && it.value()[3].number);
            QCOMPARE(it.value()[1].value.toInt(), it.key() - 7);
            // The cell holds the number its four shown decimals read as.
            QCOMPARE(it.value()[3].value.toDouble(), QString::asprintf("%.4f", double(d.fWave[size_t(it.key() - 8)])).toDouble());
        }
        QCOMPARE(rows, 300);
        QVERIFY(!s.contains(308));
        QCOMPARE(s[8][3].value, QStringLiteral("0.36"));
    }

    void spectrumWorkbook()
    {
        QTemporaryDir dir;
        const OSCData d = osc_samples::Record(3, 9);
        const QString path = dir.filePath(QStringLiteral("fft.xlsx"));
        QVERIFY(osc::WriteWorkbook(path, osc::ExportCells(d.info, d.fSpectrum.data(), 120)));
        const Sheet s = readSheet(path);
        QCOMPARE(s[7][4].value, QStringLiteral("Frequency"));
        int rows = 0;
        for (auto it = s.begin(); it != s.end(); ++it) {
            if (it.key() < 8)
                continue;
            ++rows;
            QCOMPARE(it.value().keys(), (QList<int> { 1, 3, 4, 5 }));
            QCOMPARE(it.value()[5].value, QStringLiteral("KHz"));
        }
        QCOMPARE(rows, 120);
        QCOMPARE(s[8][4].value.toDouble(), 0.0);
    }

    void libreOfficeReadsIt()
    {
        const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (office.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the CSV conversion check is skipped");
        QTemporaryDir dir;
        const OSCData d = osc_samples::Record(1);
        const QString path = dir.filePath(QStringLiteral("wave.xlsx"));
        QVERIFY(osc::WriteWorkbook(path, osc::ExportCells(d.info, d.fWave.data(), 300)));
        QProcess p;
        p.start(office, { QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
                            QStringLiteral("--outdir"), dir.path(), path });
        QVERIFY(p.waitForFinished(120000));
        QFile csv(dir.filePath(QStringLiteral("wave.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 307);
        QVERIFY(lines[0].startsWith("DateTime"));
    }

    void unwritablePlaceFailsCleanly()
    {
        QTemporaryDir dir;
        const OSCData d = osc_samples::Record(1);
        QString message;
        QVERIFY(!osc::WriteWorkbook(dir.filePath(QStringLiteral("no/such/dir/x.xlsx")),
            osc::ExportCells(d.info, d.fWave.data(), 300), &message));
        QVERIFY(!message.isEmpty());

        // Never in place of a folder or a pipe; through a link, the file it points to.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(!osc::WriteWorkbook(dir.filePath(QStringLiteral("folder")), osc::ExportCells(d.info, d.fWave.data(), 300), &message));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        if (QProcess::execute(QStringLiteral("mkfifo"), { fifo }) == 0) {
            QVERIFY(!osc::WriteWorkbook(fifo, osc::ExportCells(d.info, d.fWave.data(), 300), &message));
            QVERIFY(message.contains(QStringLiteral("not a regular file")));
            QVERIFY(!QFileInfo(fifo).isFile());
        }
        const QString real = dir.filePath(QStringLiteral("real.xlsx"));
        QVERIFY(osc::WriteWorkbook(real, osc::ExportCells(d.info, d.fWave.data(), 300)));
        QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("link.xlsx"))));
        QVERIFY(osc::WriteWorkbook(dir.filePath(QStringLiteral("link.xlsx")), osc::ExportCells(d.info, d.fSpectrum.data(), 120)));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link.xlsx"))).isSymLink());
        QVERIFY(readSheet(real).contains(127));

        // A read-only file is left alone; a writable one keeps its permissions when replaced.
        const auto readOnly = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(real, readOnly));
        QVERIFY(!osc::WriteWorkbook(real, osc::ExportCells(d.info, d.fWave.data(), 300), &message));
        QVERIFY2(message.contains(QStringLiteral("read-only")), qPrintable(message));
        QVERIFY(readSheet(real).contains(127));
        const auto shared = readOnly | QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(real, shared));
        QVERIFY(osc::WriteWorkbook(real, osc::ExportCells(d.info, d.fWave.data(), 300)));
        QCOMPARE(QFile::permissions(real), shared);
        QVERIFY(readSheet(real).contains(307));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no scratch left
    }

    // Values the format cannot hold are empty cells; a disk that fills up midway fails with the
    // system's reason and leaves the previous file; the verb says so in one line.
    void oddValuesAndFailedWrites()
    {
        QTemporaryDir dir;
        OSCData d = osc_samples::Record(1);
        d.fWave[0] = std::nanf("");
        d.fWave[1] = INFINITY;
        d.fWave[2] = -INFINITY;
        const QString path = dir.filePath(QStringLiteral("odd.xlsx"));
        QString message;
        QVERIFY2(osc::WriteWorkbook(path, osc::ExportCells(d.info, d.fWave.data(), 300), &message), qPrintable(message));
        const QByteArray xml = unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(!xml.isEmpty());
        QVERIFY(!xml.toLower().contains("<v>nan") && !xml.toLower().contains("<v>inf")
            && !xml.toLower().contains("<v>-inf"));
        const Sheet s = readSheet(path);
        QVERIFY(!s[8].contains(3) && !s[9].contains(3) && !s[10].contains(3));
        QCOMPARE(s[8][1].value, QStringLiteral("1"));
        QVERIFY(s[11][3].number);

        const QByteArray before = testFileBytes(path);
        archive::SetSaveFaultForTesting(100);
        const bool written = osc::WriteWorkbook(path, osc::ExportCells(d.info, d.fSpectrum.data(), 120), &message);
        archive::SetSaveFaultForTesting(-1);
        QVERIFY(!written);
        QVERIFY2(message.contains(qt_error_string(ENOSPC)), qPrintable(message));
        QCOMPARE(testFileBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("odd.xlsx") });

        osc::OscSlots set;
        set[0] = osc_samples::Record(1, 9);
        const QString file = dir.filePath(QStringLiteral("one.osc"));
        QVERIFY(osc::Save(file, osc::AllSlotsFile(set)));
        QByteArray err;
        QCOMPARE(cli({ "export", file, dir.filePath(QStringLiteral("no/such/dir/x.xlsx")) }, &err), 2);
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(!err.contains("[ERROR]") && err.contains("x.xlsx"), err.constData());
    }

    void exportVerb()
    {
        QTemporaryDir dir;
        osc::OscSlots set;
        set[3] = osc_samples::Record(3, 9);
        set[5] = osc_samples::Record(1, 9);
        const QString file = dir.filePath(QStringLiteral("all.osc"));
        QVERIFY(osc::Save(file, osc::AllSlotsFile(set)));
        const QString out = dir.filePath(QStringLiteral("out.xlsx"));

        QCOMPARE(cli({ "export", file, out }), 0); // the first valid record: slot 3
        Sheet s = readSheet(out);
        QCOMPARE(s[5][3].value, QStringLiteral("FFT"));
        QVERIFY(s.contains(307) && !s[8].contains(4));
        QCOMPARE(cli({ "export", file, "--record", "5", "--spectrum", out }), 0);
        s = readSheet(out);
        QCOMPARE(s[5][3].value, QStringLiteral("HOLD"));
        QVERIFY(s.contains(127) && !s.contains(128) && s[8].contains(4));

        // Failures: exit 2, a message, no file.
        QFile::remove(out);
        QByteArray err;
        for (const QStringList& args : { QStringList { "export", file, "--record", "4", out },
                 QStringList { "export", file, "--record", "11", out },
                 QStringList { "export", file, "--record", "x", out },
                 QStringList { "export", dir.filePath("missing.osc"), out } }) {
            QCOMPARE(cli(args, &err), 2);
            QVERIFY(!err.isEmpty());
            QVERIFY(!QFile::exists(out));
        }
        QFile damaged(dir.filePath(QStringLiteral("damaged.osc")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(osc::ToBytes(osc::AllSlotsFile(set)).left(700));
        damaged.close();
        QCOMPARE(cli({ "export", damaged.fileName(), out }, &err), 2);
        QVERIFY(!QFile::exists(out));
        QCOMPARE(cli({ "export", dir.filePath(QStringLiteral("empty.osc")) }), 1); // usage
        osc::OscSlots none;
        QVERIFY(osc::Save(dir.filePath(QStringLiteral("none.osc")), osc::AllSlotsFile(none)));
        QCOMPARE(cli({ "export", dir.filePath(QStringLiteral("none.osc")), out }, &err), 2);
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestOscExport)
#include "test_osc_export.moc"
