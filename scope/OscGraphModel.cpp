#include "scope/OscGraphModel.h"

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

// Bin spacing by time base; the bands below divide it into the shown unit.
constexpr std::array<double, 19> kBinSpacing
    = { 0, 2, 5, 10, 20, 50, 100, 200, 5, 10, 20, 50, 100, 20, 50, 100, 200, 400, 800 };
struct FrequencyBand {
    int lastTimeBase;
    double divisor;
    int decimals;
    const char* unit;
};
// 1..2 in hertz; 3..7 (10 ms to 0.5 ms a division) in kilohertz from hertz; 8..12 in kilohertz
// from tens of hertz; 13..18 in megahertz from kilohertz.
constexpr std::array<FrequencyBand, 4> kBands = { {
    { 2, 1, 0, "Hz" },
    { 7, 1000, 2, "KHz" },
    { 12, 10, 1, "KHz" },
    { 18, 1000, 3, "MHz" },
} };
constexpr std::array<double, 19> kNsPerDiv = { 0, 5e7, 2e7, 1e7, 5e6, 2e6, 1e6, 5e5, 2e5, 1e5, 5e4, 2e4, 1e4,
    5000, 2000, 1000, 500, 250, 125 };

constexpr uint32_t kBackground = 0x1F1A17; // (31, 26, 23)
constexpr uint32_t kMargin = 0x273A64; // (39, 58, 100)
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrid = 0x20AE47; // (32, 174, 71)
constexpr uint32_t kTrace = 0xFFFF00;
constexpr uint32_t kMarker = 0x0000FF;
constexpr uint32_t kCrosshair = 0xFF0000;
constexpr uint32_t kStatusFill = 0x4E4341; // (78, 67, 65)
constexpr uint32_t kLightGrey = 0xDEDEDE; // (222, 222, 222)
constexpr uint32_t kCouplingFill = 0x5D6150; // (93, 97, 80)
constexpr uint32_t kEdgeFill = 0x0092DC; // (0, 146, 220)

double FromTable(const std::array<double, 19>& t, int index, int first)
{
    if (index < first || index >= int(t.size()))
        return first == 0 ? -1 : 0;
    return t[size_t(index)];
}

} // namespace

double BinSpacing(int timeBase) { return FromTable(kBinSpacing, timeBase, 0); }

bool SpectrumFrequency(int timeBase, int bin, BinFrequency& out)
{
    const double s = BinSpacing(timeBase);
    if (s < 0)
        return false;
    for (const FrequencyBand& band : kBands) {
        if (timeBase <= band.lastTimeBase) {
            out = { bin * s / band.divisor, band.decimals, QString::fromLatin1(band.unit) };
            return true;
        }
    }
    return false;
}

double NsPerDivision(int timeBase) { return FromTable(kNsPerDiv, timeBase, 1); }
bool UsableVoltDiv(double voltDiv) { return std::isfinite(voltDiv) && voltDiv > 0; }

QString StatusWord(int status)
{
    switch (status) {
    case 1: return QStringLiteral("HOLD");
    case 2: return QStringLiteral("REC");
    case 3: return QStringLiteral("FFT");
    case 4: return QStringLiteral("Single");
    default: return QString();
    }
}

} // namespace osc

COscGraphModel::COscGraphModel()
{
    ResetView();
}

void COscGraphModel::SetClientSize(int width, int height)
{
    const double spanX = m_dXScale * m_nPlotW;
    const double spanY = m_dYScale * m_nPlotH;
    m_nPlotW = std::max(1, width - kLeft - kRight);
    m_nPlotH = std::max(1, height - kTop - kBottom);
    // The same stretch of data fills the new plot size.
    m_dXScale = spanX / m_nPlotW;
    m_dYScale = spanY / m_nPlotH;
    ComputeGrid();
}

