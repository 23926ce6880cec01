#pragma once
// The oscilloscope graph without a window: the record drawn, the view (full range, zoom origin
// and scales), the marker lines with their drag rules, the zoom rectangle and the crosshair
// read-out. Layout() says what to draw as an OscScene in the graph's own pixels; a painter
// draws that on the screen or, scaled, on paper. Mouse positions come in as points.
#include "scope/OscData.h"

#include <QLineF>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>
#include <array>
#include <cstdint>

namespace osc {

// Spectrum bin spacing by time base (0..18), in the units SpectrumFrequency divides; -1 outside.
double BinSpacing(int timeBase);
// The frequency of spectrum bin `bin`, with the decimals it is shown with and its unit ("Hz",
// "KHz", "MHz"). The meter's 120 bins span just under half the sample rate (25 samples a
// division) on every time base. The crosshair read-out, the spreadsheet and the data printout
// all take it from here. False for a time base outside 0..18.
struct BinFrequency {
    double value = 0;
    int decimals = 0;
    QString unit;
};
bool SpectrumFrequency(int timeBase, int bin, BinFrequency& out);
// Nanoseconds per division by time base (1..18); 0 outside the table.
double NsPerDivision(int timeBase);
// A volts/div the graph can scale by (finite and above zero).
bool UsableVoltDiv(double voltDiv);
// The status word of the graph's top band: "HOLD", "REC", "FFT", "Single"; empty otherwise.
QString StatusWord(int status);

struct OscSceneLine {
    QLineF line;
    uint32_t colour = 0;
    double width = 1;
    bool dotted = false;
};
struct OscSceneBox {
    QRectF rect;
    uint32_t fill = 0;
};
struct OscSceneText {
    QString text;
    QRectF box; // drawn left-aligned and vertically centred in the box, or centred when centred
    int fontHeight = 24;
    uint32_t colour = 0xFFFFFF;
    bool centred = false;
};
struct OscSceneMark {
    enum Kind { LevelLeft, LevelRight, Trigger, EdgeUp, EdgeDown, EdgePulse };
    Kind kind = LevelLeft;
    QRectF rect;
};

// In drawing order: the plot fill, grid, marker lines, trace, margin bands, boxes, texts, marks,
// then (screen only) the zoom rectangle and the crosshair.
struct OscScene {
    QRectF client;
    uint32_t background = 0;
    QVector<OscSceneLine> grid;
    QVector<OscSceneLine> markers;
    QVector<QPointF> trace; // one polyline
    uint32_t traceColour = 0xFFFF00;
    QVector<OscSceneBox> bands; // the margins, hiding the trace outside the plot
    QVector<OscSceneBox> boxes;
    QVector<OscSceneLine> glyphLines; // the trigger-edge glyph
    QVector<OscSceneText> texts;
    QVector<OscSceneMark> marks;
    bool zoomRect = false;
    QRectF zoom;
    QVector<OscSceneLine> crosshair;
};

} // namespace osc

class COscGraphModel {
public:
    static constexpr int kLeft = 25, kTop = 50, kRight = 25, kBottom = 50;
    static constexpr double kMinScale = 0.005; // zoom stops on an axis at this many units per pixel
    static constexpr int kMinZoomPixels = 4; // a rectangle must be wider and higher than this
    static constexpr int kGrab = 2; // pixels from a marker line that pick it up
    static constexpr int kLevelGap = 5; // pixels kept between the two level lines
    static constexpr double kDefaultVoltDiv = 200; // a record without a usable volts/div: +-800

    enum Line { NoLine = 0, UpperLevel = 1, LowerLevel = 2, FirstTime = 3, SecondTime = 4 };

    COscGraphModel();

    // Client size of the graph; the plot is 50 narrower and 100 lower. Keeps the zoom.
    void SetClientSize(int width, int height);
    int ClientWidth() const { return m_nPlotW + kLeft + kRight; }
    int ClientHeight() const { return m_nPlotH + kTop + kBottom; }

    // 300 waveform samples or 120 spectrum values with the record's settings; resets the view.
    void SetData(const float* values, int count, const OSCInfo& info);
    void ResetView();

    // Mouse handling in client pixels. Each returns true when the picture changed.
    bool LeftDown(QPoint p);
    bool MouseMove(QPoint p);
    bool LeftUp(QPoint p);
    bool RightDown(QPoint p);
    bool RightUp();

    // The read-out text for the crosshair; empty while there is none.
    QString ReadoutText() const;

    // What to draw. printing: white margins, black texts, no status fill, no zoom or crosshair.
    osc::OscScene Layout(bool printing) const;

    // Coordinate mapping of the plot.
    int XOf(double index) const;
    int YOf(double value) const;
    double ValueAtY(int y) const;
    int IndexAtX(int x) const;

    const OSCInfo& Info() const { return m_info; }
    int Count() const { return m_nCount; }
    int Selected() const { return m_nSel; }
    bool Zooming() const { return m_bZooming; }
    bool Dragging() const { return m_bDragging; }
    int DragLine() const { return m_nDragLine; }
    bool Cursor() const { return m_bCursor; }
    double XScale() const { return m_dXScale; }
    double YScale() const { return m_dYScale; }
    double X0() const { return m_dX0; }
    double Y0() const { return m_dY0; }
    double YMin() const { return m_dYMin; }
    double YMax() const { return m_dYMax; }
    double XMax() const { return m_dXMax; }
    int PlotWidth() const { return m_nPlotW; }
    int PlotHeight() const { return m_nPlotH; }
    bool MarkersShown() const { return m_nCount == OSCData::kWavePoints && m_info.nStatus != 3; }
    // Volts/div texts are "---" for a record the graph could not scale.
    bool VoltDivUsable() const { return m_bVoltOk; }
    // How many times the view is magnified against the full range, across and up.
    double XZoom() const;
    double YZoom() const;

private:
    // " x2.5" after a division's label while zoomed; empty at the full range.
    static QString ZoomMark(double factor);
    bool InPlot(QPoint p) const;
    int LineNear(QPoint p) const;
    void DragLevel(QPoint p);
    void DragTime(QPoint p);
    void UpdatePeriodTexts();
    void ComputeGrid();

    double m_dXScale = 1, m_dYScale = 1;
    double m_dXMax = 300, m_dYMax = 800, m_dXMin = 0, m_dYMin = -800;
    int m_nPlotW = 550, m_nPlotH = 300;
    double m_dX0 = 0, m_dY0 = -800;
    bool m_bZooming = false;
    bool m_bDragging = false;
    int m_nDragLine = NoLine;
    QPoint m_ptZoomStart, m_ptZoomEnd, m_ptLast;
    bool m_bCursor = false;
    std::array<double, 9> m_dYGrid {};
    std::array<double, 13> m_dXGrid {};
    OSCInfo m_info;
    std::array<double, OSCData::kWavePoints> m_dY {};
    int m_nCount = OSCData::kWavePoints;
    int m_nSel = -1;
    bool m_bVoltOk = false;
    // A level or time line was dragged: the boxes measure between the markers.
    bool m_bLevelsMoved = false, m_bTimesMoved = false;
};
