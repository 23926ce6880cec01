// The seven live decoders from hand-built frames: fields, normalisation, date texts, the
// saved-reading kinds and the events they send out.
#include "FrameBuilder.h"
#include "protocol/LiveDecoder.h"
#include "protocol/MeterProtocol.h"

#include <QSignalSpy>
#include <QTest>
#include <ctime>

namespace {

// A mode-1 frame of the given unit, value, limit and decimal code, clock 26-12-05 09:03:07.
FrameBuilder Normal(const char* unit, float value, float limit, int decimalCode, bool saved = false)
{
    FrameBuilder f(1, saved);
    f.byte(2, 2).f32(4, value).f32(8, limit).unit(12, unit).byte(16, uint8_t(decimalCode));
    f.clock(17, 26, 12, 5, 9, 3, 7);
    return f;
}

FrameBuilder MinMax(int month, int day)
{
    FrameBuilder f(2);
    f.byte(2, 2).f32(4, 1.5f).f32(8, 2.0f).f32(12, 1.0f).f32(16, 1.5f).f32(20, 6.0f);
    f.byte(24, 0b11100100); // main 0 -> 5, max 1 -> 4, min 2 -> 3, avg 3 -> 2
    f.unit(25, "V").unit(29, "V").unit(33, "V").unit(37, "V");
    f.bcd(41, 1).bcd(42, 2).bcd(43, 3).bcd(44, 4).bcd(45, 5).bcd(46, 6);
    f.bcd(47, 1).bcd(48, 30).bcd(49, 15); // elapsed 01:30:15
    f.clock(50, 26, month, day, 12, 0, 0);
    return f;
}

} // namespace

class TestDecoders : public QObject {
    Q_OBJECT
private:
    CLiveDecoder dec;
    std::vector<MeterEvent> events;

    void decode(int mode, const FrameBuilder& f, bool savedReadings = false)
    {
        const std::string text = f.hex();
        dec.Decode(mode, text, savedReadings);
    }
    const MeterData& rd() const { return dec.Record(); }

private slots:
    void initTestCase()
    {
        connect(&dec, &CLiveDecoder::frameDecoded, this, [this](const MeterEvent& e) { events.push_back(e); });
    }
    void init()
    {
        events.clear();
    }

    void normalFrame()
    {
        FrameBuilder f = Normal("ko", 2200.0f, 6000.0f, 1);
        f.byte(3, 0b1101).byte(23, 0b10);
        decode(1, f);
        QCOMPARE(rd().m_strFunction, QStringLiteral("VDC"));
        QCOMPARE(rd().m_strUnit, QStringLiteral("K\u03a9"));
        QCOMPARE(rd().m_fValue, 2.2f);
        QCOMPARE(rd().m_fLimit, 6.0f);
        QCOMPARE(rd().m_nDecimals, 4);
        QVERIFY(rd().m_bHold && rd().m_bAutoRange && rd().m_bSubMode && rd().m_bSubMode2);
        QVERIFY(!rd().m_b24Hour && rd().m_bMonthFirst);
        QCOMPARE(rd().m_byYear, uint8_t(26));
        QCOMPARE(rd().m_bySecond, uint8_t(7));

        QCOMPARE(int(events.size()), 1);
        const MeterEvent& e = events[0];
        QCOMPARE(e.m_nMode, 1);
        QVERIFY(!e.m_bSavedFrame);
        QCOMPARE(e.m_nSavedKind, 0);
        QCOMPARE(e.m_strDate, QStringLiteral("12/5/26 9:3:7"));
        QCOMPARE(e.m_nDialPos, 8);
        QVERIFY(e.m_data == rd());

        f.byte(3, 0b0010).byte(23, 0b01);
        decode(1, f);
        QVERIFY(!rd().m_bHold && !rd().m_bAutoRange && !rd().m_bSubMode);
        QVERIFY(rd().m_b24Hour && !rd().m_bMonthFirst);
        QCOMPARE(events.back().m_strDate, QStringLiteral("5/12/26 9:3:7"));
    }

