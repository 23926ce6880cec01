// Alarm settings in the settings file, and the monitor that raises alarms from a meter's
// readings and starts the user's program with the reading in its environment.
#include "session/AlarmMonitor.h"
#include "session/AlarmSettings.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

namespace {

LiveReading Reading(int meter, double value, const QString& unit = QStringLiteral("VDC"))
{
    LiveReading r;
    r.meter = meter;
    r.value = value;
    r.unit = unit;
    r.time = QDateTime(QDate(2026, 12, 7), QTime(15, 30, 1, 250), Qt::OffsetFromUTC, 3600);
    return r;
}

MeterAlarmSettings Limits(double low, double high, double hysteresis = 0)
{
    MeterAlarmSettings s;
    s.limits.low = low;
    s.limits.high = high;
    s.limits.hysteresis = hysteresis;
    return s;
}

QList<AlarmCrossing> Crossings(const QSignalSpy& spy)
{
    QList<AlarmCrossing> out;
    for (const QList<QVariant>& args : spy)
        out << args.at(1).value<AlarmCrossing>();
    return out;
}

} // namespace

class TestAlarms : public QObject {
    Q_OBJECT

private slots:
    void settingsRoundTripPerMeterAddress()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("MultipleSetInfo.ini"));
        MeterAlarmSettings a = Limits(11.5, 14.25, 0.1);
        a.unit = QStringLiteral("VDC");
        a.sound = false;
        a.program = QStringLiteral("/usr/bin/notify, with comma");
        a.arguments = QStringList { QStringLiteral("-t"), QStringLiteral("a b"), QStringLiteral("x,y") };
        MeterAlarmSettings b;
        b.limits.high = 2.0; // one-sided
        {
            CAlarmSettings s(file);
            s.Write(QStringLiteral("a4:c1:38:00:11:22"), a);
            s.Write(QStringLiteral("sim"), b);
        }
        CAlarmSettings s(file);
        QCOMPARE(s.Read(QStringLiteral("A4:C1:38:00:11:22")), a); // the address in either case
        QCOMPARE(s.Read(QStringLiteral("sim")), b);
        QVERIFY(!s.Read(QStringLiteral("sim")).limits.low);
        // A meter never set up: nothing set, sound on.
        const MeterAlarmSettings none = s.Read(QStringLiteral("00:00:00:00:00:01"));
        QVERIFY(!none.limits.IsSet() && none.sound && none.program.isEmpty());

        // The port settings in the same file are left alone, and a limit taken away goes.
        {
            QSettings ini(file, QSettings::IniFormat);
            ini.setValue(QStringLiteral("PELLAN_PORT/COMPORT"), QStringLiteral("7"));
        }
        a.limits.low.reset();
        s.Write(QStringLiteral("a4:c1:38:00:11:22"), a);
        QCOMPARE(s.Read(QStringLiteral("a4:c1:38:00:11:22")), a);
        QSettings ini(file, QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("PELLAN_PORT/COMPORT")).toString(), QStringLiteral("7"));
        QVERIFY(ini.childGroups().contains(QStringLiteral("ALARM_A4C138001122")));
        QVERIFY(!ini.contains(QStringLiteral("ALARM_A4C138001122/LOW")));
    }

    void validationNamesWhatIsWrong()
    {
        QVERIFY(AlarmSettingsProblem(Limits(1, 2, 0.5)).isEmpty());
        QVERIFY(AlarmSettingsProblem(MeterAlarmSettings()).isEmpty());
        QVERIFY(AlarmSettingsProblem(Limits(2, 1)).contains(QLatin1String("below")));
        QVERIFY(AlarmSettingsProblem(Limits(1, 2, -0.1)).contains(QLatin1String("hysteresis")));
        QVERIFY(AlarmSettingsProblem(Limits(1, 2, 1)).contains(QLatin1String("hysteresis")));
        MeterAlarmSettings s = Limits(1, 2);
        s.program = QStringLiteral("/nonexistent/program");
        QVERIFY(!AlarmSettingsProblem(s).isEmpty());
    }

    void monitorRaisesAndClearsPerMeter()
    {
        CAlarmMonitor monitor;
        QSignalSpy spy(&monitor, &CAlarmMonitor::alarm);
        monitor.SetSettings(1, Limits(11.5, 14.0, 0.2));
        for (double v : { 12.0, 11.43, 11.3, 11.6 })
            monitor.OnReading(Reading(1, v));
        monitor.OnReading(Reading(0, 5.0)); // meter 1 (index 0) has no limits
        QCOMPARE(Crossings(spy), QList<AlarmCrossing> { AlarmCrossing::Low });
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(0).at(2).toDouble(), 11.43);
        QCOMPARE(spy.at(0).at(3).toString(), QStringLiteral("VDC"));
        QCOMPARE(monitor.State(1), AlarmCrossing::Low);
        monitor.OnReading(Reading(1, 11.7));
        QCOMPARE(Crossings(spy).last(), AlarmCrossing::Cleared);
        QCOMPARE(monitor.State(1), AlarmCrossing::None);
    }

    void unitChangeStartsAfresh()
    {
        CAlarmMonitor monitor;
        QSignalSpy spy(&monitor, &CAlarmMonitor::alarm);
        monitor.SetSettings(0, Limits(1.0, 2.0));
        monitor.OnReading(Reading(0, 2.5));
        QCOMPARE(monitor.State(0), AlarmCrossing::High);
        // The same number in another unit: the old alarm is over, the new unit judged afresh
        // (limits without a unit apply to whatever is shown).
        monitor.OnReading(Reading(0, 2.5, QStringLiteral("VAC")));
        using A = AlarmCrossing;
        QCOMPARE(Crossings(spy), (QList<A> { A::High, A::Cleared, A::High }));

        // Limits for one unit: silent in any other, cleared when the meter leaves the unit.
        MeterAlarmSettings s = Limits(1.0, 2.0);
        s.unit = QStringLiteral("VDC");
        monitor.SetSettings(0, s);
        QCOMPARE(Crossings(spy).last(), A::Cleared); // the VAC alarm: its limits no longer apply
        monitor.OnReading(Reading(0, 2500.0, QStringLiteral("mVDC")));
        QCOMPARE(monitor.State(0), A::None);
        monitor.OnReading(Reading(0, 2.5));
        QCOMPARE(monitor.State(0), A::High);
        monitor.OnReading(Reading(0, 2500.0, QStringLiteral("mVDC")));
        QCOMPARE(monitor.State(0), A::None);
        QCOMPARE(Crossings(spy), (QList<A> { A::High, A::Cleared, A::High, A::Cleared, A::High, A::Cleared }));
        // Over range changes nothing.
        monitor.OnReading(Reading(0, std::numeric_limits<double>::quiet_NaN()));
        QCOMPARE(spy.count(), 6);
    }

    void raisedAlarmRunsTheProgramWithTheReadingInItsEnvironment()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("env out.txt"));
        MeterAlarmSettings s = Limits(11.5, 14.0);
        // The program and its arguments as configured; the file name with a space and the
        // unit with shell characters must arrive untouched.
        s.program = QStringLiteral("/bin/sh");
        s.arguments = QStringList { QStringLiteral("-c"), QStringLiteral("env > \"$1.tmp\" && mv \"$1.tmp\" \"$1\""),
            QStringLiteral("sh"), out };
        CAlarmMonitor monitor;
        QSignalSpy failed(&monitor, &CAlarmMonitor::commandFailed);
        monitor.SetSettings(2, s);
        monitor.OnReading(Reading(2, 12.0, QStringLiteral("V;$(touch x)")));
        monitor.OnReading(Reading(2, 11.43, QStringLiteral("V;$(touch x)")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("METER_VALUE=11.43")));
        QVERIFY(lines.contains(QStringLiteral("METER_UNIT=V;$(touch x)")));
        QVERIFY(lines.contains(QStringLiteral("METER_ALARM=low")));
        QVERIFY(lines.contains(QStringLiteral("METER_INDEX=3")));
        QVERIFY(lines.contains(QStringLiteral("METER_TIME=2026-12-07T15:30:01.250+01:00")));
        QVERIFY(failed.isEmpty());

        // A program that cannot start is reported, not silently lost.
        s.program = dir.filePath(QStringLiteral("missing"));
        monitor.SetSettings(2, s);
        monitor.OnReading(Reading(2, 20.0, QStringLiteral("V;$(touch x)")));
        QCOMPARE(failed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAlarms)
#include "test_alarms.moc"
