#include "scope/FftPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

namespace {

QColor rgb(unsigned c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

void drawText(QPainter& p, const FftPlotText& t)
{
    const QFontMetrics fm = p.fontMetrics();
    const int width = fm.horizontalAdvance(t.text);
    const int x = t.centred ? t.anchor.x() - width / 2 : t.anchor.x();
    p.drawText(QPoint(x, t.anchor.y() + fm.ascent()), t.text);
}

} // namespace

QFont FftPlotFont()
{
    QFont font;
    font.setPixelSize(12);
    return font;
}

void DrawFftPlot(QPainter& painter, const CFftAnalysis& analysis, const QRect& rect)
{
    const QFontMetrics fm(FftPlotFont(), painter.device());
    PaintFftPlot(painter, LayoutFftPlot(analysis, rect, fm.horizontalAdvance(QLatin1Char('0'))));
}

void PaintFftPlot(QPainter& p, const FftPlotScene& s)
{
    if (!s.visible)
        return;
    p.save();
    p.setClipRect(s.frame);
    p.fillRect(s.frame, rgb(FftPlotColor::Background));

    p.setFont(FftPlotFont());
    p.setPen(rgb(FftPlotColor::Text));
    drawText(p, s.title);
    drawText(p, s.peak);
    drawText(p, s.xAxis);
    for (const FftPlotText& label : s.binLabels)
        drawText(p, label);
    for (const FftPlotText& label : s.valueLabels)
        drawText(p, label);

    p.setPen(QPen(rgb(FftPlotColor::Grid), 1, Qt::DotLine));
    p.drawLines(s.grid);

    if (!s.curve.isEmpty()) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(rgb(FftPlotColor::Curve), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLines(s.curve);
    }
    p.restore();
}
