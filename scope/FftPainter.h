#pragma once
// Draws a laid-out spectrum plot with QPainter: on screen, into an image or onto a printer.
#include "scope/FftPlot.h"

class CFftAnalysis;
class QFont;
class QPainter;
class QRect;

// The font of the plot's texts.
QFont FftPlotFont();

void PaintFftPlot(QPainter& painter, const FftPlotScene& scene);
// Lays out `analysis` in `rect` for the plot font and paints it.
void DrawFftPlot(QPainter& painter, const CFftAnalysis& analysis, const QRect& rect);
