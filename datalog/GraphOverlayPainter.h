#pragma once
// Draws the further documents over a trend graph and their legend (GraphOverlayScene).
#include "datalog/GraphOverlay.h"

class QPainter;

namespace GraphPainter {
void RenderOverlay(QPainter& p, const GraphOverlayScene& scene);
} // namespace GraphPainter
