// Telling "bytes arrive, but nothing readable" apart from a working link and from a silent one,
// on a made-up clock.
#include "protocol/ReadableWatch.h"

#include <QTest>

class TestReadableWatch : public QObject {
    Q_OBJECT
private slots:
    void warnsAfterFiveSecondsOfUnreadableBytes()
    {
        CReadableWatch w;
        CFrameCounts c;
        QVERIFY(!w.Update(0, c));
        // A notification every second, no frame: the warning comes 5 s after the first one.
        for (int64_t t = 1000; t < 6000; t += 1000) {
            ++c.notifications;
            c.damaged += 2;
            QVERIFY2(!w.Update(t, c), qPrintable(QString::number(t)));
        }
        ++c.notifications;
        QVERIFY(w.Update(6000, c));
        QVERIFY(w.TakeRaised());
        QVERIFY(!w.TakeRaised()); // once per spell
        QCOMPARE(w.Text(), QStringLiteral("receiving, but no readable frames (10 damaged)"));
        ++c.notifications;
        QVERIFY(w.Update(7000, c));
        QVERIFY(!w.TakeRaised());

        // A readable frame ends it; the damaged count starts again from there.
        ++c.notifications;
        ++c.framesRead;
        QVERIFY(!w.Update(8000, c));
        QCOMPARE(w.DamagedSinceRead(), uint64_t(0));
    }

    void readableFramesKeepItQuiet()
    {
        CReadableWatch w;
        CFrameCounts c;
        for (int64_t t = 0; t < 60000; t += 1000) {
            c.notifications += 3;
            if (t % 4000 == 0)
                ++c.framesRead; // a frame every four seconds is enough
            ++c.damaged;
            QVERIFY(!w.Update(t, c));
        }
        QVERIFY(!w.TakeRaised());
    }

    void silenceIsNotThisWarning()
    {
        // Nothing at all arrives: that is the watchdog's business, not this one.
        CReadableWatch w;
        CFrameCounts c;
        for (int64_t t = 0; t < 20000; t += 1000)
            QVERIFY(!w.Update(t, c));
        // Bytes came, then stopped: the warning goes once they have stopped for 5 s.
        ++c.notifications;
        w.Update(20000, c);
        for (int64_t t = 21000; t <= 25000; t += 1000) {
            ++c.notifications;
            w.Update(t, c);
        }
        QVERIFY(w.Active());
        QVERIFY(w.Update(29000, c));
        QVERIFY(!w.Update(30000, c));
    }
};

QTEST_APPLESS_MAIN(TestReadableWatch)
#include "test_readable_watch.moc"
