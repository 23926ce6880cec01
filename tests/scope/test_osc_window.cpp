// The "OSC" window, the store buttons and their glue: the FFT/return toggle, store buttons that
// open their record, deferred deletion, the export command's hand-over, and both printouts.
#include "OscSamples.h"
#include "link/HexText.h"
#include "platform/MessageBox.h"
#include "protocol/FrameDispatcher.h"
#include "scope/OscController.h"
#include "scope/OscDlg.h"
#include "scope/OscFile.h"
#include "scope/OscGraph.h"
#include "scope/OscList.h"
#include "scope/OscPrintLayout.h"
#include "scope/OscUi.h"
#include "scope/OscUiFiles.h"

#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString pdfText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf)
{
    // pdftotext separates pages with form feeds.
    return int(pdfText(pdf).count(QLatin1Char('\f')));
}

QString outputDir()
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
    QDir().mkpath(dir);
    return dir;
}

} // namespace

class TestOscWindow : public QObject {
    Q_OBJECT
private slots:
    void toggleOnlyForStatus3()
    {
        COSCDlg dlg;
        for (int status : { 1, 2, 4 }) {
            dlg.ShowRecord(osc_samples::Record(status), QStringLiteral("t"));
            dlg.OnToggle();
            QCOMPARE(dlg.ShownCount(), 300);
            QVERIFY(dlg.WaveShown());
            QCOMPARE(dlg.ToggleButton()->text(), QStringLiteral("FFT"));
            // Nothing to toggle to, and the button says why.
            QVERIFY(!dlg.ToggleButton()->isEnabled());
            QVERIFY(dlg.ToggleButton()->toolTip().contains(QStringLiteral("FFT")));
        }
        dlg.ShowRecord(osc_samples::Record(3), QStringLiteral("3 | x"));
        QCOMPARE(dlg.TitleBox()->text(), QStringLiteral("3 | x"));
        QVERIFY(dlg.ToggleButton()->isEnabled());
        dlg.ToggleButton()->click();
        QCOMPARE(dlg.ShownCount(), 120);
        QCOMPARE(dlg.ToggleButton()->text(), QStringLiteral("return"));
        QCOMPARE(dlg.Graph()->Model().YMax(), 200.0);
        dlg.ToggleButton()->click();
        QCOMPARE(dlg.ShownCount(), 300);
        QCOMPARE(dlg.ToggleButton()->text(), QStringLiteral("FFT"));
        // A new record always starts on its waveform.
        dlg.OnToggle();
        dlg.ShowRecord(osc_samples::Record(3), QStringLiteral("again"));
        QCOMPARE(dlg.ShownCount(), 300);
    }

    void readoutStaysAfterTheButtonIsReleased()
    {
        COSCDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.ShowRecord(osc_samples::Record(3, 9), QStringLiteral("t"));
        dlg.OnToggle();
        COSCGraph* g = dlg.Graph();
        const QPoint at(g->Model().XOf(12), 150);
        QTest::mousePress(g, Qt::RightButton, {}, at);
        const QString shown = dlg.Readout()->text();
        QVERIFY(shown.startsWith(QStringLiteral("NO.:12  Factor:")));
        QTest::mouseRelease(g, Qt::RightButton, {}, at);
        QCOMPARE(dlg.Readout()->text(), shown);
        QTest::mouseMove(g, QPoint(1, 1)); // out of the graph
        QCOMPARE(dlg.Readout()->text(), shown);
        // A new record starts without one.
        dlg.ShowRecord(osc_samples::Record(1), QStringLiteral("u"));
        QVERIFY(dlg.Readout()->text().isEmpty());
    }

    void storeButtonsOpenTheirRecordAndClosingDeletesLater()
    {
        HexText text;
        CFrameDispatcher dispatcher { text };
        COscController ctl(dispatcher, nullptr, [] { return true; });
        QWidget frame;
        COscUi ui(&ctl, &frame, { [] { return QRect(50, 60, 800, 600); }, {} });
        COSCList* list = ui.List();
        list->resize(300, 200);

        QTemporaryDir dir;
        osc::OscSlots set;
        set[2] = osc_samples::Record(2);
        set[4] = osc_samples::Record(3);
        const QString file = dir.filePath(QStringLiteral("all.osc"));
        QVERIFY(osc::Save(file, osc::AllSlotsFile(set)));
        ui.OpenOscFile(file); // as a file given on the command line opens
        QVERIFY(list->isVisible() || !list->isHidden());
        QCOMPARE(QString::fromLatin1(list->Button(2)->Look().word), QStringLiteral("REC"));
        QCOMPARE(QString::fromLatin1(list->Button(4)->Look().word), QStringLiteral("FFT"));
        QCOMPARE(QString::fromLatin1(list->Button(1)->Look().word), QStringLiteral("No store"));
        QVERIFY(list->Button(1)->text().isEmpty());

        list->Button(1)->click(); // empty: nothing
        QCoreApplication::processEvents();
        QVERIFY(!ui.Window());
        list->Button(4)->click();
        QVERIFY(!ui.Window()); // posted: the press ends first
        QCoreApplication::processEvents();
        QVERIFY(ui.Window());
        QVERIFY(ui.Window()->isVisible());
        QCOMPARE(ui.Window()->TitleBox()->text(), osc::StoredTitle(4, set[4].info));
        QCOMPARE(ui.Window()->geometry(), QRect(50, 60, 800, 600));
        QCOMPARE(ui.Window()->ToggleButton()->text(), QStringLiteral("FFT"));

        QPointer<COSCDlg> window = ui.Window();
        window->close();
        QCoreApplication::processEvents();
        QVERIFY(ui.Timer10Running());
        QVERIFY(window); // still there until timer 10
        ui.OnTimer10();
        QVERIFY(!window);
        QVERIFY(!ui.Window());
        QVERIFY(!ui.Timer10Running());

        // A window shown again before timer 10 is kept.
        list->Button(2)->click();
        QCoreApplication::processEvents();
        window = ui.Window();
        window->close();
        QCoreApplication::processEvents();
        list->Button(4)->click();
        QCoreApplication::processEvents();
        QVERIFY(!ui.Timer10Running());
        ui.OnTimer10();
        QVERIFY(window);
    }

