// Power, energy and charge from whichever meters read DC volts and DC amps, and their own
// document while a recording runs.
#include "recording/RecordingFakes.h"
#include "session/DerivedReadings.h"
#include "session/DerivedRecorder.h"

#include <QSignalSpy>
#include <QTest>
#include <limits>

namespace {

const QDateTime kStart(QDate(2026, 12, 7), QTime(15, 0, 0), Qt::UTC);

LiveReading At(double seconds, int meter, double value, const char* unit)
{
    LiveReading r;
    r.meter = meter;
    r.value = value;
    r.unit = QLatin1String(unit);
    r.time = kStart.addMSecs(qint64(seconds * 1000));
    return r;
}

} // namespace

class TestDerived : public QObject {
    Q_OBJECT

private slots:
    void pairsVoltsAndAmpsInEitherOrderAndScales()
    {
        // Meter 1 on mA, meter 3 on mV (meter 2 reads something else): 12000 mV x 500 mA = 6 W.
        CDerivedReadings d;
        d.OnReading(At(0, 0, 500, "mADC"));
        d.OnReading(At(0, 1, 230, "VAC"));
        QVERIFY(!d.State().Paired());
        QCOMPARE(derived_text::Power(d.State()), QStringLiteral("-- W"));
        QCOMPARE(derived_text::Status(d.State()), QStringLiteral("needs one meter on DC volts and another on DC amps"));
        d.OnReading(At(0, 2, 12000, "mVDC"));
        QCOMPARE(d.State().voltsMeter, 2);
        QCOMPARE(d.State().ampsMeter, 0);
        QVERIFY(d.State().hasPower);
        QCOMPARE(d.State().power, 6.0);
        QCOMPARE(derived_text::Power(d.State()), QStringLiteral("6.000 W"));
        QCOMPARE(derived_text::Status(d.State()), QStringLiteral("meter 3 (V) \u00d7 meter 1 (A)"));
        d.OnReading(At(1, 0, 500, "mADC"));
        d.OnReading(At(2, 2, 12000, "mVDC"));
        // 6 W for 2 s = 12 Ws; 0.5 A for 2 s = 1 As.
        QCOMPARE(d.State().energyWh * 3600, 12.0);
        QCOMPARE(d.State().chargeAh * 3600, 1.0);

        // The other way round: volts first, then microamperes.
        CDerivedReadings e;
        e.OnReading(At(0, 0, 5, "VDC"));
        e.OnReading(At(0, 1, 2000, "uADC"));
        QCOMPARE(e.State().power, 0.01);
        QCOMPARE(e.State().voltsMeter, 0);
        QCOMPARE(e.State().ampsMeter, 1);
    }

    void aGapSaysWhoseReadingsHadIt()
    {
        CDerivedReadings d(4.0);
        QSignalSpy spy(&d, &CDerivedReadings::updated);
        d.OnReading(At(0, 0, 10, "VDC"));
        d.OnReading(At(0, 1, 1, "ADC"));
        d.OnReading(At(1, 0, 10, "VDC"));
        d.OnReading(At(3, 0, 10, "VDC"));
        QVERIFY(!d.State().stopped);
        d.OnReading(At(6, 0, 10, "VDC")); // the amps meter last read 6 s ago
        QVERIFY(d.State().stopped);
        QCOMPARE(d.State().gapMeter, 1);
        QCOMPARE(derived_text::Status(d.State()), QStringLiteral("integration stopped: gap in meter 2's readings"));
        d.OnReading(At(7, 0, 10, "VDC")); // still stopped until both read again
        QCOMPARE(derived_text::Status(d.State()), QStringLiteral("integration stopped: gap in meter 2's readings"));
        d.OnReading(At(7.5, 1, 1, "ADC"));
        QVERIFY(!d.State().stopped && d.State().hasPower);
        const double before = d.State().energyWh;
        QCOMPARE(before * 3600, 30.0); // nothing bridged across the gap

        // Over range on the volts meter is a gap in its own readings.
        d.OnReading(At(8, 0, std::numeric_limits<double>::quiet_NaN(), "VDC"));
        QCOMPARE(d.State().gapMeter, 0);
        QVERIFY(d.State().stopped);
        // A lost link too.
        d.OnReading(At(8.5, 0, 10, "VDC"));
        d.OnReading(At(9, 1, 1, "ADC"));
        QVERIFY(!d.State().stopped);
        d.OnMeterGone(1);
        QVERIFY(d.State().stopped);
        QCOMPARE(d.State().gapMeter, 1);
        QCOMPARE(d.State().gaps, 3);
        QVERIFY(!spy.isEmpty());
    }

