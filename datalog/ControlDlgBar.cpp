#include "datalog/ControlDlgBar.h"

#include "datalog/MyOrvelView.h"

#include <QAction>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

struct ButtonDef {
    int id;
    const char* text;
    int command;
};

const ButtonDef kButtons[] = {
    { 1000, "Move", CMyOrvelView::IdMove },
    { 1004, "Rect", CMyOrvelView::IdRect },
    { 1006, "XBig", CMyOrvelView::IdXBig },
    { 1005, "YBig", CMyOrvelView::IdYBig },
    { 1007, "Big", CMyOrvelView::IdBig },
    { 1008, "Small", CMyOrvelView::IdSmall },
    { 1009, "Show", CMyOrvelView::IdShowNumber },
    { 1010, "All", CMyOrvelView::IdAll },
    { 1011, "FFT", CMyOrvelView::IdFft },
};

void arrowHead(QPainterPath& path, QPointF tip, QPointF dir)
{
    const QPointF n(-dir.y(), dir.x());
    path.moveTo(tip - dir * 4 + n * 3);
    path.lineTo(tip);
    path.lineTo(tip - dir * 4 - n * 3);
}

void magnifier(QPainter& p, bool plus)
{
    p.drawEllipse(QPointF(9.5, 9.5), 5.5, 5.5);
    p.drawLine(QPointF(13.5, 13.5), QPointF(19.5, 19.5));
    p.drawLine(QPointF(7, 9.5), QPointF(12, 9.5));
    if (plus)
        p.drawLine(QPointF(9.5, 7), QPointF(9.5, 12));
}

// Draws button `id` in a 22 x 22 box.
void drawIcon(QPainter& p, int id)
{
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(40, 60, 110), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    switch (id) {
    case 1000: // Move: four arrows
        path.moveTo(11, 3);
        path.lineTo(11, 19);
        path.moveTo(3, 11);
        path.lineTo(19, 11);
        arrowHead(path, { 11, 3 }, { 0, -1 });
        arrowHead(path, { 11, 19 }, { 0, 1 });
        arrowHead(path, { 3, 11 }, { -1, 0 });
        arrowHead(path, { 19, 11 }, { 1, 0 });
        p.drawPath(path);
        break;
    case 1004: // Rect: dashed rectangle with a corner mark
        p.setPen(QPen(pen.color(), 1.4, Qt::DashLine));
        p.drawRect(QRectF(3.5, 5.5, 15, 11));
        p.setPen(pen);
        p.drawLine(QPointF(15, 16.5), QPointF(19.5, 16.5));
        p.drawLine(QPointF(18.5, 13), QPointF(18.5, 19.5));
        break;
    case 1006: // XBig: horizontal I-beam
        path.moveTo(3, 11);
        path.lineTo(19, 11);
        path.moveTo(3, 6);
        path.lineTo(3, 16);
        path.moveTo(19, 6);
        path.lineTo(19, 16);
        arrowHead(path, { 8, 11 }, { -1, 0 });
        arrowHead(path, { 14, 11 }, { 1, 0 });
        p.drawPath(path);
        break;
    case 1005: // YBig: vertical I-beam
        path.moveTo(11, 3);
        path.lineTo(11, 19);
        path.moveTo(6, 3);
        path.lineTo(16, 3);
        path.moveTo(6, 19);
        path.lineTo(16, 19);
        arrowHead(path, { 11, 8 }, { 0, -1 });
        arrowHead(path, { 11, 14 }, { 0, 1 });
        p.drawPath(path);
        break;
    case 1007: magnifier(p, true); break;
    case 1008: magnifier(p, false); break;
    case 1009: // Show: a point with a cross and a tag
        p.drawLine(QPointF(8, 2.5), QPointF(8, 19.5));
        p.drawLine(QPointF(2.5, 12), QPointF(19.5, 12));
        p.setBrush(QColor(255, 255, 202));
        p.drawRect(QRectF(11.5, 2.5, 8, 6));
        p.setBrush(QColor(0, 160, 0));
        p.drawEllipse(QPointF(8, 12), 2.2, 2.2);
        break;
    case 1010: // All: a frame with arrows out to the corners
        p.drawRect(QRectF(6.5, 6.5, 9, 9));
        path.moveTo(6.5, 6.5);
        path.lineTo(2.5, 2.5);
        path.moveTo(15.5, 15.5);
        path.lineTo(19.5, 19.5);
        arrowHead(path, { 2.5, 2.5 }, { -0.7071, -0.7071 });
        arrowHead(path, { 19.5, 19.5 }, { 0.7071, 0.7071 });
        p.drawPath(path);
        break;
    case 1011: { // FFT: spectrum bars
        p.setPen(Qt::NoPen);
        p.setBrush(pen.color());
        const double h[] = { 14, 6, 10, 4, 7, 3 };
        for (int i = 0; i < 6; ++i)
            p.drawRect(QRectF(3 + i * 3, 19 - h[i], 2, h[i]));
        p.setPen(pen);
        p.drawLine(QPointF(2, 19.5), QPointF(20, 19.5));
        break;
    }
    default: break;
    }
}

class VectorIconEngine : public QIconEngine {
public:
    explicit VectorIconEngine(int id)
        : m_id(id)
    {
    }
    void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        p->save();
        p->translate(rect.topLeft());
        p->scale(rect.width() / 22.0, rect.height() / 22.0);
        if (mode == QIcon::Disabled)
            p->setOpacity(0.4);
        drawIcon(*p, m_id);
        p->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // Before Qt 6.8 the size asked for is already in device pixels.
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
        const QSize device = size;
#else
        const QSize device = (QSizeF(size) * scale).toSize();
#endif
        QPixmap pm(device);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), (QSizeF(device) / scale).toSize()), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new VectorIconEngine(m_id); }

private:
    int m_id;
};

} // namespace

QIcon CControlDlgBar::MakeIcon(int id) { return QIcon(new VectorIconEngine(id)); }

CControlDlgBar::CControlDlgBar(QWidget* parent)
    : QToolBar(QStringLiteral("Graph Tools"), parent)
{
    setObjectName(QStringLiteral("ControlDlgBar"));
    setIconSize(QSize(22, 22));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (const ButtonDef& b : kButtons) {
        auto* action = new QAction(MakeIcon(b.id), QString::fromLatin1(b.text), this);
        action->setObjectName(QStringLiteral("tool%1").arg(b.id));
        action->setData(b.id);
        const int command = b.command;
        connect(action, &QAction::triggered, this, [this, command] {
            if (CMyOrvelView* view = CMyOrvelView::Active())
                view->OnCommand(command);
            emit commandSent(command);
        });
        addAction(action);
        if (b.id == 1007 || b.id == 1008)
            action->setVisible(false);
    }
}

QToolButton* CControlDlgBar::Button(int id) const
{
    for (QAction* a : actions()) {
        if (a->data().toInt() == id)
            return qobject_cast<QToolButton*>(widgetForAction(a));
    }
    return nullptr;
}
