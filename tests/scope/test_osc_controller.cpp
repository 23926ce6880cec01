// The oscilloscope controller: requests and their guard, the download with its progress and
// watchdog, frames arriving through the dispatcher from another thread, store buttons and files.
#include "OscFrames.h"
#include "link/HexText.h"
#include "protocol/FrameDispatcher.h"
#include "scope/OscController.h"
#include "scope/OscFile.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <thread>

namespace {

struct Rig {
    // Attached: the controller takes the dispatcher's records, as in the program.
    enum Hook { Detached, Attached };

    explicit Rig(Hook hook = Detached)
        : dispatcher(text, {}, [this, hook](CFrameDispatcher& d, FrameDispatcherHooks& h) {
            scope = std::make_unique<COscController>(
                d,
                [this](const uint8_t* b, int n) {
                    sent.push_back(BytesToHex(b, static_cast<size_t>(n)));
                    return true;
                },
                [this] { return allowed; });
            if (hook == Attached)
                scope->AttachTo(h);
        })
    {
    }

    HexText text;
    std::vector<std::string> sent;
    bool allowed = true;
    std::unique_ptr<COscController> scope;
    CFrameDispatcher dispatcher;
    COscController& ctl = *scope;

    // Feeds a frame's text in notifications of 20 bytes, running the dispatcher after each.
    void Notify(const std::string& hex)
    {
        for (size_t i = 0; i < hex.size(); i += 40) {
            text.appendText(hex.substr(i, 40));
            dispatcher.MeterFrameDispatcher();
        }
    }
};

} // namespace

class TestOscController : public QObject {
    Q_OBJECT
private slots:
    void requestsNeedTheGuard()
    {
        Rig rig;
        rig.allowed = false;
        QVERIFY(!rig.ctl.OnGetOscCurrentData());
        QVERIFY(!rig.ctl.OnDownloadOscLogger());
        QVERIFY(rig.sent.empty());
        QVERIFY(!rig.ctl.Downloading() && !rig.ctl.ProgressShown() && !rig.ctl.WatchdogRunning());
        rig.allowed = true;
        QVERIFY(rig.ctl.OnGetOscCurrentData());
        QCOMPARE(rig.sent, std::vector<std::string>({ "b09800b1" }));
    }

    void currentFrameGoesToTheWindow()
    {
        Rig rig;
        QSignalSpy show(&rig.ctl, &COscController::recordToShow);
        rig.ctl.OnOscFrame(OscFrameBuilder(0, 1, 4, 7).byte(80, 160));
        QCOMPARE(show.count(), 1);
        QCOMPARE(show[0][1].toString(), QStringLiteral("0 03/05/2024 10:07:09"));
        const OSCData shown = show[0][0].value<OSCData>();
        QVERIFY(shown == rig.ctl.Slot(0));
        QCOMPARE(shown.fWave[0], 1.0f);
        QCOMPARE(shown.nID, 0);
        QVERIFY(!rig.ctl.CanSaveOscData()); // slot 0 alone is nothing to save
    }

    void downloadCompletesOnSlotTen()
    {
        Rig rig;
        rig.ctl.OnOscFrame(OscFrameBuilder(3, 2)); // an old stored record
        QSignalSpy progress(&rig.ctl, &COscController::progressChanged);
        QSignalSpy messages(&rig.ctl, &COscController::messageDue);
        QSignalSpy looks(&rig.ctl, &COscController::storeLookChanged);
        QVERIFY(rig.ctl.OnDownloadOscLogger());
        QCOMPARE(rig.sent, std::vector<std::string>({ "b09700b1" }));
        QVERIFY(!rig.ctl.Slot(3).bValid);
        QCOMPARE(rig.ctl.Slot(3).info.nStatus, 0);
        QCOMPARE(looks.count(), 10); // all ten buttons back to the empty look
        QCOMPARE(QString::fromLatin1(looks[2][1].value<osc::OscStoreLook>().word), QStringLiteral("No store"));
        QVERIFY(rig.ctl.Downloading() && rig.dispatcher.m_bOscActive && rig.ctl.WatchdogRunning());
        QVERIFY(rig.ctl.ProgressShown());
        QCOMPARE(rig.ctl.ProgressPosition(), 0);

        looks.clear();
        const int statuses[] = { 1, 2, 3, 4, 1, 2, 3, 4, 1, 2 };
        for (int s = 1; s <= 9; ++s) {
            rig.ctl.OnOscFrame(OscFrameBuilder(s, statuses[s - 1]));
            QCOMPARE(rig.ctl.ProgressPosition(), s);
            QCOMPARE(rig.ctl.Slot(s).nID, s);
        }
        QCOMPARE(looks.count(), 9);
        const osc::OscStoreLook fft = looks[2][1].value<osc::OscStoreLook>();
        QCOMPARE(fft.slot, 3);
        QCOMPARE(fft.bitmapId, 253);
        QCOMPARE(QString::fromLatin1(fft.word), QStringLiteral("FFT"));
        QVERIFY(rig.ctl.Downloading());

        rig.ctl.OnOscFrame(OscFrameBuilder(10, 2));
        QVERIFY(!rig.ctl.Downloading() && !rig.ctl.ProgressShown() && !rig.ctl.WatchdogRunning());
        QVERIFY(!rig.dispatcher.m_bOscActive);
        QCOMPARE(progress.last()[0].toBool(), false);
        QVERIFY(rig.ctl.CanSaveOscData());
        QCOMPARE(rig.ctl.StoreLookOf(4).bitmapId, 296); // Single
        QCOMPARE(rig.ctl.StoreLookOf(10).bitmapId, 290); // REC
        QCOMPARE(messages.count(), 0); // all ten came
    }

