#include "packaging/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <vector>

namespace app_icon {

namespace {

// The shapes, in a 256-unit square, back to front.
struct Shape {
    enum Kind { RoundRect, Circle, Polyline } kind;
    std::vector<double> geometry; // rect x, y, w, h, radius | circle cx, cy, r | points x0, y0, ...
    const char* fill; // "none" for an open line
    const char* stroke; // "none" for no outline
    double strokeWidth;
};

const std::vector<Shape>& Shapes()
{
    static const std::vector<Shape> shapes = {
        // The body, with its rubber holster.
        { Shape::RoundRect, { 40, 8, 176, 240, 36 }, "#f2a516", "#6b4300", 8 },
        { Shape::RoundRect, { 58, 26, 140, 204, 22 }, "#2d3035", "none", 0 },
        // The display with a trace and a reading bar.
        { Shape::RoundRect, { 72, 40, 112, 80, 10 }, "#c8e6a0", "#1a1c1f", 4 },
        { Shape::Polyline, { 80, 96, 96, 96, 104, 60, 116, 108, 128, 72, 140, 96, 176, 96 }, "none", "#1b3d12", 7 },
        // The rotary switch and its pointer.
        { Shape::Circle, { 128, 170, 36 }, "#e9ecef", "#111316", 5 },
        { Shape::Polyline, { 128, 170, 150, 146 }, "none", "#d1261f", 9 },
        // The probe sockets.
        { Shape::Circle, { 92, 220, 8 }, "#d1261f", "none", 0 },
        { Shape::Circle, { 164, 220, 8 }, "#111316", "#e9ecef", 3 },
    };
    return shapes;
}

QString Num(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

QByteArray Svg()
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                                 "viewBox=\"0 0 256 256\">\n");
    for (const Shape& s : Shapes()) {
        const auto& g = s.geometry;
        const QString paint
            = QStringLiteral(" fill=\"%1\" stroke=\"%2\" stroke-width=\"%3\"%4/>\n")
                  .arg(QLatin1String(s.fill), QLatin1String(s.stroke), Num(s.strokeWidth),
                      s.kind == Shape::Polyline ? QStringLiteral(" stroke-linecap=\"round\" stroke-linejoin=\"round\"")
                                                : QString());
        switch (s.kind) {
        case Shape::RoundRect:
            out += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\"")
                       .arg(Num(g[0]), Num(g[1]), Num(g[2]), Num(g[3]), Num(g[4]));
            break;
        case Shape::Circle:
            out += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\"").arg(Num(g[0]), Num(g[1]), Num(g[2]));
            break;
        case Shape::Polyline: {
            QStringList points;
            for (size_t i = 0; i + 1 < g.size(); i += 2)
                points << Num(g[i]) + QLatin1Char(',') + Num(g[i + 1]);
            out += QStringLiteral("  <polyline points=\"%1\"").arg(points.join(QLatin1Char(' ')));
            break;
        }
        }
        out += paint;
    }
    out += QStringLiteral("</svg>\n");
    return out.toUtf8();
}

QImage Render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    for (const Shape& s : Shapes()) {
        const auto& g = s.geometry;
        const bool filled = QLatin1String(s.fill) != QLatin1String("none");
        const bool stroked = QLatin1String(s.stroke) != QLatin1String("none");
        p.setBrush(filled ? QBrush(QColor(QLatin1String(s.fill))) : QBrush(Qt::NoBrush));
        if (stroked)
            p.setPen(QPen(QColor(QLatin1String(s.stroke)), s.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            p.setPen(Qt::NoPen);
        switch (s.kind) {
        case Shape::RoundRect:
            p.drawRoundedRect(QRectF(g[0], g[1], g[2], g[3]), g[4], g[4]);
            break;
        case Shape::Circle:
            p.drawEllipse(QPointF(g[0], g[1]), g[2], g[2]);
            break;
        case Shape::Polyline: {
            QPainterPath path(QPointF(g[0], g[1]));
            for (size_t i = 2; i + 1 < g.size(); i += 2)
                path.lineTo(g[i], g[i + 1]);
            p.drawPath(path);
            break;
        }
        }
    }
    return image;
}

} // namespace app_icon
