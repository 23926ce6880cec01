// The download progress window follows the controller: shown at the frame's centre with the
// range 0..10, moved by each stored record, gone at the end.
#include "OscFrames.h"
#include "protocol/FrameDispatcher.h"
#include "scope/OscController.h"
#include "scope/OscProgressDlg.h"

#include <QApplication>
#include <QDir>
#include <QProgressBar>
#include <QtTest>

class TestOscProgress : public QObject {
    Q_OBJECT
private slots:
    void followsTheDownload()
    {
        QWidget frame;
        frame.resize(800, 600);
        frame.move(100, 50);
        frame.show();
        HexText text;
        CFrameDispatcher dispatcher(text);
        COscController ctl(dispatcher, nullptr, [] { return true; });
        FollowOscProgress(&ctl, &frame);

        auto find = [&frame] { return frame.findChild<COSCProgress*>(); };
        QVERIFY(!find());
        ctl.OnDownloadOscLogger();
        COSCProgress* dlg = find();
        QVERIFY(dlg && dlg->isVisible());
        QCOMPARE(dlg->Bar()->minimum(), 0);
        QCOMPARE(dlg->Bar()->maximum(), 10);
        QCOMPARE(dlg->Bar()->value(), 0);
        QCOMPARE(dlg->pos(), frame.mapToGlobal(QPoint(400, 300)));

        for (int s = 1; s <= 6; ++s)
            ctl.OnOscFrame(OscFrameBuilder(s, 1));
        QCOMPARE(dlg->Bar()->value(), 6);
        const QString out = qEnvironmentVariable("METER_TEST_OUTPUT", QDir::tempPath());
        QDir().mkpath(out);
        dlg->grab().save(out + QStringLiteral("/osc-progress.png"));

        QPointer<COSCProgress> watch(dlg);
        for (int s = 7; s <= 10; ++s)
            ctl.OnOscFrame(OscFrameBuilder(s, 2));
        QTRY_VERIFY(!watch);
        QVERIFY(!ctl.Downloading());
    }
};

QTEST_MAIN(TestOscProgress)
#include "test_osc_progress.moc"
