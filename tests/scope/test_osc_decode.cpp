// Decoding of oscilloscope frames: expected values worked out from the frame layout and tables.
#include "OscFrames.h"
#include "scope/OscDecoder.h"

#include <QtTest>
#include <cmath>

using osc::DecodeFrame;

namespace {

OSCData Decode(const OscFrameBuilder& b)
{
    OSCData rec;
    DecodeFrame(b, rec);
    return rec;
}

} // namespace

class TestOscDecode : public QObject {
    Q_OBJECT
private slots:
    void samplesAreCentredWith25CountsPerDivision_data()
    {
        QTest::addColumn<int>("volt");
        QTest::addColumn<double>("voltDiv");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("label");
        QTest::newRow("200 V") << 1 << 200.0 << "V" << "200 V/div";
        QTest::newRow("20 V") << 3 << 20.0 << "V" << "20.00 V/div";
        QTest::newRow("0.5 V") << 8 << 0.5 << "V" << "0.50 V/div";
        QTest::newRow("200 mV") << 9 << 200.0 << "mV" << "200.0 mV/div";
        QTest::newRow("50 mV") << 11 << 50.0 << "mV" << "50.00 mV/div";
    }
    void samplesAreCentredWith25CountsPerDivision()
    {
        QFETCH(int, volt);
        QFETCH(double, voltDiv);
        QFETCH(QString, unit);
        QFETCH(QString, label);
        OscFrameBuilder b(0, 1, 1, volt);
        b.byte(80, 135).byte(81, 160).byte(82, 110).byte(83, 0).byte(84, 255);
        const OSCData r = Decode(b);
        QVERIFY(r.bValid);
        QCOMPARE(r.fWave[0], 0.0f);
        QCOMPARE(r.fWave[1], static_cast<float>(voltDiv)); // one division up
        QCOMPARE(r.fWave[2], static_cast<float>(-voltDiv));
        QCOMPARE(r.fWave[3], static_cast<float>(-135 * voltDiv / 25));
        QCOMPARE(r.fWave[4], static_cast<float>(120 * voltDiv / 25));
        QCOMPARE(r.info.dVoltDiv, voltDiv);
        QCOMPARE(r.info.strVoltDiv, label);
        QCOMPARE(r.info.strUnit, unit);
    }

    void peakToPeakTextsByRange()
    {
        // 50 mV/div: 160 - 110 = 50 counts = 2 divisions = 100 mV.
        OSCData r = Decode(OscFrameBuilder(0, 1, 1, 11).byte(7, 160).byte(8, 110));
        QCOMPARE(r.info.dVpp, 100.0);
        QCOMPARE(r.info.strVpp, QStringLiteral("100 mV"));
        QCOMPARE(r.info.dMax, 50.0);
        QCOMPARE(r.info.dMin, -50.0);
        r = Decode(OscFrameBuilder(0, 1, 1, 4).byte(7, 185).byte(8, 135)); // 10 V/div, 2 div
        QCOMPARE(r.info.strVpp, QStringLiteral("20.0 V"));
        r = Decode(OscFrameBuilder(0, 1, 1, 6).byte(7, 136).byte(8, 135)); // 2 V/div, 1 count
        QCOMPARE(r.info.strVpp, QStringLiteral("0.08 V"));
        // FFT status: the meter's own count times the range's scale.
        r = Decode(OscFrameBuilder(0, 3, 1, 2).word(12, 1234).byte(7, 200).byte(8, 100));
        QCOMPARE(r.info.strVpp, QStringLiteral("123.4 V"));
        r = Decode(OscFrameBuilder(0, 3, 1, 10).word(12, 321));
        QCOMPARE(r.info.strVpp, QStringLiteral("321 mV"));
    }

