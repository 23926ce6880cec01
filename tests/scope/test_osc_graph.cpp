// The oscilloscope graph's model: ranges, what is drawn, the mended records, zoom thresholds,
// marker drag rules and the crosshair read-out.
#include "OscSamples.h"
#include "scope/OscExport.h"
#include "scope/OscGraphModel.h"
#include "scope/OscPrintLayout.h"

#include <QtTest>

namespace {

COscGraphModel Wave(const OSCData& d)
{
    COscGraphModel m;
    m.SetClientSize(650, 450); // plot 600 x 350
    m.SetData(d.fWave.data(), OSCData::kWavePoints, d.info);
    return m;
}

QStringList Texts(const osc::OscScene& s)
{
    QStringList out;
    for (const auto& t : s.texts)
        out << t.text;
    return out;
}

} // namespace

class TestOscGraph : public QObject {
    Q_OBJECT
private slots:
    void waveformAndSpectrumRanges()
    {
        const OSCData d = osc_samples::Record(3, 9, 2.0);
        COscGraphModel m = Wave(d);
        QCOMPARE(m.YMax(), 8.0);
        QCOMPARE(m.YMin(), -8.0);
        osc::OscScene s = m.Layout(false);
        QCOMPARE(s.markers.size(), 0); // a status 3 record has no marker lines
        COscGraphModel hold = Wave(osc_samples::Record(1));
        QCOMPARE(hold.Layout(false).markers.size(), 4);
        QCOMPARE(hold.Layout(false).trace.size(), 300);

        m.SetData(d.fSpectrum.data(), OSCData::kSpectrumPoints, d.info);
        QCOMPARE(m.YMin(), 0.0);
        QCOMPARE(m.YMax(), 200.0);
        QCOMPARE(m.XMax(), 120.0);
        s = m.Layout(false);
        QCOMPARE(s.markers.size(), 0);
        QCOMPARE(s.trace.size(), 120);
        QVERIFY(!Texts(s).contains(d.info.strFreq)); // no bottom-band texts
        QVERIFY(!Texts(s).contains(d.info.strRate));
        // Bottom and top of the range on the plot's edges.
        QCOMPARE(m.YOf(0), COscGraphModel::kTop + m.PlotHeight());
        QCOMPARE(m.YOf(200), COscGraphModel::kTop);
    }

    void unknownFrequencyAndBrokenRecordsShowDashes()
    {
        OSCData d = osc_samples::Record(1);
        d.info.dFreq = -1;
        QStringList t = Texts(Wave(d).Layout(false));
        QCOMPARE(t.count(QStringLiteral("---")), 2); // frequency box and period
        QVERIFY(!t.contains(d.info.strFreq));
        QVERIFY(!t.contains(d.info.strPeriod));

        for (double bad : { 0.0, -1.0, std::nan("") }) {
            d = osc_samples::Record(1);
            d.info.dVoltDiv = bad;
            COscGraphModel m = Wave(d);
            QVERIFY(m.YMax() > m.YMin());
            QVERIFY(std::isfinite(m.YScale()));
            t = Texts(m.Layout(false));
            QVERIFY(t.contains(QStringLiteral("AC ---")));
            QVERIFY(t.contains(QStringLiteral("Vp-p=---")));
        }
        // A time base out of every table: the read-out and a time-line drag stay sound.
        d = osc_samples::Record(3, 99);
        COscGraphModel m;
        m.SetClientSize(650, 450);
        m.SetData(d.fSpectrum.data(), 120, d.info);
        m.RightDown(QPoint(m.XOf(10), 100));
        QCOMPARE(m.ReadoutText(), QStringLiteral("NO.:10  Factor:%1 Freq:---").arg(double(d.fSpectrum[10]) * 10, 0, 'f', 2));
        d = osc_samples::Record(1, 0);
        m = Wave(d);
        const int x = m.XOf(d.info.dCross2);
        m.LeftDown(QPoint(x, 200));
        m.MouseMove(QPoint(x + 20, 200));
        QCOMPARE(m.Info().strFreq, QStringLiteral("---"));
        QCOMPARE(m.Info().dFreq, -1.0);
    }

