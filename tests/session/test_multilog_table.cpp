// The multi-meter log's table: rows per second with the last reading of each meter, the header
// that waits for every meter's unit, power, energy and charge, the CSV and time texts, and the
// alarm option with its crossings.
#include "session/MultilogTable.h"

#include <QTest>

using multilog::CTable;

namespace {

QString T(qint64 second)
{
    return multilog::TimeText(QDateTime::fromSecsSinceEpoch(second));
}

} // namespace

class TestMultilogTable : public QObject {
    Q_OBJECT

private slots:
    void rowsWaitForEveryMeterAndCarryTheLastReadingOfTheirSecond()
    {
        const qint64 s = 1796641200;
        CTable table(2);
        QVERIFY(table.Take(s).isEmpty());
        table.Add(1, s, QStringLiteral("1.200"), QStringLiteral("ADC"));
        table.Add(1, s, QStringLiteral("1.250"), QStringLiteral("ADC")); // the last of its second
        // Meter 1 reads only in the third second: until then the rows wait.
        QVERIFY(table.Take(s + 2).isEmpty());
        QVERIFY(!table.HeaderDone());
        table.Add(0, s + 2, QStringLiteral("12.00"), QStringLiteral("VDC"));
        table.Add(1, s + 2, QStringLiteral("OL"), QStringLiteral("ADC"));
        table.Add(0, s + 3, QStringLiteral("11.50"), QStringLiteral("mVDC"));
        table.Add(1, s + 3, QStringLiteral("2.000"), QStringLiteral("ADC"));
        table.Add(0, s + 4, QStringLiteral("10.00"), QStringLiteral("VDC"));
        table.Add(1, s + 4, QStringLiteral("-1.000"), QStringLiteral("ADC"));
        const QStringList lines = table.Take(s + 5);
        // The second of meter 2's first reading opens the table, even before meter 1 read;
        // meter 2 reading ADC and meter 1 VDC gives the derived columns all the same.
        const QStringList expected {
            "time,m1_value,m1_unit,m2_value,m2_unit,power_W,energy_Wh,charge_Ah",
            T(s) + ",,,1.250,ADC,,0,0.000347222", // charge without voltage: 1.25 / 3600
            T(s + 1) + ",,,,,,0,0.000347222", // nothing came: nothing is added
            T(s + 2) + ",12.00,VDC,OL,ADC,,0,0.000347222", // over range adds nothing
            T(s + 3) + ",11.50,mVDC,2.000,ADC,,0,0.000902778", // mVDC is not VDC: no power
            T(s + 4) + ",10.00,VDC,-1.000,ADC,-10,-0.00277778,0.000625",
        };
        QCOMPARE(lines, expected);
        QCOMPARE(table.EnergyWh(), -10.0 / 3600);
        QVERIFY(table.Take(s + 5).isEmpty()); // each row once
        table.Add(0, s + 5, QStringLiteral("5.0"), QStringLiteral("VDC"));
        table.Add(1, s + 5, QStringLiteral("0.5"), QStringLiteral("ADC"));
        // The run ends within its next second: that row is written with what came in it.
        QCOMPARE(table.Finish(s + 5), QStringList { T(s + 5) + ",5.0,VDC,0.5,ADC,2.5,-0.00208333,0.000763889" });
        QVERIFY(table.Finish(s + 5).isEmpty());
        // A second the run ends in with nothing in it is no row (it would look like a dropout).
        QCOMPARE(table.Finish(s + 7), QStringList { T(s + 6) + ",,,,,,-0.00208333,0.000763889" });
    }

    void derivedColumnsNeedExactlyAVoltAndAnAmpereMeterFirst()
    {
        const qint64 s = 1796641200;
        struct Case {
            QStringList units;
            bool derived;
        } cases[] = {
            { { "VDC", "ADC" }, true },
            { { "ADC", "VDC", "VAC" }, true },
            { { "VDC", "mADC" }, false },
            { { "VDC", "VDC" }, false },
            { { "VAC", "ADC", "VDC" }, false },
            { { "VDC" }, false },
        };
        for (const Case& c : cases) {
            CTable table(int(c.units.size()));
            for (int i = 0; i < c.units.size(); ++i)
                table.Add(i, s, QStringLiteral("1"), c.units[i]);
            const QStringList lines = table.Take(s + 1);
            QCOMPARE(lines.size(), 2);
            QCOMPARE(table.Derived(), c.derived);
            QCOMPARE(lines[0].endsWith(QLatin1String(",power_W,energy_Wh,charge_Ah")), c.derived);
            QCOMPARE(lines[1].count(','), 2 * int(c.units.size()) + (c.derived ? 3 : 0));
        }
        // A meter that never read: the end writes the header all the same, without derived
        // columns, and the rows kept for it.
        CTable silent(2);
        silent.Add(0, s, QStringLiteral("1.000"), QStringLiteral("VDC"));
        QVERIFY(silent.Take(s + 3).isEmpty());
        QCOMPARE(silent.Finish(s + 2),
            QStringList({ "time,m1_value,m1_unit,m2_value,m2_unit", T(s) + ",1.000,VDC,,", T(s + 1) + ",,,," }));
        QVERIFY(!silent.HasRead(1));
        CTable none(1);
        QCOMPARE(none.Finish(s), QStringList { "time,m1_value,m1_unit" });
    }

