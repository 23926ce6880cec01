#include "display/LcdArtwork.h"

#include "display/DialFace.h"
#include "display/UnitTable.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cmath>

namespace {

const QColor kInk(20, 22, 20);
const QColor kPanel(178, 178, 198);
const QColor kBodyEdge(132, 132, 156);

// The body's colour across its width, in panel coordinates: the dial tiles use it too, so that
// they sit seamlessly on the body.
QBrush BodyBrush()
{
    QLinearGradient edge(0, 0, 300, 0);
    edge.setColorAt(0.0, QColor(160, 160, 182));
    edge.setColorAt(0.04, kPanel);
    edge.setColorAt(0.96, kPanel);
    edge.setColorAt(1.0, QColor(156, 156, 178));
    return QBrush(edge);
}

QFont ArtFont(bool bold, bool italic = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(100);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Draws text as a path: the capital height is capHeight pixels, the text is squeezed
// horizontally if it would not fit the box, and it is aligned in the box.
void FitText(QPainter& p, const QRectF& box, const QString& text, const QColor& color, double capHeight,
    Qt::Alignment align = Qt::AlignCenter, bool bold = true, bool italic = false)
{
    const QFont f = ArtFont(bold, italic);
    QPainterPath path;
    path.addText(0, 0, f, text);
    const QRectF b = path.boundingRect();
    const double cap = QFontMetricsF(f).capHeight();
    double sy = capHeight / cap;
    double sx = sy;
    if (b.width() * sx > box.width())
        sx = box.width() / b.width();
    const double w = b.width() * sx;
    double x = box.left() + (box.width() - w) / 2.0;
    if (align & Qt::AlignLeft)
        x = box.left();
    else if (align & Qt::AlignRight)
        x = box.right() - w;
    const double baseline = box.top() + (box.height() + capHeight) / 2.0;
    QTransform t;
    t.translate(x - b.left() * sx, baseline);
    t.scale(sx, sy);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(t.map(path));
    p.restore();
}

void BlackPlate(QPainter& p, const QRectF& r, const QString& text)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
    FitText(p, r.adjusted(3, 0, -3, 0), text, Qt::white, r.height() * 0.6);
}

void LowPassMark(QPainter& p, const QRectF& r)
{
    // "LO" with the slope of a low-pass response beside it.
    const QRectF textBox(r.left(), r.top(), r.width() * 0.56, r.height());
    FitText(p, textBox, QStringLiteral("LO"), kInk, qMax(8.0, r.height() * 0.62), Qt::AlignLeft);
    QPainterPath slope;
    const double x0 = r.left() + r.width() * 0.6;
    const double top = r.top() + r.height() * 0.3;
    slope.moveTo(x0, top);
    slope.lineTo(r.left() + r.width() * 0.75, top);
    slope.lineTo(r.right() - 1, r.bottom() - r.height() * 0.2);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, qMax(1.2, r.height() / 10.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(slope);
    p.restore();
}

void DiodeMark(QPainter& p, const QRectF& r)
{
    const double s = qMin(r.width(), r.height());
    const QRectF q(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    const double midY = q.center().y();
    const double tri0 = q.left() + s * 0.3;
    const double tri1 = q.left() + s * 0.68;
    QPainterPath tri;
    tri.moveTo(tri0, q.top() + s * 0.25);
    tri.lineTo(tri1, midY);
    tri.lineTo(tri0, q.bottom() - s * 0.25);
    tri.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPen pen(kInk, qMax(1.2, s / 14.0), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(kInk);
    p.drawPath(tri);
    p.drawLine(QPointF(q.left() + s * 0.08, midY), QPointF(q.right() - s * 0.08, midY));
    p.drawLine(QPointF(tri1, q.top() + s * 0.25), QPointF(tri1, q.bottom() - s * 0.25));
    p.restore();
}

void DeltaMark(QPainter& p, const QRectF& r)
{
    const double s = qMin(r.width(), r.height());
    const QRectF q(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    QPainterPath tri;
    tri.moveTo(q.center().x(), q.top() + s * 0.12);
    tri.lineTo(q.right() - s * 0.1, q.bottom() - s * 0.15);
    tri.lineTo(q.left() + s * 0.1, q.bottom() - s * 0.15);
    tri.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, qMax(1.5, s / 10.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tri);
    p.restore();
}

// A legend such as "mV" with a small stacked "AC" over "+DC" after it.
void AcDcLegend(QPainter& p, const QRectF& r, const QString& base)
{
    const double split = r.left() + r.width() * 0.58;
    FitText(p, QRectF(r.left(), r.top(), split - r.left(), r.height()), base, kInk, r.height() * 0.6, Qt::AlignRight);
    const double sw = r.right() - split - 1;
    FitText(p, QRectF(split + 2, r.top() + 1, sw, r.height() / 2 - 1), QStringLiteral("AC"), kInk, r.height() * 0.3,
        Qt::AlignLeft);
    FitText(p, QRectF(split + 2, r.center().y() + 1, sw, r.height() / 2 - 1), QStringLiteral("+DC"), kInk,
        r.height() * 0.3, Qt::AlignLeft);
}

QString LegendText(int row)
{
    // The legend shows the micro prefix as the meter's LCD does.
    QString t = g_astrUnitNames[row];
    if (t.startsWith(QLatin1Char('u')))
        t.replace(0, 1, QChar(0x00B5));
    return t;
}

void UnitLegend(QPainter& p, int row, const QRectF& r)
{
    if (row < 0 || row >= kUnitCount)
        return;
    const double cap = r.height() * 0.6;
    const QRectF inner = r.adjusted(2, 0, -2, 0);
    switch (row) {
    case UnitRow::VacLowPass: {
        // After the "VAC": "LO" over the low-pass slope, stacked like the AC+DC marks and large
        // enough to read at ratio 1 (8-pixel capitals).
        const QRectF mark(inner.right() - 20, inner.top() + 1, 20, inner.height() - 2);
        FitText(p, QRectF(inner.left(), inner.top(), mark.left() - inner.left() - 2, inner.height()),
            QStringLiteral("VAC"), kInk, cap, Qt::AlignRight);
        FitText(p, QRectF(mark.left(), mark.top(), mark.width(), mark.height() * 0.5), QStringLiteral("LO"), kInk,
            qMax(8.0, mark.height() * 0.34));
        QPainterPath slope;
        const double top = mark.top() + mark.height() * 0.62;
        slope.moveTo(mark.left() + 1, top);
        slope.lineTo(mark.left() + mark.width() * 0.5, top);
        slope.lineTo(mark.right() - 1, mark.bottom() - 1);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kInk, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(slope);
        p.restore();
        return;
    }
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13: {
        QString base = LegendText(row);
        base.chop(QStringLiteral("dc+ac").size());
        AcDcLegend(p, inner, base);
        return;
    }
    case UnitRow::DiodeV: {
        const QRectF mark(inner.left() + 6, inner.top(), inner.height(), inner.height());
        DiodeMark(p, mark);
        FitText(p, QRectF(mark.right() + 2, inner.top(), inner.right() - mark.right() - 2, inner.height()),
            QStringLiteral("V"), kInk, cap, Qt::AlignLeft);
        return;
    }
    case 30:
        FitText(p, inner, QStringLiteral("\u00B0F"), kInk, cap, Qt::AlignRight);
        return;
    case 31:
        FitText(p, inner, QStringLiteral("\u00B0C"), kInk, cap, Qt::AlignRight);
        return;
    default:
        FitText(p, inner, LegendText(row), kInk, cap, Qt::AlignRight);
        return;
    }
}

// The direct-current sign: a solid line over a dashed one, in a box.
void DcSign(QPainter& p, const QRectF& r, const QColor& ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double w = qMax(1.0, r.height() / 7.0);
    p.setPen(QPen(ink, w, Qt::SolidLine, Qt::FlatCap));
    const double y1 = r.top() + r.height() * 0.35;
    const double y2 = r.top() + r.height() * 0.7;
    p.drawLine(QPointF(r.left(), y1), QPointF(r.right(), y1));
    const double dash = r.width() / 5.0;
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(r.left() + 2 * i * dash, y2), QPointF(r.left() + (2 * i + 1) * dash, y2));
    p.restore();
}

// The capacitor sign: two plates with their leads.
void CapacitorSign(QPainter& p, const QRectF& r, const QColor& ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, qMax(1.0, r.height() / 8.0), Qt::SolidLine, Qt::FlatCap));
    const double midY = r.center().y();
    const double gap = r.width() * 0.14;
    const double x1 = r.center().x() - gap, x2 = r.center().x() + gap;
    p.drawLine(QPointF(r.left(), midY), QPointF(x1, midY));
    p.drawLine(QPointF(x2, midY), QPointF(r.right(), midY));
    p.drawLine(QPointF(x1, r.top() + r.height() * 0.1), QPointF(x1, r.bottom() - r.height() * 0.1));
    p.drawLine(QPointF(x2, r.top() + r.height() * 0.1), QPointF(x2, r.bottom() - r.height() * 0.1));
    p.restore();
}

// A dial label; the signs that fonts often lack are drawn as shapes.
void DialLabel(QPainter& p, const QRectF& box, const QString& label, const QColor& ink, double cap)
{
    const QChar dc(0x2393);
    if (label.endsWith(dc)) {
        const QRectF text(box.left(), box.top(), box.width() * 0.5, box.height());
        FitText(p, text, label.left(label.size() - 1), ink, cap, Qt::AlignRight);
        DcSign(p, QRectF(text.right() + 2, box.center().y() - cap / 2, cap * 1.1, cap), ink);
        return;
    }
    const int slash = label.indexOf(QChar(0x22A3));
    if (slash > 0) {
        // "Ω/" then the capacitor.
        const QRectF text(box.left(), box.top(), box.width() * 0.55, box.height());
        FitText(p, text, label.left(slash), ink, cap, Qt::AlignRight);
        CapacitorSign(p, QRectF(text.right() + 2, box.center().y() - cap / 2, cap * 1.3, cap), ink);
        return;
    }
    FitText(p, box, label, ink, cap);
}

} // namespace

namespace LcdArtwork {

void DrawPicture(QPainter& p, LcdPicture picture, int legendRow, const QRectF& r)
{
    switch (picture) {
    case LcdPicture::UnitLegend:
        UnitLegend(p, legendRow, r);
        break;
    case LcdPicture::Hold:
        BlackPlate(p, r, QStringLiteral("Hold"));
        break;
    case LcdPicture::Peak:
        BlackPlate(p, r, QStringLiteral("PEAK"));
        break;
    case LcdPicture::Rel:
        BlackPlate(p, r, QStringLiteral("REL"));
        break;
    case LcdPicture::AutoRange:
        FitText(p, r, QStringLiteral("Auto Range"), kInk, r.height() * 0.55, Qt::AlignLeft, false);
        break;
    case LcdPicture::ManualRange:
        FitText(p, r, QStringLiteral("Manual Range"), kInk, r.height() * 0.55, Qt::AlignLeft, false);
        break;
    case LcdPicture::MinMax:
        FitText(p, r, QStringLiteral("Min Max"), kInk, r.height() * 0.6, Qt::AlignCenter, true);
        break;
    case LcdPicture::LowPass:
        LowPassMark(p, r);
        break;
    case LcdPicture::Delta:
        DeltaMark(p, r);
        break;
    case LcdPicture::Diode:
        DiodeMark(p, r);
        break;
    case LcdPicture::Fahrenheit:
        FitText(p, r, QStringLiteral("\u00B0F"), kInk, r.height() * 0.65, Qt::AlignLeft);
        break;
    case LcdPicture::Celsius:
        FitText(p, r, QStringLiteral("\u00B0C"), kInk, r.height() * 0.65, Qt::AlignLeft);
        break;
    case LcdPicture::NoRecv:
        p.fillRect(r, QColor(128, 140, 128));
        FitText(p, r.adjusted(8, 0, -8, 0), QStringLiteral("NO RECV"), QColor(214, 24, 24), r.height() * 0.52);
        break;
    }
}

void DrawSkin(QPainter& p, const QRect& frame)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // Body: the lilac-grey case with a soft edge.
    p.setPen(QPen(kBodyEdge, 1));
    p.setBrush(BodyBrush());
    p.drawRoundedRect(QRectF(0.5, 0.5, 299, 699), 22, 22);