    void shortDownloadSaysWhichWaveformsAreMissing()
    {
        // Damaged records are dropped on the way; the last one still ends the download.
        Rig rig;
        QSignalSpy messages(&rig.ctl, &COscController::messageDue);
        rig.ctl.OnDownloadOscLogger();
        for (int s : { 1, 2, 3, 5, 6, 8, 9, 10 })
            rig.ctl.OnOscFrame(OscFrameBuilder(s, 1));
        QVERIFY(!rig.ctl.Downloading());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0][0].toString(), QStringLiteral("8 of the 10 stored waveforms arrived; missing: 4, 7."));

        // A current waveform afterwards, or a later stored record, says nothing more.
        rig.ctl.OnOscFrame(OscFrameBuilder(0, 1));
        rig.ctl.OnOscFrame(OscFrameBuilder(10, 1));
        QCOMPARE(messages.count(), 1);

        // The next download starts counting afresh.
        rig.ctl.OnDownloadOscLogger();
        rig.ctl.OnOscFrame(OscFrameBuilder(10, 1));
        QCOMPARE(messages.last()[0].toString(),
            QStringLiteral("1 of the 10 stored waveforms arrived; missing: 1, 2, 3, 4, 5, 6, 7, 8, 9."));
    }

    void stalledDownloadEndsByTheWatchdog()
    {
        Rig rig;
        QSignalSpy pane(&rig.ctl, &COscController::storePaneRequested);
        QSignalSpy progress(&rig.ctl, &COscController::progressChanged);
        QSignalSpy messages(&rig.ctl, &COscController::messageDue);
        rig.ctl.OnDownloadOscLogger();
        rig.ctl.OnOscFrame(OscFrameBuilder(1, 1));
        rig.ctl.OnOscFrame(OscFrameBuilder(2, 1));
        rig.ctl.OnTimer30(); // frames came during this period: keep waiting
        QVERIFY(rig.ctl.Downloading() && rig.ctl.ProgressShown());
        QVERIFY(!rig.dispatcher.m_bOscActive);
        rig.ctl.OnTimer30(); // a whole silent period: the download ends
        QVERIFY(!rig.ctl.Downloading() && !rig.ctl.ProgressShown() && !rig.ctl.WatchdogRunning());
        QCOMPARE(pane.count(), 1);
        QCOMPARE(progress[progress.count() - 2][1].toInt(), 10); // the bar is filled before it goes
        QVERIFY(rig.ctl.Slot(2).bValid);
        QVERIFY(!rig.ctl.Slot(3).bValid);
        QCOMPARE(rig.ctl.StoreLookOf(3).bitmapId, 273);
        QCOMPARE(rig.ctl.StoreLookOf(1).bitmapId, 261);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0][0].toString(),
            QStringLiteral("2 of the 10 stored waveforms arrived; missing: 3, 4, 5, 6, 7, 8, 9, 10."));
    }

    void wrongSlotNumberIsPostedAndChangesNothing()
    {
        Rig rig;
        rig.ctl.OnDownloadOscLogger();
        const osc::OscSlots before = rig.ctl.Slots();
        QSignalSpy msg(&rig.ctl, &COscController::messageDue);
        rig.ctl.OnOscFrame(OscFrameBuilder(11, 1));
        rig.ctl.OnOscFrame(OscFrameBuilder(255, 1));
        QCOMPARE(msg.count(), 2);
        QCOMPARE(msg[0][0].toString(), QStringLiteral("number is wrong!"));
        QVERIFY(rig.ctl.Slots() == before);
        QVERIFY(rig.ctl.Downloading() && rig.ctl.ProgressShown());
        QCOMPARE(rig.ctl.ProgressPosition(), 0);
    }

    void framesFromTheReceiveThreadArriveAsValues()
    {
        Rig rig(Rig::Attached);
        QSignalSpy show(&rig.ctl, &COscController::recordToShow);
        std::thread receiver([&rig] { rig.Notify(OscFrameBuilder(0, 4, 9, 9).byte(80, 185).hex()); });
        receiver.join();
        QCOMPARE(show.count(), 0); // queued for the GUI thread
        QTRY_COMPARE(show.count(), 1);
        QCOMPARE(rig.ctl.Slot(0).fWave[0], 400.0f); // two divisions of 200 mV
        QCOMPARE(rig.ctl.Slot(0).info.nStatus, 4);
    }

    void flatTracesThatReadLikeTheStoreMarker_data()
    {
        QTest::addColumn<int>("raw");
        QTest::newRow("143 (8f 8f ...)") << 143;
        QTest::newRow("248 (f8 f8 ...)") << 248;
    }
    void flatTracesThatReadLikeTheStoreMarker()
    {
        QFETCH(int, raw);
        Rig rig(Rig::Attached);
        rig.ctl.OnDownloadOscLogger();
        OscFrameBuilder b(1, 1, 4, 7);
        b.flat(raw).byte(7, raw).byte(8, raw);
        for (int k = 0; k < 120; ++k)
            b.byte(390 + k, raw);
        rig.Notify(b.hex());
        rig.Notify(OscFrameBuilder(2, 2).flat(raw).hex());
        QVERIFY(!rig.dispatcher.m_bStoreMarker);
        QTRY_VERIFY(rig.ctl.Slot(2).bValid);
        QVERIFY(rig.ctl.Slot(1).bValid);
        QCOMPARE(rig.ctl.Slot(1).fWave[299], static_cast<float>((raw - 135) * 0.04));
        QVERIFY(rig.text.empty());
        // The real marker outside a record is still found.
        rig.Notify("f8f8f8f8");
        QVERIFY(rig.dispatcher.m_bStoreMarker);
    }

    void storeButtonsShowValidSlots()
    {
        Rig rig;
        QSignalSpy show(&rig.ctl, &COscController::recordToShow);
        QVERIFY(!rig.ctl.OnStoreButton(5));
        QVERIFY(!rig.ctl.OnStoreButton(0) && !rig.ctl.OnStoreButton(11));
        OscFrameBuilder b(5, 1);
        b.date(2025, 12, 31, 23, 59, 58, 1);
        rig.ctl.OnOscFrame(b);
        QVERIFY(rig.ctl.OnStoreButton(5));
        QCOMPARE(show.last()[1].toString(), QStringLiteral("5 | 31/12/2025 23:59:58"));
    }

    void openingFilesReplacesSlotsOnlyWhenGood()
    {
        QTemporaryDir dir;
        Rig rig;
        rig.ctl.OnOscFrame(OscFrameBuilder(1, 1));
        rig.ctl.OnOscFrame(OscFrameBuilder(6, 3));
        const QString all = dir.filePath(QStringLiteral("all.osc"));
        QString message;
        QVERIFY(rig.ctl.OnSaveOscData(all, &message));

        Rig other;
        other.ctl.OnOscFrame(OscFrameBuilder(2, 4));
        const osc::OscSlots before = other.ctl.Slots();
        QSignalSpy pane(&other.ctl, &COscController::storePaneRequested);
        QSignalSpy show(&other.ctl, &COscController::recordToShow);

        // A damaged file changes nothing.
        QFile f(all);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        const QString cut = dir.filePath(QStringLiteral("cut.osc"));
        for (qsizetype n : { qsizetype(0), qsizetype(3), qsizetype(4), bytes.size() / 2, bytes.size() - 1 }) {
            QFile c(cut);
            QVERIFY(c.open(QIODevice::WriteOnly | QIODevice::Truncate));
            c.write(bytes.left(n));
            c.close();
            QVERIFY(!other.ctl.OnOpenOsc(cut, &message));
            QVERIFY(message.contains(QLatin1String("cut.osc")));
            QVERIFY(other.ctl.Slots() == before);
        }
        QCOMPARE(pane.count(), 0);

        QVERIFY(other.ctl.OnOpenOsc(all, &message));
        QVERIFY(other.ctl.Slots() == rig.ctl.Slots());
        QCOMPARE(pane.count(), 1);
        QCOMPARE(show.count(), 0);

        // A single-record file goes to slot 0 and the window, titled with its number.
        const QString one = dir.filePath(QStringLiteral("one.osc"));
        QVERIFY(osc::Save(one, osc::CurrentFile(rig.ctl.Slot(6)), &message));
        QVERIFY(other.ctl.OnOpenOsc(one, &message));
        QCOMPARE(show.count(), 1);
        QCOMPARE(show[0][1].toString(), QStringLiteral("6 | 03/05/2024 10:07:09"));
        QVERIFY(other.ctl.Slot(0) == rig.ctl.Slot(6));
        QVERIFY(other.ctl.Slot(6) == rig.ctl.Slot(6));

        // Nothing stored: refused before any file is touched.
        Rig empty;
        QVERIFY(!empty.ctl.OnSaveOscData(dir.filePath(QStringLiteral("none.osc")), &message));
        QCOMPARE(message, QStringLiteral("No Osc data to save!"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.osc"))));
    }
};

QTEST_GUILESS_MAIN(TestOscController)
#include "test_osc_controller.moc"
