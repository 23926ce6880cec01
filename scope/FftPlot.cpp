#include "scope/FftPlot.h"

#include "scope/FftAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMinFrame = 100;
constexpr int kSideMargin = 10;
constexpr int kTopMargin = 30;
constexpr int kHorizontalLines = 10;

// The power view puts 0 dB where the values fit: mid-height when they lie on both sides of zero
// (by more than a twentieth of the full scale) or close to it, the bottom when they are only
// above, the top when they are only below.
void powerScale(const CFftAnalysis& a, const QRect& inner, double* baseline, double* scale)
{
    const int bins = a.m_nSize / 2;
    const double margin = std::fabs(a.m_dPeak / 20.0);
    bool above = false;
    bool below = false;
    for (int k = 0; k < bins; ++k) {
        above = above || a.m_pPower[k] > margin;
        below = below || a.m_pPower[k] < -margin;
    }
    const double height = inner.height();
    const double top = inner.top();
    const double bottom = inner.top() + height;
    const double middle = top + height / 2.0;
    if (above && below) {
        *scale = height / 2.0 / a.m_dPeak;
        *baseline = middle;
    } else {
        *scale = height / a.m_dPeak;
        *baseline = above ? bottom : below ? top : middle;
    }
}

} // namespace

FftPlotScene LayoutFftPlot(const CFftAnalysis& a, const QRect& frame, int digitWidth)
{
    FftPlotScene s;
    s.frame = frame;
    if (frame.width() <= kMinFrame || frame.height() <= kMinFrame)
        return s;
    s.visible = true;
    s.inner = QRect(frame.left() + kSideMargin, frame.top() + kTopMargin, frame.width() - 2 * kSideMargin,
        frame.height() - 2 * kTopMargin);
    const int left = s.inner.left();
    const int top = s.inner.top();
    const int width = s.inner.width();
    const int height = s.inner.height();
    const int bottom = top + height;

    s.title = { QStringLiteral("FFT Graph"), QPoint(frame.left() + frame.width() / 2, frame.top() + 2), true };
    s.peak = { a.m_bPower ? QStringLiteral("Power (dB)") : QStringLiteral("Magnitude"), QPoint(left, top - 20), false };
    s.xAxis = { QStringLiteral("Frequency (bin)"), QPoint(left + width / 2, bottom + 16), true };

    const int n = a.m_nSize;
    const int bins = a.m_bPower ? n / 2 : n;
    // Bin b is drawn at x(b); the right edge is where bin `bins` would be. Labels name whole
    // bins at a round step, each under its own bin, so none repeats or sits beside its bin.
    auto xOf = [&](int b) { return left + static_cast<double>(b) * width / bins; };
    const int widest = static_cast<int>(QString::number(bins).size()) * digitWidth;
    auto fits = [&](int step) { return static_cast<double>(width) * step / bins >= widest + digitWidth; };
    int step = 1;
    for (int decade = 1; !fits(step) && decade <= bins; decade *= 10) {
        for (int m : { 1, 2, 5 }) {
            step = m * decade;
            if (fits(step))
                break;
        }
    }
    for (int b = 0; b <= bins; b += step) {
        const double x = xOf(b);
        s.grid.append(QLineF(x, top, x, bottom));
        const QString text = QString::number(b);
        // The last label is kept inside the frame rather than cut at its edge.
        const int room = frame.left() + frame.width() - 1 - static_cast<int>(text.size()) * digitWidth / 2;
        s.binLabels.append({ text, QPoint(std::min(static_cast<int>(std::lround(x)), room), bottom + 2), true });
    }
    for (int k = 0; k <= kHorizontalLines; ++k) {
        const int y = top + k * height / kHorizontalLines;
        s.grid.append(QLineF(left, y, left + width, y));
    }

    if (!a.HasResult() || !(a.m_dPeak > 0.0) || !std::isfinite(a.m_dPeak))
        return s;
    const double* values = a.m_bPower ? a.m_pPower : a.m_pOutMag;
    if (a.m_bPower) {
        powerScale(a, s.inner, &s.baseline, &s.scale);
    } else {
        s.baseline = bottom;
        s.scale = height / a.m_dPeak;
    }
    // The values of every second horizontal line, just above it inside the plot.
    for (int k = 0; k <= kHorizontalLines; k += 2) {
        const int y = top + k * height / kHorizontalLines;
        const double v = (s.baseline - y) / s.scale;
        const QString text = a.m_bPower ? QString::number(v, 'f', std::fabs(a.m_dPeak) < 10 ? 1 : 0)
                                        : QString::number(v, 'g', 4);
        s.valueLabels.append({ text, QPoint(left + 3, k == 0 ? y + 2 : y - 14), false });
    }
    auto point = [&](int i) {
        return QPointF(left + static_cast<double>(i) * width / bins, s.baseline - values[i] * s.scale);
    };
    s.curve.reserve(bins - 1);
    for (int i = 0; i + 1 < bins; ++i) {
        // A reading that was not a number leaves a gap rather than a line to nowhere.
        if (std::isfinite(values[i]) && std::isfinite(values[i + 1]))
            s.curve.append(QLineF(point(i), point(i + 1)));
    }
    return s;
}
