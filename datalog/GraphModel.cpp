#include "datalog/GraphModel.h"

#include "datalog/DataSeries.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

bool usable(double d) { return std::isfinite(d) && d > 0.0; }

int truncToInt(double d)
{
    if (!(d == d))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(d), double(INT_MIN), double(INT_MAX)));
}

} // namespace

CGraphModel::CGraphModel()
{
    m_axes[1].m_dXMax = m_axes[2].m_dXMax = 100.0;
}

void CGraphModel::Init(int clientWidth, int clientHeight)
{
    for (GraphAxisState& st : m_axes) {
        st.m_nPlotWidth = std::max(1, clientWidth - kMarginX);
        st.m_nPlotHeight = std::max(1, clientHeight - kMarginY);
        st.m_dXMin = st.m_dXMinHome;
        st.m_dYMin = st.m_dYMinHome;
        st.m_dXPerPixel = (st.m_dXMax - st.m_dXMinHome) / st.m_nPlotWidth;
        st.m_dYPerPixel = (st.m_dYMax - st.m_dYMinHome) / st.m_nPlotHeight;
    }
}

void CGraphModel::Resize(int clientWidth, int clientHeight)
{
    for (GraphAxisState& st : m_axes) {
        const double right = st.m_dXMin + st.m_nPlotWidth * st.m_dXPerPixel;
        const double top = st.m_dYMin + st.m_nPlotHeight * st.m_dYPerPixel;
        st.m_nPlotWidth = std::max(1, clientWidth - kMarginX);
        st.m_nPlotHeight = std::max(1, clientHeight - kMarginY);
        const double xpp = (right - st.m_dXMin) / st.m_nPlotWidth;
        const double ypp = (top - st.m_dYMin) / st.m_nPlotHeight;
        if (usable(xpp))
            st.m_dXPerPixel = xpp;
        if (usable(ypp))
            st.m_dYPerPixel = ypp;
    }
}

void CGraphModel::SetYRange(double max, double min)
{
    if (!std::isfinite(max) || !std::isfinite(min)) {
        max = 500.0;
        min = -500.0;
    }
    if (!(max > min)) {
        // An empty range gets a small band around its value.
        const double m = std::max(0.01, std::abs(min) * 1e-6);
        max = min + m;
        min = min - m;
    }
    for (GraphAxisState& st : m_axes) {
        st.m_dYMax = max;
        st.m_dYMinHome = st.m_dYMin = min;
        st.m_dYPerPixel = (max - min) / st.m_nPlotHeight;
    }
}

void CGraphModel::ResetZoom()
{
    for (GraphAxisState& st : m_axes) {
        st.m_dXMin = st.m_dXMinHome;
        st.m_dYMin = st.m_dYMinHome;
        const double xpp = (st.m_dXMax - st.m_dXMinHome) / st.m_nPlotWidth;
        const double ypp = (st.m_dYMax - st.m_dYMinHome) / st.m_nPlotHeight;
        if (usable(xpp))
            st.m_dXPerPixel = xpp;
        if (usable(ypp))
            st.m_dYPerPixel = ypp;
    }
    m_bZoomed = false;
}

void CGraphModel::ResetX()
{
    for (size_t i = 0; i < m_axes.size(); ++i) {
        GraphAxisState& st = m_axes[i];
        st.m_dXMinHome = st.m_dXMin = 0.0;
        st.m_dXMax = i == 0 ? 20.0 : 100.0;
        st.m_dXPerPixel = st.m_dXMax / st.m_nPlotWidth;
    }
    m_bZoomed = false;
}

void CGraphModel::GrowX(qsizetype count, bool live, bool dragging)
{
    GraphAxisState& st = m_axes[0];
    const double last = double(count - 1);
    if (!m_bZoomed) {
        if (!usable(st.m_dXPerPixel))
            st.m_dXPerPixel = std::max(last, 1.0) / st.m_nPlotWidth;
        // Steps of 1/15, as many as needed; a per-pixel value too small to get there in a few
        // thousand steps is set to fit at once.
        for (int steps = 0; st.m_dXMax < last; ++steps) {
            if (steps == 4000) {
                st.m_dXPerPixel = last / st.m_nPlotWidth;
                st.m_dXMax = last;
                break;
            }
            st.m_dXPerPixel = st.m_dXPerPixel * 16.0 / 15.0;
            st.m_dXMax = st.m_nPlotWidth * st.m_dXPerPixel;
        }
        return;
    }
    if (st.m_nPlotWidth * st.m_dXPerPixel <= last - st.m_dXMin && !dragging && live) {
        st.m_dXMin += 1.0;
        st.m_dXMax = last;
    }
}

