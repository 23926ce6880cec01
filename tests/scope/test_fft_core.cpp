// The FFT core: window weights, the transform against a double-precision DFT, the two spectra,
// the copy of a chosen range and the plot layout.
#include "datalog/DataSeries.h"
#include "scope/FftAnalysis.h"
#include "scope/FftPlot.h"
#include "scope/FftTransform.h"
#include "scope/FftWindow.h"

#include <QtTest>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

using cf = std::complex<float>;
const double kPi = std::acos(-1.0);

std::vector<std::complex<double>> dft(const std::vector<cf>& x)
{
    const size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> sum;
        for (size_t j = 0; j < n; ++j) {
            const double a = -2.0 * kPi * static_cast<double>((k * j) % n) / static_cast<double>(n);
            sum += std::complex<double>(x[j].real(), x[j].imag()) * std::complex<double>(std::cos(a), std::sin(a));
        }
        out[k] = sum;
    }
    return out;
}

std::vector<cf> randomSamples(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<cf> x(static_cast<size_t>(n));
    for (cf& v : x)
        v = cf(d(gen), d(gen));
    return x;
}

CFftAnalysis::Settings settings(int size, int window, bool power, int segments = 16)
{
    CFftAnalysis::Settings s;
    s.size = size;
    s.window = window;
    s.power = power;
    s.segments = segments;
    return s;
}

} // namespace