    void markersAtFarOrNonNumericPositions()
    {
        // From a damaged file or after deep zooms: the lines lie off the plot on their side,
        // and a click in the plot does not pick them up.
        OSCData d = osc_samples::Record(1);
        d.info.dCross1 = std::nan("");
        d.info.dCross2 = 1e12;
        d.info.dMax = 1e300;
        d.info.dMin = std::nan("");
        COscGraphModel m = Wave(d);
        const int right = COscGraphModel::kLeft + m.PlotWidth();
        const int bottom = COscGraphModel::kTop + m.PlotHeight();
        QVERIFY(m.XOf(1e12) > right);
        QVERIFY(m.XOf(-1e12) < COscGraphModel::kLeft);
        QVERIFY(m.XOf(std::nan("")) < 0);
        QVERIFY(m.YOf(1e300) < COscGraphModel::kTop);
        QVERIFY(m.YOf(-1e300) > bottom);
        QVERIFY(m.YOf(std::nan("")) < 0);
        const osc::OscScene s = m.Layout(false);
        QCOMPARE(s.markers.size(), 4);
        for (const osc::OscSceneLine& l : s.markers)
            QVERIFY(!QRectF(COscGraphModel::kLeft + 1, COscGraphModel::kTop + 1, m.PlotWidth() - 2, m.PlotHeight() - 2)
                         .intersects(QRectF(l.line.p1(), l.line.p2()).adjusted(-1, -1, 1, 1)));
        m.LeftDown(QPoint(300, 200));
        QVERIFY(!m.Dragging());
    }

    void zoomThresholds()
    {
        COscGraphModel m = Wave(osc_samples::Record(3)); // no marker lines to pick up instead
        const double xs = m.XScale(), ys = m.YScale();
        // Less than 5 pixels in either direction zooms nothing.
        for (QPoint end : { QPoint(104, 200), QPoint(200, 84) }) {
            QVERIFY(m.LeftDown(QPoint(100, 80)));
            m.MouseMove(end);
            m.LeftUp(end);
            QCOMPARE(m.XScale(), xs);
            QCOMPARE(m.YScale(), ys);
        }
        m.LeftDown(QPoint(100, 80));
        m.LeftUp(QPoint(250, 255));
        QCOMPARE(m.XScale(), 150 * xs / 600);
        QCOMPARE(m.YScale(), 175 * ys / 350);
        QCOMPARE(m.X0(), 75 * xs);
        // The lower edge (y 255) is 145 pixels above the plot bottom (400).
        QCOMPARE(m.Y0(), -4 + 145 * ys); // 1 V/div: the range starts at -4 V

        // Narrow, tall rectangles shrink x fast: once x reaches 0.005 only y still zooms.
        int guard = 0;
        while (m.XScale() > COscGraphModel::kMinScale && ++guard < 50) {
            m.LeftDown(QPoint(100, 60));
            m.LeftUp(QPoint(110, 380));
        }
        QVERIFY(m.XScale() <= COscGraphModel::kMinScale);
        const double frozenX = m.XScale(), y0 = m.YScale();
        m.LeftDown(QPoint(100, 60));
        m.LeftUp(QPoint(110, 380));
        QCOMPARE(m.XScale(), frozenX);
        QVERIFY(m.YScale() < y0);

        // Resizing keeps the zoomed span; ResetView gives the full range back.
        const double span = m.XScale() * m.PlotWidth();
        m.SetClientSize(1050, 650);
        QCOMPARE(m.XScale() * m.PlotWidth(), span);
        m.ResetView();
        QCOMPARE(m.XScale(), 300.0 / 1000);
    }

