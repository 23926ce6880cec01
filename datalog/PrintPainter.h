#pragma once
// Draws a laid-out printout page (texts and rules, in the painter's own units) on paper, a PDF or
// a picture. Every printout of the program goes through it: the data-log's graph and data table,
// the oscilloscope's graph and data.
#include "datalog/PrintLayout.h"

#include <QColor>

class QPainter;

// textColor: when valid, every text is drawn in it; otherwise in the painter's current pen.
void DrawPrintPage(QPainter& p, const PrintPage& page, const QColor& textColor = QColor());