void COscGraphModel::SetData(const float* values, int count, const OSCInfo& info)
{
    m_info = info;
    m_nCount = std::clamp(count, 0, int(m_dY.size()));
    m_dY.fill(0);
    for (int i = 0; i < m_nCount; ++i)
        m_dY[size_t(i)] = std::isfinite(values[i]) ? double(values[i]) : 0.0;
    m_dXMin = 0;
    m_dXMax = std::max(1, m_nCount);
    m_bVoltOk = osc::UsableVoltDiv(info.dVoltDiv);
    if (m_nCount == OSCData::kSpectrumPoints) {
        m_dYMin = 0;
        m_dYMax = 200;
    } else {
        // A volts/div of 0 or out of the meter's table would give an empty range.
        const double div = m_bVoltOk ? info.dVoltDiv : kDefaultVoltDiv;
        m_dYMax = 4 * div;
        m_dYMin = -4 * div;
    }
    m_nSel = -1;
    m_bZooming = m_bDragging = m_bCursor = false;
    m_bLevelsMoved = m_bTimesMoved = false;
    m_nDragLine = NoLine;
    ResetView();
}

void COscGraphModel::ResetView()
{
    m_dX0 = m_dXMin;
    m_dY0 = m_dYMin;
    m_dXScale = (m_dXMax - m_dX0) / m_nPlotW;
    m_dYScale = (m_dYMax - m_dY0) / m_nPlotH;
    ComputeGrid();
}

void COscGraphModel::ComputeGrid()
{
    for (size_t k = 0; k < m_dYGrid.size(); ++k)
        m_dYGrid[k] = m_dYMin + double(k) * (m_dYMax - m_dYMin) / 8;
    for (size_t k = 0; k < m_dXGrid.size(); ++k)
        m_dXGrid[k] = double(k) * (m_dXMax - m_dXMin) / 12;
}

namespace {

// A pixel position as an int: far positions (a marker at 1e12, a deep zoom) are held well
// outside any plot, and a position that is no number lies off the plot too.
int Pixel(double v)
{
    constexpr double kFar = 1e6;
    if (std::isnan(v))
        return -int(kFar);
    return int(std::clamp(v, -kFar, kFar));
}

} // namespace

int COscGraphModel::XOf(double index) const
{
    return kLeft + Pixel(std::trunc(index / m_dXScale) - std::trunc((m_dX0 - m_dXMin) / m_dXScale));
}

int COscGraphModel::YOf(double value) const
{
    return kTop + Pixel(std::trunc(m_nPlotH - (value - m_dY0) / m_dYScale));
}

double COscGraphModel::ValueAtY(int y) const
{
    // The middle of the pixel row, so that YOf gives the same row back.
    return m_dY0 + (m_nPlotH - (y - kTop) - 0.5) * m_dYScale;
}

int COscGraphModel::IndexAtX(int x) const
{
    return Pixel(std::trunc((x - kLeft) * m_dXScale + (m_dX0 - m_dXMin) + 0.5));
}

double COscGraphModel::XZoom() const { return (m_dXMax - m_dXMin) / (m_dXScale * m_nPlotW); }
double COscGraphModel::YZoom() const { return (m_dYMax - m_dYMin) / (m_dYScale * m_nPlotH); }

QString COscGraphModel::ZoomMark(double factor)
{
    // Below half a percent a zoom is a resize's rounding, not the user's.
    if (!(factor > 1.005))
        return QString();
    return QStringLiteral(" \u00d7%1").arg(factor, 0, 'f', factor < 10 ? 1 : 0);
}

bool COscGraphModel::InPlot(QPoint p) const
{
    return p.x() > kLeft && p.x() < kLeft + m_nPlotW && p.y() > kTop && p.y() < kTop + m_nPlotH;
}

int COscGraphModel::LineNear(QPoint p) const
{
    if (!MarkersShown())
        return NoLine;
    const bool acrossPlot = p.x() >= kLeft && p.x() <= kLeft + m_nPlotW;
    const bool downPlot = p.y() >= kTop && p.y() <= kTop + m_nPlotH;
    if (acrossPlot && std::abs(p.y() - YOf(m_info.dMax)) <= kGrab)
        return UpperLevel;
    if (acrossPlot && std::abs(p.y() - YOf(m_info.dMin)) <= kGrab)
        return LowerLevel;
    if (downPlot && std::abs(p.x() - XOf(m_info.dCross1)) <= kGrab)
        return FirstTime;
    if (downPlot && std::abs(p.x() - XOf(m_info.dCross2)) <= kGrab)
        return SecondTime;
    return NoLine;
}

