// The oscilloscope as a person meets it in the main window: the simulated meter switched to its
// oscilloscope covers the display with the store buttons; "Get OSC Current Data" opens the "OSC"
// window; "Download OSC Logger" fills the buttons; a button opens its record; the window goes
// half a second after it is closed.
#include "app/MainFrame.h"
#include "display/LeftDlg.h"
#include "platform/MessageBox.h"
#include "link/PortSettings.h"
#include "scope/OscController.h"
#include "scope/OscDlg.h"
#include "scope/OscList.h"
#include "scope/OscUi.h"
#include "sim/SimSerialPort.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestOscMainFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        CPortSettings::OverrideDefaultFolder(m_settingsDir.path());
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r.text;
            return msgbox::Ok;
        });
        sim::RegisterSimPort();
    }

    void menuCommandsExist()
    {
        CMainFrame frame;
        const QStringList wanted { "Get OSC Current Data", "Download OSC Logger", "Save OSC Data", "Open OSC..." };
        QStringList found;
        for (QAction* top : frame.menuBar()->actions()) {
            if (top->menu()) {
                for (QAction* a : top->menu()->actions())
                    found << a->text();
            }
        }
        for (const QString& w : wanted)
            QVERIFY2(found.contains(w), qPrintable(w));
        // Nothing to save yet: said, no file dialog.
        frame.action(QStringLiteral("saveOsc"))->trigger();
        QCOMPARE(m_boxes, QStringList { QStringLiteral("No Osc data to save!") });
        // Not in the oscilloscope mode: the requests do nothing.
        QVERIFY(!frame.oscController()->OnGetOscCurrentData());
    }

    void liveOscilloscopeThroughTheSimulatedMeter()
    {
        auto simulator = sim::ResetSharedSimulator();
        CMainFrame frame;
        frame.resize(1200, 800);
        frame.show();
        frame.StartDemo();
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), 1, 10000);
        // The demo's own switch puts the simulated meter into its oscilloscope.
        QAction* oscMode = frame.action(QStringLiteral("demoOscMode"));
        QVERIFY(oscMode);
        oscMode->trigger();
        bool inOsc = false;
        simulator->WithEngine([&](sim::CSimEngine& e) { inOsc = e.OscMode(); });
        QVERIFY(inOsc);
        QTRY_COMPARE_WITH_TIMEOUT(frame.leftDlg()->DisplayMode(), CLeftDlg::kModeOscilloscope, 5000);
        COSCList* list = frame.oscUi()->List();
        QVERIFY(list->isVisible());
        QCOMPARE(list->parentWidget(), frame.leftDlg());
        QCOMPARE(list->geometry(), frame.leftDlg()->ScaledFrame());

        // The demo asks for the current waveform by itself.
        QTRY_VERIFY_WITH_TIMEOUT(frame.oscUi()->Window() && frame.oscUi()->Window()->isVisible(), 5000);
        COSCDlg* window = frame.oscUi()->Window();
        QVERIFY(window->TitleBox()->text().startsWith(QStringLiteral("0 ")));
        QCOMPARE(window->ShownCount(), 300);
        if (const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT"); !dir.isEmpty()) {
            frame.grab().save(dir + QStringLiteral("/osc-main-window.png"));
            window->grab().save(dir + QStringLiteral("/osc-live-window.png"));
        }

        // Live: the waveform follows the meter's screen, the window stays where the user put it.
        window->move(window->pos() + QPoint(40, 30));
        const QRect moved = window->geometry();
        const float firstSample = window->m_data.fWave[0];
        frame.action(QStringLiteral("demoOscLive"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(window->m_data.fWave[0] != firstSample, 5000);
        QCOMPARE(window->geometry(), moved);
        QVERIFY(window->TitleBox()->text().startsWith(QStringLiteral("0 ")));
        frame.action(QStringLiteral("demoOscLive"))->trigger();

        frame.action(QStringLiteral("downloadOsc"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.oscController()->Downloading() && frame.oscController()->Slot(1).bValid, 15000);
        int valid = 0;
        for (int s = 1; s <= 10; ++s) {
            if (frame.oscController()->Slot(s).bValid) {
                valid = s;
                QCOMPARE(list->Button(s)->Look().status, frame.oscController()->Slot(s).info.nStatus);
            }
        }
        QVERIFY(valid > 0);
        list->Button(valid)->click();
        QTRY_VERIFY(frame.oscUi()->Window()->TitleBox()->text().startsWith(QStringLiteral("%1 | ").arg(valid)));

        QPointer<COSCDlg> w = frame.oscUi()->Window();
        w->close();
        QTRY_VERIFY_WITH_TIMEOUT(!w, 3000); // timer 10
        QVERIFY(!frame.oscUi()->Window());
        frame.close();
    }

private:
    QTemporaryDir m_settingsDir;
    QStringList m_boxes;
};

QTEST_MAIN(TestOscMainFrame)
#include "test_osc_mainframe.moc"
