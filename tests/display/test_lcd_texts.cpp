// The texts of the live display: numbers and over-range, clock and date, the run's clock, the
// crest factor, frequency and pulse width, the pop-up word and the info box's value.
#include "display/DialFace.h"
#include "display/LcdText.h"
#include "protocol/FrameFields.h"

#include <QtTest>

class TestLcdTexts : public QObject {
    Q_OBJECT
private slots:
    void overRangeAtAndPastTheLimit()
    {
        QCOMPARE(LcdText::Reading(50.0f, 3, 50.0f), QStringLiteral("50.000"));
        QCOMPARE(LcdText::Reading(50.001f, 3, 50.0f), QStringLiteral("OL"));
        QCOMPARE(LcdText::Reading(-50.0f, 3, 50.0f), QStringLiteral("-50.000"));
        QCOMPARE(LcdText::Reading(-50.001f, 3, 50.0f), QStringLiteral("-OL"));
    }

    void zeroNeverCarriesASign()
    {
        QCOMPARE(LcdText::Reading(-0.0f, 3, 50.0f), QStringLiteral("0.000"));
        QCOMPARE(LcdText::Number(-0.0f, 0), QStringLiteral("0"));
        // Anything that rounds to zero at the shown decimals is an unsigned zero.
        QCOMPARE(LcdText::Number(-0.0004f, 3), QStringLiteral("0.000"));
        QCOMPARE(LcdText::Number(-0.4f, 0), QStringLiteral("0"));
        QCOMPARE(LcdText::Number(-0.04f, 1), QStringLiteral("0.0"));
        QCOMPARE(LcdText::Number(-0.06f, 1), QStringLiteral("-0.1"));
        QCOMPARE(LcdText::Frequency(-0.00001f), QStringLiteral("0.0000"));
    }

    void damagedDecimalCountsAreClamped()
    {
        QCOMPARE(LcdText::Number(1.5f, 200), QStringLiteral("1.500000"));
        QCOMPARE(LcdText::Number(1.5f, -195), QStringLiteral("2"));
    }

    void clockFormats()
    {
        QCOMPARE(LcdText::Clock(9, 3, true), QStringLiteral("09:03"));
        QCOMPARE(LcdText::Clock(23, 59, true), QStringLiteral("23:59"));
        QCOMPARE(LcdText::Clock(12, 5, false), QStringLiteral("12:05AM"));
        QCOMPARE(LcdText::Clock(13, 5, false), QStringLiteral("01:05PM"));
        QCOMPARE(LcdText::Clock(0, 5, false), QStringLiteral("00:05AM"));
        QCOMPARE(LcdText::Date(26, 12, 5, true), QStringLiteral("12/05/26"));
        QCOMPARE(LcdText::Date(26, 12, 5, false), QStringLiteral("05/12/26"));
        QCOMPARE(LcdText::Date(3, 1, 9, false), QStringLiteral("09/01/03"));
    }

    void runClockAddsTheElapsedTimeAcrossMidnightAndYear()
    {
        MeterData d;
        d.m_byYear = 25;
        d.m_byMonth = 12;
        d.m_byDay = 31;
        d.m_byHour = 23;
        d.m_byMinute = 58;
        d.m_bySecond = 30;
        d.m_byElapsedM = 2;
        const LcdText::Moment m = LcdText::RunClock(d);
        QCOMPARE(m.year, 26);
        QCOMPARE(m.month, 1);
        QCOMPARE(m.day, 1);
        QCOMPARE(m.hour, 0);
        QCOMPARE(m.minute, 0);
        QCOMPARE(m.second, 30);

        // An unset date counts as the first of January; a month past December rolls over.
        d.m_byMonth = 0;
        d.m_byDay = 0;
        d.m_byElapsedM = 0;
        QCOMPARE(LcdText::RunClock(d).month, 1);
        QCOMPARE(LcdText::RunClock(d).day, 1);
        d.m_byMonth = 13;
        d.m_byDay = 1;
        QCOMPARE(LcdText::RunClock(d).year, 26);
        QCOMPARE(LcdText::RunClock(d).month, 1);
    }

    void startLineUsesTheMeterClockNotTheRunClock()
    {
        MeterData d;
        d.m_byYear = 26;
        d.m_byMonth = 5;
        d.m_byDay = 12;
        d.m_byHour = 14;
        d.m_byMinute = 7;
        d.m_bySecond = 33;
        d.m_byElapsedH = 3;
        d.m_b24Hour = true;
        QCOMPARE(LcdText::StartLine(d), QStringLiteral("12/05/26 14:07:33"));
        d.m_b24Hour = false;
        QCOMPARE(LcdText::StartLine(d), QStringLiteral("12/05/26 02:07:33 PM"));
        d.m_byHour = 12;
        d.m_bMonthFirst = true;
        QCOMPARE(LcdText::StartLine(d), QStringLiteral("05/12/26 12:07:33 AM"));
    }

