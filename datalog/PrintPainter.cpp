#include "datalog/PrintPainter.h"

#include <QFontMetrics>
#include <QPainter>

void DrawPrintPage(QPainter& p, const PrintPage& page, const QColor& textColor)
{
    const QFontMetrics fm(p.font(), p.device());
    int previousEnd = 0;
    for (const PrintText& t : page.texts) {
        const int w = fm.horizontalAdvance(t.text);
        int x = t.pos.x();
        switch (t.align) {
        case PrintText::TopCenter: x -= w / 2; break;
        case PrintText::TopRight: x -= w; break;
        case PrintText::AfterPrevious: x += previousEnd; break;
        case PrintText::TopLeft: break;
        }
        if (textColor.isValid())
            p.setPen(textColor);
        p.drawText(QPoint(x, t.pos.y() + fm.ascent()), t.text);
        previousEnd = x + w;
    }
    p.drawLines(page.rules);
}
