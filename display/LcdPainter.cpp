#include "display/LcdPainter.h"

#include "display/LcdArtwork.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

QFont LcdQtFont(const LcdFont& font)
{
    // Fonts are made on the GUI thread only; the cache saves re-measuring on every repaint.
    static QHash<quint64, QFont> cache;
    const quint64 key = (quint64(quint32(font.height)) << 32) | quint32(font.width);
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;

    QFont f(QString::fromLatin1(kLcdFaceName));
    f.setWeight(QFont::Normal);
    f.setPixelSize(qMax(1, font.height));
    // A requested height is the character cell (ascent + descent), not the em size.
    const QFontMetricsF probe(f);
    const double cell = probe.ascent() + probe.descent();
    if (cell > 0)
        f.setPixelSize(qMax(1, qRound(font.height * font.height / cell)));
    const QFontMetricsF sized(f);
    const double average = sized.averageCharWidth();
    if (font.width > 0 && average > 0)
        f.setStretch(qBound(1, qRound(100.0 * font.width / average), 4000));
    cache.insert(key, f);
    return f;
}

int LcdQtMeasure::TextWidth(const LcdFont& font, const QString& text) const
{
    return QFontMetrics(LcdQtFont(font)).horizontalAdvance(text);
}

int LcdQtMeasure::LineHeight(const LcdFont& font) const
{
    const QFontMetrics fm(LcdQtFont(font));
    return fm.height() + qMax(0, fm.leading());
}

namespace LcdPainter {

void Render(QPainter& p, const LcdScene& scene)
{
    p.save();
    p.setClipRect(QRect(QPoint(0, 0), scene.frame));
    for (const LcdItem& it : scene.items) {
        const QColor color = QColor::fromRgb(it.rgb);
        switch (it.kind) {
        case LcdItem::Kind::Fill:
            p.fillRect(it.rect, color);
            break;
        case LcdItem::Kind::Text: {
            const QFont f = LcdQtFont(it.font);
            p.setRenderHint(QPainter::TextAntialiasing);
            p.setFont(f);
            p.setPen(color);
            p.drawText(QPointF(it.rect.left(), it.rect.top() + QFontMetricsF(f).ascent()), it.text);
            break;
        }
        case LcdItem::Kind::Picture:
            LcdArtwork::DrawPicture(p, it.picture, it.legendRow, QRectF(it.rect));
            break;
        case LcdItem::Kind::Line: {
            // Lines as one-pixel boxes: crisp at every device pixel ratio. Like a pen moved
            // from one point to the other, the end point itself is not drawn.
            const QLine& l = it.line;
            if (l.x1() == l.x2())
                p.fillRect(QRect(l.x1(), qMin(l.y1(), l.y2()), 1, qAbs(l.y2() - l.y1())), color);
            else if (l.y1() == l.y2())
                p.fillRect(QRect(qMin(l.x1(), l.x2()), l.y1(), qAbs(l.x2() - l.x1()), 1), color);
            else {
                p.setPen(QPen(color, 1));
                p.drawLine(l);
            }
            break;
        }
        }
    }
    p.restore();
}

} // namespace LcdPainter