    void crestFactor()
    {
        QCOMPARE(LcdText::CrestFactor(2.0f, -2.0f, 1.0f), QStringLiteral("1.9"));
        QCOMPARE(LcdText::CrestFactor(3.0f, -3.0f, 1.0f), QStringLiteral("3.0"));
        QCOMPARE(LcdText::CrestFactor(10.0f, 0.0f, 1.0f), QStringLiteral("1.3")); // exactly 5
        QCOMPARE(LcdText::CrestFactor(1.0f, -1.0f, 1.0f), QStringLiteral("1.3")); // exactly 1
        QCOMPARE(LcdText::CrestFactor(2.0f, -2.0f, 0.0f), QStringLiteral("1.3"));
        QCOMPARE(LcdText::CrestFactor(2.0f, -2.0f, -1.0f), QStringLiteral("1.3"));
    }

    void frequencyAndPulseWidth()
    {
        QCOMPARE(LcdText::Frequency(123.456f), QStringLiteral("123.46"));
        QCOMPARE(LcdText::Frequency(100.0f), QStringLiteral("100.000"));
        QCOMPARE(LcdText::Frequency(50.01f), QStringLiteral("50.010"));
        QCOMPARE(LcdText::Frequency(10.0f), QStringLiteral("10.0000"));
        QCOMPARE(LcdText::PulseWidth(QStringLiteral("KHZ"), 1.0f, 50.0f), QStringLiteral("0.50"));
        QCOMPARE(LcdText::PulseWidth(QStringLiteral("HZ"), 50.0f, 50.0f), QStringLiteral("10.00"));
        QCOMPARE(LcdText::PulseWidth(QStringLiteral("MHZ"), 0.001f, 50.0f), QStringLiteral("0.50"));
        QCOMPARE(LcdText::PulseWidth(QStringLiteral("HZ"), 0.0f, 50.0f), QStringLiteral("OL"));
        QCOMPARE(LcdText::PulseWidth(QStringLiteral("V"), 1.0f, 50.0f), QString());
    }

    void functionMenuWordPerDialPosition()
    {
        const char* expected[] = { "DC", "DC", "DC", "DC", "mVDC", "VDC", "VDC", "mVDC", "Ohms", "Hz", "Hz" };
        for (int pos = 0; pos < 11; ++pos)
            QCOMPARE(LcdText::FunctionMenuWord(pos), QString::fromLatin1(expected[pos]));
        QCOMPARE(LcdText::FunctionMenuWord(11), QString());
        QCOMPARE(LcdText::FunctionMenuWord(-1), QString());
    }

    void dialLabelsFollowTheFunctionTable()
    {
        // Each unit moves the dial to a position whose label names that function.
        const struct {
            const char16_t* unit;
            bool subMode2;
            const char16_t* label;
        } rows[] = {
            { u"uADC", false, u"\u00B5A" },
            { u"mADC", false, u"mA" },
            { u"ADC", false, u"A" },
            { u"\u2103", false, u"\u00B0C/\u00B0F" },
            { u"\u2109", false, u"\u00B0C/\u00B0F" },
            { u"VAC", false, u"V~" },
            { u"VDC", false, u"V\u2393" },
            { u"mVAC", false, u"mV" },
            { u"mVDC", false, u"mV" },
            { u"K\u03A9", false, u"\u03A9/\u22A3\u22A2" },
            { u"nF", false, u"\u03A9/\u22A3\u22A2" },
            { u"KHZ", true, u"Hz" },
            { u"OSC", false, u"OSC" },
        };
        for (const auto& r : rows) {
            const int position = ClassifyDial(QString::fromUtf16(r.unit), r.subMode2, 0);
            QCOMPARE(DialFace::Label(position), QString::fromUtf16(r.label));
        }
        QCOMPARE(DialFace::Label(0), QStringLiteral("OFF")); // before any reading
        QVERIFY(DialFace::Label(9).isEmpty()); // no unit leads there
        QVERIFY(DialFace::Label(12).isEmpty());
        // Twelve stops all round, OFF at the top, three o'clock is position 3.
        QCOMPARE(DialFace::LabelCentre(0, 100).toPoint(), QPoint(0, -100));
        QCOMPARE(DialFace::LabelCentre(3, 100).toPoint(), QPoint(100, 0));
        QCOMPARE(DialFace::LabelCentre(6, 100).toPoint(), QPoint(0, 100));
    }

    void infoBoxValue()
    {
        QCOMPARE(LcdText::ShowDataValue(500000.0), QStringLiteral("OL"));
        QCOMPARE(LcdText::ShowDataValue(-500000.0), QStringLiteral("OL"));
        QCOMPARE(LcdText::ShowDataValue(499999.0), QStringLiteral("499999.0000"));
        QCOMPARE(LcdText::ShowDataValue(500000.5), QStringLiteral("500000.5000"));
        QCOMPARE(LcdText::ShowDataValue(-1.23456), QStringLiteral("-1.2346"));
    }
};

QTEST_APPLESS_MAIN(TestLcdTexts)
#include "test_lcd_texts.moc"
