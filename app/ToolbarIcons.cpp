#include "app/ToolbarIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace {

// Paints one icon at any size; the shapes are laid out on a 32 x 32 grid.
class VectorIconEngine : public QIconEngine {
public:
    explicit VectorIconEngine(ToolbarIcons::Kind kind)
        : m_kind(kind)
    {
    }
    QIconEngine* clone() const override { return new VectorIconEngine(m_kind); }

    void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->translate(rect.topLeft());
        p->scale(rect.width() / 32.0, rect.height() / 32.0);
        const bool disabled = mode == QIcon::Disabled;
        // Disabled: every colour becomes a light grey of its own lightness, so outlines stay
        // darker than fills and the picture keeps its shape instead of turning into a grey patch.
        auto c = [disabled](QColor col) {
            if (!disabled)
                return col;
            const int g = 90 + qGray(col.rgb()) * 65 / 100;
            return QColor(g, g, g);
        };
        const QPen outline(c(QColor(50, 50, 60)), 1.4);
        p->setPen(outline);
        switch (m_kind) {
        case ToolbarIcons::Open: {
            p->setBrush(c(QColor(235, 190, 80)));
            QPainterPath back;
            back.moveTo(3, 8); back.lineTo(12, 8); back.lineTo(14, 11); back.lineTo(27, 11);
            back.lineTo(27, 26); back.lineTo(3, 26); back.closeSubpath();
            p->drawPath(back);
            p->setBrush(c(QColor(250, 215, 120)));
            QPainterPath front;
            front.moveTo(3, 26); front.lineTo(8, 15); front.lineTo(30, 15); front.lineTo(27, 26); front.closeSubpath();
            p->drawPath(front);
            break;
        }
        case ToolbarIcons::Save:
            p->setBrush(c(QColor(70, 110, 190)));
            p->drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
            p->setBrush(c(QColor(240, 240, 245)));
            p->drawRect(QRectF(9, 4, 14, 9));
            p->setBrush(c(QColor(200, 205, 215)));
            p->drawRect(QRectF(8, 18, 16, 10));
            break;
        case ToolbarIcons::Export:
            p->setBrush(c(QColor(245, 245, 245)));
            p->drawRect(QRectF(5, 3, 17, 24));
            p->setPen(QPen(c(QColor(60, 150, 70)), 1.2));
            for (int y = 8; y <= 22; y += 4)
                p->drawLine(QPointF(8, y), QPointF(19, y));
            p->setPen(QPen(c(QColor(40, 120, 50)), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p->drawLine(QPointF(18, 20), QPointF(28, 20));
            p->drawLine(QPointF(24, 15), QPointF(29, 20));
            p->drawLine(QPointF(24, 25), QPointF(29, 20));
            break;
        case ToolbarIcons::Start:
            p->setBrush(c(QColor(210, 40, 40)));
            p->drawEllipse(QRectF(6, 6, 20, 20));
            break;
        case ToolbarIcons::Stop:
            p->setBrush(c(QColor(60, 60, 70)));
            p->drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
            break;
        case ToolbarIcons::PrintGraph:
            p->setBrush(c(QColor(245, 245, 245)));
            p->drawRect(QRectF(9, 3, 14, 10));
            p->setBrush(c(QColor(150, 155, 165)));
            p->drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
            p->setBrush(c(QColor(245, 245, 245)));
            p->drawRect(QRectF(9, 19, 14, 10));
            p->setPen(QPen(c(QColor(40, 90, 200)), 1.4));
            p->drawPolyline(QPolygonF({ QPointF(10, 27), QPointF(14, 22), QPointF(17, 25), QPointF(22, 20) }));
            break;
        case ToolbarIcons::About: {
            p->setBrush(c(QColor(60, 110, 200)));
            p->drawEllipse(QRectF(4, 4, 24, 24));
            QFont f = p->font();
            f.setPixelSize(18);
            f.setBold(true);
            p->setFont(f);
            p->setPen(c(Qt::white));
            p->drawText(QRectF(4, 4, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        case ToolbarIcons::Connect:
            p->setPen(QPen(c(QColor(30, 90, 200)), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p->drawPolyline(QPolygonF({ QPointF(9, 10), QPointF(22, 22), QPointF(16, 28), QPointF(16, 4),
                QPointF(22, 10), QPointF(9, 22) }));
            break;
        }
        p->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

private:
    ToolbarIcons::Kind m_kind;
};

} // namespace

QIcon ToolbarIcons::make(Kind kind) { return QIcon(new VectorIconEngine(kind)); }
