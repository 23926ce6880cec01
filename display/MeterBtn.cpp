#include "display/MeterBtn.h"

#include "display/LcdArtwork.h"

#include <QPainter>
#include <cmath>

static const MeterKeySpec& SpecOrFirst(int id)
{
    const MeterKeySpec* spec = MeterKeys::Find(id);
    return spec ? *spec : MeterKeys::kKeys[0];
}

CMeterBtn::CMeterBtn(int controlId, QWidget* parent)
    : QAbstractButton(parent)
    , m_nId(controlId)
    , m_pSpec(&SpecOrFirst(controlId))
{
    setText(QString::fromLatin1(m_pSpec->caption));
    setAccessibleName(text());
    setToolTip(text());
    setFocusPolicy(Qt::TabFocus);
    setGeometry(m_pSpec->rest);
    connect(this, &QAbstractButton::pressed, this, &CMeterBtn::OnPressed);
    connect(this, &QAbstractButton::released, this, &CMeterBtn::OnReleased);
}

QSize CMeterBtn::sizeHint() const
{
    const QSize r = m_pSpec->rest.size();
    return QSize(int(std::lround(r.width() * m_fScale)), int(std::lround(r.height() * m_fScale)));
}

static int Scaled(int v, double scale)
{
    return int(std::lround(v * scale));
}

void CMeterBtn::SetScale(double scale)
{
    m_fScale = scale;
    const QRect& r = m_pSpec->rest;
    resize(Scaled(r.width(), scale), Scaled(r.height(), scale));
    move(isDown() ? PressedPos() : RestPos());
    update();
}

QPoint CMeterBtn::RestPos() const
{
    return QPoint(Scaled(m_pSpec->rest.x(), m_fScale), Scaled(m_pSpec->rest.y(), m_fScale));
}

QPoint CMeterBtn::PressedPos() const
{
    return QPoint(Scaled(m_pSpec->pressedX, m_fScale), Scaled(m_pSpec->rest.y(), m_fScale));
}

void CMeterBtn::OnPressed()
{
    move(PressedPos());
    // The code goes out once for each press, when the key goes down. Dragging off the key and
    // back while holding it is still the same press.
    if (!m_bHeld) {
        m_bHeld = true;
        emit keyCode(m_pSpec->code);
    }
}

void CMeterBtn::OnReleased()
{
    move(RestPos());
}

void CMeterBtn::EndPress()
{
    m_bHeld = false;
    if (!isDown())
        move(RestPos());
}

void CMeterBtn::mouseReleaseEvent(QMouseEvent* e)
{
    QAbstractButton::mouseReleaseEvent(e);
    EndPress();
}

void CMeterBtn::keyReleaseEvent(QKeyEvent* e)
{
    QAbstractButton::keyReleaseEvent(e);
    if (!isDown())
        EndPress();
}

void CMeterBtn::focusOutEvent(QFocusEvent* e)
{
    QAbstractButton::focusOutEvent(e);
    update();
    if (!isDown())
        EndPress();
}

void CMeterBtn::paintEvent(QPaintEvent*)
{
    // The picture at the top-left, scaled with the panel. Held down it moves a pixel aside and
    // is drawn sunken; with the keyboard focus it carries a ring. Where a picture is larger than
    // the key's rest size the key face is drawn within what shows.
    QPainter p(this);
    p.scale(m_fScale, m_fScale);
    const QSize face = m_pSpec->picture.boundedTo(m_pSpec->rest.size());
    LcdArtwork::DrawKey(p, m_nId, QRectF(QPointF(0, 0), QSizeF(face)), isDown(), hasFocus());
}

void CMeterBtn::focusInEvent(QFocusEvent* e)
{
    QAbstractButton::focusInEvent(e);
    update();
}