bool CGraphModel::InPlot(QPoint p) const
{
    return p.x() > kLeft && p.x() < kLeft + PlotWidth() && p.y() > kTop && p.y() < kTop + PlotHeight();
}

QPoint CGraphModel::ClampToPlot(QPoint p) const
{
    return QPoint(std::clamp(p.x(), kLeft, kLeft + PlotWidth()), std::clamp(p.y(), kTop, kTop + PlotHeight()));
}

void CGraphModel::ZoomXState(GraphAxisState& st, int x0, int x)
{
    const int width = std::abs(x - x0);
    if (width == 0)
        return;
    st.m_dXMin += (std::min(x0, x) - kLeft) * st.m_dXPerPixel;
    st.m_dXPerPixel = width * st.m_dXPerPixel / st.m_nPlotWidth;
}

void CGraphModel::ZoomYState(GraphAxisState& st, int y0, int y)
{
    const int height = std::abs(y - y0);
    if (height == 0)
        return;
    st.m_dYMin += (st.m_nPlotHeight - std::max(y0, y) + kTop) * st.m_dYPerPixel;
    st.m_dYPerPixel = height * st.m_dYPerPixel / st.m_nPlotHeight;
}

bool CGraphModel::RectZoom(QPoint start, QPoint end)
{
    if (std::abs(end.x() - start.x()) < 5 || std::abs(end.y() - start.y()) < 5)
        return false;
    const QPoint e = ClampToPlot(end);
    GraphAxisState& st = m_axes[0];
    bool changed = false;
    if (st.m_dXPerPixel > kZoomLimit) {
        ZoomXState(st, start.x(), e.x());
        changed = m_bZoomed = true;
    }
    if (st.m_dYPerPixel > kZoomLimit) {
        ZoomYState(st, start.y(), e.y());
        changed = m_bZoomed = true;
    }
    return changed;
}

bool CGraphModel::ZoomY(QPoint start, QPoint end)
{
    if (std::abs(end.y() - start.y()) < 5 || !(m_axes[0].m_dYPerPixel > kZoomLimit))
        return false;
    const int y = ClampToPlot(end).y();
    for (GraphAxisState& st : m_axes)
        ZoomYState(st, start.y(), y);
    m_bZoomed = true;
    return true;
}

bool CGraphModel::ZoomX(QPoint start, QPoint end)
{
    if (std::abs(end.x() - start.x()) < 5 || !(m_axes[0].m_dXPerPixel > kZoomLimit))
        return false;
    const int x = ClampToPlot(end).x();
    for (GraphAxisState& st : m_axes)
        ZoomXState(st, start.x(), x);
    m_bZoomed = true;
    return true;
}

bool CGraphModel::StepZoomIn()
{
    GraphAxisState& st = m_axes[0];
    bool changed = false;
    if (st.m_dXPerPixel > kStep) {
        st.m_dXPerPixel -= kStep;
        changed = true;
    }
    if (st.m_dYPerPixel > kStep) {
        st.m_dYPerPixel -= kStep;
        changed = true;
    }
    return changed;
}

bool CGraphModel::StepZoomOut()
{
    GraphAxisState& st = m_axes[0];
    bool changed = false;
    if (st.m_dXPerPixel < (st.m_dXMax - st.m_dXMin) / st.m_nPlotWidth) {
        st.m_dXPerPixel
            = std::min(st.m_dXPerPixel + kStep, (st.m_dXMax - st.m_dXMinHome) / st.m_nPlotWidth);
        changed = true;
    }
    if (st.m_dYPerPixel < (st.m_dYMax - st.m_dYMin) / st.m_nPlotHeight) {
        st.m_dYPerPixel
            = std::min(st.m_dYPerPixel + kStep, (st.m_dYMax - st.m_dYMinHome) / st.m_nPlotHeight);
        changed = true;
    }
    return changed;
}

