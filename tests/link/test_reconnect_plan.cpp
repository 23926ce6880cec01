// The back-off of automatic reconnect on a made-up clock, and what the status bar says.
#include "link/LinkStatus.h"
#include "link/ReconnectPlan.h"

#include <QTest>

class TestReconnectPlan : public QObject {
    Q_OBJECT
private slots:
    void waitsDoubleFromOneSecondUpToThirty()
    {
        QList<int> waits;
        for (int attempt = 1; attempt <= 8; ++attempt)
            waits << CReconnectPlan::DelayBefore(attempt);
        QCOMPARE(waits, (QList<int> { 1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000 }));
        QCOMPARE(CReconnectPlan::DelayBefore(100000), 30000);
    }

    void attemptsComeOnlyWhenDueAndBackOffFromEachFailure()
    {
        int64_t now = 5000;
        CReconnectPlan plan([&now] { return now; });
        QVERIFY(!plan.Active());
        QCOMPARE(plan.MsUntilNextAttempt(), int64_t(-1));
        QVERIFY(!plan.StartDueAttempt());

        plan.LinkLost();
        QVERIFY(plan.Active());
        QCOMPARE(plan.Attempt(), 1);
        QCOMPARE(plan.MsUntilNextAttempt(), int64_t(1000));
        now += 999;
        QVERIFY(!plan.StartDueAttempt());
        // The watchdog keeps reporting the loss while retrying: that changes nothing.
        plan.LinkLost();
        QCOMPARE(plan.MsUntilNextAttempt(), int64_t(1));

        // Each attempt takes a while; the wait counts from its failure.
        QList<int64_t> starts;
        for (int i = 0; i < 7; ++i) {
            now += plan.MsUntilNextAttempt();
            QVERIFY(plan.StartDueAttempt());
            QVERIFY(plan.Trying());
            QVERIFY(!plan.StartDueAttempt()); // one at a time
            QCOMPARE(plan.MsUntilNextAttempt(), int64_t(-1));
            starts << now;
            now += 500;
            plan.AttemptFailed();
        }
        QList<int64_t> gaps;
        for (int i = 1; i < starts.size(); ++i)
            gaps << starts[i] - starts[i - 1] - 500;
        QCOMPARE(gaps, (QList<int64_t> { 2000, 4000, 8000, 16000, 30000, 30000 }));
        QCOMPARE(plan.Attempt(), 8);
    }

    void successAndCancelEndRetryingAndTheNextLossStartsOver()
    {
        int64_t now = 0;
        CReconnectPlan plan([&now] { return now; });
        plan.LinkLost();
        for (int i = 0; i < 3; ++i) {
            now += plan.MsUntilNextAttempt();
            QVERIFY(plan.StartDueAttempt());
            plan.AttemptFailed();
        }
        QCOMPARE(plan.MsUntilNextAttempt(), int64_t(8000));
        now += 8000;
        QVERIFY(plan.StartDueAttempt());
        plan.Connected();
        QVERIFY(!plan.Active());
        QCOMPARE(plan.Attempt(), 0);
        // A late failure report of the attempt that succeeded does not restart anything.
        plan.AttemptFailed();
        QVERIFY(!plan.Active());

        plan.LinkLost();
        QCOMPARE(plan.MsUntilNextAttempt(), int64_t(1000));
        plan.Cancel();
        QVERIFY(!plan.Active());
        now += 100000;
        QVERIFY(!plan.StartDueAttempt());
    }

    void statusBarShowsEachAttempt()
    {
        int64_t now = 0;
        CReconnectPlan plan([&now] { return now; });
        QVERIFY(plan.StatusText().isEmpty());
        plan.LinkLost();
        QCOMPARE(plan.StatusText(), QStringLiteral("Link lost: next attempt in 1 s (attempt 1)"));
        now += 1000;
        QVERIFY(plan.StartDueAttempt());
        QCOMPARE(plan.StatusText(), QStringLiteral("Reconnecting (attempt 1)..."));
        plan.AttemptFailed();
        now += 300; // rounds up: the user never reads "0 s" before the attempt
        QCOMPARE(plan.StatusText(), QStringLiteral("Link lost: next attempt in 2 s (attempt 2)"));

        CLinkStatus status;
        status.PortOpened(QStringLiteral("sim"));
        QVERIFY(status.FrameArrived());
        status.Silent();
        status.Reconnecting(plan.StatusText());
        QCOMPARE(status.state(), CLinkStatus::State::Reconnecting);
        QCOMPARE(status.Text(), plan.StatusText());
        // Retry over (empty text): the state stays until the reopened port says otherwise.
        status.Reconnecting(QString());
        QCOMPARE(status.state(), CLinkStatus::State::Reconnecting);
        status.Silent();
        QCOMPARE(status.state(), CLinkStatus::State::Reconnecting);
        status.PortOpened(QStringLiteral("sim"));
        QVERIFY(status.FrameArrived());
        QCOMPARE(status.Text(), QStringLiteral("Connected on sim"));
    }
};

QTEST_GUILESS_MAIN(TestReconnectPlan)
#include "test_reconnect_plan.moc"
