// The logger download as a person meets it: the Logger List page, the progress window, the
// "DataLogger" document of an activated row, the bad-date message, the chooser, and the whole
// path over metersim's pseudo-terminal, including a transfer that stalls.
#include "app/DocManager.h"
#include "app/MainFrame.h"
#include "app/ChildFrame.h"
#include "datalog/DataListModel.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "display/LeftDlg.h"
#include "link/BleScanDlg.h"
#include "platform/MessageBox.h"
#include "logger/LoggerDownload.h"
#include "logger/LoggerList.h"
#include "logger/LoggerUi.h"
#include "protocol/MeterProtocol.h"
#include "logger/LoggerProgressDlg.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

Q_DECLARE_METATYPE(LoggerProgress)

namespace {

void saveArtefact(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name);
}

LoggerListData Entry(int address, int points)
{
    LoggerListData e;
    e.m_strFunction = QStringLiteral("VDC");
    e.m_strTime = QStringLiteral("05-12-2026, 09 03 07");
    e.m_nPoints = points;
    e.m_nSampleRate = 2;
    e.m_nAddress = address;
    return e;
}

// metersim behind its pseudo-terminal, for one test.
struct Metersim {
    QProcess process;
    QString pty;
    bool Start(const QStringList& args)
    {
        process.start(QStringLiteral(METERSIM_PATH), args);
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000))
            return false;
        pty = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !pty.isEmpty();
    }
    ~Metersim()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Connects the main window to the meter behind `port` through the Scan Device dialog.
bool Connect(CMainFrame& frame, const QString& port)
{
    frame.OnConnectBle();
    CBleScan* dlg = frame.scanDialog();
    dlg->portEdit()->setText(port);
    dlg->scanButton()->click();
    if (!QTest::qWaitFor([&] { return dlg->deviceList()->rowCount() >= 1; }, 5000))
        return false;
    dlg->deviceList()->selectRow(0);
    dlg->connectButton()->click();
    return QTest::qWaitFor([&] { return frame.leftDlg()->DisplayMode() == 1; }, 5000);
}

QString StatusText(CMainFrame& frame)
{
    const QList<QLabel*> labels = frame.statusBar()->findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.first()->text();
}

} // namespace

class TestLoggerWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_settingsDir;
    QStringList m_boxes;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<LoggerProgress>();
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_settingsDir.path());
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.caption + QLatin1Char('|') + r.text;
            return msgbox::Ok;
        });
    }
    void init() { m_boxes.clear(); }

    void listRowsAndTheirActivation()
    {
        CLoggerList list;
        QCOMPARE(list.Tree()->headerItem()->text(0), QStringLiteral("Funtion"));
        QCOMPARE(list.Tree()->headerItem()->text(3), QStringLiteral("SampleRate(sec.)"));
        list.AddRecord(Entry(3, 3200));
        list.AddRecord(Entry(12, 5));
        QCOMPARE(list.RowCount(), 2);
        QSignalSpy activated(&list, &CLoggerList::recordActivated);
        emit list.Tree()->itemActivated(list.Tree()->topLevelItem(1), 0);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated[0][0].toInt(), 12);
        list.Clear();
        QCOMPARE(list.RowCount(), 0);
    }

    void chooserWantsARow()
    {
        CDataLogSheet sheet({ Entry(1, 10), Entry(2, 20) });
        QCOMPARE(sheet.Tree()->columnWidth(1), 130);
        sheet.accept();
        QCOMPARE(m_boxes, QStringList({ "Tip|Please select an item!" }));
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        sheet.Tree()->setCurrentItem(sheet.Tree()->topLevelItem(1));
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(sheet.SelectedAddress(), 2);
    }

    void progressWindowShowsRecordsAndBlocks()
    {
        CWaitDlg dlg;
        LoggerProgress p;
        p.visible = true;
        p.records = 5;
        p.recordsDone = 2;
        p.blocks = 32;
        p.blocksDone = 8;
        dlg.SetProgress(p);
        dlg.show();
        QCOMPARE(dlg.RecordsBar()->maximum(), 5);
        QCOMPARE(dlg.RecordsBar()->value(), 2);
        QCOMPARE(dlg.BlocksBar()->value(), 8);
        saveArtefact(&dlg, QStringLiteral("logger-progress.png"));
        p.records = 0; // an unasked record: only its blocks
        dlg.SetProgress(p);
        QVERIFY(dlg.RecordsBar()->isHidden());
    }

    void downloadOverMetersimsPseudoTerminal()
    {
        Metersim sim;
        QVERIFY(sim.Start({}));
        CMainFrame frame;
        frame.resize(1200, 800);
        frame.show();
        QVERIFY(Connect(frame, sim.pty));

        CLoggerDownload* dl = frame.loggerDownload();
        QSignalSpy progress(dl, &CLoggerDownload::progressChanged);
        QSignalSpy finished(dl, &CLoggerDownload::finished);
        frame.action(QStringLiteral("downloadLogger"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(frame.loggerUi()->WaitDlg() != nullptr, 5000);
        saveArtefact(&frame, QStringLiteral("logger-downloading.png"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(finished[0][0].toBool(), true);
        QVERIFY(frame.loggerUi()->WaitDlg() == nullptr);

        // five records, fetched from the last entry to the first
        CLoggerList* list = frame.loggerUi()->List();
        QCOMPARE(list->RowCount(), 5);
        QCOMPARE(list->Tree()->topLevelItem(0)->text(4), QStringLiteral("5"));
        QCOMPARE(list->Tree()->topLevelItem(4)->text(4), QStringLiteral("1"));
        QCOMPARE(list->Tree()->topLevelItem(2)->text(2), QStringLiteral("3200"));
        QCOMPARE(frame.pages()->currentWidget(), static_cast<QWidget*>(list));
        QVERIFY(StatusText(frame).contains(QStringLiteral("5 record")));
        // the record with the unset clock said so once
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.count(), 1, 2000);
        QCOMPARE(m_boxes[0], QStringLiteral("error|The datatime is wrong, Please check and change!"));

        // activating a row shows its record in the "DataLogger" document, and the next row reuses it
        emit list->Tree()->itemActivated(list->Tree()->topLevelItem(4), 0);
        CMyOrvelDoc* doc = frame.loggerUi()->LoggerDocument();
        QVERIFY(doc);
        QCOMPARE(doc->GetTitle(), QStringLiteral("DataLogger"));
        QCOMPARE(doc->m_arrSeries[0].Size(), qsizetype(120));
        QCOMPARE(doc->m_arrSeries[0].Type(0), QStringLiteral("HZ"));
        QCOMPARE(doc->m_strStartTime, QStringLiteral("5/12/2026 9:3:7"));
        QVERIFY(!doc->m_bLive);
        // its view lists every reading by the downloaded list's rules and records nothing live
        CMyOrvelView* view = nullptr;
        for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
            if (auto* child = qobject_cast<CChildFrame*>(w); child && child->document() == doc)
                view = child->view();
        }
        QVERIFY(view);
        QVERIFY(!view->m_bLiveView);
        QCOMPARE(view->ListModel()->rowCount(), 120);
        emit list->Tree()->itemActivated(list->Tree()->topLevelItem(2), 0);
        QCOMPARE(frame.loggerUi()->LoggerDocument(), doc);
        QCOMPARE(doc->m_nDataNumber, 3200);
        QCOMPARE(frame.docManager()->Documents().size(), 1);
        saveArtefact(&frame, QStringLiteral("logger-document.png"));

        // live readings carry on after the download
        QSignalSpy live(&frame.protocol().Decoder(), &CLiveDecoder::frameDecoded);
        QTRY_VERIFY_WITH_TIMEOUT(live.count() >= 2, 3000);
        frame.close();
    }

    void stalledTransferIsAbandonedAndTheProgramGoesOn()
    {
        Metersim sim;
        QVERIFY(sim.Start({ "--logger-fault-record", "3", "--logger-wrong-block", "3" }));
        CMainFrame frame;
        frame.show();
        QVERIFY(Connect(frame, sim.pty));
        CLoggerDownload* dl = frame.loggerDownload();
        QSignalSpy finished(dl, &CLoggerDownload::finished);
        frame.action(QStringLiteral("downloadLogger"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QCOMPARE(finished[0][0].toBool(), false);
        QVERIFY(frame.loggerUi()->WaitDlg() == nullptr);
        QCOMPARE(frame.loggerUi()->List()->RowCount(), 2); // the records that came whole
        QCOMPARE(StatusText(frame), QStringLiteral("Logger download stopped: block 3 of record 3 came numbered 4"));
        QSignalSpy live(&frame.protocol().Decoder(), &CLiveDecoder::frameDecoded);
        QTRY_VERIFY_WITH_TIMEOUT(live.count() >= 2, 3000);

        // and a new download runs from the start
        QSignalSpy again(dl, &CLoggerDownload::listReceived);
        frame.action(QStringLiteral("downloadLogger"))->trigger();
        QCOMPARE(frame.loggerUi()->List()->RowCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 5000);
        frame.close();
    }
};

QTEST_MAIN(TestLoggerWindow)
#include "test_logger_window.moc"