bool COscGraphModel::LeftDown(QPoint p)
{
    if (const int line = LineNear(p)) {
        m_bDragging = true;
        m_nDragLine = line;
        m_ptLast = p;
        return false;
    }
    if (!InPlot(p))
        return false;
    m_bZooming = true;
    m_ptZoomStart = m_ptZoomEnd = p;
    return true;
}

bool COscGraphModel::MouseMove(QPoint p)
{
    if (p.x() < 5 || p.x() > m_nPlotW + 45 || p.y() < 5 || p.y() > m_nPlotH + 95) {
        const bool changed = m_bZooming || m_bCursor;
        m_bZooming = false;
        m_bCursor = false;
        return changed;
    }
    bool changed = false;
    if (m_bDragging) {
        if (m_nDragLine == UpperLevel || m_nDragLine == LowerLevel)
            DragLevel(p);
        else
            DragTime(p);
        changed = true;
    }
    if (m_bZooming) {
        m_ptZoomEnd = QPoint(std::clamp(p.x(), kLeft, kLeft + m_nPlotW), std::clamp(p.y(), kTop, kTop + m_nPlotH));
        changed = true;
    }
    if (m_bCursor) {
        const int index = IndexAtX(p.x());
        if (index >= 0 && index < m_nCount)
            m_nSel = index;
        changed = true;
    }
    return changed;
}

void COscGraphModel::DragLevel(QPoint p)
{
    const bool upper = m_nDragLine == UpperLevel;
    double& value = upper ? m_info.dMax : m_info.dMin;
    // The line follows only while the pointer holds it.
    if (std::abs(m_ptLast.y() - YOf(value)) > kGrab)
        return;
    // The upper line stays at least kLevelGap pixels above the lower one: a drag past that
    // point leaves the line kLevelGap pixels from the other, never across it.
    int y = p.y();
    if (upper)
        y = std::min(y, YOf(m_info.dMin) - kLevelGap);
    else
        y = std::max(y, YOf(m_info.dMax) + kLevelGap);
    value = ValueAtY(y);
    m_ptLast = QPoint(p.x(), YOf(value));
    m_info.strVpp = QString::asprintf("%.2f %s", m_info.dMax - m_info.dMin, qPrintable(m_info.strUnit));
    m_info.dVpp = m_info.dMax - m_info.dMin;
    m_bLevelsMoved = true;
}

void COscGraphModel::DragTime(QPoint p)
{
    const int last = std::max(1, m_nCount - 1);
    int index = std::clamp(IndexAtX(p.x()), 0, last);
    double c1 = m_info.dCross1, c2 = m_info.dCross2;
    if (m_nDragLine == FirstTime) {
        c1 = std::min<double>(index, c2 - 1);
        if (c1 < 0) {
            c1 = 0;
            c2 = std::max(c2, 1.0);
        }
    } else {
        c2 = std::max<double>(index, c1 + 1);
        if (c2 > last) {
            c2 = last;
            c1 = std::min(c1, c2 - 1);
        }
    }
    m_info.dCross1 = c1;
    m_info.dCross2 = c2;
    m_ptLast = p;
    UpdatePeriodTexts();
}

void COscGraphModel::UpdatePeriodTexts()
{
    const double perDiv = osc::NsPerDivision(m_info.nTimeBase);
    const double t = (m_info.dCross2 - m_info.dCross1) * perDiv / 25; // 25 samples a division
    if (!(t > 0)) {
        // A time base outside the meter's table: nothing to measure with.
        m_info.dFreq = -1;
        m_info.strPeriod = m_info.strFreq = QStringLiteral("---");
        return;
    }
    m_bTimesMoved = true;
    double f = 1000 / t; // MHz
    double shownT = t;
    const char* tUnit = "nS";
    const char* fUnit = "MHz";
    if (t > 1000000) {
        shownT = t / 1000000;
        f *= 1000000;
        tUnit = "mS";
        fUnit = "Hz";
    } else if (t > 1000) {
        shownT = t / 1000;
        f *= 1000;
        tUnit = "uS";
        fUnit = "KHz";
    }
    m_info.dPeriod = shownT;
    m_info.dFreq = f;
    m_info.strPeriod = QString::asprintf("%.3f %s", shownT, tUnit);
    m_info.strFreq = QString::asprintf("%.3f %s", f, fUnit);
}

