#include "datalog/GraphScene.h"

#include "datalog/DataSeries.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

constexpr double kOverRange = kStoredOverRange;
// Far enough outside any picture; keeps coordinates in int range whatever the data.
constexpr double kFar = 1.0e6;

inline int pixel(double d)
{
    // NaN fails both comparisons and lands on 0.
    if (!(d > -kFar))
        return d == d ? int(-kFar) : 0;
    if (d > kFar)
        return int(kFar);
    return static_cast<int>(d); // truncates toward zero
}

// Where a point lands. Multiplies by the inverse per-pixel values: the same mapping for every
// caller (the envelope and the plain polyline must agree to the pixel), and monotone in the index
// and in the value.
struct Mapper {
    int left, top, ph, shift;
    double xpp, ypp, invX, invY, yMin, yMax, yHome;

    Mapper(const GraphAxisState& st, const GraphDrawParams& p)
        : left(p.rect.left() + p.left)
        , top(p.rect.top() + p.top)
        , ph(std::max(1, p.rect.height() - 2 * p.top))
        , xpp(p.xPerPixel > 0.0 ? p.xPerPixel : 1.0)
        , ypp(p.yPerPixel > 0.0 ? p.yPerPixel : 1.0)
        , invX(1.0 / xpp)
        , invY(1.0 / ypp)
        , yMin(st.m_dYMin)
        , yMax(st.m_dYMax)
        , yHome(st.m_dYMinHome)
    {
        shift = pixel((st.m_dXMin - st.m_dXMinHome) * invX);
    }
    int x(qsizetype i) const { return left + pixel(double(i) * invX) - shift; }
    // Over-range readings pin to the edges of the full range.
    double pinned(double v) const { return v >= kOverRange ? yMax : v == -kOverRange ? yHome : v; }
    int yOf(double pinnedValue) const { return top + pixel(ph - (pinnedValue - yMin) * invY); }
    int y(double v) const { return yOf(pinned(v)); }
};

// Points drawn for the plot width: from trunc(XMin) to the last one that can reach the plot.
std::pair<qsizetype, qsizetype> visibleSpan(const GraphAxisState& st, const GraphDrawParams& p, qsizetype count)
{
    const int pw = std::max(1, p.rect.width() - 2 * p.left);
    const double xpp = p.xPerPixel > 0.0 ? p.xPerPixel : 1.0;
    const double first = std::max(0.0, std::trunc(st.m_dXMin));
    const double end = std::min(std::trunc(std::min(pw * xpp + st.m_dXMin + 2.0, 9.0e18)), double(count));
    if (!(first < end))
        return { 0, 0 };
    return { static_cast<qsizetype>(first), static_cast<qsizetype>(end) };
}

