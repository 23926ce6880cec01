#pragma once
// What the spectrum plot shows, worked out without painting: the frame, the grid, the bin labels,
// the title, the full-scale text and the curve, in the plot's pixel coordinates. The dialog's
// painter draws it on screen or into an image.
#include <QLineF>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

class CFftAnalysis;

struct FftPlotText {
    QString text;
    QPoint anchor;
    bool centred = false; // anchor is the top centre of the text, else its top-left corner
};

struct FftPlotScene {
    bool visible = false; // false when the frame is 100 pixels or less either way
    QRect frame; // white background
    QRect inner; // 10 pixels in from left and right, 30 from top and bottom
    FftPlotText title; // "FFT Graph"
    FftPlotText peak; // the vertical axis' caption: "Magnitude" or "Power (dB)"
    FftPlotText xAxis; // the horizontal axis' caption, "Frequency (bin)"
    QVector<QLineF> grid; // vertical lines at the labelled bins, then 11 horizontal ones
    QVector<FftPlotText> binLabels; // bin numbers, each under the place its bin is drawn
    QVector<FftPlotText> valueLabels; // values of the horizontal lines (after a run)
    QVector<QLineF> curve; // the spectrum, one segment per pair of neighbouring bins
    double baseline = 0.0; // y of value 0
    double scale = 0.0; // pixels per unit of value (0: nothing to draw)
};

namespace FftPlotColor {
constexpr unsigned Background = 0xFFFFFF;
constexpr unsigned Grid = 0x006000; // RGB(0, 96, 0), dotted
constexpr unsigned Curve = 0x0000FF; // two pixels wide
constexpr unsigned Text = 0x000000;
} // namespace FftPlotColor

// The plot of `analysis` in `frame`. Without a result of a run there is a grid but no curve.
// `digitWidth` is the width in pixels of a digit of the label font: bins are labelled every 1, 2,
// 5, 10, 20, ... bins, the smallest step whose labels do not run into each other.
FftPlotScene LayoutFftPlot(const CFftAnalysis& analysis, const QRect& frame, int digitWidth = 7);