    void normalDecimalsAndUnits()
    {
        decode(1, Normal("nF", 10.0f, 60.0f, 2));
        QCOMPARE(rd().m_nDecimals, 2);
        decode(1, Normal("uF", 2500.0f, 6000.0f, 2));
        QCOMPARE(rd().m_strUnit, QStringLiteral("uF"));
        QCOMPARE(rd().m_fValue, 2.5f);
        QCOMPARE(rd().m_nDecimals, 2);
        decode(1, Normal("V", 1.0f, 6.0f, 2));
        QCOMPARE(rd().m_nDecimals, 3);
        QCOMPARE(events.back().m_nDialPos, 8); // "V" names no position: unchanged
        decode(1, Normal("HZ", 50.0f, 600.0f, 2).byte(2, 2));
        QCOMPARE(rd().m_strFunction, QStringLiteral("VDC")); // no frequency rule in mode 1
        decode(1, Normal("s", 21.5f, 400.0f, 4).byte(2, 19));
        QCOMPARE(rd().m_strFunction, QString());
        QCOMPARE(rd().m_strUnit, QStringLiteral("\u2103"));
        QCOMPARE(events.back().m_nDialPos, 4);
    }

    void frequencyKeepsEarlierFields()
    {
        decode(1, Normal("V", 1.0f, 6.0f, 2));
        struct Row {
            float hz;
            const char* unit;
            float value;
        };
        for (const Row& r :
            { Row { 1234567.0f, "MHZ", 1.234567f }, Row { 500.0f, "HZ", 500.0f }, Row { 500.5f, "KHZ", 0.5005f } }) {
            FrameBuilder f(7);
            f.byte(2, 0x10).f32(3, r.hz).f32(7, 0.25f).clock(11, 26, 1, 2, 3, 4, 5).byte(17, 0);
            decode(7, f);
            QCOMPARE(rd().m_strUnit, QString::fromLatin1(r.unit));
            QCOMPARE(rd().m_fValue, r.value);
        }
        QCOMPARE(rd().m_strFunction, QStringLiteral("HZ"));
        QCOMPARE(rd().m_fDuty, 25.0f);
        QVERIFY(rd().m_bSubMode3);
        // Without the duty line the dial goes to the frequency position, frame after frame.
        QCOMPARE(events.back().m_nDialPos, CLiveDecoder::kDialFrequency);
        QCOMPARE(dec.DialPos(), CLiveDecoder::kDialFrequency);
        QCOMPARE(rd().m_fLimit, 6.0f);
        QCOMPARE(rd().m_nDecimals, 3);
        QCOMPARE(events.back().m_strDate, QStringLiteral("2/1/26 3:4:5"));
    }

    void dcAc()
    {
        FrameBuilder f(5, true);
        f.byte(2, 21).f32(4, 1.0f).f32(8, 2.0f).f32(12, 3.0f).unit(16, "V").f32(20, 6.0f).byte(24, 1).byte(25, 3);
        f.clock(26, 26, 3, 4, 5, 6, 7);
        decode(5, f, true);
        QCOMPARE(rd().m_strUnit, QStringLiteral("VDC"));
        QCOMPARE(rd().m_strAltUnit, QStringLiteral("VDC"));
        QCOMPARE(rd().m_strSubUnit, QStringLiteral("VAC"));
        QCOMPARE(rd().m_nDecimals, 4);
        QCOMPARE(rd().m_fAltValue, 1.0f);
        QCOMPARE(rd().m_fSubValue, 2.0f);
        QCOMPARE(rd().m_fValue, 3.0f);
        QCOMPARE(rd().m_strFunction, QStringLiteral("DC+AC(V)"));
        QCOMPARE(events.back().m_nSavedKind, 6);
        QCOMPARE(events.back().m_nDialPos, 6);

        f.byte(25, 2).unit(16, "A");
        decode(5, f, true);
        QCOMPARE(rd().m_strUnit, QStringLiteral("dc+ac"));
        QCOMPARE(rd().m_nDecimals, 3);
        QCOMPARE(rd().m_strSubUnit, QStringLiteral("VAC")); // kept from the frame before
        QCOMPARE(events.back().m_nSavedKind, 7);

        f.byte(25, 4);
        decode(5, f, true);
        QCOMPARE(events.back().m_nSavedKind, 0);
    }

