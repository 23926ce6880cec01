#pragma once
// Further documents drawn over the trend graph of one: the documents several meters recorded
// from one Start, on the graph's one time axis, one colour each, with a legend naming them.
//
// The graph places series 0 by position. The other documents' points are placed on that axis by
// the time since their own first reading, matched to the time since the graph's own first
// reading, so meters that send at different rates (or whose clocks differ) still line up.
// Core: tests read the lines and the legend as numbers; GraphOverlayPainter draws them.
#include "datalog/GraphScene.h"

#include <QString>
#include <QVector>
#include <cstdint>

class CDataSeries;

struct GraphOverlaySeries {
    const CDataSeries* series = nullptr;
    QString name; // in the legend
    uint32_t color = 0;
};

struct GraphLegendRow {
    QString text;
    uint32_t color = 0;
};

struct GraphOverlayScene {
    QRect plot; // the lines are clipped to it
    QVector<QVector<QLine>> traces; // one polyline (as segments) per further document
    QVector<uint32_t> colors; // per trace
    QVector<GraphLegendRow> legend; // the graph's own document first
    QRect legendBox; // top right inside the plot, room for every row
    int fontHeight = 16;
};

// The colour of further document `i` (0-based), chosen to stand apart from the graph's default
// trace on its background; repeats after a few.
uint32_t GraphOverlayColor(int i);

// Seconds since the series' first reading for each point (NaN for null elements and texts that
// are no time), from its "d/m/y h:m:s" time texts; midnight is passed forward.
QVector<double> SecondsFromStart(const CDataSeries& series);

// Where each point of `other` lies on the position axis of `base` (fractional; NaN for null
// elements): readings of one second are spread evenly over the stretch of base positions that
// second takes, and seconds that base has not reached are carried on at its average rate.
QVector<double> AlignedPositions(const CDataSeries& base, const CDataSeries& other);

// A legend row: the document's name, then the unit of its first reading once it has one
// ("Meter 2 (SimMeter 2), ADC").
QString GraphLegendText(const QString& name, const CDataSeries& series);

GraphOverlayScene BuildGraphOverlay(const GraphAxisState& st, const GraphDrawParams& p, const CDataSeries& base,
    const QString& baseName, uint32_t baseColor, const QVector<GraphOverlaySeries>& others);
