#pragma once
// Draws a laid-out spectrum plot with QPainter: on screen, into an image or onto a printer.
#include "scope/FftPlot.h"

class QPainter;

void PaintFftPlot(QPainter& painter, const FftPlotScene& scene);
