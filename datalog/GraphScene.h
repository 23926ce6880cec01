#pragma once
// The drawing step of the trend graph: from an axis state, series 0 and a target rectangle it
// computes every line, mark, margin and label of one picture; GraphPainter renders it on screen,
// into a bitmap or onto a printer page. No painting here, so tests read the picture as numbers.
#include "datalog/GraphModel.h"

#include <QLine>
#include <QRect>
#include <QString>
#include <QVector>
#include <cstdint>

namespace GraphColor {
constexpr uint32_t PlotBack = 0x83B4AA; // RGB(131, 180, 170)
constexpr uint32_t Border = 0xECE8D8; // RGB(236, 232, 216)
constexpr uint32_t Grid = 0xFF0000;
constexpr uint32_t Line = 0xFFFF00;
constexpr uint32_t Point = 0x00FF00;
constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Band = 0x64699B; // RGB(100, 105, 155): rubber band of the rectangle tools
} // namespace GraphColor

struct GraphColors {
    uint32_t plotBack = GraphColor::PlotBack;
    uint32_t border = GraphColor::Border;
    uint32_t grid = GraphColor::Grid;
    uint32_t line = GraphColor::Line;
    uint32_t point = GraphColor::Point;
};

// One call of the drawing routine.
struct GraphDrawParams {
    QRect rect; // drawn into; margins count from its top-left corner
    double xPerPixel = 1.0;
    double yPerPixel = 1.0;
    int fontHeight = 16;
    int left = CGraphModel::kLeft;
    int top = CGraphModel::kTop;
    bool print = false; // white margins
    bool maskPoints = true;
    // Where many points share a pixel column, draw each column's extent once instead of every
    // segment: the same pixels, far less work. Off only to compare with the plain polyline.
    bool envelope = true;
};

struct GraphLabel {
    enum Align { RightOfText, CenteredBelow }; // Y labels end at the anchor; X labels hang from it
    QString text;
    QPoint anchor;
    Align align = RightOfText;
};

struct GraphScene {
    QRect plot; // left, top, plot width, plot height
    int fontHeight = 16;
    bool print = false;
    QVector<QLine> grid; // dotted
    QVector<QLine> trace; // the polyline of series 0, as segments
    QVector<QPoint> marks; // centres of the point markers (no two alike)
    // Markers on every row from p1 to p2 of a column (p1.y <= p2.y), where a column holds whole
    // summarised spans of readings; they may repeat some of `marks`.
    QVector<QLine> markRuns;
    QVector<QRect> margins; // filled with the border colour, or white when printing
    QVector<QLine> axes;
    QVector<GraphLabel> labels;
};

// The screen position of point `i` of `series` with value v, under `st` and `p`. Values of 500000
// or more are drawn at the top of the full range, -500000 at its bottom.
QPoint GraphPointAt(const GraphAxisState& st, const GraphDrawParams& p, qsizetype i, double v);

// Decimals of the Y labels for grid lines `step` value units apart: 2, or more when the range is
// so small that labels of two decimals would repeat (at most 9).
int YLabelDecimals(double step);

GraphScene BuildGraphScene(const GraphAxisState& st, const CDataSeries& series, const GraphDrawParams& p);

// Only the trace and marks of points `from`..`to` (positions in series 0), for drawing the newest
// segment onto a picture that already shows the rest.
GraphScene BuildTraceSegment(
    const GraphAxisState& st, const CDataSeries& series, const GraphDrawParams& p, qsizetype from, qsizetype to);

// The read-out cross through point `i`: a vertical line over the plot height at its x and a
// horizontal line over the plot width at its y (a value of 500000 or more at the top of the full
// range; -500000 is placed by its own value).
QVector<QLine> PickCross(const GraphAxisState& st, const GraphDrawParams& p, qsizetype i, double v);
