#pragma once
// The trend graph's state and arithmetic without any painting: three axis states, the mouse
// tools' zoom and pan rules, the automatic growth of the X range, the scroll-bar mapping and the
// pick of a point. CGraphDlg owns one and paints what GraphScene computes from it.
//
// X is the position of a point in series 0 (0-based). Pixels are the graph's client pixels; the
// plot area starts kLeft pixels from the left and kTop from the top and is m_nPlotWidth x
// m_nPlotHeight (client size less 140 x 50, at least 1 x 1).
#include <QPoint>
#include <array>
#include <optional>
#include <utility>

class CDataSeries;

struct GraphAxisState {
    double m_dXPerPixel = 1.0; // points per pixel
    double m_dYPerPixel = 1.0; // value units per pixel
    double m_dXMax = 20.0; // right end of the full X range
    double m_dYMax = 500.0; // top of the full Y range
    double m_dXMinHome = 0.0; // left end of the full X range
    double m_dYMinHome = -500.0; // bottom of the full Y range
    int m_nPlotWidth = 1;
    int m_nPlotHeight = 1;
    double m_dXMin = 0.0; // left end of the visible window
    double m_dYMin = -500.0; // bottom of the visible window
};

class CGraphModel {
public:
    static constexpr int kLeft = 70;
    static constexpr int kTop = 25;
    static constexpr int kMarginX = 140; // plot width = client width - kMarginX
    static constexpr int kMarginY = 50;
    // Zooms stop at these points (or values) per pixel.
    static constexpr double kZoomLimit = 0.005;
    static constexpr double kStep = 0.02;
    // Tools.
    enum Tool { Rect = 1, YBig = 2, XBig = 3, Move = 4, ShowNumber = 5, Big = 6, Small = 7, Fft = 8 };

    CGraphModel();

    GraphAxisState& State(int i = 0) { return m_axes[static_cast<size_t>(i)]; }
    const GraphAxisState& State(int i = 0) const { return m_axes[static_cast<size_t>(i)]; }
    int PlotWidth() const { return m_axes[0].m_nPlotWidth; }
    int PlotHeight() const { return m_axes[0].m_nPlotHeight; }
    bool IsZoomed() const { return m_bZoomed; }
    void SetZoomed(bool zoomed) { m_bZoomed = zoomed; }

    // First sizing: per-pixel values from the full ranges and the client size.
    void Init(int clientWidth, int clientHeight);
    // Later sizing: the visible window stays, the per-pixel values follow the new plot size.
    void Resize(int clientWidth, int clientHeight);
    // Sets the full Y range of all three states and shows it whole. A range that is empty,
    // inverted or not finite is widened to something drawable.
    void SetYRange(double max, double min);
    // "All": every state shows its full range again; not zoomed.
    void ResetZoom();
    // Back to the horizontal settings of a new graph (state 0 over 0..20, states 1 and 2 over
    // 0..100, from the left end), not zoomed: a new record must not inherit the last one's X range.
    void ResetX();

    // Automatic X growth before a paint, for `count` positions in series 0: while not zoomed the
    // points per pixel grow by 16/15 until the full range reaches the last point; while zoomed on
    // a live document the window follows new points one point per call. Never loops without bound.
    void GrowX(qsizetype count, bool live, bool dragging);

    // --- tools; points are client pixels. Each returns whether anything changed. ---
    // Whether a press at `p` is inside the plot area.
    bool InPlot(QPoint p) const;
    // `p` moved into the plot area (its edges included).
    QPoint ClampToPlot(QPoint p) const;
    // Rectangle zoom (state 0): needs 5 pixels or more in both directions.
    bool RectZoom(QPoint start, QPoint end);
    // Vertical and horizontal zoom of all three states: 5 pixels or more along the axis.
    bool ZoomY(QPoint start, QPoint end);
    bool ZoomX(QPoint start, QPoint end);
    // Step zooms of state 0 by 0.02 per pixel.
    bool StepZoomIn();
    bool StepZoomOut();
    // Pan by the mouse movement from `from` to `to` (state 0), within the full ranges.
    bool Pan(QPoint from, QPoint to);
    // The position under client x, or -1 when it is not a point of `series` (outside, or null).
    qsizetype PickIndex(int x, const CDataSeries& series) const;
    // The FFT range from a press at x0 and a release at x1: the smaller and the larger position,
    // each limited to the last point; nothing when they are equal or a position is negative.
    std::optional<std::pair<qsizetype, qsizetype>> FftRange(int x0, int x1, qsizetype count) const;

    // --- scroll bars (state 0) ---
    // Horizontal: positions of series 0. Vertical: plot pixels down from the top of the full
    // range (0 shows the top).
    int HScrollMax() const;
    int HScrollPos() const;
    void SetHScrollPos(int pos);
    int VScrollMax() const;
    int VScrollPos() const;
    void SetVScrollPos(int pos);

    // Whether the newest of `count` points can be drawn on its own (the rest of the picture stays
    // as it is): not zoomed and the point inside the full ranges.
    bool CanAppendIncrementally(const CDataSeries& series) const;

private:
    void ZoomYState(GraphAxisState& st, int y0, int y);
    void ZoomXState(GraphAxisState& st, int x0, int x);

    std::array<GraphAxisState, 3> m_axes;
    bool m_bZoomed = false;
};
