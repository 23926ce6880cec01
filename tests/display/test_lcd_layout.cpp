// What the readout shows per display mode: texts and where they stand, legends and
// annunciators, the bar graph's scale, labels and length. The measure is fixed-width, so every
// position is an exact number: frame 231 x 174, W/2 = 115, H/2 = 87, big L = 36, small L = 17.
#include "Crowding.h"
#include "FixedMeasure.h"
#include "Readings.h"
#include "display/LcdLayout.h"
#include "display/PanelGeometry.h"
#include "display/UnitTable.h"

#include <QtTest>

namespace {

const QSize kFrame = PanelGeometry::DisplayFrame().size();


LcdScene Layout(const MeterData& d, int mode)
{
    static const FixedMeasure measure;
    return LcdLayout(d, kFrame, measure).ForMode(mode);
}

QString MainText(const LcdScene& s)
{
    const LcdItem* v = s.Find(LcdRole::MainValue);
    return v ? v->text : QString();
}

int LegendRow(const LcdScene& s)
{
    const LcdItem* it = s.Find(LcdRole::UnitLegend);
    return it ? it->legendRow : -1;
}

QStringList Labels(const LcdScene& s)
{
    QStringList out;
    for (const LcdItem* it : s.All(LcdRole::BarLabel))
        out << it->text;
    return out;
}

} // namespace

class TestLcdLayout : public QObject {
    Q_OBJECT
private slots:
    void frameSizeFollowsTheDialogUnitConversion()
    {
        QCOMPARE(PanelGeometry::DisplayFrame(), QRect(35, 75, 231, 174));
        QCOMPARE(PanelGeometry::DialogSize(), QSize(356, 705));
    }

    void normalReadingTextsAndPlaces()
    {
        MeterData d = Reading("VDC", "VDC", 12.345f, 3, 50.0f);
        d.m_bHold = true;
        const LcdScene s = Layout(d, 1);
        QCOMPARE(s.Find(LcdRole::Background)->rgb, LcdColor::LcdGrey);
        const LcdItem* v = s.Find(LcdRole::MainValue);
        QCOMPARE(v->text, QStringLiteral("12.345"));
        QCOMPARE(v->rect.topLeft(), QPoint(115 - 60, 87 - 36));
        QCOMPARE(v->font, LcdFonts::Big);

        const LcdItem* clock = s.Find(LcdRole::Clock);
        QCOMPARE(clock->text, QStringLiteral("14:07"));
        QCOMPARE(clock->rect.topLeft(), QPoint(10, 0));
        QCOMPARE(clock->rgb, LcdColor::White);
        QCOMPARE(s.Find(LcdRole::ClockBox)->rect, QRect(10, 0, 30, 17));
        QCOMPARE(s.Find(LcdRole::ClockBox)->rgb, LcdColor::BoxGrey);
        const LcdItem* date = s.Find(LcdRole::Date);
        QCOMPARE(date->text, QStringLiteral("12/05/26"));
        QCOMPARE(date->rect.right() + 1, 231 - 10);

        const LcdItem* legend = s.Find(LcdRole::UnitLegend);
        QCOMPARE(legend->legendRow, 0);
        QCOMPARE(legend->rect, QRect(231 - 57 - 5, 20, 57, 25));
        QCOMPARE(s.FindPicture(LcdPicture::Hold)->rect.topLeft(), QPoint(115, 20));
        QCOMPARE(s.FindPicture(LcdPicture::AutoRange)->rect.topLeft(), QPoint(5, 20));
        QVERIFY(!s.FindPicture(LcdPicture::ManualRange));

        d.m_bHold = false;
        d.m_bAutoRange = false;
        const LcdScene manual = Layout(d, 1);
        QVERIFY(!manual.FindPicture(LcdPicture::Hold));
        QVERIFY(manual.FindPicture(LcdPicture::ManualRange));
    }

    void overRangeAndNegativeZeroOnTheMainValue()
    {
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", 50.0f, 3, 50.0f), 1)), QStringLiteral("50.000"));
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", 50.01f, 3, 50.0f), 1)), QStringLiteral("OL"));
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", -50.01f, 3, 50.0f), 1)), QStringLiteral("-OL"));
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", -0.0f, 3, 50.0f), 1)), QStringLiteral("0.000"));
        QCOMPARE(MainText(Layout(Reading("VAC", "VAC", -0.0f, 1, 500.0f), 6)), QStringLiteral("0.0"));
    }

