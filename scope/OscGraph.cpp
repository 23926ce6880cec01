#include "scope/OscGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace osc {

namespace {

QColor Rgb(uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

void PaintLine(QPainter& p, const OscSceneLine& l)
{
    QPen pen(Rgb(l.colour), l.width);
    pen.setCapStyle(Qt::FlatCap);
    if (l.dotted)
        pen.setDashPattern({ 1, 2 });
    p.setPen(pen);
    p.drawLine(l.line);
}

void PaintMark(QPainter& p, const OscSceneMark& m)
{
    const QRectF r = m.rect;
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (m.kind) {
    case OscSceneMark::LevelLeft:
    case OscSceneMark::LevelRight: {
        // A yellow triangle pointing at the plot.
        const bool left = m.kind == OscSceneMark::LevelLeft;
        QPolygonF tri;
        if (left)
            tri << r.topLeft() << QPointF(r.right(), r.center().y()) << r.bottomLeft();
        else
            tri << r.topRight() << QPointF(r.left(), r.center().y()) << r.bottomRight();
        p.setPen(QPen(QColor(120, 110, 0), 1));
        p.setBrush(QColor(255, 230, 0));
        p.drawPolygon(tri);
        break;
    }
    case OscSceneMark::Trigger: {
        // A red flag on a pole bearing a white T.
        p.setPen(QPen(QColor(220, 220, 220), 2));
        p.drawLine(QPointF(r.left() + 1, r.top()), QPointF(r.left() + 1, r.bottom()));
        const QRectF flag(r.left() + 2, r.top(), r.width() - 2, r.height() * 0.6);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 20, 20));
        p.drawRect(flag);
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(int(flag.height() - 1));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(flag, Qt::AlignCenter, QStringLiteral("T"));
        break;
    }
    default:
        break;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

void PaintScene(QPainter& p, const OscScene& s, const QRectF& target)
{
    p.save();
    p.translate(target.topLeft());
    p.scale(target.width() / s.client.width(), target.height() / s.client.height());
    p.setClipRect(s.client);
    p.fillRect(s.client, Rgb(s.background));
    for (const OscSceneLine& l : s.grid)
        PaintLine(p, l);
    for (const OscSceneLine& l : s.markers)
        PaintLine(p, l);
    if (s.trace.size() > 1) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Rgb(s.traceColour), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(s.trace.constData(), int(s.trace.size()));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    for (const OscSceneBox& b : s.bands)
        p.fillRect(b.rect, Rgb(b.fill));
    for (const OscSceneBox& b : s.boxes)
        p.fillRect(b.rect, Rgb(b.fill));
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const OscSceneLine& l : s.glyphLines)
        PaintLine(p, l);
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont font(QStringLiteral("Times New Roman"));
    font.setWeight(QFont::Light);
    for (const OscSceneText& t : s.texts) {
        font.setPixelSize(t.fontHeight);
        // Faces wider than the one the boxes were measured for shrink to their box.
        const double wide = QFontMetricsF(font).horizontalAdvance(t.text);
        if (wide > t.box.width() && wide > 0)
            font.setPixelSize(std::max(6, int(t.fontHeight * t.box.width() / wide)));
        p.setFont(font);
        p.setPen(Rgb(t.colour));
        p.drawText(t.box, (t.centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextDontClip, t.text);
    }
    for (const OscSceneMark& m : s.marks)
        PaintMark(p, m);
    if (s.zoomRect) {
        QPen pen(QColor(100, 105, 155), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(s.zoom);
    }
    for (const OscSceneLine& l : s.crosshair)
        PaintLine(p, l);
    p.restore();
}

} // namespace osc

COSCGraph::COSCGraph(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("OscGraph"));
    setAttribute(Qt::WA_OpaquePaintEvent); // the paint covers everything
    setMouseTracking(true);
    setMinimumSize(200, 150);
    m_model.SetClientSize(width(), height());
    m_model.ResetView();
}

void COSCGraph::SetData(const float* values, int count, const OSCInfo& info)
{
    m_model.SetData(values, count, info);
    m_strReadout.clear(); // the window clears its label for a new record
    Changed(true);
}

void COSCGraph::ResetView()
{
    m_model.ResetView();
    Changed(true);
}

void COSCGraph::Draw(QPainter& p, const QRectF& target, bool printing) const
{
    osc::PaintScene(p, m_model.Layout(printing), target);
}

void COSCGraph::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    osc::PaintScene(p, m_model.Layout(false), QRectF(rect()));
}

void COSCGraph::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    m_model.SetClientSize(width(), height());
    update();
}

void COSCGraph::Changed(bool repaint)
{
    if (repaint)
        update();
    // The last read-out stays when the button is released or the mouse leaves: the user reads it
    // after letting go.
    const QString text = m_model.ReadoutText();
    if (!text.isEmpty() && text != m_strReadout) {
        m_strReadout = text;
        emit readoutChanged(text);
    }
    if (m_model.Dragging())
        setCursor(m_model.DragLine() <= COscGraphModel::LowerLevel ? Qt::SizeVerCursor : Qt::SizeHorCursor);
    else
        unsetCursor();
}

void COSCGraph::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton)
        m_model.LeftDown(p);
    else if (e->button() == Qt::RightButton)
        m_model.RightDown(p);
    Changed(true);
}

void COSCGraph::mouseMoveEvent(QMouseEvent* e)
{
    Changed(m_model.MouseMove(e->position().toPoint()));
}

void COSCGraph::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton)
        m_model.LeftUp(p);
    else if (e->button() == Qt::RightButton)
        m_model.RightUp();
    Changed(true);
}