void trace(GraphScene& scene, const Mapper& m, const CDataSeries& s, qsizetype from, qsizetype end,
    const GraphDrawParams& p)
{
    const QRect plot = scene.plot;
    // Marks wholly under a margin cannot be seen; the margins are painted over them anyway.
    const int markTop = plot.top() - 3, markBottom = plot.top() + plot.height() + 3;
    const int markLeft = plot.left() - 3, markRight = plot.left() + plot.width() + 3;
    std::vector<int> markSeen(p.maskPoints ? size_t(markBottom - markTop + 1) : 0, INT_MIN);
    auto addMark = [&](int x, int y) {
        if (y < markTop || y > markBottom || x < markLeft || x > markRight)
            return;
        int& seen = markSeen[size_t(y - markTop)];
        if (p.envelope && seen == x)
            return;
        seen = x;
        scene.marks.append(QPoint(x, y));
    };

    if (!p.envelope) {
        bool havePrev = false;
        QPoint prev;
        for (qsizetype i = from; i < end; ++i) {
            // A null element is a gap (the link was lost): the trace ends there and starts
            // again at the next reading.
            if (s.IsNull(i)) {
                havePrev = false;
                continue;
            }
            const QPoint pt(m.x(i), m.y(s.Value(i)));
            if (p.maskPoints)
                addMark(pt.x(), pt.y());
            if (havePrev)
                scene.trace.append(QLine(prev, pt));
            prev = pt;
            havePrev = true;
        }
        return;
    }

    // Consecutive points in one pixel column: their segments cover exactly the pixels between the
    // column's highest and lowest point, so the column is one vertical line, joined to the next
    // column by the segment from its last point to that column's first. Values are compared after
    // pinning, where the mapping to pixels is monotone.
    bool open = false;
    int colX = 0;
    double last = 0, lo = 0, hi = 0;
    auto closeColumn = [&] {
        const int yTop = m.yOf(hi), yBottom = m.yOf(lo);
        if (yTop != yBottom)
            scene.trace.append(QLine(colX, yTop, colX, yBottom));
    };
    // Spans of plain values lying whole in one column are taken from their summaries, the longest
    // that fits: the column's extent and its joins come from the span's extremes and its first and
    // last value, the same as visiting each point. Its markers are the rows from its largest to its
    // smallest value: exactly its points' rows where neighbours lie within half a pixel (they move
    // by at most a row), and where they jump, a column holding a whole span of readings shows as a
    // band of markers. Overlapping rows of one column make one run.
    auto markRows = [&](int x, int yTop, int yBottom) {
        yTop = std::max(yTop, markTop);
        yBottom = std::min(yBottom, markBottom);
        if (yTop > yBottom || x < markLeft || x > markRight)
            return;
        if (!scene.markRuns.isEmpty()) {
            QLine& run = scene.markRuns.last();
            if (run.x1() == x && yTop <= run.y2() + 1 && yBottom >= run.y1() - 1) {
                run.setLine(x, std::min(run.y1(), yTop), x, std::max(run.y2(), yBottom));
                return;
            }
        }
        scene.markRuns.append(QLine(x, yTop, x, yBottom));
    };
    const qsizetype spanMask = CDataSeries::kSpanPoints - 1;
    for (qsizetype i = from; i < end; ++i) {
        if ((i & spanMask) == 0 && end - i > spanMask) {
            const int x = m.x(i);
            int level = CDataSeries::kSpanLevels - 1;
            qsizetype length = 0;
            for (; level >= 0; --level) {
                length = qsizetype(1) << CDataSeries::SpanBitsAt(level);
                if ((i & (length - 1)) == 0 && end - i >= length && m.x(i + length - 1) == x
                    && s.SpanFrom(level, i).plain)
                    break;
            }
            if (level >= 0) {
                const CDataSeries::Span& span = s.SpanFrom(level, i);
                const double first = s.Value(i);
                if (open && x == colX) {
                    lo = std::min(lo, span.min);
                    hi = std::max(hi, span.max);
                } else {
                    if (open) {
                        closeColumn();
                        scene.trace.append(QLine(colX, m.yOf(last), x, m.yOf(first)));
                    }
                    open = true;
                    colX = x;
                    lo = span.min;
                    hi = span.max;
                }
                last = s.Value(i + length - 1);
                if (p.maskPoints)
                    markRows(x, m.yOf(span.max), m.yOf(span.min));
                i += length - 1;
                continue;
            }
        }
        if (s.IsNull(i)) {
            // The gap breaks the trace: the column before it ends, nothing joins across.
            if (open)
                closeColumn();
            open = false;
            continue;
        }
        const int x = m.x(i);
        const double v = m.pinned(s.Value(i));
        if (p.maskPoints)
            addMark(x, m.yOf(v));
        if (open && x == colX) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            last = v;
            continue;
        }
        if (open) {
            closeColumn();
            scene.trace.append(QLine(colX, m.yOf(last), x, m.yOf(v)));
        }
        open = true;
        colX = x;
        last = lo = hi = v;
    }
    if (open)
        closeColumn();
}

} // namespace

int YLabelDecimals(double step)
{
    // Two decimals unless neighbouring lines would then read alike: enough that a rounding
    // unit is at most half the step between them.
    if (!(step > 0.0) || !std::isfinite(step))
        return 2;
    const int need = int(std::ceil(-std::log10(step / 2.0) - 1e-9));
    return std::clamp(need, 2, 9);
}

QPoint GraphPointAt(const GraphAxisState& st, const GraphDrawParams& p, qsizetype i, double v)
{
    const Mapper m(st, p);
    return QPoint(m.x(i), m.y(v));
}