    void unitLegendLookupAndItsIndexRules()
    {
        QCOMPARE(UnitIndex(QStringLiteral("VAC")), 5);
        QCOMPARE(UnitIndex(QStringLiteral("vac")), -1);
        QCOMPARE(UnitIndex(QStringLiteral("HZ")), 28);
        QCOMPARE(UnitIndex(QStringLiteral(u"K\u03A9")), 21);
        QCOMPARE(UnitIndex(QStringLiteral(u"\u2103")), 31);

        MeterData d = Reading("VAC", "VAC", 1.0f, 3, 50.0f);
        QCOMPARE(LegendRow(Layout(d, 1)), 5);
        d.m_bSubMode = true; // low-pass: the next row
        QCOMPARE(LegendRow(Layout(d, 1)), 6);
        QCOMPARE(LegendRow(Layout(d, 2)), 6);
        QCOMPARE(LegendRow(Layout(d, 5)), 5); // other variants do not step
        d.m_bSubMode = false;
        d.m_bSubMode2 = true;
        QCOMPARE(LegendRow(Layout(d, 1)), 6);

        // The last row has no neighbour, and an unknown unit draws nothing even when stepped.
        d.m_strUnit = QStringLiteral("VD");
        QCOMPARE(LegendRow(Layout(d, 1)), 37);
        d.m_strUnit = QStringLiteral("dc+ac");
        QVERIFY(!Layout(d, 1).Find(LcdRole::UnitLegend));
        // The combined DC+AC reading takes its legend from the range in its function name.
        MeterData combined = Reading("DC+AC(mA)", "dc+ac", 12.5f, 2, 60.0f);
        combined.m_nSubKind = 2;
        QCOMPARE(LegendRow(Layout(combined, 5)), 12); // "mAdc+ac"
        combined.m_strFunction = QStringLiteral("DC+AC(V)");
        QCOMPARE(LegendRow(Layout(combined, 5)), 8); // "Vdc+ac"
        combined.m_strFunction = QStringLiteral("VDC");
        QVERIFY(!Layout(combined, 5).Find(LcdRole::UnitLegend));

        MeterData v = Reading("Diode", "V", 0.5f, 4, 3.0f);
        QCOMPARE(LegendRow(Layout(v, 1)), 23); // diode V
        QCOMPARE(LegendRow(Layout(v, 3)), 35); // plain V in the relative display
        MeterData f = Reading("HZ", "HZ", 50.0f, 2, 0.0f);
        QCOMPARE(LegendRow(Layout(f, 7)), 28);
        MeterData wide = Reading("mVDC", "mVDC", 1.0f, 2, 500.0f);
        QCOMPARE(Layout(wide, 1).Find(LcdRole::UnitLegend)->rect.left(), 231 - 64 - 5);
    }

