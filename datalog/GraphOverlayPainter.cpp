#include "datalog/GraphOverlayPainter.h"

#include "datalog/GraphPainter.h"

#include <QPainter>

namespace GraphPainter {

void RenderOverlay(QPainter& p, const GraphOverlayScene& scene)
{
    p.save();
    p.setClipRect(scene.plot);
    for (qsizetype i = 0; i < scene.traces.size(); ++i) {
        p.setPen(QPen(ToColor(scene.colors.value(i)), 1));
        p.drawLines(scene.traces[i]);
    }
    if (scene.legend.size() > 1) {
        const QRect box = scene.legendBox;
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(245, 245, 240));
        p.drawRect(box);
        p.setFont(LabelFont(scene.fontHeight - 2));
        const int rowH = scene.fontHeight + 4;
        for (qsizetype i = 0; i < scene.legend.size(); ++i) {
            const int y = box.top() + 3 + int(i) * rowH;
            p.setPen(QPen(ToColor(scene.legend[i].color), 3));
            p.drawLine(box.left() + 6, y + rowH / 2, box.left() + 26, y + rowH / 2);
            p.setPen(Qt::black);
            p.drawText(QRect(box.left() + 32, y, box.width() - 36, rowH), Qt::AlignVCenter | Qt::AlignLeft,
                scene.legend[i].text);
        }
    }
    p.restore();
}

} // namespace GraphPainter