bool COscGraphModel::LeftUp(QPoint p)
{
    if (m_bDragging) {
        m_bDragging = false;
        m_nDragLine = NoLine;
        return true;
    }
    if (!m_bZooming)
        return false;
    if (p.x() < 6 || p.x() >= m_nPlotW + 45 || p.y() < 6 || p.y() >= m_nPlotH + 95)
        return false;
    m_bZooming = false;
    const QPoint s = m_ptZoomStart;
    if (std::abs(p.x() - s.x()) > kMinZoomPixels && std::abs(p.y() - s.y()) > kMinZoomPixels) {
        if (m_dXScale > kMinScale) {
            const int ex = std::clamp(p.x(), kLeft, kLeft + m_nPlotW);
            const int width = std::abs(ex - s.x());
            if (width > 0) {
                m_dX0 += (std::min(ex, s.x()) - kLeft) * m_dXScale;
                m_dXScale = width * m_dXScale / m_nPlotW;
            }
        }
        if (m_dYScale > kMinScale) {
            const int ey = std::clamp(p.y(), kTop, kTop + m_nPlotH);
            const int height = std::abs(ey - s.y());
            if (height > 0) {
                m_dY0 += (m_nPlotH - std::max(ey, s.y()) + kTop) * m_dYScale;
                m_dYScale = height * m_dYScale / m_nPlotH;
            }
        }
    }
    return true;
}

bool COscGraphModel::RightDown(QPoint p)
{
    m_bCursor = true;
    const int index = IndexAtX(p.x());
    if (index >= 0 && index < m_nCount)
        m_nSel = index;
    return true;
}

bool COscGraphModel::RightUp()
{
    m_bCursor = false;
    return true;
}

QString COscGraphModel::ReadoutText() const
{
    if (!m_bCursor || m_nSel < 0 || m_nSel >= m_nCount)
        return QString();
    const double value = m_dY[size_t(m_nSel)];
    if (m_nCount == OSCData::kSpectrumPoints && m_info.nStatus == 3) {
        osc::BinFrequency f;
        const QString freq = osc::SpectrumFrequency(m_info.nTimeBase, m_nSel, f)
            ? QStringLiteral("Freq:") + QString::number(f.value, 'f', f.decimals) + f.unit
            : QStringLiteral("Freq:---");
        return QString::asprintf("NO.:%d  Factor:%.2f %s", m_nSel, value * 10, qPrintable(freq));
    }
    return QString::asprintf("NO.:%d  Amplitude:%.2f  ", m_nSel, value);
}

