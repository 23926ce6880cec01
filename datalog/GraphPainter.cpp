#include "datalog/GraphPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <vector>

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

// Writes every marker's opaque pixels straight into `img`, which the painter draws on with only an
// integer scale and offset: the same pixels as copying the stamp, without a call per marker.
bool stampDirect(QPainter& p, const QVector<QPoint>& marks, const QVector<QLine>& markRuns, const QImage& stamp)
{
    if (p.device()->devType() != QInternal::Image)
        return false;
    auto* img = static_cast<QImage*>(p.device());
    const QTransform t = p.deviceTransform();
    const int scale = int(t.m11());
    if (t.type() > QTransform::TxScale || t.m11() != t.m22() || t.m11() != scale || scale < 1
        || t.dx() != int(t.dx()) || t.dy() != int(t.dy()) || p.hasClipping()
        || (img->format() != QImage::Format_RGB32 && img->format() != QImage::Format_ARGB32_Premultiplied
            && img->format() != QImage::Format_ARGB32)
        || stamp.width() != 9 * scale)
        return false;
    // The stamp as runs of opaque pixels per row.
    struct Run {
        int dy, x0, x1;
    };
    QVector<Run> runs;
    QRgb color = 0;
    for (int y = 0; y < stamp.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(stamp.constScanLine(y));
        for (int x = 0; x < stamp.width();) {
            if (qAlpha(row[x]) == 255) {
                color = row[x];
                int e = x;
                while (e < stamp.width() && qAlpha(row[e]) == 255)
                    ++e;
                runs.append(Run { y, x, e });
                x = e;
            } else {
                ++x;
            }
        }
    }
    const int w = img->width(), h = img->height();
    const int ox = int(t.dx()) - 4 * scale, oy = int(t.dy()) - 4 * scale;
    uchar* bits = img->bits();
    const qsizetype bpl = img->bytesPerLine();
    auto fill = [&](int y, int x0, int x1) {
        if (y < 0 || y >= h)
            return;
        QRgb* line = reinterpret_cast<QRgb*>(bits + y * bpl);
        for (int x = std::max(0, x0), end = std::min(w, x1); x < end; ++x)
            line[x] = color;
    };
    // A column of markers on consecutive rows (a dense graph gives long ones) is written row by
    // row: a row whose every stamp row is covered gets the stamp's overall width once, when the
    // stamp's columns make one stretch; only the rows at its ends are stamped run by run.
    int dyMin = INT_MAX, dyMax = INT_MIN, ux0 = INT_MAX, ux1 = INT_MIN;
    std::vector<bool> used(size_t(stamp.width()), false);
    for (const Run& r : runs) {
        dyMin = std::min(dyMin, r.dy);
        dyMax = std::max(dyMax, r.dy);
        ux0 = std::min(ux0, r.x0);
        ux1 = std::max(ux1, r.x1);
        for (int x = r.x0; x < r.x1; ++x)
            used[size_t(x)] = true;
    }
    const bool mergeRuns = scale == 1 && !runs.isEmpty() && std::find(used.begin() + ux0, used.begin() + ux1, false) == used.begin() + ux1;
    // Markers on every row from `by` to `byLast` (device rows) of column `bx`.
    auto stampRun = [&](int bx, int by, int byLast) {
        if (by == byLast || !mergeRuns) {
            for (int y = by; y <= byLast; y += scale) {
                for (const Run& r : runs)
                    fill(y + r.dy, bx + r.x0, bx + r.x1);
            }
            return;
        }
        for (int y = std::max(0, by + dyMin), yEnd = std::min(h - 1, byLast + dyMax); y <= yEnd; ++y) {
            if (y - byLast <= dyMin && y - by >= dyMax) {
                fill(y, bx + ux0, bx + ux1);
                continue;
            }
            for (const Run& r : runs) {
                if (y - r.dy >= by && y - r.dy <= byLast)
                    fill(y, bx + r.x0, bx + r.x1);
            }
        }
    };
    for (qsizetype k = 0; k < marks.size();) {
        const QPoint& m = marks[k];
        qsizetype n = 1;
        while (k + n < marks.size() && marks[k + n].x() == m.x() && marks[k + n].y() == m.y() + int(n))
            ++n;
        const int by = m.y() * scale + oy;
        stampRun(m.x() * scale + ox, by, by + (int(n) - 1) * scale);
        k += n;
    }
    for (const QLine& l : markRuns)
        stampRun(l.x1() * scale + ox, l.y1() * scale + oy, l.y2() * scale + oy);
    return true;
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
    if (!scene.marks.isEmpty() || !scene.markRuns.isEmpty()) {
        if (raster) {
            const QImage& stamp = markStamp(ToColor(colors.point), p.device()->devicePixelRatioF());
            if (!stampDirect(p, scene.marks, scene.markRuns, stamp)) {
                for (const QPoint& m : scene.marks)
                    p.drawImage(QPoint(m.x() - 4, m.y() - 4), stamp);
                for (const QLine& l : scene.markRuns) {
                    for (int y = l.y1(); y <= l.y2(); ++y)
                        p.drawImage(QPoint(l.x1() - 4, y - 4), stamp);
                }
            }
        } else {
            p.setPen(QPen(ToColor(colors.point), 3));
            p.setBrush(Qt::NoBrush);
            for (const QPoint& m : scene.marks)
                drawMark(p, m);
            for (const QLine& l : scene.markRuns) {
                for (int y = l.y1(); y <= l.y2(); ++y)
                    drawMark(p, QPoint(l.x1(), y));
            }
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
