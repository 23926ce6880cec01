// The texts of a data-log view: list rows with each place's "OL" rule, the summary byte for byte,
// the ".xls" export bytes, the downloaded-points take-over, the vertical ranges and the printed
// table's pages.
#include "datalog/DataListModel.h"
#include "datalog/DataLogExport.h"
#include "datalog/DataListWindow.h"
#include "datalog/DataLogText.h"
#include "datalog/ExportJob.h"
#include "datalog/MLogJson.h"
#include "datalog/PrintLayout.h"
#include "platform/ArchiveFile.h"
#include "platform/Workbook.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cmath>
#include <functional>

using namespace datalog_text;

namespace {

// Two readings, one over range, with statistics of the second reading in series 1.
CDataLog sample()
{
    CDataLog log;
    log.AddPoint(0, 1.5, QStringLiteral("VDC"), 0, 0, QStringLiteral("2026/05/12 14:07:33"), QStringLiteral("VDC"),
        6, 1.5f);
    log.AddPoint(0, 500000, QStringLiteral("VDC"), 0, 1, QStringLiteral("2026/05/12 14:07:34"), QStringLiteral("VDC"),
        6, 7.0f);
    log.AddPoint(0, -500000, QStringLiteral("VDC"), 0, 2, QStringLiteral("2026/05/12 14:07:35"), QStringLiteral("VDC"),
        6, -7.0f);
    log.AddPoint(0, -2.25, QStringLiteral("VDC"), 0, 3, QStringLiteral("2026/05/12 14:07:36"), QStringLiteral("VDC"),
        6, -2.25f);
    log.AddPoint(1, 3.0, QStringLiteral("VDC"), 0, 3, QStringLiteral("2026/05/12 14:07:36"), QStringLiteral("MAX"),
        6, 0);
    log.AddPoint(1, -4.0, QStringLiteral("VDC"), 0, 3, QStringLiteral("2026/05/12 14:07:36"), QStringLiteral("MIN"),
        6, 0);
    return log;
}

QString fromUtf16(const QByteArray& b)
{
    return QString(reinterpret_cast<const QChar*>(b.constData() + 2), (b.size() - 2) / 2);
}

} // namespace

class TestDatalogTexts : public QObject {
    Q_OBJECT
private slots:
    void valueTextPerPlace()
    {
        struct Case {
            Place place;
            double v;
            const char* text;
        } cases[] = {
            // Over range is "OL" with either sign and wherever it is shown; so is an absurd
            // magnitude; what is not a number or infinite is empty.
            { Place::LoadedList, 500000, "OL" }, { Place::LoadedList, -500000, "OL" },
            { Place::LoadedList, 600000, "OL" }, { Place::DownloadedList, -500001, "OL" },
            { Place::DownloadedList, 499999.5, "499999.5000" }, { Place::LiveList, -500000, "OL" },
            { Place::SavedList, 500000, "OL" }, { Place::Export, -500000, "OL" }, { Place::Export, 1e308, "OL" },
            { Place::Export, -1e308, "OL" }, { Place::Export, std::nan(""), "" }, { Place::Export, INFINITY, "" },
            { Place::LiveList, -INFINITY, "" }, { Place::PrintTable, -500000, "OL" }, { Place::PrintTable, 1.005, "1.00" },
            { Place::Export, -7.25, "-7.2500" },
        };
        for (const Case& c : cases)
            QCOMPARE(ValueText(c.v, c.place), QString::fromLatin1(c.text));
    }

    void listRowsOfLoadedFileAndAppended()
    {
        CDataLog log = sample();
        log.m_arrSeries[0].AppendNull(); // kept by the loader, never listed
        CDataListModel m;
        m.ShowDocument(&log, Place::LoadedList);
        QCOMPARE(m.rowCount(), 6);
        QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Data Time"));
        QCOMPARE(m.RowTexts(1), (QStringList { "2", "2026/05/12 14:07:34", "VDC", "OL", "VDC", "" }));
        QCOMPARE(m.RowTexts(2)[3], QStringLiteral("OL"));
        // Series-1 rows follow the reading with their sequence number.
        QCOMPARE(m.RowTexts(4), (QStringList { "5", "2026/05/12 14:07:36", "VDC", "3.0000", "MAX", "" }));
        QCOMPARE(m.RowTexts(5)[4], QStringLiteral("MIN"));

        // Rows of a document emptied behind the list read as blank, not out of bounds.
        CDataLog gone = sample();
        m.ShowDocument(&gone, Place::LoadedList);
        gone.DeleteContents();
        QCOMPARE(m.RowTexts(4), (QStringList { "5", "", "", "", "", "" }));

        m.ShowDocument(&log, Place::DownloadedList);
        QCOMPARE(m.RowTexts(2)[3], QStringLiteral("OL"));
        QCOMPARE(m.AppendRow("t", "mV", -500000, "VAC", Place::LiveList), 6);
        QCOMPARE(m.RowTexts(6), (QStringList { "7", "t", "mV", "OL", "VAC", "" }));
        m.Clear();
        QCOMPARE(m.rowCount(), 0);
    }