    void exportHandsTheFileOverOrNamesIt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.xlsx"));
        QString proposed;
        osc_files::SetAskerForTesting([&](osc_files::Kind, const QString& p, const QString&) {
            proposed = p;
            return path;
        });
        QString opened;
        bool registered = true;
        osc_files::SetOpenerForTesting([&](const QString& p) {
            opened = p;
            return registered;
        });
        QStringList messages;
        msgbox::SetHandler([&](const msgbox::Request& r) {
            messages << r.text;
            return msgbox::Ok;
        });
        COSCDlg dlg;
        dlg.ShowRecord(osc_samples::Record(1), QStringLiteral("t"));
        dlg.OnExportToExcel();
        QVERIFY(proposed.endsWith(QStringLiteral(".xlsx")));
        QCOMPARE(opened, path);
        QVERIFY(QFile::exists(path));
        QVERIFY(messages.isEmpty());
        registered = false;
        dlg.OnExportToExcel();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(QDir::toNativeSeparators(path)));
        osc_files::SetAskerForTesting({});
        osc_files::SetOpenerForTesting({});
        msgbox::SetHandler({});
    }

    void printoutsToPdf()
    {
        COSCDlg dlg;
        dlg.ShowRecord(osc_samples::Record(3, 9), QStringLiteral("3 | t"));
        const QDateTime now(QDate(2026, 12, 7), QTime(10, 11, 12));
        auto pdfPrinter = [](QPrinter& printer, const QString& path) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
        };
        const QString graph = outputDir() + QStringLiteral("/osc-print-graph.pdf");
        {
            QPrinter printer(QPrinter::HighResolution);
            pdfPrinter(printer, graph);
            dlg.PrintGraph(printer, now);
        }
        const QString g = pdfText(graph);
        QCOMPARE(pdfPages(graph), 1);
        for (const char* want : { "Graph", "7/12/2026 10:11:12", "Date Time:", "09:05:03", "Voo:",
                 "Vp-p:", "Sample Rate:", "Status:", "FFT", "Trigger:", "UP" })
            QVERIFY2(g.contains(QLatin1String(want)), want);

        for (bool spectrum : { false, true }) {
            if (spectrum)
                dlg.OnToggle();
            const QString data = outputDir() + QStringLiteral("/osc-print-data-%1.pdf").arg(spectrum ? "fft" : "wave");
            QPrinter printer(QPrinter::HighResolution);
            pdfPrinter(printer, data);
            dlg.PrintData(printer, now);
            const QString t = pdfText(data);
            const int pages = pdfPages(data);
            // Two pages with the fonts of a bare system; a system with other fonts may set fewer rows
            // to a page.
            QVERIFY(pages >= 1 && pages <= 3);
            QCOMPARE(int(t.count(QStringLiteral("Data Table"))), pages);
            QCOMPARE(int(t.count(QRegularExpression(QStringLiteral("Time: 2026-12-7\\s+10:11:12")))), pages);
            QVERIFY(t.contains(QStringLiteral("Page -%1-").arg(pages)));
            QCOMPARE(t.contains(QStringLiteral("Frequency")), spectrum);
            if (spectrum) {
                QVERIFY(t.contains(QStringLiteral("0.0KHz")));
                QVERIFY(t.contains(QStringLiteral("119.0KHz"))); // bin 119, 10 a bin, in tenths of a kHz
            } else {
                QVERIFY(t.contains(QStringLiteral("\n")));
                QVERIFY(QRegularExpression(QStringLiteral("\\b300\\s+-?\\d+\\.\\d\\d\\b")).match(t).hasMatch());
            }
        }
    }

    void dataTableLayout()
    {
        const OSCData d = osc_samples::Record(3, 18);
        const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5));
        const QVector<PrintPage> pages = osc_print::DataPages(d.info, d.fSpectrum.data(), 120, 1300, 1000, 20, now);
        QCOMPARE(osc_print::RowsPerPage(1000, 20), 46);
        // Every row once, in columns across the page's width: two pages, not three.
        QSet<int> rows, columns;
        for (const PrintPage& p : pages) {
            for (const PrintText& t : p.texts) {
                QVERIFY(t.pos.y() + 20 <= 1000);
                bool number = false;
                const int row = t.text.toInt(&number);
                if (number && row > 0) {
                    QVERIFY(!rows.contains(row));
                    rows << row;
                    columns << t.pos.x();
                }
            }
        }
        QCOMPARE(rows.size(), 120);
        QCOMPARE(pages.size(), 2);
        QVERIFY(columns.size() >= 2);
    }
};

QTEST_MAIN(TestOscWindow)
#include "test_osc_window.moc"