    void dualAc()
    {
        FrameBuilder f(6);
        f.byte(2, 0x0f).f32(3, 230.0f).unit(7, "VAC").byte(11, 3).f32(12, 600.0f).f32(16, 50.0f).unit(20, "HZ");
        f.clock(24, 26, 1, 1, 0, 0, 0).byte(30, 3);
        decode(6, f);
        QCOMPARE(rd().m_strFunction, QStringLiteral("VAC"));
        QCOMPARE(rd().m_strUnit, QStringLiteral("VAC"));
        QCOMPARE(rd().m_strAux, QStringLiteral("HZ  ")); // as sent
        QCOMPARE(rd().m_fAux, 50.0f);
        QCOMPARE(rd().m_fLimit, 600.0f);
        QCOMPARE(rd().m_nDecimals, 2);
        QVERIFY(rd().m_bHold && !rd().m_bAutoRange && rd().m_bSubMode2);
        QCOMPARE(events.back().m_strDate, QStringLiteral("1/1/26 0:0:0"));
        QCOMPARE(events.back().m_nDialPos, 5);
    }

    void relative()
    {
        FrameBuilder f(3);
        f.byte(2, 4).f32(4, 1500.0f).f32(8, 1000.0f).f32(12, 500.0f).f32(16, 6000.0f).unit(20, "ko").byte(24, 2);
        f.clock(25, 26, 6, 7, 8, 9, 10).byte(31, 0);
        decode(3, f, true);
        QCOMPARE(rd().m_fValue, 1.5f);
        QCOMPARE(rd().m_fReference, 1.0f);
        QCOMPARE(rd().m_fRelValue, 0.5f);
        QCOMPARE(rd().m_fLimit, 6.0f);
        QCOMPARE(events.back().m_nSavedKind, 3);

        f.unit(20, "kHZ").unit(20, "kHZ");
        decode(3, f);
        QCOMPARE(rd().m_strUnit, QStringLiteral("KHZ"));
        QCOMPARE(rd().m_strFunction, QStringLiteral("HZ"));
        f.unit(20, "uF");
        decode(3, f);
        QCOMPARE(rd().m_nDecimals, 3); // capacitance does not lower the decimals here
        QCOMPARE(rd().m_fValue, 1.5f);
    }

    void peak()
    {
        FrameBuilder f(4);
        f.byte(2, 1).byte(3, 0x04).f32(4, 1.0f).f32(8, 1.5f).f32(12, -1.5f).f32(16, 0.5f).f32(20, 600.0f);
        f.unit(24, "VAC").byte(28, 0b00011011); // main 3 -> 2, max 2 -> 3, min 1 -> 4, avg 0 -> 5
        f.bcd(29, 10).bcd(30, 11).bcd(31, 12).bcd(32, 13).bcd(33, 14).bcd(34, 15);
        f.bcd(35, 0).bcd(36, 2).bcd(37, 0); // elapsed 2 minutes
        f.clock(38, 26, 12, 5, 21, 3, 7);
        decode(4, f, true);
        QCOMPARE(rd().m_strStart, QStringLiteral("05/12/26 09:03:07 pm"));
        QCOMPARE(rd().m_statMax.m_strUnit, QStringLiteral("VAC"));
        QCOMPARE(rd().m_statAvg.m_strUnit, QStringLiteral("VAC"));
        QCOMPARE(rd().m_nDecimals, 2);
        QCOMPARE(rd().m_statMax.m_nDecimals, 3);
        QCOMPARE(rd().m_statMin.m_nDecimals, 4);
        QCOMPARE(rd().m_statAvg.m_nDecimals, 5);
        QCOMPARE(rd().m_statMax.m_strTime, QStringLiteral("10:11:12"));
        QCOMPARE(rd().m_statMin.m_strTime, QStringLiteral("13:14:15"));
        QCOMPARE(rd().m_statAvg.m_strTime, QStringLiteral("00:02:00"));
        QCOMPARE(rd().m_byElapsedM, uint8_t(2));
        QCOMPARE(rd().m_statMin.m_fValue, -1.5f);
        QCOMPARE(events.back().m_nSavedKind, 5); // sub-mode: crest factor
        QCOMPARE(events.back().m_strDate, QStringLiteral("5/12/2026 21:1:7"));

        f.byte(3, 0).bcd(41, 12);
        decode(4, f, true);
        QCOMPARE(rd().m_strStart, QStringLiteral("05/12/26 12:03:07 am"));
        QCOMPARE(events.back().m_nSavedKind, 4);
        f.bcd(41, 0);
        decode(4, f);
        QCOMPARE(rd().m_strStart, QStringLiteral("05/12/26 00:03:07 am"));
    }