class TestFftCore : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        fft::SetTwiddleAllocFaultForTesting(false);
        CFftAnalysis::SetAllocFaultForTesting(0);
    }

    void windowEndsAndSymmetry()
    {
        for (int n = fft::kMinSize; n <= fft::kMaxSize; n *= 2) {
            QCOMPARE(fft::WindowWeight(fft::WindowHanning, 0, n), 0.0);
            QCOMPARE(fft::WindowWeight(fft::WindowHanning, n - 1, n), 0.0);
            QVERIFY(std::fabs(fft::WindowWeight(fft::WindowHamming, 0, n) - 0.08) < 1e-15);
            QVERIFY(std::fabs(fft::WindowWeight(fft::WindowBlackman, n - 1, n)) < 1e-15);
            QVERIFY(std::fabs(fft::WindowWeight(fft::WindowBlackmanHarris, 0, n) - 0.00006) < 1e-15);
            QCOMPARE(fft::WindowWeight(fft::WindowTriangle, 0, n), 0.0);
            QCOMPARE(fft::WindowWeight(fft::WindowNone, 7, n), 1.0);
            // Symmetric forms mirror about (N - 1) / 2; the periodic Blackman-Harris about N / 2,
            // so its last sample is not its first.
            for (int w : { fft::WindowHamming, fft::WindowHanning, fft::WindowBlackman, fft::WindowTriangle }) {
                for (int i = 0; i < n; i += 5)
                    QVERIFY(std::fabs(fft::WindowWeight(w, i, n) - fft::WindowWeight(w, n - 1 - i, n)) < 1e-6);
            }
            for (int i = 1; i < n; i += 5) {
                QVERIFY(std::fabs(fft::WindowWeight(fft::WindowBlackmanHarris, i, n)
                            - fft::WindowWeight(fft::WindowBlackmanHarris, n - i, n))
                    < 1e-12);
            }
            QVERIFY(fft::WindowWeight(fft::WindowBlackmanHarris, n - 1, n) > 0.00006);
        }
        // The triangle peaks at 1 in the middle and falls by 2 / (N - 1) per sample.
        QVERIFY(std::fabs(fft::WindowWeight(fft::WindowTriangle, 15, 32) - 30.0 / 31.0) < 1e-6);
        QVERIFY(std::fabs(fft::WindowWeight(fft::WindowTriangle, 16, 32) - 30.0 / 31.0) < 1e-6);

        // Applied in single precision to both parts.
        std::vector<cf> x(32, cf(2.0f, -3.0f));
        fft::ApplyWindow(fft::WindowHamming, x.data(), 32);
        const float w5 = static_cast<float>(fft::WindowWeight(fft::WindowHamming, 5, 32));
        QCOMPARE(x[5], cf(2.0f * w5, -3.0f * w5));
        std::vector<cf> y(32, cf(2.0f, -3.0f));
        fft::ApplyWindow(fft::WindowNone, y.data(), 32);
        QCOMPARE(y[9], cf(2.0f, -3.0f));
    }

    // Error bound against a double-precision DFT of the same (single-precision) input, for every
    // size from 2 to 4096: relative RMS error at most 4e-7, and no bin off by more than 1.5e-6
    // of the RMS bin magnitude. Measured: 5e-8 at N = 2 growing to 1.3e-7 at 4096 (per bin
    // 4.5e-7), i.e. a few float roundings per stage.
    void transformMatchesDoubleDft()
    {
        for (int m = 1; m <= 12; ++m) {
            const int n = 1 << m;
            const std::vector<cf> input = randomSamples(n, 1000u + static_cast<unsigned>(m));
            const std::vector<std::complex<double>> ref = dft(input);
            std::vector<cf> x = input;
            QVERIFY(fft::Forward(x.data(), m));
            double err2 = 0.0;
            double ref2 = 0.0;
            double worst = 0.0;
            for (int k = 0; k < n; ++k) {
                const std::complex<double> got(x[k].real(), x[k].imag());
                err2 += std::norm(got - ref[k]);
                ref2 += std::norm(ref[k]);
                worst = std::max(worst, std::abs(got - ref[k]));
            }
            const double rms = std::sqrt(ref2 / n);
            QVERIFY2(std::sqrt(err2 / ref2) <= 4e-7, qPrintable(QString("N=%1 rel %2").arg(n).arg(std::sqrt(err2 / ref2))));
            QVERIFY2(worst <= 1.5e-6 * rms, qPrintable(QString("N=%1 worst %2").arg(n).arg(worst / rms)));

            // The regrouped transform does the textbook loop's arithmetic.
            std::vector<cf> textbook = input;
            QVERIFY(fft::ForwardReference(textbook.data(), m));
            for (int k = 0; k < n; ++k)
                QVERIFY2(x[k] == textbook[k], qPrintable(QString("N=%1 bin %2").arg(n).arg(k)));
        }
    }

    void transformEdgeCases()
    {
        // A constant: everything in bin 0, exact zeros elsewhere.
        std::vector<cf> ones(32, cf(1.0f, 0.0f));
        QVERIFY(fft::Forward(ones.data(), 5));
        QCOMPARE(ones[0], cf(32.0f, 0.0f));
        for (int k = 1; k < 32; ++k)
            QCOMPARE(std::abs(ones[k]), 0.0f);
        // A single impulse at 0: flat spectrum, exactly.
        std::vector<cf> impulse(2048);
        impulse[0] = cf(1.0f, 0.0f);
        QVERIFY(fft::Forward(impulse.data(), 11));
        for (const cf& v : impulse)
            QCOMPARE(v, cf(1.0f, 0.0f));
        // Sizes that are not powers of two, or too large, are refused.
        QCOMPARE(fft::Log2(48), -1);
        QCOMPARE(fft::Log2(2048), 11);
        QVERIFY(!fft::IsAnalysisSize(16) && !fft::IsAnalysisSize(4096) && !fft::IsAnalysisSize(96));
        QVERIFY(fft::IsAnalysisSize(32) && fft::IsAnalysisSize(2048));
    }

    void twiddleAllocationFailureIsReported()
    {
        std::vector<cf> x = randomSamples(64, 7);
        const std::vector<cf> before = x;
        fft::SetTwiddleAllocFaultForTesting(true);
        QVERIFY(!fft::Forward(x.data(), 6));
        QVERIFY(!fft::ForwardReference(x.data(), 6));
        QVERIFY(x == before);

        CFftAnalysis a;
        const std::vector<double> v(32, 1.0);
        QVERIFY(a.Run(settings(32, -1, false), v.data(), 32) == CFftAnalysis::Result::NoTwiddles);
        QVERIFY(!a.HasResult());
        QVERIFY(a.Values().empty());

        fft::SetTwiddleAllocFaultForTesting(false);
        QVERIFY(a.Run(settings(32, -1, false), v.data(), 32) == CFftAnalysis::Result::Done);
        QCOMPARE(a.m_pOutMag[0], 32.0);
    }

    void magnitudeSpectrum()
    {
        CFftAnalysis a;
        const std::vector<double> ones(32, 1.0);
        QVERIFY(a.Run(settings(32, -1, false), ones.data(), 32) == CFftAnalysis::Result::Done);
        QCOMPARE(a.m_pOutMag[0], 32.0);
        for (int k = 1; k < 32; ++k)
            QCOMPARE(a.m_pOutMag[k], 0.0);
        QCOMPARE(a.m_dPeak, 32.0);
        QCOMPARE(a.m_dInPeak, 1.0);
        QCOMPARE(a.Values().size(), size_t(32));

        std::vector<double> tone(64);
        for (int i = 0; i < 64; ++i)
            tone[i] = std::cos(2 * kPi * 4 * i / 64);
        QVERIFY(a.Run(settings(64, -1, false), tone.data(), 64) == CFftAnalysis::Result::Done);
        QVERIFY(std::fabs(a.m_pOutMag[4] - 32.0) < 1e-4);
        QVERIFY(std::fabs(a.m_pOutMag[60] - 32.0) < 1e-4);
        for (int k = 0; k < 64; ++k) {
            if (k != 4 && k != 60)
                QVERIFY2(a.m_pOutMag[k] < 1e-4, qPrintable(QString::number(k)));
        }

        // Fewer points than N: zeros after them. More: only the first N count.
        const std::vector<double> ten(10, 1.0);
        QVERIFY(a.Run(settings(32, -1, false), ten.data(), 10) == CFftAnalysis::Result::Done);
        QCOMPARE(a.m_pOutMag[0], 10.0);
        const std::vector<double> many(100, 2.0);
        QVERIFY(a.Run(settings(32, -1, false), many.data(), 100) == CFftAnalysis::Result::Done);
        QCOMPARE(a.m_pOutMag[0], 64.0);

        // The window weighs the samples before the transform: bin 0 is their sum.
        QVERIFY(a.Run(settings(32, fft::WindowHanning, false), ones.data(), 32) == CFftAnalysis::Result::Done);
        double sum = 0.0;
        for (int i = 0; i < 32; ++i)
            sum += static_cast<float>(fft::WindowWeight(fft::WindowHanning, i, 32));
        QVERIFY(std::fabs(a.m_pOutMag[0] - sum) < 1e-4);
        QCOMPARE(a.m_dInPeak, 1.0); // taken before the window
    }

    void powerSpectrum()
    {
        CFftAnalysis a;
        // All zeros: the floor everywhere.
        QVERIFY(a.Run(settings(64, -1, true), nullptr, 0) == CFftAnalysis::Result::Done);
        QCOMPARE(a.Values().size(), size_t(32));
        for (double v : a.Values())
            QCOMPARE(v, -140.0);
        QCOMPARE(a.m_dPeak, 140.0);
        QCOMPARE(a.m_dInPeak, 1e-90);
        QCOMPARE(a.m_nTotal, (64 - 16) * 15 + 64);

        // Data only in the first segment (the later ones start past it): one segment's power
        // divided by the 16 segments.
        std::mt19937 gen(3);
        std::uniform_real_distribution<double> d(-5.0, 5.0);
        std::vector<double> v(12);
        for (double& x : v)
            x = d(gen);
        for (int window : { fft::WindowNone, fft::WindowBlackman }) {
            QVERIFY(a.Run(settings(32, window, true), v.data(), 12) == CFftAnalysis::Result::Done);
            std::vector<cf> seg(32);
            for (int i = 0; i < 12; ++i)
                seg[i] = cf(static_cast<float>(v[i]), 0.0f);
            fft::ApplyWindow(window, seg.data(), 32);
            QVERIFY(fft::Forward(seg.data(), 5));
            for (int k = 0; k < 16; ++k) {
                const double p = std::norm(std::complex<double>(seg[k].real(), seg[k].imag())) / (32.0 * 32.0);
                const double expected = 10.0 * std::log10(std::max(p / 16.0, 1e-14));
                QVERIFY2(std::fabs(a.m_pPower[k] - expected) < 1e-9, qPrintable(QString::number(k)));
            }
        }

        // The last 16 samples of the block start the second segment too: a block that is
        // constant there adds that overlap's power.
        std::vector<double> ones(32, 1.0);
        QVERIFY(a.Run(settings(32, -1, true, 1), ones.data(), 32) == CFftAnalysis::Result::Done);
        QCOMPARE(a.m_pPower[0], 0.0); // (32^2 / 32^2), one segment
        QVERIFY(a.Run(settings(32, -1, true, 16), ones.data(), 32) == CFftAnalysis::Result::Done);
        QVERIFY(std::fabs(a.m_pPower[0] - 10.0 * std::log10((1.0 + 0.25) / 16.0)) < 1e-12);
        QVERIFY(a.m_dPeak > 0.0);

        // Bad settings do nothing.
        QVERIFY(a.Run(settings(48, -1, true), ones.data(), 32) == CFftAnalysis::Result::BadSettings);
        QVERIFY(a.Run(settings(32, -1, true, 513), ones.data(), 32) == CFftAnalysis::Result::BadSettings);
    }

    void missingBuffersMakeRunDoNothing()
    {
        CFftAnalysis::SetAllocFaultForTesting(CFftAnalysis::BufWork | CFftAnalysis::BufLong);
        CFftAnalysis a;
        CFftAnalysis::SetAllocFaultForTesting(0);
        QCOMPARE(a.MissingBuffers(), 2);
        QVERIFY(!a.Ready());
        const std::vector<double> ones(32, 1.0);
        QVERIFY(a.Run(settings(32, -1, false), ones.data(), 32) == CFftAnalysis::Result::NotReady);
        QVERIFY(a.Run(settings(32, -1, true), ones.data(), 32) == CFftAnalysis::Result::NotReady);
        QVERIFY(!a.HasResult());
        CFftAnalysis b;
        QVERIFY(b.Ready());
    }

    void copyAndRange()
    {
        CDataSeries s;
        for (int i = 0; i < 6; ++i) {
            if (i == 2)
                s.AppendNull();
            else
                s.Append(CObData(i * 1.5, "VDC", 1.0, i, "t", "DCV", 60.0f));
        }
        QCOMPARE(fft::CopySeriesValues(s, 1, 4, 32), (std::vector<double> { 1.5, 4.5, 6.0 }));
        QCOMPARE(fft::CopySeriesValues(s, 0, 5, 2), (std::vector<double> { 0.0, 1.5 }));
        QCOMPARE(fft::CopySeriesValues(s, -3, 99, 32).size(), size_t(5));

        int first = -1;
        int last = -1;
        QVERIFY(!fft::RangeFromDragEnds(6, 3, 3, &first, &last));
        QVERIFY(!fft::RangeFromDragEnds(6, 7, 9, &first, &last)); // both past the end: the last point twice
        QVERIFY(!fft::RangeFromDragEnds(0, 0, 5, &first, &last));
        QVERIFY(fft::RangeFromDragEnds(6, 4, 1, &first, &last));
        QCOMPARE(first, 1);
        QCOMPARE(last, 4);
        QVERIFY(fft::RangeFromDragEnds(6, -2, 40, &first, &last));
        QCOMPARE(first, 0);
        QCOMPARE(last, 5);
    }

    void plotLayout()
    {
        CFftAnalysis a;
        QVERIFY(!LayoutFftPlot(a, QRect(0, 0, 100, 300)).visible);
        QVERIFY(!LayoutFftPlot(a, QRect(0, 0, 300, 100)).visible);

        // Each bin label names a whole bin and sits where that bin is drawn (the last one may be
        // pulled inside the frame); none repeats; the axes name their units.
        auto checkLabels = [](const FftPlotScene& s, int bins) {
            int previous = -1;
            for (const FftPlotText& label : s.binLabels) {
                const bool last = &label == &s.binLabels.last();
                bool ok = false;
                const int bin = label.text.toInt(&ok);
                QVERIFY2(ok && bin > previous, qPrintable(label.text));
                previous = bin;
                const double x = s.inner.left() + double(bin) * s.inner.width() / bins;
                const double slack = last ? 7.0 * label.text.size() / 2 + 1 : 1;
                QVERIFY2(label.anchor.x() <= x + 1 && label.anchor.x() >= x - slack, qPrintable(label.text));
            }
            QVERIFY(previous <= bins && previous > bins * 3 / 4); // out to the right edge
            QVERIFY(s.binLabels.size() >= 5);
            QVERIFY(s.xAxis.text.contains(QStringLiteral("bin")));
        };

        // Before a run: grid and labels, no curve.
        FftPlotScene s = LayoutFftPlot(a, QRect(5, 5, 420, 260));
        QVERIFY(s.visible);
        QCOMPARE(s.inner, QRect(15, 35, 400, 200));
        QCOMPARE(s.grid.size(), s.binLabels.size() + 11);
        QVERIFY(s.curve.isEmpty());
        QCOMPARE(s.title.text, QStringLiteral("FFT Graph"));
        QCOMPARE(s.peak.anchor, QPoint(15, 15));
        checkLabels(s, 16); // power view of 32 points: 16 bins

        // Magnitude view of a constant: the curve starts at full scale and lies on the bottom
        // after; the bins are labelled up to N along the width.
        const std::vector<double> ones(32, 1.0);
        a.Run(settings(32, -1, false), ones.data(), 32);
        s = LayoutFftPlot(a, QRect(0, 0, 420, 260));
        QCOMPARE(s.curve.size(), 31);
        QCOMPARE(s.curve[0].p1(), QPointF(10, 30));
        QCOMPARE(s.curve[0].p2(), QPointF(10 + 400.0 / 32, 230));
        checkLabels(s, 32);
        QCOMPARE(s.peak.text, QStringLiteral("Magnitude"));
        QCOMPARE(s.valueLabels.first().text, QStringLiteral("32")); // full scale at the top
        QCOMPARE(s.valueLabels.last().text, QStringLiteral("0"));
        // 2048 bins on a narrow plot: round steps, still each under its bin.
        a.Run(settings(2048, -1, false), ones.data(), 32);
        s = LayoutFftPlot(a, QRect(0, 0, 420, 260), 7);
        checkLabels(s, 2048);

        // Power view, all at the floor: only below zero, so 0 dB is the top and -140 the bottom.
        a.Run(settings(64, -1, true), nullptr, 0);
        s = LayoutFftPlot(a, QRect(0, 0, 420, 260));
        QCOMPARE(s.curve.size(), 31);
        QCOMPARE(s.baseline, 30.0);
        QCOMPARE(s.curve[0].p1().y(), 230.0);
        checkLabels(s, 32);
        QVERIFY(s.peak.text.contains(QStringLiteral("dB")));
        QCOMPARE(s.valueLabels.first().text, QStringLiteral("0"));
        QCOMPARE(s.valueLabels.last().text, QStringLiteral("-140"));

        // Values on both sides of 0 dB: the baseline at mid-height, half the height per full scale.
        std::vector<double> v(64);
        for (int i = 0; i < 64; ++i)
            v[i] = 100.0 * std::cos(2 * kPi * 8 * i / 64) + 1.0;
        a.Run(settings(64, -1, true), v.data(), 64);
        s = LayoutFftPlot(a, QRect(0, 0, 420, 260));
        QCOMPARE(s.baseline, 130.0);
        QVERIFY(std::fabs(s.scale - 100.0 / a.m_dPeak) < 1e-12);
        // Only above (every bin loud): the baseline at the bottom.
        std::vector<double> noise(64);
        std::mt19937 gen(11);
        std::uniform_real_distribution<double> d(-1000.0, 1000.0);
        for (double& x : noise)
            x = d(gen);
        a.Run(settings(64, -1, true, 1), noise.data(), 64);
        s = LayoutFftPlot(a, QRect(0, 0, 420, 260));
        QCOMPARE(s.baseline, 230.0);
    }
};

QTEST_GUILESS_MAIN(TestFftCore)
#include "test_fft_core.moc"
