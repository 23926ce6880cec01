#pragma once
// The painter step of the trend graph: renders a GraphScene on screen, into a bitmap or onto a
// printer page.
#include "datalog/GraphScene.h"

#include <QColor>
#include <QFont>

class QPainter;

namespace GraphPainter {

inline QColor ToColor(uint32_t rgb) { return QColor::fromRgb(rgb); }
inline uint32_t FromColor(const QColor& c) { return c.rgb() & 0xFFFFFFu; }

// "Arial", light, `height` pixels (device units on a printer), sans-serif fallback.
QFont LabelFont(int height);

// Everything: grid, trace, marks, margins, axes, labels, in that order. `raster`: the target is
// an image or the screen (marks are stamped from one small picture); false for printers.
void Render(QPainter& p, const GraphScene& scene, const GraphColors& colors, bool raster = true);
// Only the trace and the marks (the newest segment drawn onto an existing picture).
void RenderTrace(QPainter& p, const GraphScene& scene, const GraphColors& colors, bool raster = true);

} // namespace GraphPainter