    void markerDragRules()
    {
        const OSCData d = osc_samples::Record(1, 9);
        COscGraphModel m = Wave(d);
        // The first time line dragged onto and past the second stays one sample left of it.
        m.LeftDown(QPoint(m.XOf(20), 200));
        QVERIFY(m.Dragging());
        QCOMPARE(m.DragLine(), int(COscGraphModel::FirstTime));
        m.MouseMove(QPoint(m.XOf(70), 200));
        QCOMPARE(m.Info().dCross1, 69.0);
        m.MouseMove(QPoint(m.XOf(200), 200));
        QCOMPARE(m.Info().dCross1, 69.0);
        m.LeftUp(QPoint(m.XOf(200), 200));
        QVERIFY(!m.Dragging());
        // The second never below first + 1; 30 samples at 100 us/div (4 us a sample).
        m = Wave(d);
        m.LeftDown(QPoint(m.XOf(70), 200));
        QCOMPARE(m.DragLine(), int(COscGraphModel::SecondTime));
        m.MouseMove(QPoint(m.XOf(10), 200));
        QCOMPARE(m.Info().dCross2, 21.0);
        m.MouseMove(QPoint(m.XOf(50), 200));
        m.LeftUp(QPoint(m.XOf(50), 200));
        QCOMPARE(m.Info().dCross2, 50.0);
        QCOMPARE(m.Info().strPeriod, QStringLiteral("120.000 uS"));
        QCOMPARE(m.Info().strFreq, QStringLiteral("8.333 KHz"));
        // Period units: 1 ms/div (index 6) over 50 samples is 2 ms; 125 ns/div over 5 is 25 ns.
        OSCData slow = osc_samples::Record(1, 6);
        m = Wave(slow);
        m.LeftDown(QPoint(m.XOf(70), 200));
        m.MouseMove(QPoint(m.XOf(71), 200));
        QCOMPARE(m.Info().strPeriod, QStringLiteral("2.040 mS"));
        QCOMPARE(m.Info().strFreq, QStringLiteral("490.196 Hz"));
        OSCData fast = osc_samples::Record(1, 18);
        fast.info.dCross2 = 25;
        m = Wave(fast);
        m.LeftDown(QPoint(m.XOf(20), 200));
        m.MouseMove(QPoint(m.XOf(24), 200));
        QCOMPARE(m.Info().strPeriod, QStringLiteral("5.000 nS"));
        QCOMPARE(m.Info().strFreq, QStringLiteral("200.000 MHz"));

        // Level lines: the upper one follows the mouse, but stays 5 pixels above the lower one.
        m = Wave(d);
        const int up = m.YOf(d.info.dMax), low = m.YOf(d.info.dMin);
        m.LeftDown(QPoint(300, up));
        QCOMPARE(m.DragLine(), int(COscGraphModel::UpperLevel));
        m.MouseMove(QPoint(300, up + 20));
        QCOMPARE(m.YOf(m.Info().dMax), up + 20);
        QCOMPARE(m.Info().strVpp, QString::asprintf("%.2f V", m.Info().dMax - m.Info().dMin));
        for (int y = up + 22; y < low + 40; y += 2)
            m.MouseMove(QPoint(300, y));
        QCOMPARE(m.YOf(m.Info().dMax), low - COscGraphModel::kLevelGap);
        QVERIFY(m.Info().dMax > m.Info().dMin);
        m.LeftUp(QPoint(300, low + 40));
        // A line the pointer has left behind no longer follows it.
        m.LeftDown(QPoint(300, low));
        QCOMPARE(m.DragLine(), int(COscGraphModel::LowerLevel));
        m.MouseMove(QPoint(300, low - 30)); // would pass the upper line: held 5 below it
        QCOMPARE(m.YOf(m.Info().dMin), m.YOf(m.Info().dMax) + COscGraphModel::kLevelGap);
    }

    void spectrumFrequenciesAgreeUnderHalfTheSampleRate()
    {
        // Bin 119, the highest, read from the crosshair, the spreadsheet and the data printout:
        // one frequency, just under half the sample rate (25 samples a division).
        auto hertz = [](const QString& unit) { return unit == "MHz" ? 1e6 : unit == "KHz" ? 1e3 : unit == "Hz" ? 1 : 0; };
        const QRegularExpression freq(QStringLiteral("([0-9.]+)(Hz|KHz|MHz)$"));
        for (int tb = 1; tb <= 18; ++tb) {
            const OSCData d = osc_samples::Record(3, tb);
            COscGraphModel m;
            m.SetClientSize(650, 450);
            m.SetData(d.fSpectrum.data(), 120, d.info);
            m.RightDown(QPoint(m.XOf(119), 100));
            QCOMPARE(m.Selected(), 119);
            const QRegularExpressionMatch r = freq.match(m.ReadoutText());
            QVERIFY2(r.hasMatch(), qPrintable(m.ReadoutText()));
            const double readout = r.captured(1).toDouble() * hertz(r.captured(2));

            double number = 0, unit = 0;
            for (const osc::SheetCell& c : osc::ExportCells(d.info, d.fSpectrum.data(), 120)) {
                if (c.row == 8 + 119 && c.col == 4 && c.isNumber)
                    number = c.number;
                if (c.row == 8 + 119 && c.col == 5)
                    unit = hertz(c.text);
            }
            const double exported = number * unit;
            const QVector<PrintPage> pages
                = osc_print::DataPages(d.info, d.fSpectrum.data(), 120, 1300, 1000, 20, QDateTime::currentDateTime());
            QString lastPrinted;
            for (const PrintText& t : pages.last().texts) {
                if (freq.match(t.text).hasMatch() && t.text.front().isDigit())
                    lastPrinted = t.text;
            }
            const QRegularExpressionMatch p = freq.match(lastPrinted);
            QVERIFY2(p.hasMatch(), qPrintable(QString::number(tb)));
            const double printed = p.captured(1).toDouble() * hertz(p.captured(2));

            const QString at = QStringLiteral("time base %1").arg(tb);
            QVERIFY2(qFuzzyCompare(readout, exported), qPrintable(at));
            QVERIFY2(qFuzzyCompare(readout, printed), qPrintable(at));
            const double rate = 25 / (osc::NsPerDivision(tb) * 1e-9);
            QVERIFY2(readout > 0.4 * rate && readout <= 0.5 * rate, qPrintable(at));
        }
        // The waveform read-out, and leaving the plot's surroundings ends the crosshair.
        COscGraphModel m = Wave(osc_samples::Record(1));
        m.RightDown(QPoint(m.XOf(100), 100));
        QCOMPARE(m.ReadoutText(), QString::asprintf("NO.:100  Amplitude:%.2f  ", double(osc_samples::Record(1).fWave[100])));
        QCOMPARE(m.Layout(false).crosshair.size(), 2);
        QVERIFY(m.Layout(true).crosshair.isEmpty());
        m.MouseMove(QPoint(2, 100));
        QVERIFY(!m.Cursor());
    }

