// Alarm crossings with hysteresis, and power/energy/charge integrated from two meters' readings
// at their own times.
#include "session/AlarmWatch.h"
#include "session/EnergyIntegrator.h"
#include "session/LiveReading.h"

#include <QTest>
#include <cmath>
#include <limits>
#include <vector>

class TestSessionCore : public QObject {
    Q_OBJECT

private slots:
    void alarmReportsEachCrossingOnceAndClearsPastTheHysteresis()
    {
        AlarmLimits limits;
        limits.low = 11.5;
        limits.high = 14.0;
        limits.hysteresis = 0.2;
        CAlarmWatch watch(limits);
        std::vector<AlarmCrossing> seen;
        for (double v : { 12.0, 11.4, 11.3, 11.6, 11.69, 11.7, 11.4, 14.1, 14.2, 13.9, 13.8 })
            seen.push_back(watch.Feed(v));
        using A = AlarmCrossing;
        const std::vector<AlarmCrossing> expected { A::None, A::Low, A::None, A::None, A::None, A::Cleared,
            A::Low, A::High, A::None, A::None, A::Cleared };
        QCOMPARE(seen, expected);
        QVERIFY(!watch.IsOn());
    }

    void alarmIgnoresOverRangeAndHonoursOneSidedLimits()
    {
        AlarmLimits limits;
        limits.high = 1.0;
        CAlarmWatch watch(limits);
        QCOMPARE(watch.Feed(std::numeric_limits<double>::quiet_NaN()), AlarmCrossing::None);
        QCOMPARE(watch.Feed(-1e9), AlarmCrossing::None); // no low limit
        QCOMPARE(watch.Feed(1.5), AlarmCrossing::High);
        QCOMPARE(watch.Feed(std::numeric_limits<double>::quiet_NaN()), AlarmCrossing::None);
        QVERIFY(watch.IsOn());
        // The limit taken away: the next reading clears the alarm.
        watch.SetLimits(AlarmLimits());
        QCOMPARE(watch.Feed(1.5), AlarmCrossing::Cleared);
        QCOMPARE(watch.Feed(1.5), AlarmCrossing::None);
    }

    void energyIsTheTrapezoidOverBothMetersTimes()
    {
        CEnergyIntegrator e;
        // 12 V steady; the current ramps 1 A -> 3 A over 2 s, read between the voltage readings.
        e.AddVoltage(0.0, 12.0);
        QVERIFY(!e.HasPower());
        e.AddCurrent(0.0, 1.0);
        QVERIFY(e.HasPower());
        QCOMPARE(e.Power(), 12.0);
        e.AddVoltage(0.5, 12.0); // power point at 0.5 s: still 12 W
        e.AddCurrent(1.0, 2.0);
        e.AddCurrent(2.0, 3.0);
        // 0..0.5: 12 W; 0.5..1: 12->24; 1..2: 24->36  => 6 + 9 + 30 = 45 Ws
        QCOMPARE(e.EnergyWh(), 45.0 / 3600.0);
        // 0..0.5: 1 A; 0.5..1: 1->2; 1..2: 2->3 => 0.5 + 0.75 + 2.5 = 3.75 As
        QCOMPARE(e.ChargeAh(), 3.75 / 3600.0);
        QCOMPARE(e.IntegratedSeconds(), 2.0);
        QCOMPARE(e.GapCount(), 0);
    }

    void aGapInEitherMeterStopsTheIntegrationUntilBothReadAgain()
    {
        CEnergyIntegrator e(4.0);
        e.AddVoltage(0, 10);
        e.AddCurrent(0, 1);
        e.AddVoltage(1, 10); // +10 Ws
        e.AddCurrent(1, 1);
        // The current meter falls silent; the voltage meter reads on.
        e.AddVoltage(3, 10); // current 2 s old: still fine, +20 Ws
        e.AddVoltage(6, 10); // current 5 s old: a gap
        QVERIFY(e.Stopped());
        QVERIFY(!e.HasPower());
        QCOMPARE(e.GapCount(), 1);
        e.AddVoltage(7, 10);
        QCOMPARE(e.GapCount(), 1); // counted once
        e.AddCurrent(8, 1); // both again: a new start, nothing bridged
        QVERIFY(e.HasPower() && !e.Stopped());
        e.AddVoltage(9, 10); // +10 Ws
        QCOMPARE(e.EnergyWh() * 3600.0, 40.0);
        QCOMPARE(e.IntegratedSeconds(), 4.0);

        // A lost link and an over-range reading are gaps too.
        e.Interrupt();
        QCOMPARE(e.GapCount(), 2);
        e.AddVoltage(10, 10);
        e.AddCurrent(10, 1);
        e.AddCurrent(11, std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(e.GapCount(), 3);
        e.AddVoltage(12, 10); // no current yet: nothing
        QVERIFY(!e.HasPower());
        QCOMPARE(e.EnergyWh() * 3600.0, 40.0);
    }

    void dcUnitsScaleToVoltsAndAmperes()
    {
        QCOMPARE(DcUnitOf(QStringLiteral("mVDC")).toBase, 1e-3);
        QVERIFY(DcUnitOf(QStringLiteral("mVDC")).quantity == DcQuantity::Volts);
        QCOMPARE(DcUnitOf(QStringLiteral("uADC")).toBase, 1e-6);
        QVERIFY(DcUnitOf(QStringLiteral("ADC")).quantity == DcQuantity::Amperes);
        // AC is not DC: no power from it.
        QVERIFY(DcUnitOf(QStringLiteral("VAC")).quantity == DcQuantity::Other);
    }
};

QTEST_GUILESS_MAIN(TestSessionCore)
#include "test_session_core.moc"