    void anotherPairStartsAfreshTheSamePairGoesOn()
    {
        CDerivedReadings d;
        d.OnReading(At(0, 0, 10, "VDC"));
        d.OnReading(At(0, 1, 1, "ADC"));
        d.OnReading(At(1, 0, 10, "VDC")); // 10 Ws
        // Meter 1 leaves DC volts: the pair breaks, and says whose readings stopped.
        d.OnReading(At(1.5, 0, 230, "VAC"));
        QVERIFY(!d.State().Paired());
        QVERIFY(d.State().stopped);
        QCOMPARE(d.State().gapMeter, 0);
        // Back on DC volts: the same pair, the totals go on.
        d.OnReading(At(2, 0, 10, "VDC"));
        d.OnReading(At(2, 1, 1, "ADC"));
        d.OnReading(At(3, 1, 1, "ADC"));
        QCOMPARE(d.State().energyWh * 3600, 20.0);
        // A third meter on volts while meter 1 leaves: another pair, new totals.
        d.OnReading(At(3.5, 2, 5, "VDC"));
        QCOMPARE(d.State().voltsMeter, 0); // the lowest-numbered one keeps it
        d.OnReading(At(4, 0, 1, "ADC")); // meter 1 now on amps, meter 2 ... still amps
        QCOMPARE(d.State().voltsMeter, 2);
        QCOMPARE(d.State().ampsMeter, 0);
        QCOMPARE(d.State().energyWh, 0.0);
    }

    void recordsPowerInADocumentOfItsOwn()
    {
        FakeHost host;
        CDerivedRecorder rec(host);
        CDerivedReadings d;
        QObject::connect(&d, &CDerivedReadings::updated, &rec, &CDerivedRecorder::OnUpdate);
        d.OnReading(At(0, 0, 10, "VDC"));
        d.OnReading(At(0, 1, 1, "ADC"));
        QVERIFY(host.open.empty()); // nothing records yet
        rec.OnRecordingChanged(true);
        d.OnReading(At(1, 0, 12, "VDC"));
        QCOMPARE(host.open.size(), size_t(1));
        FakeView& view = host.View(0);
        QVERIFY(!view.live && !view.saved); // no meter readings go there
        d.OnReading(At(2, 1, 2, "ADC"));
        d.OnReading(At(5, 1, 2, "ADC"));
        d.OnReading(At(9, 1, 2, "ADC")); // the volts meter silent for 8 s: a gap
        d.OnReading(At(9.5, 0, 12, "VDC"));
        rec.OnRecordingChanged(false);

        const CMyOrvelDoc& doc = host.Doc(0);
        QCOMPARE(doc.GetTitle(), QStringLiteral("Power"));
        const CDataSeries& power = doc.m_arrSeries[0];
        QCOMPARE(power.Size(), qsizetype(5));
        QCOMPARE(power.Value(0), 12.0);
        QCOMPARE(power.Unit(0), QStringLiteral("W"));
        QCOMPARE(power.Type(0), QStringLiteral("Power"));
        QCOMPARE(power.Value(1), 24.0);
        QVERIFY(power.IsNull(3));
        QCOMPARE(power.Value(4), 24.0);
        QCOMPARE(view.rows[3].label, QStringLiteral("(integration stopped: gap in meter 1's readings)"));
        // The totals beside the last power point: 0..1 s 10->12 W, 1..2 s 12->24 W, 2..5 s 24 W.
        const CDataSeries& totals = doc.m_arrSeries[1];
        QCOMPARE(totals.Size(), qsizetype(2));
        QCOMPARE(totals.Type(0), QStringLiteral("Energy"));
        QCOMPARE(totals.Unit(0), QStringLiteral("Wh"));
        QCOMPARE(totals.Value(0) * 3600, 101.0);
        QCOMPARE(totals.Type(1), QStringLiteral("Charge"));
        QCOMPARE(totals.Unit(1), QStringLiteral("Ah"));
        QCOMPARE(totals.Value(1) * 3600, 8.5); // 1 A for 1 s, 1->2 A for 1 s, 2 A for 3 s
        QCOMPARE(totals.Index(1), 3);
        QVERIFY(!doc.m_bLive);
        QCOMPARE(view.rows.size(), size_t(7));

        // The next recording makes the next document, and its totals are its own: from the last
        // power point before it (24 W at 9.5 s) to 12 s, 60 Ws.
        rec.OnRecordingChanged(true);
        d.OnReading(At(10, 0, 12, "VDC"));
        QCOMPARE(host.open.size(), size_t(2));
        d.OnReading(At(11, 1, 2, "ADC"));
        d.OnReading(At(12, 0, 12, "VDC"));
        rec.OnRecordingChanged(false);
        QCOMPARE(host.Doc(1).m_arrSeries[1].Value(0) * 3600, 60.0);
        QCOMPARE(host.Doc(1).m_arrSeries[1].Value(1) * 3600, 5.0);
    }
};

QTEST_GUILESS_MAIN(TestDerived)
#include "test_derived.moc"