bool CGraphModel::Pan(QPoint from, QPoint to)
{
    GraphAxisState& st = m_axes[0];
    const double oldX = st.m_dXMin;
    const double oldY = st.m_dYMin;
    const int dy = to.y() - from.y(); // negative: the mouse went up
    if (dy != 0) {
        const double upper = st.m_dYMax - st.m_nPlotHeight * st.m_dYPerPixel;
        double y = st.m_dYMin + dy * st.m_dYPerPixel;
        y = dy < 0 ? std::max(y, st.m_dYMinHome) : std::min(y, upper);
        st.m_dYMin = dy > 0 ? std::max(y, st.m_dYMin) : std::min(y, st.m_dYMin);
    }
    const int dx = to.x() - from.x(); // positive: the mouse went right
    if (dx != 0) {
        const double upper = st.m_dXMax - st.m_nPlotWidth * st.m_dXPerPixel;
        double x = st.m_dXMin - dx * st.m_dXPerPixel;
        x = dx > 0 ? std::max(x, st.m_dXMinHome) : std::min(x, upper);
        st.m_dXMin = dx < 0 ? std::max(x, st.m_dXMin) : std::min(x, st.m_dXMin);
    }
    return st.m_dXMin != oldX || st.m_dYMin != oldY;
}

qsizetype CGraphModel::PickIndex(int x, const CDataSeries& series) const
{
    const GraphAxisState& st = m_axes[0];
    if (x <= kLeft || x >= kLeft + PlotWidth())
        return -1;
    const double at = std::floor((x - kLeft) * st.m_dXPerPixel + st.m_dXMin);
    if (!(at >= 0.0) || at >= double(series.Size()))
        return -1;
    const auto i = static_cast<qsizetype>(at);
    return series.IsNull(i) ? -1 : i;
}

std::optional<std::pair<qsizetype, qsizetype>> CGraphModel::FftRange(int x0, int x1, qsizetype count) const
{
    const GraphAxisState& st = m_axes[0];
    auto at = [&](int x) {
        const double d = std::floor((x - kLeft) * st.m_dXPerPixel + st.m_dXMin);
        if (!(d >= 0.0))
            return qsizetype(-1);
        return d >= double(count - 1) ? count - 1 : static_cast<qsizetype>(d);
    };
    const qsizetype a = at(x0);
    const qsizetype b = at(x1);
    if (a < 0 || b < 0 || a == b)
        return std::nullopt;
    return std::make_pair(std::min(a, b), std::max(a, b));
}

int CGraphModel::HScrollMax() const
{
    const GraphAxisState& st = m_axes[0];
    return std::max(0, truncToInt(st.m_dXMax - std::trunc(st.m_nPlotWidth * st.m_dXPerPixel)));
}

int CGraphModel::HScrollPos() const { return std::clamp(truncToInt(m_axes[0].m_dXMin), 0, HScrollMax()); }

void CGraphModel::SetHScrollPos(int pos) { m_axes[0].m_dXMin = std::clamp(pos, 0, HScrollMax()); }

// The vertical bar counts plot pixels from the top of the full range, so a small window over a
// small range moves as finely as it is drawn, whatever the value units.
int CGraphModel::VScrollMax() const
{
    const GraphAxisState& st = m_axes[0];
    if (!usable(st.m_dYPerPixel))
        return 0;
    return std::max(0, truncToInt(std::round((st.m_dYMax - st.m_dYMinHome) / st.m_dYPerPixel - st.m_nPlotHeight)));
}

int CGraphModel::VScrollPos() const
{
    const GraphAxisState& st = m_axes[0];
    if (!usable(st.m_dYPerPixel))
        return 0;
    const double top = st.m_dYMin + st.m_nPlotHeight * st.m_dYPerPixel;
    return std::clamp(truncToInt(std::round((st.m_dYMax - top) / st.m_dYPerPixel)), 0, VScrollMax());
}

void CGraphModel::SetVScrollPos(int pos)
{
    GraphAxisState& st = m_axes[0];
    if (!usable(st.m_dYPerPixel))
        return;
    pos = std::clamp(pos, 0, VScrollMax());
    st.m_dYMin = std::max(st.m_dYMinHome, st.m_dYMax - (st.m_nPlotHeight + pos) * st.m_dYPerPixel);
}

bool CGraphModel::CanAppendIncrementally(const CDataSeries& series) const
{
    const qsizetype n = series.Size();
    if (n < 1 || m_bZoomed || series.IsNull(n - 1))
        return false;
    const GraphAxisState& st = m_axes[0];
    const double v = series.Value(n - 1);
    return double(n - 1) <= st.m_dXMax && v <= st.m_dYMax && v >= st.m_dYMinHome;
}