    void startTimeIsTheSameInEveryTimeZone()
    {
        // 03:30 less one hour on the morning the clocks go forward in Berlin: the meter's clock
        // knows no zone, so the start is 02:30 wherever the computer is.
        FrameBuilder f = MinMax(3, 29);
        f.bcd(47, 1).bcd(48, 0).bcd(49, 0);
        f.clock(50, 26, 3, 29, 3, 30, 0);
        decode(1, Normal("V", 1.0f, 6.0f, 2).byte(23, 0)); // day first
        const QByteArray before = qgetenv("TZ");
        for (const char* zone : { "UTC", "Europe/Berlin" }) {
            qputenv("TZ", zone);
            tzset();
            decode(2, f);
            QCOMPARE(events.back().m_strDate, QStringLiteral("29/3/2026 2:30:0"));
        }
        if (before.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", before);
        tzset();
    }

    void minMax()
    {
        decode(1, Normal("V", 1.0f, 6.0f, 2).byte(23, 0b10)); // month first, kept by mode 2
        decode(2, MinMax(3, 1));
        QCOMPARE(rd().m_nDecimals, 5);
        QCOMPARE(rd().m_statMax.m_nDecimals, 4);
        QCOMPARE(rd().m_statMin.m_nDecimals, 3);
        QCOMPARE(rd().m_statAvg.m_nDecimals, 2);
        QCOMPARE(rd().m_byElapsedH, uint8_t(1));
        QCOMPARE(rd().m_statAvg.m_strTime, QStringLiteral("01:30:15"));
        QVERIFY(rd().m_bMonthFirst);
        // 2026-03-01 12:00:00 less 1:30:15, month first
        QCOMPARE(events.back().m_strDate, QStringLiteral("3/1/2026 10:29:45"));
        QVERIFY(!events.back().m_bDateWarning);

        // elapsed time reaching back over a year's end
        FrameBuilder f = MinMax(1, 1);
        f.bcd(53, 1).bcd(54, 0).bcd(55, 0);
        decode(1, Normal("V", 1.0f, 6.0f, 2).byte(23, 0)); // day first
        decode(2, f);
        QCOMPARE(events.back().m_strDate, QStringLiteral("31/12/2025 23:29:45"));

        // temperature: the statistics take the main symbol; a statistic's own scale
        f = MinMax(3, 1);
        f.unit(25, "s").unit(29, "ko");
        decode(2, f);
        QCOMPARE(rd().m_strUnit, QStringLiteral("\u2103"));
        QCOMPARE(rd().m_statMax.m_strUnit, QStringLiteral("\u2103"));
        QCOMPARE(rd().m_statMax.m_fValue, 2.0f);
        QCOMPARE(events.back().m_nDialPos, 4);

        f = MinMax(3, 1);
        f.byte(2, 1).unit(25, "kHZ").f32(4, 1500.0f).f32(20, 6000.0f).unit(33, "MHZ").f32(12, 2e6f);
        decode(2, f, true);
        QCOMPARE(rd().m_strFunction, QStringLiteral("HZ"));
        QCOMPARE(rd().m_strUnit, QStringLiteral("kHZ"));
        QCOMPARE(rd().m_fValue, 1.5f);
        QCOMPARE(rd().m_fLimit, 6.0f);
        QCOMPARE(rd().m_statMin.m_strUnit, QStringLiteral("MHZ"));
        QCOMPARE(rd().m_statMin.m_fValue, 2.0f);
        QCOMPARE(rd().m_statMax.m_fValue, 2.0f); // "V": unchanged
        QCOMPARE(events.back().m_nSavedKind, 2);
    }

    void dateWarningOncePerRun()
    {
        decode(2, MinMax(3, 1));
        QVERIFY(!events.back().m_bDateWarning);
        decode(2, MinMax(0, 15));
        QVERIFY(events.back().m_bDateWarning);
        QCOMPARE(rd().m_byMonth, uint8_t(1));
        QCOMPARE(rd().m_byDay, uint8_t(1));
        QCOMPARE(events.back().m_data.m_byDay, uint8_t(1));
        QCOMPARE(events.back().m_strDate, QStringLiteral("1/1/2026 10:29:45"));
        // the same fault again: the record is still mended, the box is not raised again
        decode(4, FrameBuilder(4).clock(38, 26, 5, 0, 1, 2, 3));
        QVERIFY(!events.back().m_bDateWarning);
        QCOMPARE(rd().m_byDay, uint8_t(1));
        decode(1, Normal("V", 1.0f, 6.0f, 2).clock(17, 26, 0, 0, 0, 0, 0)); // other modes pass it on
        QVERIFY(!events.back().m_bDateWarning);
        QCOMPARE(rd().m_byMonth, uint8_t(0));
        decode(2, MinMax(0, 0));
        QVERIFY(!events.back().m_bDateWarning);
        // a good clock re-arms the warning
        decode(2, MinMax(4, 2));
        QVERIFY(!events.back().m_bDateWarning);
        decode(2, MinMax(4, 0));
        QVERIFY(events.back().m_bDateWarning);
    }

    void dialResetFromGui()
    {
        decode(1, Normal("VDC", 1.0f, 6.0f, 2));
        QCOMPARE(dec.DialPos(), 6);
        dec.ResetDialPos();
        decode(1, Normal("V", 1.0f, 6.0f, 2));
        QCOMPARE(dec.DialPos(), 0);
        QCOMPARE(events.back().m_nDialPos, 0);
        decode(1, Normal("V", 1.0f, 6.0f, 2).byte(3, 0x08));
        QCOMPARE(dec.DialPos(), 10);
    }

    void protocolWiring()
    {
        HexText text;
        std::vector<std::string> sent;
        int readSize = 0;
        CMeterProtocol p(
            text,
            [&sent](const uint8_t* b, int n) {
                sent.push_back(BytesToHex(b, size_t(n)));
                return true;
            },
            [&readSize](int n) { readSize = n; });
        std::vector<int> modes, osc;
        connect(&p.Decoder(), &CLiveDecoder::frameDecoded, this,
            [&modes](const MeterEvent& e) { modes.push_back(e.m_nMode); });
        connect(&p.Decoder(), &CLiveDecoder::oscModeEntered, this, [&osc](int dial) { osc.push_back(dial); });

        text.appendText(Normal("VDC", 1.0f, 6.0f, 2).hex());
        p.MeterFrameDispatcher();
        QCOMPARE(modes, std::vector<int>({ 1 }));
        QCOMPARE(p.Decoder().DialPos(), 6);
        text.appendText("a2a2a2a2");
        p.MeterFrameDispatcher();
        QCOMPARE(osc, std::vector<int>({ 11 }));
        QCOMPARE(p.Decoder().DialPos(), 11);
        text.appendText(Normal("V", 1.0f, 6.0f, 2).byte(3, 0x08).hex() + "a2a2a2a2");
        p.MeterFrameDispatcher();
        QCOMPARE(osc, std::vector<int>({ 11, 10 })); // the sub-mode row comes before "OSC"

        text.appendText("a0a8" + std::string(48, '0'));
        p.MeterFrameDispatcher();
        QCOMPARE(sent, std::vector<std::string>({ "f30001f4" }));
        QCOMPARE(readSize, 1000);
        QVERIFY(p.Commander().SendKeyCode(meter_cmd::KeyRange));
        QCOMPARE(sent.back(), std::string("b09400b1"));
    }
};

int main(int argc, char** argv)
{
    // Date texts of MAX/MIN and PEAK frames are local times.
    qputenv("TZ", "UTC");
    tzset();
    TestDecoders t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_decoders.moc"
