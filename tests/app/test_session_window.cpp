// Alarms in the main window: a meter whose reading leaves its limits turns its panel red, the
// event goes into the recording as a marked row, and both end when the reading is back; the
// Alarms dialog refuses what it cannot take and stores what it takes for the meter.
#include "app/AlarmDlg.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "app/SessionUi.h"
#include "datalog/DataListModel.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"
#include "display/DerivedPanel.h"
#include "display/LeftDlg.h"
#include "link/LinkController.h"
#include "platform/MessageBox.h"
#include "protocol/MeterProtocol.h"
#include "recording/RecordingJournal.h"
#include "session/AlarmSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

MeterEvent Reading(float value)
{
    MeterEvent e;
    e.m_nMode = 1;
    e.m_data.m_strFunction = QStringLiteral("VDC");
    e.m_data.m_strUnit = QStringLiteral("VDC");
    e.m_data.m_fValue = value;
    e.m_data.m_fLimit = 50.0f;
    e.m_data.m_nDecimals = 3;
    e.m_strDate = QStringLiteral("2026/12/07 15:30:01");
    return e;
}

void Send(CMainFrame& frame, const MeterEvent& e)
{
    emit frame.protocol().Decoder().frameDecoded(e);
    QCoreApplication::processEvents();
}

// Whether the panel shows red at its left edge, halfway down (the alarm border).
bool EdgeIsRed(CLeftDlg* panel)
{
    const QImage image = panel->grab().toImage();
    const QColor c = image.pixelColor(3, image.height() / 2);
    return c.red() > 180 && c.green() < 60 && c.blue() < 60;
}

CMyOrvelView* FirstView(CMainFrame& frame)
{
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* dw = qobject_cast<CChildFrame*>(w))
            return dw->view();
    }
    return nullptr;
}

LiveReading At(int meter, double seconds, double value, const char* unit)
{
    LiveReading r;
    r.meter = meter;
    r.value = value;
    r.unit = QLatin1String(unit);
    r.time = QDateTime(QDate(2026, 12, 7), QTime(15, 0, 0)).addMSecs(qint64(seconds * 1000));
    return r;
}

} // namespace

class TestSessionWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_dir.path());
        journal::OverrideDefaultFolder(m_dir.filePath(QStringLiteral("journal")));
        msgbox::SetHandler([](const msgbox::Request&) { return msgbox::No; });
    }

    void alarmTurnsThePanelRedAndMarksTheRecording()
    {
        CMainFrame frame;
        // Meter 1 has no address yet (nothing connected): its settings are in the plain section.
        MeterAlarmSettings limits;
        limits.limits.low = 11.5;
        limits.limits.high = 14.0;
        limits.limits.hysteresis = 0.2;
        limits.sound = false;
        CAlarmSettings(frame.settings().FilePath()).Write(QString(), limits);
        frame.show();
        CLeftDlg* panel = frame.leftDlg();
        frame.links().Heard();
        frame.action(QStringLiteral("start"))->trigger();
        CMyOrvelView* view = FirstView(frame);
        QVERIFY(view);

        Send(frame, Reading(12.0f));
        QVERIFY(!panel->IsAlarmOn());
        QVERIFY(!EdgeIsRed(panel));
        Send(frame, Reading(11.43f));
        QVERIFY(panel->IsAlarmOn());
        QVERIFY(EdgeIsRed(panel));
        QVERIFY(frame.statusText().contains(QLatin1String("ALARM low 11.43")));
        Send(frame, Reading(11.6f)); // inside, but not by the hysteresis
        QVERIFY(panel->IsAlarmOn());
        Send(frame, Reading(11.8f));
        QVERIFY(!panel->IsAlarmOn());
        QVERIFY(!EdgeIsRed(panel));

        // The recording: four readings, and the two marked rows after the readings that made them.
        const CMyOrvelDoc* doc = view->GetDocument();
        QCOMPARE(doc->m_arrSeries[0].Size(), qsizetype(4));
        const CDataListModel* list = view->ListModel();
        QCOMPARE(list->rowCount(), 6);
        const QStringList raised = list->RowTexts(2);
        QCOMPARE(raised.at(CDataListModel::ColType), QStringLiteral("ALARM low"));
        QCOMPARE(raised.at(CDataListModel::ColUnit), QStringLiteral("VDC"));
        QCOMPARE(raised.at(CDataListModel::ColValue), QStringLiteral("11.4300"));
        QCOMPARE(list->RowTexts(5).at(CDataListModel::ColType), QStringLiteral("ALARM cleared"));

        // Over range (the LCD shows OL) neither raises nor clears.
        Send(frame, Reading(60.0f));
        QVERIFY(!panel->IsAlarmOn());
        frame.action(QStringLiteral("stop"))->trigger();
    }

    void alarmDialogRefusesBadFieldsAndStoresGoodOnes()
    {
        CMainFrame frame;
        CAlarmSettings(frame.settings().FilePath()).Write(QString(), MeterAlarmSettings()); // none yet
        frame.show();
        Send(frame, Reading(5.0f)); // the unit shown is offered for new limits
        frame.action(QStringLiteral("alarms"))->trigger();
        auto* dlg = qobject_cast<CAlarmDlg*>(frame.sessionUi()->AlarmDialog());
        QVERIFY(dlg);
        auto edit = [dlg](const char* name) { return dlg->findChild<QLineEdit*>(QLatin1String(name)); };
        auto* problem = dlg->findChild<QLabel*>(QStringLiteral("problem"));
        QCOMPARE(edit("unit")->text(), QStringLiteral("VDC"));

        edit("low")->setText(QStringLiteral("abc"));
        dlg->accept();
        QVERIFY(dlg->isVisible());
        QCOMPARE(problem->text(), QStringLiteral("The low limit is not a number."));
        edit("low")->setText(QStringLiteral("6"));
        edit("high")->setText(QStringLiteral("4"));
        QCOMPARE(problem->text(), QStringLiteral("The low limit must be below the high limit."));
        dlg->accept();
        QVERIFY(dlg->isVisible());

        edit("low")->setText(QStringLiteral("4.5"));
        edit("high")->setText(QStringLiteral("6"));
        edit("hysteresis")->setText(QStringLiteral("0.1"));
        edit("program")->setText(QStringLiteral("/bin/true"));
        edit("arguments")->setText(QStringLiteral("-x \"a b\""));
        dlg->findChild<QCheckBox*>(QStringLiteral("sound"))->setChecked(false);
        QVERIFY(problem->text().isEmpty());
        dlg->accept();
        QTRY_VERIFY(!frame.sessionUi()->AlarmDialog());

        const MeterAlarmSettings stored = CAlarmSettings(frame.settings().FilePath()).Read(QString());
        QCOMPARE(*stored.limits.low, 4.5);
        QCOMPARE(*stored.limits.high, 6.0);
        QCOMPARE(stored.limits.hysteresis, 0.1);
        QCOMPARE(stored.unit, QStringLiteral("VDC"));
        QCOMPARE(stored.arguments, (QStringList { QStringLiteral("-x"), QStringLiteral("a b") }));
        QVERIFY(!stored.sound);
        // Taken at once: the next reading below the new low limit raises the alarm.
        Send(frame, Reading(4.0f));
        QVERIFY(frame.leftDlg()->IsAlarmOn());
    }

    void derivedReadingsShowInTheirPaneAndRecordTheirOwnDocument()
    {
        CMainFrame frame;
        frame.show();
        auto* dock = frame.findChild<QDockWidget*>(QStringLiteral("DerivedPane"));
        QVERIFY(dock);
        QVERIFY(!dock->isVisible()); // one meter: nothing to show, out of the way
        CSessionUi* session = frame.sessionUi();
        frame.links().Heard();
        frame.action(QStringLiteral("start"))->trigger();
        const int documents = frame.mdiArea()->subWindowList().size();

        session->OnReading(At(0, 0, 12.0, "VDC"));
        session->OnReading(At(1, 0, 2500, "mADC"));
        QTRY_VERIFY(dock->isVisible());
        const QStringList texts = session->DerivedPanel()->Texts();
        QCOMPARE(texts.at(0), QStringLiteral("30.000 W"));
        QCOMPARE(texts.at(3), QStringLiteral("meter 1 (V) \u00d7 meter 2 (A)"));
        for (double t : { 2.0, 4.0, 6.0 }) // meter 2 falls silent
            session->OnReading(At(0, t, 12.0, "VDC"));
        QCOMPARE(session->DerivedPanel()->Texts().at(3), QStringLiteral("integration stopped: gap in meter 2's readings"));
        session->OnReading(At(1, 7, 2500, "mADC"));
        session->OnReading(At(0, 9, 12.0, "VDC")); // 4 s + 2 s at 30 W = 180 Ws
        QCOMPARE(session->DerivedPanel()->Texts().at(1), QStringLiteral("0.0500 Wh"));

        // The power went into a document of its own, which takes no meter readings.
        QCOMPARE(frame.mdiArea()->subWindowList().size(), documents + 1);
        CMyOrvelDoc* power = session->DerivedRecorder().Document();
        QVERIFY(power);
        QCOMPARE(power->m_arrSeries[0].Size(), qsizetype(6)); // 30 W at 0, 2, 4 s, the gap, 7, 9 s
        QVERIFY(power->m_arrSeries[0].IsNull(3));
        // Meter 1's frame goes to its own recording (and, read now, is a gap for the power).
        Send(frame, Reading(12.0f));
        for (qsizetype i = 0; i < power->m_arrSeries[0].Size(); ++i)
            QVERIFY(power->m_arrSeries[0].IsNull(i) || power->m_arrSeries[0].Unit(i) == QLatin1String("W"));
        QCOMPARE(FirstView(frame)->GetDocument()->m_arrSeries[0].Size(), qsizetype(1));
        frame.action(QStringLiteral("stop"))->trigger();
        QCOMPARE(power->m_arrSeries[1].Size(), qsizetype(2)); // the energy and the charge
        QCOMPARE(power->m_arrSeries[1].Type(0), QStringLiteral("Energy"));
        QCOMPARE(power->m_arrSeries[1].Value(0) * 3600, 180.0);
        QVERIFY(!session->DerivedRecorder().Document());

        // A picture of the pane for a person to look at.
        const QString out = qEnvironmentVariable("METER_TEST_OUTPUT");
        if (!out.isEmpty())
            session->DerivedPanel()->grab().save(out + QStringLiteral("/derived-panel.png"));
    }
};

QTEST_MAIN(TestSessionWindow)
#include "test_session_window.moc"