    void triggerLevelInThousandthsTruncated()
    {
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 1, 7).byte(36, 110)).info.nTrigLevel, -1000); // -25 * 0.04 V
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 1, 11).byte(36, 136)).info.nTrigLevel, 2000); // 2 mV
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 1, 8).byte(36, 134)).info.nTrigLevel, -20);
    }

    void rateLabelFollowsTheChoiceByte()
    {
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 1).byte(50, 0)).info.strRate, QStringLiteral("50mS/div"));
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 1).byte(50, 1)).info.strRate, QStringLiteral("500Sps"));
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 18).byte(50, 7)).info.strRate, QStringLiteral("200MSa/s"));
        QCOMPARE(Decode(OscFrameBuilder(0, 1, 15)).info.strRate, QStringLiteral("1uS/div"));
    }

    void dateInBothOrders()
    {
        QCOMPARE(osc::DateTimeText(Decode(OscFrameBuilder()).info), QStringLiteral("03/05/2024 10:07:09"));
        OscFrameBuilder b;
        b.date(2024, 3, 5, 10, 7, 9, 1);
        const OSCData r = Decode(b);
        QCOMPARE(osc::DateTimeText(r.info), QStringLiteral("05/03/2024 10:07:09"));
        QCOMPARE(osc::StoredTitle(4, r.info), QStringLiteral("4 | 05/03/2024 10:07:09"));
        QCOMPARE(r.info.nYear, 2024);
    }

    void spectrumFirstBinIsClamped()
    {
        OscFrameBuilder b;
        for (int k = 0; k < 120; ++k)
            b.byte(390 + k, 200 - k);
        const OSCData r = Decode(b);
        QCOMPARE(r.fSpectrum[0], 15.0f);
        for (int k = 1; k < 120; ++k)
            QCOMPARE(r.fSpectrum[static_cast<size_t>(k)], static_cast<float>(200 - k));
        QCOMPARE(Decode(OscFrameBuilder().byte(390, 12)).fSpectrum[0], 12.0f);
    }

    void frequencyAndPeriodByTimeBase_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("delta");
        QTest::addColumn<QString>("freq");
        QTest::addColumn<QString>("period");
        // Crossings c1 = 100, c2 = 100 + delta (samples; 25 per division).
        QTest::newRow("50mS, 2 div") << 1 << 50 << "10.00 Hz" << "100.00 mS";
        QTest::newRow("5mS, 1 div") << 4 << 25 << "200.00 Hz" << "5.000 mS";
        QTest::newRow("0.5mS, 4 div") << 7 << 100 << "0.500 KHz" << "2000.0 uS";
        QTest::newRow("20uS, 1 div") << 11 << 25 << "50.000 KHz" << "20.00 uS";
        QTest::newRow("10uS, 1 div") << 12 << 25 << "100.000 KHz" << "10.000 uS";
        QTest::newRow("5uS, 1 div") << 13 << 25 << "200.00 KHz" << "5.000 uS";
        QTest::newRow("1uS, 1 div") << 15 << 25 << "1.0000 MHz" << "1.00 uS";
        QTest::newRow("1uS, 2 samples") << 15 << 2 << "12.5000 MHz" << "0.08 uS";
        QTest::newRow("0.5uS, 1 div") << 16 << 25 << "2.000 MHz" << "500.0 nS";
        QTest::newRow("125nS, 1 div") << 18 << 25 << "8.000 MHz" << "125.0 nS";
        QTest::newRow("falling order") << 1 << -50 << "-10.00 Hz" << "-100.00 mS";
    }
    void frequencyAndPeriodByTimeBase()
    {
        QFETCH(int, timeBase);
        QFETCH(int, delta);
        QFETCH(QString, freq);
        QFETCH(QString, period);
        const OSCData r = Decode(OscFrameBuilder(0, 1, timeBase).word(30, 100).word(32, 100 + delta));
        QCOMPARE(r.info.strFreq, freq);
        QCOMPARE(r.info.strPeriod, period);
        // The numbers are the ones shown, in the texts' units.
        QCOMPARE(QString::number(r.info.dFreq, 'f', 2), QString::number(freq.section(' ', 0, 0).toDouble(), 'f', 2));
        QCOMPARE(QString::number(r.info.dPeriod, 'f', 2),
            QString::number(period.section(' ', 0, 0).toDouble(), 'f', 2));
        QCOMPARE(r.info.dCross1, 92.0);
        QCOMPARE(r.info.dCross2, 92.0 + delta);
    }

    void unboundedFrequencyHasAText()
    {
        OSCData r = Decode(OscFrameBuilder(0, 1, 3).word(30, 40).word(32, 40)); // equal crossings
        QCOMPARE(r.info.strFreq, QStringLiteral("---- Hz"));
        QCOMPARE(r.info.dFreq, 0.0);
        QCOMPARE(r.info.strPeriod, QStringLiteral("0.00 mS"));
        r = Decode(OscFrameBuilder(0, 1, 0).word(30, 10).word(32, 60)); // no time base
        QCOMPARE(r.info.strFreq, QStringLiteral("---- Hz"));
        QCOMPARE(r.info.strRate, QString());
        r = Decode(OscFrameBuilder(0, 1, 16).word(30, 5).word(32, 5));
        QCOMPARE(r.info.strFreq, QStringLiteral("---- MHz"));
        QVERIFY(!r.info.strFreq.contains(QLatin1String("inf")) && !r.info.strFreq.contains(QLatin1String("nan")));
    }

    void meterMeasurementsWithFftStatus()
    {
        // Range 1: the row's scale on the meter's count, the period count by the row's divisor.
        OSCData r = Decode(OscFrameBuilder(0, 3, 4).byte(35, 1).word(14, 5000).word(16, 2000).word(30, 1).word(32, 2));
        QCOMPARE(r.info.strFreq, QStringLiteral("50.00 Hz"));
        QCOMPARE(r.info.strPeriod, QStringLiteral("2.000 mS"));
        // Rows 16..18 take the meter's values whatever the range byte says (here 1 as well).
        r = Decode(OscFrameBuilder(0, 3, 17).byte(35, 1).word(14, 2500).word(16, 400));
        QCOMPARE(r.info.strFreq, QStringLiteral("2.500 MHz"));
        QCOMPARE(r.info.strPeriod, QStringLiteral("40.0 nS"));
        // The range byte's own units override the row.
        r = Decode(OscFrameBuilder(0, 3, 4).byte(35, 2).word(14, 1234).word(16, 8100));
        QCOMPARE(r.info.strFreq, QStringLiteral("123.4 KHz"));
        QCOMPARE(r.info.strPeriod, QStringLiteral("810.0 nS"));
        r = Decode(OscFrameBuilder(0, 3, 4).byte(35, 3).word(14, 1234).word(16, 8100));
        QCOMPARE(r.info.strFreq, QStringLiteral("1.234 MHz"));
        r = Decode(OscFrameBuilder(0, 3, 4).byte(35, 0).word(30, 10).word(32, 35));
        QCOMPARE(r.info.strFreq, QStringLiteral("-1.0 MHz"));
        QCOMPARE(r.info.dFreq, -1.0);
        // Without the FFT status the meter's values are ignored.
        r = Decode(OscFrameBuilder(0, 1, 4).byte(35, 2).word(14, 1234).word(30, 0).word(32, 25));
        QCOMPARE(r.info.strFreq, QStringLiteral("200.00 Hz"));
    }

    void indexesOutsideTheTablesMeasureNothing()
    {
        OSCData r = Decode(OscFrameBuilder(0, 1, 4, 7).byte(7, 160).word(30, 0).word(32, 25));
        const QString freq = r.info.strFreq;
        // A later frame with a time base past the table keeps the texts it cannot compute ...
        DecodeFrame(OscFrameBuilder(0, 3, 200, 7).byte(35, 2).word(14, 99).word(30, 0).word(32, 25), r);
        QCOMPARE(r.info.nTimeBase, 200);
        QCOMPARE(r.info.strRate, QString());
        QCOMPARE(r.info.strFreq, freq);
        const QString vpp = r.info.strVpp, unit = r.info.strUnit;
        // ... and a volts index past the table gives an empty label and no values.
        DecodeFrame(OscFrameBuilder(0, 1, 4, 255).byte(7, 250).flat(250), r);
        QCOMPARE(r.info.strVoltDiv, QString());
        QCOMPARE(r.info.dVoltDiv, 0.0);
        QCOMPARE(r.info.dVpp, 0.0);
        QCOMPARE(r.info.strVpp, vpp);
        QCOMPARE(r.info.strUnit, unit);
        QCOMPARE(r.fWave[100], 0.0f);
        QVERIFY(osc::VoltRangeAt(-1).label[0] == '\0' && osc::TimeBaseLabel(19).isEmpty());
    }

    void frameTextToPayload()
    {
        OscFrameBuilder b(7, 2, 9, 10);
        b.byte(509, 0xAB).byte(80, 0x8f);
        const osc::OscFrame f = osc::FrameFromText(b.hex());
        QCOMPARE(f.Slot(), 7);
        QVERIFY(f.p == b.f.p);
        // A short or damaged text reads what it can; the rest is 0.
        const osc::OscFrame part = osc::FrameFromText("e0e0020zff");
        QCOMPARE(int(part.p[0]), 2);
        QCOMPARE(int(part.p[1]), 0);
        QCOMPARE(int(part.p[2]), 255);
        QCOMPARE(int(part.p[3]), 0);
    }
};

QTEST_GUILESS_MAIN(TestOscDecode)
#include "test_osc_decode.moc"