    // Chrome bezel around the display window.
    const QRectF bezel = QRectF(frame).adjusted(-15, -15, 15, 15);
    QLinearGradient chrome(bezel.topLeft(), bezel.bottomLeft());
    chrome.setColorAt(0.0, QColor(246, 246, 250));
    chrome.setColorAt(0.45, QColor(170, 172, 182));
    chrome.setColorAt(0.55, QColor(150, 152, 162));
    chrome.setColorAt(1.0, QColor(232, 232, 238));
    p.setPen(QPen(QColor(110, 110, 122), 1));
    p.setBrush(chrome);
    p.drawRoundedRect(bezel, 12, 12);

    // Dark window that the LCD sits in.
    const QRectF window = QRectF(frame).adjusted(-6, -6, 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 36, 40));
    p.drawRoundedRect(window, 5, 5);
    p.restore();
}

void DrawDialTile(QPainter& p, int index, const QRectF& r)
{
    Q_UNUSED(index); // all twelve tiles are the same plain panel colour
    p.fillRect(r, BodyBrush());
    // The body's right edge runs through the tile.
    p.fillRect(QRectF(299, r.top(), 1, r.height()).intersected(r), kBodyEdge);
}

void DrawRotarySwitch(QPainter& p, int position, const QRectF& area)
{
    const double side = qMin(area.width(), area.height());
    const QPointF c = area.center();
    const double u = side / 300.0; // drawn on a 300-unit square
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // The recessed ring the stops are printed around.
    QRadialGradient well(c, 104 * u);
    well.setColorAt(0.0, QColor(150, 150, 172));
    well.setColorAt(0.92, QColor(160, 160, 182));
    well.setColorAt(1.0, QColor(128, 128, 150));
    p.setPen(QPen(QColor(118, 118, 140), 1.0));
    p.setBrush(well);
    p.drawEllipse(c, 102 * u, 102 * u);

    // A tick for each stop, and its label outside the ring; the chosen one on a dark plate.
    const double labelRadius = 123 * u;
    const double cap = 11 * u;
    for (int i = 0; i < DialFace::kStops; ++i) {
        const double a = qDegreesToRadians(DialFace::AngleDegrees(i));
        const QPointF dir(std::sin(a), -std::cos(a));
        const bool on = i == position;
        p.setPen(QPen(on ? QColor(190, 30, 30) : kInk, (on ? 2.4 : 1.4) * u, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + dir * (90 * u), c + dir * (100 * u));
        const QPointF at = c + DialFace::LabelCentre(i, labelRadius);
        const QString label = DialFace::Label(i);
        if (label.isEmpty()) {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(at, 2.0 * u, 2.0 * u);
            continue;
        }
        const QRectF box(at.x() - 24 * u, at.y() - 9 * u, 48 * u, 18 * u);
        QColor ink = kInk;
        if (on) {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRoundedRect(box.adjusted(1 * u, 0, -1 * u, 0), 4 * u, 4 * u);
            ink = Qt::white;
        }
        DialLabel(p, box.adjusted(4 * u, 0, -4 * u, 0), label, ink, cap);
    }

    // The knob, with its grip turned towards the chosen stop.
    QRadialGradient knob(c + QPointF(-20 * u, -24 * u), 96 * u);
    knob.setColorAt(0.0, QColor(96, 96, 108));
    knob.setColorAt(1.0, QColor(28, 28, 34));
    p.setPen(QPen(QColor(20, 20, 24), 1.2));
    p.setBrush(knob);
    p.drawEllipse(c, 78 * u, 78 * u);

    p.translate(c);
    p.rotate(DialFace::AngleDegrees(qBound(0, position, DialFace::kStops - 1)));
    QLinearGradient grip(QPointF(-18 * u, 0), QPointF(18 * u, 0));
    grip.setColorAt(0.0, QColor(70, 70, 82));
    grip.setColorAt(0.5, QColor(132, 132, 146));
    grip.setColorAt(1.0, QColor(58, 58, 68));
    p.setPen(QPen(QColor(18, 18, 22), 1.0));
    p.setBrush(grip);
    p.drawRoundedRect(QRectF(-17 * u, -74 * u, 34 * u, 148 * u), 15 * u, 15 * u);
    // The pointer: a white wedge at the grip's end.
    QPainterPath pointer;
    pointer.moveTo(0, -70 * u);
    pointer.lineTo(7 * u, -48 * u);
    pointer.lineTo(-7 * u, -48 * u);
    pointer.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(pointer);
    p.restore();
}

void DrawKey(QPainter& p, int controlId, const QRectF& r, bool pressed, bool focused)
{
    QString label;
    QColor top(92, 92, 104);
    QColor bottom(52, 52, 62);
    QColor ink = Qt::white;
    switch (controlId) {
    case 1041:
        label = QStringLiteral("MAX");
        break;
    case 1042:
        label = QStringLiteral("Range");
        break;
    case 1043:
        label = QStringLiteral("Hold");
        break;
    case 1044:
        label = QStringLiteral("F1");
        top = QColor(250, 206, 96);
        bottom = QColor(214, 150, 40);
        ink = QColor(30, 30, 30);
        break;
    default:
        return;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(r, kPanel);
    // Held down, the key is lit from below and darker, and its label sinks a pixel.
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, pressed ? bottom.darker(125) : top);
    g.setColorAt(1.0, pressed ? top.darker(110) : bottom);
    p.setPen(QPen(QColor(30, 30, 36), pressed ? 1.6 : 1.0));
    p.setBrush(g);
    const double radius = r.height() * 0.35;
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    if (focused) {
        // The keyboard focus: a bright ring just inside the key's edge.
        p.setPen(QPen(QColor(70, 160, 255), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1.8, 1.8, -1.8, -1.8), radius - 1.5, radius - 1.5);
    }
    p.restore();
    const QRectF face = r.adjusted(4, 0, -4, 0).translated(0, pressed ? 1.0 : 0.0);
    FitText(p, face, label, pressed ? ink.darker(115) : ink, r.height() * 0.4);
}

} // namespace LcdArtwork