    void barScaleChoice_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<float>("low");
        QTest::addColumn<float>("high");
        QTest::newRow("VAC 4") << "VAC" << 4 << 1 << true << 0.0f << 5.0f;
        QTest::newRow("RES 3") << "RES" << 3 << 3 << true << 0.0f << 50.0f;
        QTest::newRow("VDC 2") << "VDC" << 2 << 1 << true << -500.0f << 500.0f;
        QTest::newRow("mADC 1") << "mADC" << 1 << 4 << true << -1000.0f << 1000.0f;
        QTest::newRow("ADC 3 normal") << "ADC" << 3 << 1 << true << -10.0f << 10.0f;
        QTest::newRow("ADC 3 rel") << "ADC" << 3 << 3 << true << -50.0f << 50.0f;
        QTest::newRow("AAC 3 normal") << "AAC" << 3 << 1 << true << 0.0f << 10.0f;
        QTest::newRow("AAC 3 peak") << "AAC" << 3 << 4 << true << 0.0f << 50.0f;
        QTest::newRow("uAAC 1 normal") << "uAAC" << 1 << 1 << true << 0.0f << 5000.0f;
        QTest::newRow("uAAC 1 rel") << "uAAC" << 1 << 3 << true << 0.0f << 1000.0f;
        QTest::newRow("uADC 1 normal") << "uADC" << 1 << 1 << true << -5000.0f << 5000.0f;
        QTest::newRow("Diode 1 normal") << "Diode" << 1 << 1 << true << 0.0f << 1000.0f;
        QTest::newRow("Diode 1 rel") << "Diode" << 1 << 3 << false << 0.0f << 0.0f;
        QTest::newRow("Diode 1 peak") << "Diode" << 1 << 4 << false << 0.0f << 0.0f;
        QTest::newRow("Diode 2 rel") << "Diode" << 2 << 3 << true << 0.0f << 500.0f;
        QTest::newRow("VDC 0") << "VDC" << 0 << 1 << false << 0.0f << 0.0f;
        QTest::newRow("VDC 5") << "VDC" << 5 << 1 << false << 0.0f << 0.0f;
        QTest::newRow("HZ") << "HZ" << 3 << 1 << false << 0.0f << 0.0f;
        QTest::newRow("empty") << "" << 3 << 1 << false << 0.0f << 0.0f;
    }

    void barScaleChoice()
    {
        QFETCH(QString, function);
        QFETCH(int, decimals);
        QFETCH(int, mode);
        QFETCH(bool, valid);
        const LcdBarScale s = ChooseBarScale(function, decimals, mode);
        QCOMPARE(s.valid, valid);
        QFETCH(float, low);
        QFETCH(float, high);
        if (valid) {
            QCOMPARE(s.low, low);
            QCOMPARE(s.high, high);
        }
    }

    void barLabelsForEachKindOfScale()
    {
        const LcdScene from0 = Layout(Reading("VAC", "VAC", 1.0f, 4, 6.0f), 1);
        QCOMPARE(Labels(from0), QStringList({ "0", "1", "2", "3", "4", "5" }));
        // Labels are centred on every second major tick: x = 2W/15 + k * 11W/75.
        QCOMPARE(from0.FindText(QStringLiteral("0"))->rect.left(), 30 - 2);
        QCOMPARE(from0.FindText(QStringLiteral("5"))->rect.left(), 200 - 2);
        const LcdItem* unit = from0.Find(LcdRole::BarUnit);
        QCOMPARE(unit->text, QStringLiteral("VAC"));
        // Just right of the last label, never into its last pixel column (198..202).
        QCOMPARE(unit->rect.topLeft(), QPoint(203, 87 + 8));

        const LcdScene bipolar = Layout(Reading("VDC", "VDC", 1.0f, 3, 50.0f), 1);
        // Eleven 15-pixel labels 17 pixels apart would run together: every other tick.
        QCOMPARE(Labels(bipolar), QStringList({ "-50", "-30", "-10", "10", "30", "50" }));
        const LcdScene narrow = Layout(Reading("VDC", "VDC", 1.0f, 4, 5.0f), 1);
        QCOMPARE(Labels(narrow), QStringList({ "-5", "-4", "-3", "-2", "-1", "0", "1", "2", "3", "4", "5" }));

        // From -500 down: a zero at the centre and the six coarse labels.
        const LcdScene wide = Layout(Reading("VDC", "VDC", 1.0f, 2, 500.0f), 1);
        QCOMPARE(Labels(wide), QStringList({ "0", "-500", "-300", "-100", "100", "300", "500" }));
        QCOMPARE(wide.FindText(QStringLiteral("0"))->rect.left(), 115 - 2);

        QCOMPARE(bipolar.All(LcdRole::BarMajorTick).size(), 11);
        QCOMPARE(bipolar.All(LcdRole::BarMinorTick).size(), 51);
        QCOMPARE(bipolar.Find(LcdRole::BarAxis)->line, QLine(30, 87, 200, 87));
    }

    void barLength()
    {
        auto bar = [](const MeterData& d) { return Layout(d, 1).Find(LcdRole::Bar)->rect; };
        // From 0: starts at 2W/15, trunc(11W * r / (15 * high)) long.
        QCOMPARE(bar(Reading("VAC", "VAC", 500.0f, 1, 1000.0f)), QRect(30, 82, 84, 5));
        QCOMPARE(bar(Reading("VAC", "VAC", 0.0f, 1, 1000.0f)).width(), 0);
        QCOMPARE(bar(Reading("VAC", "VAC", -3.0f, 1, 1000.0f)).width(), 0);
        // Bipolar: from the centre, either way.
        QCOMPARE(bar(Reading("VDC", "VDC", 25.0f, 3, 50.0f)), QRect(115, 82, 42, 5));
        QCOMPARE(bar(Reading("VDC", "VDC", -25.0f, 3, 50.0f)), QRect(115 - 42, 82, 42, 5));
        // Over the scale or over the limit counts as the scale's end.
        QCOMPARE(bar(Reading("VDC", "VDC", 60.0f, 3, 50.0f)), QRect(115, 82, 84, 5));
        QCOMPARE(bar(Reading("VDC", "VDC", -60.0f, 3, 50.0f)), QRect(115 - 84, 82, 84, 5));
        QCOMPARE(bar(Reading("VDC", "VDC", 30.0f, 3, 20.0f)), QRect(115, 82, 84, 5));
        QCOMPARE(bar(Reading("VAC", "VAC", 1500.0f, 1, 1000.0f)).width(), 169);
        // No scale, no bar.
        QVERIFY(!Layout(Reading("HZ", "HZ", 1.0f, 3, 50.0f), 1).Find(LcdRole::Bar));
    }

    void minMaxBlock()
    {
        MeterData d = Reading("VAC", "VAC", 229.8f, 1, 500.0f);
        d.m_statMin = { -0.0f, QStringLiteral("VAC"), 1, QStringLiteral("00:00:01") };
        d.m_statAvg = { 228.4f, QStringLiteral("VAC"), 1, QStringLiteral("00:05:40") };
        d.m_statMax = { 600.0f, QStringLiteral("VAC"), 1, QStringLiteral("00:03:12") };
        d.m_byHour = 23;
        d.m_byMinute = 58;
        d.m_byElapsedM = 5;
        d.m_bHold = true;
        const LcdScene s = Layout(d, 2);
        QCOMPARE(s.FindText(QStringLiteral("Mininum"))->rect.topLeft(), QPoint(10, 87));
        QCOMPARE(s.FindText(QStringLiteral("Average"))->rect.topLeft(), QPoint(10, 104));
        QCOMPARE(s.FindText(QStringLiteral("Maxinum"))->rect.topLeft(), QPoint(10, 121));
        QCOMPARE(s.FindText(QStringLiteral("0.0"))->rect.topLeft(), QPoint(80, 87));
        QCOMPARE(s.FindText(QStringLiteral("228.4"))->rect.topLeft(), QPoint(80, 104));
        QCOMPARE(s.FindText(QStringLiteral("OL"))->rect.topLeft(), QPoint(80, 121));
        QCOMPARE(s.FindText(QStringLiteral("00:05:40"))->rect.topLeft(), QPoint(165, 104));
        QCOMPARE(s.FindText(QStringLiteral("Start:"))->rect.topLeft(), QPoint(60, 138));
        QCOMPARE(s.FindText(QStringLiteral("12/05/26 23:58:33"))->rect.topLeft(), QPoint(100, 138));
        // The clock shows the run's time: 23:58 plus five minutes is the next day.
        QCOMPARE(s.Find(LcdRole::Clock)->text, QStringLiteral("00:03"));
        QCOMPARE(s.Find(LcdRole::Date)->text, QStringLiteral("13/05/26"));
        QVERIFY(s.FindPicture(LcdPicture::MinMax));
        QVERIFY(!s.FindPicture(LcdPicture::AutoRange));
        QVERIFY(!s.FindPicture(LcdPicture::ManualRange));
        QVERIFY(!s.Find(LcdRole::Bar));
        // With Hold on the two legends do not cover each other.
        QVERIFY(!s.FindPicture(LcdPicture::MinMax)->rect.intersects(s.FindPicture(LcdPicture::Hold)->rect));

        // A start line too long for the frame moves left with its label, and stays inside.
        d.m_b24Hour = false;
        d.m_byHour = 14;
        const LcdScene twelve = Layout(d, 2);
        const LcdItem* start = twelve.FindText(QStringLiteral("12/05/26 02:58:33 PM"));
        QVERIFY(start);
        QVERIFY(start->rect.right() < 231);
        QCOMPARE(twelve.FindText(QStringLiteral("Start:"))->rect.left(), start->rect.left() - 40);
    }

    void relativeDisplay()
    {
        MeterData d = Reading("VDC", "V", 12.345f, 3, 50.0f);
        d.m_fReference = 10.0f;
        d.m_fRelValue = 2.345f;
        const LcdScene s = Layout(d, 3);
        QCOMPARE(MainText(s), QStringLiteral("2.345"));
        QVERIFY(s.FindPicture(LcdPicture::ManualRange)); // even though the range is automatic
        QVERIFY(s.FindPicture(LcdPicture::Rel));
        QCOMPARE(s.FindPicture(LcdPicture::Delta)->rect, QRect(231 - 25 - 5, 87 - 35, 25, 25));
        // The two lines start under the bar graph's labels (87 + 8 + 10), not into them.
        QCOMPARE(s.FindText(QStringLiteral("Reference"))->rect.topLeft(), QPoint(30, 105));
        QCOMPARE(s.FindText(QStringLiteral("10.000"))->rect.topLeft(), QPoint(100, 105));
        QCOMPARE(s.FindText(QStringLiteral("12.345"))->rect.topLeft(), QPoint(100, 122));
        QVERIFY(s.Find(LcdRole::Bar));

        d.m_bSubMode = true; // percent of the reference
        const LcdScene pct = Layout(d, 3);
        QCOMPARE(MainText(pct), QStringLiteral("23.5"));
        QCOMPARE(pct.Find(LcdRole::Percent)->rect.left(), 115 + 10 + 40);
        d.m_fReference = 0.0f;
        QCOMPARE(MainText(Layout(d, 3)), QStringLiteral("0.0"));

        d.m_bSubMode = false;
        d.m_fReference = 51.0f; // over the limit
        const LcdScene over = Layout(d, 3);
        QCOMPARE(MainText(over), QStringLiteral("OL"));
        int referenceOl = 0;
        for (const LcdItem* it : over.All(LcdRole::Text))
            referenceOl += it->text == QLatin1String("OL") && it->rect.topLeft() == QPoint(100, 105);
        QCOMPARE(referenceOl, 1);

        MeterData t = Reading("TEMP", "\u2103", 24.5f, 1, 1000.0f);
        const LcdScene temp = Layout(t, 3);
        QCOMPARE(temp.FindPicture(LcdPicture::Celsius)->rect.topLeft(), QPoint(180, 104)); // no bar here
        QCOMPARE(temp.All(LcdRole::Annunciator).size(), 5); // range, REL, delta and two degree signs
    }

    void peakBlockAndCrestFactor()
    {
        MeterData d = Reading("mVAC", "mVAC", 120.5f, 1, 500.0f);
        d.m_statMax = { 171.2f, QStringLiteral("mVAC"), 1, QStringLiteral("00:00:04") };
        d.m_statMin = { -169.8f, QStringLiteral("mVAC"), 1, QStringLiteral("00:00:09") };
        d.m_statAvg = { 120.1f, QStringLiteral("mVAC"), 1, QStringLiteral("00:01:10") };
        d.m_strStart = QStringLiteral("12/05/26 02:07:33 pm");
        d.m_bHold = true;
        const LcdScene s = Layout(d, 4);
        QCOMPARE(s.FindText(QStringLiteral("PeakMax"))->rect.topLeft(), QPoint(10, 87));
        QCOMPARE(s.FindText(QStringLiteral("PeakMin"))->rect.topLeft(), QPoint(10, 121));
        // The peak lines shorten the unit by two characters, the average keeps it whole.
        QCOMPARE(s.FindText(QStringLiteral("mV"))->rect.topLeft(), QPoint(130, 87));
        QCOMPARE(s.FindText(QStringLiteral("mVAC"))->rect.topLeft(), QPoint(130, 104));
        QVERIFY(s.FindText(QStringLiteral("12/05/26 02:07:33 pm")));
        // W/2 + 10 would run 6 pixels into the wide "mVAC" legend at 162: the plate gives way.
        QCOMPARE(s.FindPicture(LcdPicture::Hold)->rect.left(), 162 - 1 - 43);
        QVERIFY(s.FindPicture(LcdPicture::Peak));
        QVERIFY(s.FindPicture(LcdPicture::AutoRange));

        MeterData c = Reading("VAC", "VAC", 1.0f, 3, 500.0f);
        c.m_statMax.m_fValue = 2.0f;
        c.m_statMin.m_fValue = -2.0f;
        c.m_bSubMode = true;
        const LcdScene cf = Layout(c, 4);
        QCOMPARE(cf.FindText(QStringLiteral("1.9"))->rect.topLeft(), QPoint(100, 105)); // under the bar's labels
        QCOMPARE(cf.FindText(QStringLiteral("Crest Factor"))->rect.topLeft(), QPoint(150, 105));
        QVERIFY(!cf.FindText(QStringLiteral("PeakMax")));
        QVERIFY(cf.Find(LcdRole::Bar));
    }

    void dualDisplayCombinedAndApart()
    {
        MeterData d = Reading("DC+AC(V)", "dc+ac", 5.1234f, 2, 50.0f);
        d.m_nSubKind = 2;
        QCOMPARE(MainText(Layout(d, 5)), QStringLiteral("5.123")); // one decimal more
        d.m_fValue = -60.0f; // no negative over-range text here
        QCOMPARE(MainText(Layout(d, 5)), QStringLiteral("-60.000"));
        d.m_fValue = 60.0f;
        QCOMPARE(MainText(Layout(d, 5)), QStringLiteral("OL"));

        MeterData a = Reading("DC+AC(V)", "VDC", 5.155f, 3, 50.0f);
        a.m_nSubKind = 3;
        a.m_fAltValue = 5.012f;
        a.m_fSubValue = 1.204f;
        a.m_strSubUnit = QStringLiteral("VAC");
        const LcdScene s = Layout(a, 5);
        QCOMPARE(MainText(s), QStringLiteral("5.012"));
        QCOMPARE(s.FindText(QStringLiteral("1.204"))->rect.topLeft(), QPoint(100, 121));
        QCOMPARE(s.FindText(QStringLiteral("VAC"))->rect.topLeft(), QPoint(180, 121));
        a.m_fAltValue = -51.0f;
        QCOMPARE(MainText(Layout(a, 5)), QStringLiteral("-OL"));
    }

    void auxReading()
    {
        MeterData d = Reading("VAC", "VAC", 229.7f, 1, 500.0f);
        d.m_fAux = 50.02f;
        d.m_strAux = QString::fromLatin1("HZ\0\0", 4);
        LcdScene s = Layout(d, 6);
        QCOMPARE(s.FindText(QStringLiteral("50.02"))->rect.topLeft(), QPoint(100, 121));
        QCOMPARE(s.FindText(QStringLiteral("HZ"))->rect.topLeft(), QPoint(180, 121));
        QCOMPARE(s.FindPicture(LcdPicture::AutoRange)->rect.left(), 5);
        d.m_fAux = 100.0f;
        QVERIFY(Layout(d, 6).FindText(QStringLiteral("OL")));
        d.m_fAux = -0.0f;
        QVERIFY(Layout(d, 6).FindText(QStringLiteral("0.00")));
    }

    void frequencyDutyAndPulseWidth()
    {
        MeterData d = Reading("HZ", "KHZ", 1.0f, 3, 0.0f); // no over-range test at all
        d.m_fDuty = 50.0f;
        d.m_bHold = true;
        LcdScene s = Layout(d, 7);
        QCOMPARE(MainText(s), QStringLiteral("1.0000"));
        QCOMPARE(s.FindText(QStringLiteral("50.00"))->rect.topLeft(), QPoint(100, 121));
        QCOMPARE(s.FindText(QStringLiteral("%"))->rect.topLeft(), QPoint(180, 121));
        QCOMPARE(s.FindPicture(LcdPicture::Hold)->rect.left(), 125);
        QCOMPARE(LegendRow(s), 26);

        d.m_bSubMode = true;
        s = Layout(d, 7);
        QCOMPARE(s.FindText(QStringLiteral("0.50"))->rect.topLeft(), QPoint(100, 121));
        QCOMPARE(s.FindText(QStringLiteral("ms"))->rect.topLeft(), QPoint(180, 121));

        d.m_bSubMode = false;
        d.m_bSubMode3 = true;
        s = Layout(d, 7);
        QVERIFY(!s.FindText(QStringLiteral("50.00")));
        QVERIFY(!s.FindText(QStringLiteral("%")));
    }

    void noRecvAndEmpty()
    {
        const MeterData d;
        const LcdScene s = Layout(d, -1);
        QCOMPARE(s.FindPicture(LcdPicture::NoRecv)->rect, QRect(115 - 95, 87 - 40, 189, 50));
        QCOMPARE(Layout(d, 0).items.size(), 1); // the LCD grey alone
    }

    void oscilloscopeModeKeepsTheClockAndSaysSo()
    {
        const LcdScene s = Layout(Reading("VDC", "VDC", 1.0f, 3, 6.0f), LcdLayout::kOscilloscopeMode);
        QCOMPARE(MainText(s), QStringLiteral("OSC"));
        QCOMPARE(s.Find(LcdRole::Clock)->text, QStringLiteral("14:07"));
        QCOMPARE(s.Find(LcdRole::Date)->text, QStringLiteral("12/05/26"));
        QVERIFY(s.FindText(QStringLiteral("Oscilloscope active")));
        QVERIFY(!s.Find(LcdRole::UnitLegend));
        QVERIFY(!s.Find(LcdRole::Bar));
    }

    void valuesThatRoundToZeroShowNoSign()
    {
        MeterData d = Reading("VDC", "VDC", 10.0f, 3, 50.0f);
        d.m_fReference = 10.0f;
        d.m_fRelValue = -0.0001f; // a relative reading a hair below its reference
        QCOMPARE(MainText(Layout(d, 3)), QStringLiteral("0.000"));
        d.m_bSubMode = true;
        QCOMPARE(MainText(Layout(d, 3)), QStringLiteral("0.0"));
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", -0.0004f, 3, 50.0f), 1)), QStringLiteral("0.000"));
        QCOMPARE(MainText(Layout(Reading("VDC", "VDC", -0.0005f, 3, 50.0f), 1)), QStringLiteral("-0.001"));
    }

    void crowdedBarLabelsTakeEveryOtherTickAndTheUnitStaysInside()
    {
        // -50..50 at every major tick needs 17 pixels a label; with wider digits only every
        // other tick is labelled.
        class WideDigits : public FixedMeasure {
        public:
            int TextWidth(const LcdFont& font, const QString& text) const override
            {
                return font == LcdFonts::Scale ? 7 * int(text.size()) : FixedMeasure::TextWidth(font, text);
            }
        };
        const WideDigits wide;
        MeterData d = Reading("VDC", "VDC", 1.0f, 3, 50.0f);
        const LcdScene s = LcdLayout(d, kFrame, wide).ForMode(1);
        QCOMPARE(Labels(s), QStringList({ "-50", "-30", "-10", "10", "30", "50" }));
        QVERIFY2(Crowding(s).isEmpty(), qPrintable(Crowding(s).join(QLatin1Char('\n'))));

        // "1000" and "VAC" do not fit after the last tick: the unit ends at the frame's edge.
        MeterData ac = Reading("VAC", "VAC", 230.0f, 1, 1000.0f);
        const LcdScene acScene = LcdLayout(ac, kFrame, wide).ForMode(1);
        const LcdItem* unit = acScene.Find(LcdRole::BarUnit);
        QVERIFY(unit->rect.right() <= kFrame.width() - 2);
        QVERIFY2(Crowding(acScene).isEmpty(), qPrintable(Crowding(acScene).join(QLatin1Char('\n'))));
    }

    void longestValuesOfEveryModeLeaveEveryItemItsOwnPlace()
    {
        static const FixedMeasure measure;
        for (const CrowdedReading& r : LongestReadings()) {
            const LcdScene s = LcdLayout(r.record, kFrame, measure).ForMode(r.mode);
            const QStringList problems = Crowding(s);
            QVERIFY2(problems.isEmpty(), qPrintable(QString::fromLatin1(r.name) + QStringLiteral(": ")
                                                    + problems.join(QStringLiteral("; "))));
        }
    }
};

QTEST_APPLESS_MAIN(TestLcdLayout)
#include "test_lcd_layout.moc"
