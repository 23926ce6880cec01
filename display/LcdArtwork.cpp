#include "display/LcdArtwork.h"

#include "display/UnitTable.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

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
    const QRectF textBox(r.left(), r.top(), r.width() * 0.5, r.height());
    FitText(p, textBox, QStringLiteral("LO"), kInk, r.height() * 0.55, Qt::AlignLeft);
    QPainterPath slope;
    const double x0 = r.left() + r.width() * 0.52;
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
        // The low-pass mark sits small and raised after the "VAC", like the AC+DC marks.
        const QRectF mark(inner.right() - 18, inner.top() + 3, 18, 10);
        FitText(p, QRectF(inner.left(), inner.top(), mark.left() - inner.left() - 1, inner.height()),
            QStringLiteral("VAC"), kInk, cap, Qt::AlignRight);
        LowPassMark(p, mark);
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

void DrawKey(QPainter& p, int controlId, const QRectF& r)
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
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(1.0, bottom);
    p.setPen(QPen(QColor(30, 30, 36), 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), r.height() * 0.35, r.height() * 0.35);
    p.restore();
    FitText(p, r.adjusted(4, 0, -4, 0), label, ink, r.height() * 0.4);
}

} // namespace LcdArtwork