    // The page the table shows: it follows the end while rows are appended, stays where the user
    // moved it, and starts over when the list is replaced.
    void listPage()
    {
        CDataLog log;
        for (int i = 0; i < 20; ++i)
            log.AddPoint(0, i, QStringLiteral("V"), 0, i, QString::number(i), QStringLiteral("VDC"), 600, 0.0f);
        CDataListModel m;
        CDataListWindow page(&m);
        page.SetPageRows(5);
        auto shown = [&](int row) { return page.data(page.index(row, CDataListModel::ColTime)).toString(); };
        for (int i = 0; i < 3; ++i)
            m.AppendPoint(&log, 0, i, Place::LiveList);
        QCOMPARE(page.rowCount(), 3);
        QCOMPARE(shown(2), QStringLiteral("2"));
        for (int i = 3; i < 13; ++i)
            m.AppendPoint(&log, 0, i, Place::LiveList);
        QCOMPARE(page.rowCount(), 5);
        QCOMPARE(page.First(), 8);
        QCOMPARE(shown(4), QStringLiteral("12"));
        QCOMPARE(page.data(page.index(4, CDataListModel::ColId)).toString(), QStringLiteral("13"));
        // Following the end, a new row moves the page up one row and changes only its last row.
        QSignalSpy scrolled(&page, &CDataListWindow::pageScrolled);
        QSignalSpy changed(&page, &QAbstractItemModel::dataChanged);
        m.AppendPoint(&log, 0, 13, Place::LiveList);
        QCOMPARE(page.First(), 9);
        QCOMPARE(scrolled.size(), 1);
        QCOMPARE(scrolled[0][0].toInt(), 1);
        // Cell by cell: a table repaints its whole viewport for a range of cells.
        QCOMPARE(changed.size(), page.columnCount());
        for (const QList<QVariant>& change : changed) {
            QCOMPARE(change[0].value<QModelIndex>(), change[1].value<QModelIndex>());
            QCOMPARE(change[0].value<QModelIndex>().row(), 4);
        }
        QCOMPARE(shown(4), QStringLiteral("13"));
        // Scrolled up, new rows below the page change nothing on it.
        page.SetFirst(2);
        changed.clear();
        m.AppendPoint(&log, 0, 14, Place::LiveList);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(scrolled.size(), 1);
        QCOMPARE(page.First(), 2);
        QCOMPARE(page.LastFirst(), 10);
        page.ShowRow(13);
        QCOMPARE(page.First(), 9);
        QCOMPARE(shown(4), QStringLiteral("13"));
        page.SetFirst(100);
        QCOMPARE(page.First(), 10);
        page.SetPageRows(50);
        QCOMPARE(page.rowCount(), 15);
        QCOMPARE(page.First(), 0);
        m.ShowDocument(&log, Place::LoadedList);
        QCOMPARE(page.rowCount(), 20);
        QCOMPARE(page.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Data Time"));
        page.SetPageRows(4);
        QCOMPARE(page.First(), 0);
        QCOMPARE(shown(3), QStringLiteral("3"));
        m.Clear();
        QCOMPARE(page.rowCount(), 0);
        QCOMPARE(page.LastFirst(), 0);
    }

    // Rows of a recording read back from the document across its blocks of points and of time
    // texts, with a text row and a gap between, and the page that follows the end.
    void listRowsAcrossBlocks()
    {
        CDataLog log;
        CDataListModel m;
        CDataListWindow page(&m);
        page.SetPageRows(7);
        const qsizetype n = CDataSeries::kChunkPoints + 300;
        for (qsizetype i = 0; i < n; ++i) {
            if (i == CDataSeries::kChunkPoints - 1) {
                log.m_arrSeries[0].AppendNull();
                m.AppendRowText(QStringLiteral("gap"), QString(), QString(), QString());
                continue;
            }
            const QString time = QStringLiteral("2026/05/12 %1").arg(i, 9, 10, QLatin1Char('0'));
            log.AddPoint(0, double(i), QStringLiteral("V"), 0, int(i), time, QStringLiteral("VDC"), 600, 0.0f);
            m.AppendPoint(&log, 0, log.m_arrSeries[0].Size() - 1, Place::LiveList);
        }
        QCOMPARE(m.rowCount(), int(n));
        auto row = [&](qsizetype i) { return m.RowTexts(int(i)); };
        for (qsizetype i : { qsizetype(0), CDataSeries::kChunkPoints - 2, CDataSeries::kChunkPoints, n - 1 }) {
            QCOMPARE(row(i)[0], QString::number(i + 1));
            QCOMPARE(row(i)[1], QStringLiteral("2026/05/12 %1").arg(i, 9, 10, QLatin1Char('0')));
            QCOMPARE(row(i)[2], QStringLiteral("V"));
        }
        QCOMPARE(row(CDataSeries::kChunkPoints - 1)[1], QStringLiteral("gap"));
        QCOMPARE(page.First(), int(n) - 7);
        QCOMPARE(page.data(page.index(6, CDataListModel::ColId)).toString(), QString::number(n));
    }

    void summaryByteExact()
    {
        const CDataLog log = sample();
        QCOMPARE(SummaryText(log),
            QStringLiteral("---------------------------Summary---------------------------\r\n\r\n"
                           "StartTime: 2026/05/12 14:07:33 \r\n\r\n"
                           "EndTime: 2026/05/12 14:07:36\r\n\r\n"
                           "Maximum: 1.5000\r\n\r\n"
                           "Maxinum Time: 2026/05/12 14:07:33 \r\n\r\n"
                           "Minimum: -2.2500\r\n\r\n"
                           "Minimum Time: 2026/05/12 14:07:36\r\n\r\n"
                           "Average:-0.3750\r\n\r\n"
                           "DataNumber: 4\r\n\r\n"
                           "Type:VDC\r\n\r\n"));
        // A recording with nothing in range: its extremes and average were never set and read
        // "OL", not the start values; with no reading at all they are empty.
        CDataLog fresh;
        fresh.AddPoint(0, 500000, "V", 0, 0, "t", "VDC", 6, 7.0f);
        fresh.AddPoint(0, -500000, "V", 0, 1, "t", "VDC", 6, -7.0f);
        const QString s = SummaryText(fresh);
        QVERIFY2(s.contains(QStringLiteral("Maximum: OL\r\n")), qPrintable(s));
        QVERIFY(s.contains(QStringLiteral("Minimum: OL\r\n")));
        QVERIFY(s.contains(QStringLiteral("Average:OL\r\n")));
        QVERIFY(s.contains(QStringLiteral("DataNumber: 2\r\n")));
        const QString none = SummaryText(CDataLog());
        QVERIFY2(none.contains(QStringLiteral("Maximum: \r\n")), qPrintable(none));
        QVERIFY(none.contains(QStringLiteral("Minimum: \r\n")));
        QVERIFY(none.contains(QStringLiteral("Average:\r\n")));
        // A stored extreme at the over-range mark of either sign, or not a number.
        fresh.m_dMax = 500000;
        fresh.m_dMin = -500000;
        QVERIFY(SummaryText(fresh).contains(QStringLiteral("Maximum: OL\r\n")));
        QVERIFY(SummaryText(fresh).contains(QStringLiteral("Minimum: OL\r\n")));
        fresh.m_dMin = std::nan("");
        QVERIFY(SummaryText(fresh).contains(QStringLiteral("Minimum: \r\n")));
    }

    void exportBytes()
    {
        CDataLog log;
        QVERIFY(ExportXls(log).isEmpty());
        log.AddPoint(0, 21.5, QStringLiteral("℃"), 0, 0, QStringLiteral("2026/05/12 14:07:33"), QStringLiteral("TEMP"),
            600, 21.5f);
        log.AddPoint(0, 500000, QStringLiteral("MΩ"), 0, 1, QStringLiteral("2026/05/12 14:07:34"),
            QStringLiteral("OHM"), 60, 70.0f);
        log.AddPoint(0, -500000, QStringLiteral("MΩ"), 0, 2, QStringLiteral("2026/05/12 14:07:35"),
            QStringLiteral("OHM"), 60, -70.0f);
        log.m_arrSeries[0].AppendNull();
        const QByteArray b = ExportXls(log);
        QCOMPARE(b.left(2), QByteArray("\xFF\xFE"));
        QCOMPARE(b.size() % 2, 0);
        // UTF-16LE: the units survive.
        QCOMPARE(b.mid(2, 4), QByteArray("S\0t\0", 4));
        QCOMPARE(fromUtf16(b),
            QStringLiteral("StartTime\t2026/05/12 14:07:33\t\r\n"
                           "Max\t21.5000 @ 2026/05/12 14:07:33\t\r\n"
                           "Min\t21.5000 @ 2026/05/12 14:07:33\t\r\n"
                           "Average\t21.5000\t\r\n"
                           "EndTime\t2026/05/12 14:07:35\t\r\n"
                           "ID\tUnit\tValue\tType\tDateTime\t\r\n"
                           "1\t℃\t21.5000\tTEMP\t2026/05/12 14:07:33\t\r\n"
                           "2\tMΩ\tOL\tOHM\t2026/05/12 14:07:34\t\r\n"
                           "3\tMΩ\tOL\tOHM\t2026/05/12 14:07:35\t\r\n"));

        // Every reading over range: no sentinel shows up as a number.
        CDataLog over;
        over.AddPoint(0, -500000, QStringLiteral("V"), 0, 0, QStringLiteral("t0"), QStringLiteral("VDC"), 6, -7.0f);
        over.AddPoint(0, 500000, QStringLiteral("V"), 0, 1, QStringLiteral("t1"), QStringLiteral("VDC"), 6, 7.0f);
        QCOMPARE(fromUtf16(ExportXls(over)),
            QStringLiteral("StartTime\t\t\r\n"
                           "Max\tOL\t\r\n"
                           "Min\tOL\t\r\n"
                           "Average\tOL\t\r\n"
                           "EndTime\tt1\t\r\n"
                           "ID\tUnit\tValue\tType\tDateTime\t\r\n"
                           "1\tV\tOL\tVDC\tt0\t\r\n"
                           "2\tV\tOL\tVDC\tt1\t\r\n"));
    }

    void exportFileKeepsOldOnEmpty()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("a.xls");
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        QString why;
        QVERIFY(!WriteExportXls(out, CDataLog(), &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        f.close();
        QVERIFY(WriteExportXls(out, sample(), &why));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ExportXls(sample()));
        QCOMPARE(DefaultExportName(QDateTime(QDate(2026, 5, 2), QTime(9, 7))), QStringLiteral("2026-5-2 9-7.xls"));
    }

    // The window's export runs a slice at a time; whatever stops it leaves the old file and no
    // temporary behind.
    void exportJobStopsCleanly()
    {
        QTemporaryDir dir;
        CDataLog log;
        for (int i = 0; i < 100; ++i)
            log.AddPoint(0, i * 0.25, "V", 0, i, QString::asprintf("2026/05/12 14:%02d:%02d", i / 60, i % 60), "VDC",
                600, 0);
        const QString out = dir.filePath("out.xls");
        auto old = [&] {
            QFile f(out);
            return f.open(QIODevice::WriteOnly) && f.write("old") == 3;
        };
        auto content = [&] {
            QFile f(out);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        auto onlyTarget = [&] {
            return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList { "out.xls" };
        };
        CExportJob::SetSliceForTesting(10);
        QObject owner;
        struct Result {
            int calls = 0;
            bool ok = false;
            QString why;
        };
        auto run = [&](CExportJob& job, Result& r, const std::function<void()>& midway) {
            int slices = 0;
            QObject::connect(&job, &CExportJob::progress, [&](qsizetype done, qsizetype total) {
                QCOMPARE(total, qsizetype(100));
                if (++slices == 3 && midway)
                    midway();
                Q_UNUSED(done);
            });
            QObject::connect(&job, &CExportJob::finished, [&](bool ok, const QString& why) {
                ++r.calls;
                r.ok = ok;
                r.why = why;
            });
            QString message;
            QVERIFY2(job.Start(&message), qPrintable(message));
            QTRY_COMPARE(r.calls, 1);
        };

        // Cancelled midway, text or workbook.
        QVERIFY(old());
        for (const auto format : { datalog_export::Format::Xls, datalog_export::Format::Xlsx }) {
            if (format == datalog_export::Format::Xlsx && !CWorkbook::Supported())
                continue;
            CExportJob job(out, log, &owner, format);
            Result r;
            run(job, r, [&] { job.Cancel(); });
            QVERIFY(!r.ok);
            QVERIFY(r.why.isEmpty());
            QVERIFY(!job.IsRunning());
            QCOMPARE(content(), QByteArray("old"));
            QVERIFY(onlyTarget());
        }

        // The disk fills up midway.
        archive::SetSaveFaultForTesting(1000);
        {
            CExportJob job(out, log, &owner, datalog_export::Format::Xls);
            Result r;
            run(job, r, {});
            QVERIFY(!r.ok);
            QVERIFY2(r.why.contains(qt_error_string(ENOSPC)), qPrintable(r.why));
        }
        archive::SetSaveFaultForTesting(-1);
        QCOMPARE(content(), QByteArray("old"));
        QVERIFY(onlyTarget());

        // The document goes away midway.
        {
            auto* gone = new QObject;
            CExportJob job(out, log, gone, datalog_export::Format::Csv);
            Result r;
            run(job, r, [&] { delete gone; });
            QVERIFY(!r.ok);
            QVERIFY(!r.why.isEmpty());
        }
        QCOMPARE(content(), QByteArray("old"));
        QVERIFY(onlyTarget());

        // Exactly one slice, and many: the same bytes as in one go.
        for (const qsizetype slice : { qsizetype(100), qsizetype(7) }) {
            CExportJob::SetSliceForTesting(slice);
            for (const auto format : { datalog_export::Format::Xls, datalog_export::Format::Csv }) {
                CExportJob job(out, log, &owner, format);
                Result r;
                run(job, r, {});
                QVERIFY2(r.ok, qPrintable(r.why));
                QCOMPARE(content(), format == datalog_export::Format::Xls ? ExportXls(log) : mlog::ToCsv(log));
            }
        }
        CExportJob::SetSliceForTesting(0);

        // Nothing to export: no ".xls" at all (the old file stays); CSV gets its header.
        QVERIFY(old());
        const CDataLog empty; // the job reads the document it is given for as long as it runs
        CExportJob none(out, empty, &owner, datalog_export::Format::Xls);
        QString why;
        QVERIFY(!none.Start(&why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(content(), QByteArray("old"));
        QVERIFY(datalog_export::WriteExport(dir.filePath("e.csv"), empty, datalog_export::Format::Csv));
        QFile csv(dir.filePath("e.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("index,time,unit,value,type\r\n"));
    }

    // The workbook: summary at the top, numbers as numbers, time stamps as date-time cells, "OL"
    // and empty cells where the value is over range or not a number.
    void workbookExport()
    {
        if (!CWorkbook::Supported())
            QSKIP("this build has no spreadsheet writer (libxlsxwriter)");
        QTemporaryDir dir;
        CDataLog log;
        log.AddPoint(0, 21.5, QStringLiteral("℃"), 0, 0, QStringLiteral("2026/05/12 14:07:33"), QStringLiteral("TEMP"),
            600, 21.5f);
        log.AddPoint(0, 500000, QStringLiteral("℃"), 0, 1, QStringLiteral("12/5/2026 14:7:34"), QStringLiteral("TEMP"),
            600, 700.0f);
        log.AddPoint(0, std::nan(""), QStringLiteral("℃"), 0, 2, QStringLiteral("not a time"), QStringLiteral("TEMP"),
            600, 0.0f);
        const QString out = dir.filePath("w.xlsx");
        QCOMPARE(datalog_export::FormatOf(out), datalog_export::Format::Xlsx);
        QString why;
        QVERIFY2(datalog_export::WriteExport(out, log, datalog_export::Format::Xlsx, &why), qPrintable(why));
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), { QStringLiteral("-p"), out, QStringLiteral("xl/worksheets/sheet1.xml") });
        QVERIFY(unzip.waitForFinished(30000));
        const QByteArray xml = unzip.readAllStandardOutput();
        if (xml.isEmpty())
            QSKIP("unzip is not installed: the sheet is not read back here");
        // Inline texts, numbers, date-time serials (days since 1899-12-30 with the time as a fraction).
        auto cell = [&](const char* ref) {
            const int at = xml.indexOf(QByteArray("<c r=\"") + ref + '"');
            return at < 0 ? QByteArray() : xml.mid(at, xml.indexOf("</c>", at) - at);
        };
        QVERIFY(cell("A1").contains("StartTime"));
        const QByteArray serial = QByteArray::number(QDate(1899, 12, 30).daysTo(QDate(2026, 5, 12))) + '.';
        QVERIFY2(cell("B1").contains("<v>" + serial), cell("B1").constData());
        QVERIFY(cell("B2").contains("<v>21.5</v>")); // Max
        QVERIFY(cell("A6").contains("ID"));
        QVERIFY(cell("A7").contains("<v>1</v>"));
        QVERIFY(cell("B7").contains("℃"));
        QVERIFY(cell("C7").contains("<v>21.5</v>"));
        QVERIFY(cell("E7").contains("<v>" + serial));
        QVERIFY(cell("C8").contains("OL"));
        QVERIFY(cell("E8").contains("<v>" + serial)); // day first
        QVERIFY(cell("C9").isEmpty());
        QVERIFY(cell("E9").contains("not a time"));
        QVERIFY(!xml.toLower().contains("nan"));
    }

    void yRanges()
    {
        YRange r = FitYRange(10, 0, 6);
        QCOMPARE(r.max, 11.0);
        QCOMPARE(r.min, -1.0);
        r = FitYRange(5, 5, 6, true);
        QCOMPARE(r.max, 5.01);
        QCOMPARE(r.min, 4.99);
        r = FitYRange(5, 4.95, 6); // a margin below 0.01 is raised to it
        QCOMPARE(r.max, 5.01);
        // No reading in range: the band up to the limit, not an inverted range.
        r = FitYRange(CDataLog::kInitialMax, CDataLog::kInitialMin, 6);
        QCOMPARE(r.max, 6.0);
        QCOMPARE(r.min, 0.0);
        r = FitYRange(CDataLog::kInitialMax, CDataLog::kInitialMin, 0);
        QVERIFY(r.max > r.min);
    }

    void downloadedPoints()
    {
        QVector<CObData> pts;
        pts << CObData(2.0, "VDC", 0.5, 0, "t0", "VDC", 6) << CObData(500000, "VDC", 0.5, 0, "t1", "VDC", 6)
            << CObData(4.0, "VDC", 0.5, 0, "t2", "VDC", 6) << CObData(4.0, "VDC", 0.5, 0, "t3", "VDC", 6)
            << CObData(-600000, "VDC", 0.5, 0, "t4", "VDC", 6);
        CDataLog log;
        YRange r = TakeDownloadedPoints(log, pts);
        QCOMPARE(log.m_arrSeries[0].Size(), 5);
        QCOMPARE(log.m_nDataNumber, 5);
        QCOMPARE(log.m_dAverage, 10.0 / 3);
        QCOMPARE(log.m_dMax, 4.0);
        QCOMPARE(log.m_strMaxTime, QStringLiteral("t2"));
        QCOMPARE(log.m_strMinTime, QStringLiteral("t0"));
        QCOMPARE(log.m_strEndTime, QStringLiteral("t4"));
        QCOMPARE(log.m_dSampleRate, 0.5);
        QCOMPARE(r.max, 4.2);
        QCOMPARE(r.min, 1.8);

        // A limit below the maximum caps the range without margin.
        CDataLog capped;
        pts = { CObData(8.0, "V", 1, 0, "a", "VDC", 6), CObData(1.0, "V", 1, 0, "b", "VDC", 6) };
        r = TakeDownloadedPoints(capped, pts);
        QCOMPARE(r.max, 6.0);
        QCOMPARE(r.min, 1.0);
        // All over range: a sound range from 0 to the limit.
        CDataLog allOl;
        pts = { CObData(500000, "V", 1, 0, "a", "VDC", 6), CObData(-500000, "V", 1, 0, "b", "VDC", 6) };
        r = TakeDownloadedPoints(allOl, pts);
        QCOMPARE(r.max, 6.0);
        QCOMPARE(r.min, 0.0);
        QVERIFY(SummaryText(allOl).contains("Minimum: OL"));
    }

    void printedTablePages()
    {
        CDataLog log;
        for (int i = 0; i < 100; ++i)
            log.AddPoint(0, i == 5 ? -500000 : i * 0.5, "V", 0, i, QString::asprintf("t%d", i), "VDC", 600, 0);
        // Page height 800: font 10, lines of 12 -> (800 - 40) / 12 = 63; with lines of 12.66 (int
        // 12) use a height that gives exactly 60 lines: (ph - 4 ph/80) / L = 60 with ph 960, L 15.2.
        const int ph = 960, L = 15;
        QCOMPARE(print_layout::LinesPerPage(ph, L), 60);
        const QDateTime now(QDate(2026, 5, 12), QTime(14, 7, 33));
        const auto pages = print_layout::DataTablePages(log, 1300, ph, L, now);
        QCOMPARE(pages.size(), 2);
        auto find = [](const PrintPage& p, const QString& t) {
            for (const PrintText& x : p.texts)
                if (x.text == t)
                    return x.pos;
            return QPoint(-1, -1);
        };
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(find(pages[i], QString::asprintf("Page -%d-", i + 1)), QPoint(1300 / 3 + 10, ph - 12));
            QVERIFY(find(pages[i], "Time: 2026-5-12  14:7:33").y() == ph - 12);
        }
        // Rows 1..54 on the first page (line counter 7..60), the 54th on the last line.
        QCOMPARE(find(pages[0], "54"), QPoint(40, 12 + L + 60 * L));
        QCOMPARE(find(pages[0], "55"), QPoint(-1, -1));
        QCOMPARE(find(pages[1], "55"), QPoint(40, 12 + 2 * L));
        QCOMPARE(find(pages[1], "Data Table"), QPoint(1300 / 4 - 40, 12));
        QCOMPARE(find(pages[0], "Data Table"), QPoint(1300 / 4 - 50, 12));
        QCOMPARE(find(pages[0], "OL"), QPoint(420, 12 + L + 12 * L));
        QCOMPARE(pages[0].rules.size(), 54);
        QCOMPARE(pages[1].rules.size(), 46);

        // Nothing in range: the printed statistics read "OL", not the start values.
        CDataLog over;
        over.AddPoint(0, -500000, "V", 0, 0, "t0", "VDC", 6, -7.0f);
        const PrintPage first = print_layout::DataTablePages(over, 1300, ph, L, now)[0];
        QCOMPARE(find(first, "OL   "), QPoint(150, 12 + 2 * L));
        QCOMPARE(find(first, "OL"), QPoint(150, 12 + 4 * L)); // the average
        const PrintPage graph = print_layout::GraphPage(over, 1300, ph, L, now);
        QVERIFY(find(graph, "Maximum:    OL").y() > 0);
        QVERIFY(find(graph, "Minimum:    OL").y() > 0);
    }

    // A spreadsheet program reads the export with its units: LibreOffice converts it to CSV.
    void spreadsheetReadsTheExport()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            QSKIP("soffice (LibreOffice) is not installed: the export is not read by a spreadsheet program here");
        QTemporaryDir dir;
        CDataLog log;
        log.AddPoint(0, 21.5, QStringLiteral("℃"), 0, 0, QStringLiteral("2026/05/12 14:07:33"), QStringLiteral("TEMP"),
            600, 21.5f);
        log.AddPoint(0, 500000, QStringLiteral("MΩ"), 0, 1, QStringLiteral("2026/05/12 14:07:34"),
            QStringLiteral("OHM"), 60, 70.0f);
        QVERIFY(WriteExportXls(dir.filePath("e.xls"), log));
        QProcess p;
        p.start(soffice,
            { "--headless", "--infilter=Text - txt - csv (StarCalc):9,34,65535", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                "--outdir", dir.path(), dir.filePath("e.xls") });
        QVERIFY(p.waitForFinished(120000));
        QFile csv(dir.filePath("e.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(csv.readAll());
        QVERIFY2(text.contains(QStringLiteral("1,℃,21.5")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("2,MΩ,OL,OHM")), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestDatalogTexts)
#include "test_datalog_texts.moc"