osc::OscScene COscGraphModel::Layout(bool printing) const
{
    using namespace osc;
    OscScene s;
    const int w = ClientWidth(), h = ClientHeight();
    const int right = kLeft + m_nPlotW, bottom = kTop + m_nPlotH;
    const uint32_t text = printing ? kBlack : kWhite;
    s.client = QRectF(0, 0, w, h);
    s.background = kBackground;

    // 1. Grid; "Single" marks the trigger position with a wide third line and the trigger flag.
    for (double v : m_dYGrid) {
        const int y = YOf(v);
        s.grid.push_back({ QLineF(kLeft, y, right, y), kGrid, 1, true });
    }
    for (size_t k = 0; k < m_dXGrid.size(); ++k) {
        const int x = XOf(m_dXGrid[k]);
        const bool trigger = m_info.nStatus == 4 && k == 2;
        s.grid.push_back({ QLineF(x, kTop, x, bottom), kGrid, trigger ? 5.0 : 1.0, !trigger });
        if (trigger) {
            const int y = YOf(m_info.nTrigLevel / 1000.0);
            s.marks.push_back({ OscSceneMark::Trigger, QRectF(x - 18, y - 22, 18, 22) });
        }
    }

    // 2. Marker lines and the trace.
    if (m_nCount > 1) {
        if (MarkersShown()) {
            for (double c : { m_info.dCross1, m_info.dCross2 }) {
                const int x = XOf(c);
                s.markers.push_back({ QLineF(x, kTop, x, bottom), kMarker, 2, false });
            }
            for (double v : { m_info.dMax, m_info.dMin }) {
                const int y = YOf(v);
                s.markers.push_back({ QLineF(kLeft, y, right, y), kMarker, 2, false });
            }
        }
        for (int i = std::max(0, int(std::trunc(m_dX0))); i < m_nCount; ++i)
            s.trace.push_back(QPointF(XOf(i), YOf(m_dY[size_t(i)])));
    }

    // 3. Margins over whatever the trace drew outside the plot.
    const uint32_t margin = printing ? kWhite : kMargin;
    s.bands.push_back({ QRectF(0, 0, w, kTop), margin });
    s.bands.push_back({ QRectF(0, 0, kLeft, h), margin });
    s.bands.push_back({ QRectF(0, bottom + 1, w, h - bottom - 1), margin });
    s.bands.push_back({ QRectF(right + 1, 0, w - right - 1, h), margin });

    // 4. Top band: date, time, status and the page of a REC record. The date in the record's
    // own order, as the window's title and the store buttons show it.
    s.texts.push_back({ DateTimeText(m_info).section(QLatin1Char(' '), 0, 0), QRectF(50, 10, 100, 30), 24, text,
        false });
    s.texts.push_back({ QString::asprintf("%.2d:%.2d:%.2d", m_info.nHour, m_info.nMinute, m_info.nSecond),
        QRectF(160, 10, 85, 30), 20, text, false });
    // (A face wider than the date's box shrinks to it: the gap before the time stays.)
    const QRectF statusBox(kLeft + m_nPlotW / 2.0 - 50, 10, 100, 30);
    if (!printing)
        s.boxes.push_back({ statusBox, kStatusFill });
    s.texts.push_back({ StatusWord(m_info.nStatus), statusBox, 24, text, true });
    if (m_info.nStatus == 2) {
        const QRectF page(m_nPlotW - 100, 12, 75, 26);
        s.boxes.push_back({ page, kLightGrey });
        s.texts.push_back({ QString::asprintf("PAGE %d", m_info.nPage), page, 18, kBlack, true });
    }

    // 5. Bottom band of a waveform: volts, Vp-p, frequency, rate and period. Once a marker has
    // been dragged the boxes measure between the markers, and say so; a zoom marks its factor
    // beside the volts and time a division of the record.
    const QRectF line1(0, bottom + 2, 0, 22), line2(0, bottom + 25, 0, 22);
    auto at = [](const QRectF& line, double x, double width) { return QRectF(x, line.y(), width, line.height()); };
    if (m_nCount == OSCData::kWavePoints) {
        const bool noFreq = m_info.dFreq == -1;
        const QString volts = m_bVoltOk ? m_info.strVoltDiv + ZoomMark(YZoom()) : QStringLiteral("---");
        const QString vpp = m_bVoltOk ? m_info.strVpp : QStringLiteral("---");
        const QString vppLabel = m_bLevelsMoved ? QStringLiteral("\u0394V=") : QStringLiteral("Vp-p=");
        s.texts.push_back({ vppLabel + vpp, at(line1, 25, 200), 19, text, false });
        const QRectF coupling = at(line2, 25, 133);
        s.boxes.push_back({ coupling, kCouplingFill });
        s.texts.push_back({ (m_info.nCoupling == 0 ? QStringLiteral("AC ") : QStringLiteral("DC")) + volts,
            coupling.adjusted(4, 0, 0, 0), 20, kTrace, false });
        const QRectF freq(w / 2.0 - 90, bottom + 8, 150, 34);
        s.boxes.push_back({ freq, kLightGrey });
        const QString freqText = m_bTimesMoved ? QStringLiteral("1/\u0394t=") + m_info.strFreq : m_info.strFreq;
        s.texts.push_back({ noFreq ? QStringLiteral("---") : freqText, freq, 22, kBlack, true });
        const QString period = m_bTimesMoved ? QStringLiteral("\u0394t=") + m_info.strPeriod : m_info.strPeriod;
        s.texts.push_back({ noFreq ? QStringLiteral("---") : period, at(line1, w / 2.0 + 75, 120), 19, text, false });
        s.texts.push_back({ m_info.strRate + ZoomMark(XZoom()), at(line2, w / 2.0 + 75, 120), 19, text, false });
    } else if (m_nCount == OSCData::kSpectrumPoints) {
        // The spectrum's axes: the frequency under every second vertical line, in the read-out's
        // unit, and the amplitude above the horizontal lines.
        QString unit;
        for (size_t k = 0; k < m_dXGrid.size(); k += 2) {
            BinFrequency f;
            const int x = XOf(m_dXGrid[k]);
            // Labels stop short of the trigger-edge box at the right of the band.
            if (x < kLeft || x + 30 > m_nPlotW - 78
                || !SpectrumFrequency(m_info.nTimeBase, int(std::lround(m_dXGrid[k])), f))
                continue;
            unit = f.unit;
            s.texts.push_back({ QString::number(f.value, 'f', f.decimals), QRectF(x - 30, line1.y(), 60, 20), 16,
                text, true });
        }
        const QString caption = unit.isEmpty() ? QStringLiteral("Frequency") : QStringLiteral("Frequency (%1)").arg(unit);
        s.texts.push_back({ caption, QRectF(kLeft, line2.y(), m_nPlotW, 22), 18, text, true });
        for (double v : m_dYGrid) {
            const int y = YOf(v);
            if (y - 16 < kTop || y > bottom)
                continue;
            s.texts.push_back({ QString::number(v, 'f', 0), QRectF(kLeft + 3, y - 16, 40, 15), 14, text, false });
        }
        s.texts.push_back({ QStringLiteral("Amplitude"), QRectF(kLeft + 40, kTop + 1, 100, 16), 14, text, false });
    }

    // 6. Trigger edge and speed.
    const QRectF edge(m_nPlotW - 78, bottom + 6, 50, 38);
    s.boxes.push_back({ edge, kEdgeFill });
    const double ex = edge.x(), ey = edge.y();
    auto glyph = [&](double x1, double y1, double x2, double y2) {
        s.glyphLines.push_back({ QLineF(ex + x1, ey + y1, ex + x2, ey + y2), kWhite, 2, false });
    };
    switch (m_info.nTrigEdge) {
    case 1: // rising edge with an upward arrow beside it
        glyph(4, 30, 14, 30), glyph(14, 30, 22, 8), glyph(22, 8, 30, 8);
        glyph(39, 31, 39, 8), glyph(39, 8, 34, 14), glyph(39, 8, 44, 14);
        break;
    case 2: // falling edge with a downward arrow beside it
        glyph(4, 8, 14, 8), glyph(14, 8, 22, 30), glyph(22, 30, 30, 30);
        glyph(39, 7, 39, 30), glyph(39, 30, 34, 24), glyph(39, 30, 44, 24);
        break;
    case 3: // a pulse
        glyph(6, 30, 16, 30), glyph(16, 30, 16, 8), glyph(16, 8, 34, 8), glyph(34, 8, 34, 30), glyph(34, 30, 44, 30);
        break;
    default:
        break;
    }
    // The active speed in yellow; on paper yellow would not show, so black against a grey that
    // still reads on white there.
    const bool fast = m_info.nSpeed == 0;
    const uint32_t active = printing ? kBlack : kTrace;
    const uint32_t idle = printing ? 0x707070 : text;
    s.texts.push_back({ QStringLiteral("Fast"), at(line1, m_nPlotW - 19, 44), 19, fast ? active : idle, false });
    s.texts.push_back({ QStringLiteral("Slow"), at(line2, m_nPlotW - 19, 44), 19, fast ? idle : active, false });

    // 7. Level marks beside the horizontal grid lines.
    for (double v : m_dYGrid) {
        const int y = YOf(v);
        if (y < kTop || y > bottom)
            continue; // zoomed past this line
        s.marks.push_back({ OscSceneMark::LevelLeft, QRectF(0, y - 6, 20, 12) });
        s.marks.push_back({ OscSceneMark::LevelRight, QRectF(right + 4, y - 6, 20, 12) });
    }

    if (!printing) {
        if (m_bZooming) {
            s.zoomRect = true;
            s.zoom = QRectF(QPointF(m_ptZoomStart), QPointF(m_ptZoomEnd)).normalized();
        }
        if (m_bCursor && m_nSel >= 0 && m_nSel < m_nCount) {
            const int x = XOf(m_nSel), y = YOf(m_dY[size_t(m_nSel)]);
            s.crosshair.push_back({ QLineF(x, kTop, x, bottom), kCrosshair, 1, false });
            s.crosshair.push_back({ QLineF(kLeft, y, right, y), kCrosshair, 1, false });
        }
    }
    return s;
}
