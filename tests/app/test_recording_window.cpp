// Recording in the main window: Start and Stop with their enabling, readings reaching the
// document window's data list, a saved reading's own document ending the recording, the roll-over
// on a function change, closing a recording window, the crash journal and its restore offer.
#include "app/DocManager.h"
#include "app/ChildFrame.h"
#include "datalog/DataListModel.h"
#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelView.h"
#include "app/MainFrame.h"
#include "link/LinkController.h"
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingJournal.h"
#include "platform/MessageBox.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <csignal>

namespace {

MeterEvent Reading(float value, const char* function = "VDC")
{
    MeterEvent e;
    e.m_nMode = 1;
    e.m_data.m_strFunction = QLatin1String(function);
    e.m_data.m_strUnit = QLatin1String(function);
    e.m_data.m_fValue = value;
    e.m_data.m_fLimit = 6.0f;
    e.m_data.m_nDecimals = 3;
    e.m_strDate = QStringLiteral("5/12/26 9:3:7");
    return e;
}

// The views of the visible document windows, in the order they were opened.
QList<CMyOrvelView*> Windows(CMainFrame& frame)
{
    QList<CMyOrvelView*> out;
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* dw = qobject_cast<CChildFrame*>(w); dw && dw->isVisible())
            out << dw->view();
    }
    return out;
}

void Send(CMainFrame& frame, const MeterEvent& e)
{
    emit frame.protocol().Decoder().frameDecoded(e);
    QCoreApplication::processEvents();
}

QStringList JournalFiles(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("*.mjournal") }, QDir::Files);
}

} // namespace

class TestRecordingWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_journals;
    msgbox::Button m_answer = msgbox::No;
    QStringList m_boxes;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_dir.path());
        m_journals = m_dir.filePath(QStringLiteral("journal"));
        journal::OverrideDefaultFolder(m_journals);
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return m_answer;
        });
    }

    void startStopAndTheRecordingPaths()
    {
        CMainFrame frame;
        frame.show();
        QAction* start = frame.action(QStringLiteral("start"));
        QAction* stop = frame.action(QStringLiteral("stop"));
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());

        // Without meter data Start records nothing, and says why.
        start->trigger();
        QVERIFY(Windows(frame).isEmpty());
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().contains(QStringLiteral("No meter is connected")));
        m_boxes.clear();

        frame.links().Heard();
        start->trigger();
        QCOMPARE(Windows(frame).size(), 1);
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());
        for (float v : { 1.0f, 1.1f, 7.0f, 1.2f })
            Send(frame, Reading(v));
        CMyOrvelView* live = Windows(frame).first();
        CDataListModel* list = live->ListModel();
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(list->RowTexts(2).value(3), QStringLiteral("OL"));
        QCOMPARE(list->RowTexts(3).value(0), QStringLiteral("4"));
        QCOMPARE(live->GetDocument()->m_arrSeries[0].Size(), qsizetype(4));
        // The trend graph follows: the newest points were drawn one segment at a time.
        QCOMPARE(live->Graph()->Document(), live->GetDocument());
        // Every point is journalled while the recording runs.
        QCOMPARE(JournalFiles(m_journals).size(), 1);
        live->SelectTab(CMyOrvelView::TabList);
        const QString out = qEnvironmentVariable("METER_TEST_OUTPUT");
        if (!out.isEmpty())
            frame.grab().save(out + QStringLiteral("/recording-window.png"));

        // A saved reading ends the recording (Start and Stop follow) and opens its own document.
        MeterEvent saved = Reading(2.0f);
        saved.m_bSavedFrame = true;
        saved.m_nSavedKind = 1;
        Send(frame, saved);
        QCOMPARE(Windows(frame).size(), 2);
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(!live->IsLiveView());
        QVERIFY(Windows(frame)[1]->IsSavedTarget());
        Send(frame, saved);
        QCOMPARE(Windows(frame)[1]->GetDocument()->m_arrSeries[0].Size(), qsizetype(2));

        // Start again; the dial turns: the recording rolls over to a third document.
        start->trigger();
        QCOMPARE(Windows(frame).size(), 3);
        Send(frame, Reading(1.0f));
        Send(frame, Reading(230.0f, "VAC"));
        QCOMPARE(Windows(frame).size(), 4);
        QVERIFY(stop->isEnabled());
        Send(frame, Reading(231.0f, "VAC"));
        CMyOrvelView* vac = Windows(frame)[3];
        QCOMPARE(vac->GetDocument()->m_arrSeries[0].Type(0), QStringLiteral("VAC"));

        // Closing the recording window stops the recording first; No discards it and its journal.
        m_answer = msgbox::No;
        for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
            if (auto* dw = qobject_cast<CChildFrame*>(w); dw && dw->view() == vac)
                dw->close();
        }
        QTRY_COMPARE(Windows(frame).size(), 3);
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());

        // Saving a stopped recording removes its journal too.
        CMyOrvelDoc* first = live->GetDocument();
        frame.docManager()->SetFileChooser(
            [this](CDocManager::FileDialogKind, QWidget*, const QString&, const QString&, const QString&) {
                return m_dir.filePath(QStringLiteral("first.mLog"));
            });
        const int journalsBefore = JournalFiles(m_journals).size();
        QVERIFY(frame.docManager()->DoSave(first));
        QCOMPARE(JournalFiles(m_journals).size(), journalsBefore - 1);

        m_answer = msgbox::No;
        QVERIFY(frame.close());
        QTRY_VERIFY(JournalFiles(m_journals).isEmpty());
    }

    void unfinishedRecordingIsOfferedAtStart()
    {
        // A recording whose program died: its journal is left, unlocked.
        QString left;
        {
            CMyOrvelDoc doc;
            for (int i = 0; i < 3; ++i)
                doc.AddPoint(0, 1.0 + i, QStringLiteral("VDC"), 0.0, i, QStringLiteral("5/12/26 9:3:%1").arg(i),
                    QStringLiteral("VDC"), 6.0f);
            CJournalWriter w;
            QVERIFY(w.Open(m_journals));
            for (int i = 0; i < 3; ++i)
                QVERIFY(w.Append(doc.m_arrSeries[0], i));
            left = w.Path();
        }
        QCOMPARE(JournalFiles(m_journals).size(), 1);

        // No keeps the journal and says where it is.
        m_boxes.clear();
        m_answer = msgbox::No;
        {
            CMainFrame frame;
            frame.show();
            QTRY_COMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes.first().contains(QDir::toNativeSeparators(left)), qPrintable(m_boxes.first()));
            QVERIFY(Windows(frame).isEmpty());
            QVERIFY(frame.close());
        }
        QCOMPARE(JournalFiles(m_journals).size(), 1);

        // Yes makes a document of it; the journal goes only once that document is saved.
        m_boxes.clear();
        m_answer = msgbox::Yes;
        CMainFrame frame;
        frame.show();
        QTRY_COMPARE(Windows(frame).size(), 1);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes.first().contains(QLatin1String("3 readings of VDC")), qPrintable(m_boxes.first()));
        CMyOrvelDoc* doc = Windows(frame).first()->GetDocument();
        QCOMPARE(doc->m_arrSeries[0].Size(), qsizetype(3));
        QCOMPARE(doc->m_dMax, 3.0);
        QVERIFY(doc->IsModified());
        QVERIFY(!Windows(frame).first()->IsLiveView());
        QCOMPARE(JournalFiles(m_journals).size(), 1);
        QCOMPARE(frame.journals().HeldJournals(), QStringList({ left }));
        QVERIFY(journal::UnfinishedJournals(m_journals).isEmpty()); // held: no other process offers it
        frame.docManager()->SetFileChooser(
            [this](CDocManager::FileDialogKind, QWidget*, const QString&, const QString&, const QString&) {
                return m_dir.filePath(QStringLiteral("restored.mLog"));
            });
        QVERIFY(frame.docManager()->DoSave(doc));
        QVERIFY(JournalFiles(m_journals).isEmpty());
        m_answer = msgbox::No;
        QVERIFY(frame.close());
    }

    void damagedJournalIsKeptNotDiscarded()
    {
        // Every record of the journal is damaged: nothing to restore, and nothing deleted.
        QString left;
        {
            CMyOrvelDoc doc;
            doc.AddPoint(0, 1.0, QStringLiteral("VDC"), 0.0, 0, QStringLiteral("5/12/26 9:3:0"), QStringLiteral("VDC"),
                6.0f);
            CJournalWriter w;
            QVERIFY(w.Open(m_journals));
            QVERIFY(w.Append(doc.m_arrSeries[0], 0));
            left = w.Path();
        }
        QFile f(left);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(12 + 10));
        QVERIFY(f.putChar('\x7f'));
        f.close();
        m_boxes.clear();
        m_answer = msgbox::Ok;
        CMainFrame frame;
        frame.show();
        QTRY_COMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes.first().contains(QDir::toNativeSeparators(left)), qPrintable(m_boxes.first()));
        QVERIFY(Windows(frame).isEmpty());
        QVERIFY(QFile::exists(left));
        QVERIFY(frame.close());
        QFile::remove(left);
    }

    void windowProgramKilledMidRecordingKeepsItsJournal()
    {
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString folder = dir.filePath(QStringLiteral("multimeter/journal"));
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(MULTIMETER_PATH), { QStringLiteral("--demo"), QStringLiteral("--record") });
        QVERIFY(app.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!JournalFiles(folder).isEmpty()
                && QFileInfo(QDir(folder).filePath(JournalFiles(folder).first())).size() > 1000,
            20000);
        const QDateTime killedAt = QDateTime::currentDateTime();
        ::kill(pid_t(app.processId()), SIGKILL);
        QVERIFY(app.waitForFinished(5000));

        const QStringList left = journal::UnfinishedJournals(folder);
        QCOMPARE(left.size(), 1);
        CDataLog log;
        journal::ReadResult read;
        QVERIFY(journal::Read(left.first(), log, &read));
        QVERIFY(read.points >= 5);
        // The last point kept carries a time text within about a second of the kill.
        const QStringList parts = log.m_arrSeries[0].DateTime(read.points - 1).split(QLatin1Char(' '));
        QCOMPARE(parts.size(), 2);
        const QTime last = QTime::fromString(parts[1], QStringLiteral("H:m:s"));
        QVERIFY(last.isValid());
        const int behind = (last.secsTo(killedAt.time()) + 86400) % 86400;
        QVERIFY2(behind <= 2, qPrintable(parts[1] + " / " + killedAt.time().toString()));
    }
};

QTEST_MAIN(TestRecordingWindow)
#include "test_recording_window.moc"