GraphScene BuildGraphScene(const GraphAxisState& st, const CDataSeries& series, const GraphDrawParams& p)
{
    GraphScene scene;
    const int left = p.left, top = p.top;
    const int pw = std::max(1, p.rect.width() - 2 * left);
    const int ph = std::max(1, p.rect.height() - 2 * top);
    const QPoint o = p.rect.topLeft();
    scene.plot = QRect(o.x() + left, o.y() + top, pw, ph);
    scene.fontHeight = p.fontHeight;
    scene.print = p.print;

    for (int i = 0; i <= 10; ++i) {
        const int y = o.y() + top + ph - i * ph / 10;
        scene.grid.append(QLine(o.x() + left, y, o.x() + left + pw, y));
    }
    for (int i = 0; i <= 5; ++i) {
        const int x = o.x() + left + i * pw / 5;
        scene.grid.append(QLine(x, o.y() + top, x, o.y() + top + ph));
    }

    const qsizetype count = series.Size();
    if (count >= 1) {
        const Mapper m(st, p);
        const auto [from, end] = visibleSpan(st, p, count);
        if (count >= 2)
            trace(scene, m, series, from, end, p);
        else if (p.maskPoints && !series.IsNull(0))
            scene.marks.append(QPoint(m.x(0), m.y(series.Value(0))));
    }

    // Margins: GDI rectangles exclude their right and bottom edges.
    auto gdi = [&](int x1, int y1, int x2, int y2) {
        return QRect(QPoint(o.x() + x1, o.y() + y1), QPoint(o.x() + x2 - 1, o.y() + y2 - 1));
    };
    scene.margins = {
        gdi(0, 0, pw + 2 * left, top),
        gdi(0, 0, left, ph + std::max(left, 2 * top)),
        gdi(0, ph + top, pw + 2 * left, ph + std::max(left, 2 * top)),
        gdi(pw + left, 0, pw + 2 * left, ph + std::max(left, 2 * top)),
    };
    scene.axes = { QLine(o.x() + left, o.y() + top, o.x() + left, o.y() + top + ph),
        QLine(o.x() + left, o.y() + top + ph, o.x() + left + pw, o.y() + top + ph) };

    const int decimals = YLabelDecimals(std::max(1, ph / 10) * p.yPerPixel);
    for (int i = 0; i <= 10; ++i) {
        const int step = i * ph / 10;
        const double v = step * p.yPerPixel + st.m_dYMin;
        scene.labels.append(GraphLabel { QString::asprintf("%.*f", decimals, v),
            QPoint(o.x() + left - 2, o.y() + top + ph - step), GraphLabel::RightOfText });
    }
    for (int i = 0; i <= 5; ++i) {
        const int step = i * pw / 5;
        const double v = std::trunc(step * p.xPerPixel + st.m_dXMin);
        scene.labels.append(GraphLabel { QString::asprintf("%lld", static_cast<long long>(std::clamp(v, -9.0e18, 9.0e18))),
            QPoint(o.x() + left + step, o.y() + top + ph), GraphLabel::CenteredBelow });
    }
    return scene;
}

GraphScene BuildTraceSegment(
    const GraphAxisState& st, const CDataSeries& series, const GraphDrawParams& p, qsizetype from, qsizetype to)
{
    GraphScene scene;
    const int pw = std::max(1, p.rect.width() - 2 * p.left);
    const int ph = std::max(1, p.rect.height() - 2 * p.top);
    scene.plot = QRect(p.rect.left() + p.left, p.rect.top() + p.top, pw, ph);
    from = std::max<qsizetype>(0, from);
    to = std::min(to, series.Size() - 1);
    if (from <= to)
        trace(scene, Mapper(st, p), series, from, to + 1, p);
    return scene;
}

QVector<QLine> PickCross(const GraphAxisState& st, const GraphDrawParams& p, qsizetype i, double v)
{
    const Mapper m(st, p);
    const int pw = std::max(1, p.rect.width() - 2 * p.left);
    const int x = m.x(i);
    const int y = m.yOf(v >= kOverRange ? st.m_dYMax : v);
    return { QLine(x, m.top, x, m.top + m.ph), QLine(m.left, y, m.left + pw, y) };
}