    void aReadingAfterItsRowWasWrittenGoesToTheOpenSecond()
    {
        const qint64 s = 1796641200;
        CTable table(1);
        table.Add(0, s, QStringLiteral("1"), QStringLiteral("VDC"));
        QCOMPARE(table.Take(s + 2).size(), 3);
        table.Add(0, s, QStringLiteral("2"), QStringLiteral("VDC")); // the clock went back
        QCOMPARE(table.Take(s + 3), QStringList { T(s + 2) + ",2,VDC" });
    }

    void csvFieldsAndTimeTexts()
    {
        QCOMPARE(multilog::CsvField(QStringLiteral("VDC")), QStringLiteral("VDC"));
        QCOMPARE(multilog::CsvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
        QCOMPARE(multilog::CsvField(QStringLiteral("say \"x\"")), QStringLiteral("\"say \"\"x\"\"\""));
        QCOMPARE(multilog::CsvField(QStringLiteral("two\nlines")), QStringLiteral("\"two\nlines\""));
        QCOMPARE(multilog::CsvField(QString::fromUtf8("°C")), QString::fromUtf8("°C"));

        const QDate d(2026, 12, 7);
        const QTime t(11, 5, 3, 900); // the part of a second is not shown
        QCOMPARE(multilog::TimeText(QDateTime(d, t, Qt::OffsetFromUTC, 3600)),
            QStringLiteral("2026-12-07T11:05:03+01:00"));
        QCOMPARE(multilog::TimeText(QDateTime(d, t, Qt::OffsetFromUTC, -(3 * 3600 + 1800))),
            QStringLiteral("2026-12-07T11:05:03-03:30"));
        QCOMPARE(multilog::TimeText(QDateTime(d, t, Qt::UTC)), QStringLiteral("2026-12-07T11:05:03+00:00"));
    }

    void alarmOptionsParseOrSayWhyNot()
    {
        multilog::Alarm a;
        QString why;
        QVERIFY(multilog::ParseAlarm(QStringLiteral("2:11.5:"), 2, &a, &why));
        QCOMPARE(a.meter, 1);
        QCOMPARE(a.limits.low.value(), 11.5);
        QVERIFY(!a.limits.high);
        QCOMPARE(a.limits.hysteresis, 0.0);
        QVERIFY(multilog::ParseAlarm(QStringLiteral("1:-2:1e1"), 1, &a, &why));
        QCOMPARE(a.limits.low.value(), -2.0);
        QCOMPARE(a.limits.high.value(), 10.0);
        for (const char* bad : { "3:1:2", "0:1:2", "x:1:2", "1:one:2", "1:1", "1:1:2:3", "1::", "1:5:4", "1:nan:",
                 "1::inf", "" }) {
            why.clear();
            QVERIFY2(!multilog::ParseAlarm(QString::fromLatin1(bad), 2, &a, &why), bad);
            QVERIFY(why.startsWith(QLatin1String("--alarm ")));
        }
    }

    void alarmsSayEachCrossingOnceAndStartAfreshOnANewUnit()
    {
        multilog::CAlarms alarms;
        multilog::Alarm low, high;
        QString why;
        QVERIFY(multilog::ParseAlarm(QStringLiteral("1:11.5:"), 2, &low, &why));
        QVERIFY(multilog::ParseAlarm(QStringLiteral("1::14"), 2, &high, &why));
        alarms.Add(low);
        alarms.Add(high);
        const QDateTime t(QDate(2026, 12, 7), QTime(11, 5, 3), Qt::OffsetFromUTC, 3600);
        const QString when = QStringLiteral(" 2026-12-07T11:05:03+01:00");
        auto feed = [&](int meter, const char* value, const char* unit) {
            return alarms.Feed(meter, QString::fromLatin1(value), QString::fromLatin1(unit), t);
        };
        QVERIFY(feed(0, "12.00", "VDC").isEmpty());
        QCOMPARE(feed(0, "11.40", "VDC"), QStringList { "alarm m1 low 11.40 VDC" + when });
        QVERIFY(feed(0, "11.30", "VDC").isEmpty()); // still below: the same crossing
        QVERIFY(feed(0, "OL", "VDC").isEmpty());
        QVERIFY(feed(0, "", "VDC").isEmpty());
        QVERIFY(feed(1, "1.0", "ADC").isEmpty()); // another meter
        QVERIFY(feed(0, "11.50", "VDC").isEmpty()); // back inside (on the bound is inside)
        QCOMPARE(feed(0, "11.49", "VDC"), QStringList { "alarm m1 low 11.49 VDC" + when });
        QCOMPARE(feed(0, "14.01", "VDC"), QStringList { "alarm m1 high 14.01 VDC" + when });
        // A new unit: the old state says nothing about the new readings.
        QCOMPARE(feed(0, "200.0", "mVDC"), QStringList { "alarm m1 high 200.0 mVDC" + when });
        QVERIFY(feed(0, "100.0", "mVDC").isEmpty());
        QCOMPARE(feed(0, "9.000", "VDC"), QStringList { "alarm m1 low 9.000 VDC" + when });
    }
};

QTEST_GUILESS_MAIN(TestMultilogTable)
#include "test_multilog_table.moc"
