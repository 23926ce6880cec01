#include "datalog/GraphPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace GraphPainter {

namespace {

void drawMark(QPainter& p, QPoint c)
{
    p.drawEllipse(QRect(c.x() - 1, c.y() - 1, 2, 2));
}

// One marker drawn once, then copied: a million markers cost a million small copies.
const QImage& markStamp(const QColor& color, qreal dpr)
{
    static QImage stamp;
    static QRgb stampColor = 0;
    static qreal stampDpr = 0;
    if (stamp.isNull() || stampColor != color.rgb() || stampDpr != dpr) {
        stamp = QImage(QSize(9, 9) * dpr, QImage::Format_ARGB32_Premultiplied);
        stamp.setDevicePixelRatio(dpr);
        stamp.fill(Qt::transparent);
        QPainter sp(&stamp);
        sp.setPen(QPen(color, 3));
        sp.setBrush(Qt::NoBrush);
        drawMark(sp, QPoint(4, 4));
        stampColor = color.rgb();
        stampDpr = dpr;
    }
    return stamp;
}

} // namespace

QFont LabelFont(int height)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, height));
    f.setWeight(QFont::ExtraLight);
    return f;
}

void RenderTrace(QPainter& p, const GraphScene& scene, const GraphColors& colors, bool raster)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ToColor(colors.line), 1));
    if (!scene.trace.isEmpty())
        p.drawLines(scene.trace);
    if (!scene.marks.isEmpty()) {
        if (raster) {
            const QImage& stamp = markStamp(ToColor(colors.point), p.device()->devicePixelRatioF());
            for (const QPoint& m : scene.marks)
                p.drawImage(QPoint(m.x() - 4, m.y() - 4), stamp);
        } else {
            p.setPen(QPen(ToColor(colors.point), 3));
            p.setBrush(Qt::NoBrush);
            for (const QPoint& m : scene.marks)
                drawMark(p, m);
        }
    }
    p.restore();
}

void Render(QPainter& p, const GraphScene& scene, const GraphColors& colors, bool raster)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ToColor(colors.grid), 1, Qt::DotLine));
    p.drawLines(scene.grid);
    p.restore();

    RenderTrace(p, scene, colors, raster);

    p.save();
    const QColor margin = scene.print ? QColor(Qt::white) : ToColor(colors.border);
    for (const QRect& r : scene.margins)
        p.fillRect(r, margin);
    p.setPen(QPen(Qt::black, 1));
    p.drawLines(scene.axes);

    const QFont font = LabelFont(scene.fontHeight);
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    for (const GraphLabel& l : scene.labels) {
        const int w = fm.horizontalAdvance(l.text);
        if (l.align == GraphLabel::RightOfText)
            p.drawText(QPoint(l.anchor.x() - w, l.anchor.y() - fm.height() / 2 + fm.ascent()), l.text);
        else
            p.drawText(QPoint(l.anchor.x() - w / 2, l.anchor.y() + fm.lineSpacing() / 2 + fm.ascent()), l.text);
    }
    p.restore();
}

} // namespace GraphPainter