    void bandTextsSayWhatTheyShow()
    {
        // The date in the record's own order, with a gap before the time.
        OSCData d = osc_samples::Record(1);
        d.info.nDateOrder = 1;
        COscGraphModel m = Wave(d);
        auto box = [](const osc::OscScene& s, const QString& text) {
            for (const auto& t : s.texts) {
                if (t.text == text)
                    return t.box;
            }
            return QRectF();
        };
        osc::OscScene s = m.Layout(false);
        const QRectF date = box(s, QStringLiteral("07/12/2026")), time = box(s, QStringLiteral("09:05:03"));
        QVERIFY(!date.isNull() && !time.isNull());
        QVERIFY(time.left() - date.right() >= 5);

        // Dragged markers: the boxes measure between them and say so.
        QVERIFY(Texts(s).contains(QStringLiteral("Vp-p=") + d.info.strVpp));
        QVERIFY(Texts(s).contains(d.info.strFreq));
        m.LeftDown(QPoint(m.XOf(70), 200));
        m.MouseMove(QPoint(m.XOf(60), 200));
        m.LeftUp(QPoint(m.XOf(60), 200));
        QStringList t = Texts(m.Layout(false));
        QVERIFY(t.contains(QStringLiteral("1/\u0394t=") + m.Info().strFreq));
        QVERIFY(t.contains(QStringLiteral("\u0394t=") + m.Info().strPeriod));
        QVERIFY(t.contains(QStringLiteral("Vp-p=") + d.info.strVpp));
        const int up = m.YOf(d.info.dMax);
        m.LeftDown(QPoint(300, up));
        m.MouseMove(QPoint(300, up + 10));
        m.LeftUp(QPoint(300, up + 10));
        QVERIFY(Texts(m.Layout(false)).contains(QStringLiteral("\u0394V=") + m.Info().strVpp));
        m.SetData(d.fWave.data(), 300, d.info); // a new record measures as sent again
        QVERIFY(Texts(m.Layout(false)).contains(QStringLiteral("Vp-p=") + d.info.strVpp));

        // A zoom marks its factor beside the volts and time a division.
        m = Wave(osc_samples::Record(3));
        m.LeftDown(QPoint(100, 80));
        m.LeftUp(QPoint(250, 255)); // 150 of 600 pixels across, 175 of 350 up
        t = Texts(m.Layout(false));
        QVERIFY2(t.contains(QStringLiteral("AC ") + d.info.strVoltDiv + QStringLiteral(" \u00d72.0")), qPrintable(t.join('|')));
        QVERIFY(t.contains(d.info.strRate + QStringLiteral(" \u00d74.0")));
        m.ResetView();
        QVERIFY(Texts(m.Layout(false)).contains(d.info.strRate));

        // The spectrum's axes: frequency in the read-out's unit, and amplitude.
        const OSCData f = osc_samples::Record(3, 9);
        m.SetData(f.fSpectrum.data(), 120, f.info);
        t = Texts(m.Layout(false));
        for (const char* want : { "Frequency (KHz)", "0.0", "20.0", "80.0", "Amplitude", "100" })
            QVERIFY2(t.contains(QLatin1String(want)), want);

        // On paper both speed words read on white: the idle one grey, not faint.
        for (const auto& text : m.Layout(true).texts) {
            if (text.text == QLatin1String("Fast") || text.text == QLatin1String("Slow")) {
                const int r = (text.colour >> 16) & 0xFF, g = (text.colour >> 8) & 0xFF, b = text.colour & 0xFF;
                QVERIFY2(std::max({ r, g, b }) <= 128, qPrintable(text.text));
            }
        }
    }

    void singleShowsTheTriggerMark()
    {
        COscGraphModel m = Wave(osc_samples::Record(4));
        const osc::OscScene s = m.Layout(false);
        int triggers = 0;
        for (const auto& mark : s.marks)
            triggers += mark.kind == osc::OscSceneMark::Trigger;
        QCOMPARE(triggers, 1);
        QCOMPARE(s.grid[9 + 2].width, 5.0);
        QVERIFY(Texts(s).contains(QStringLiteral("Single")));
        QVERIFY(Texts(Wave(osc_samples::Record(2)).Layout(false)).contains(QStringLiteral("PAGE 3")));
    }
};

QTEST_GUILESS_MAIN(TestOscGraph)
#include "test_osc_graph.moc"
