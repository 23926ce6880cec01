#include "display/MeterBtn.h"

#include "display/LcdArtwork.h"

#include <QPainter>

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
    return m_pSpec->rest.size();
}

void CMeterBtn::OnPressed()
{
    move(m_pSpec->pressedX, m_pSpec->rest.y());
    // The code goes out once for each press, when the key goes down. Dragging off the key and
    // back while holding it is still the same press.
    if (!m_bHeld) {
        m_bHeld = true;
        emit keyCode(m_pSpec->code);
    }
}

void CMeterBtn::OnReleased()
{
    move(m_pSpec->rest.topLeft());
}

void CMeterBtn::EndPress()
{
    m_bHeld = false;
    if (!isDown())
        move(m_pSpec->rest.topLeft());
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
    if (!isDown())
        EndPress();
}

void CMeterBtn::paintEvent(QPaintEvent*)
{
    // Only the picture, 1:1 at the top-left; the position alone shows the pressed state. Where a
    // picture is larger than the key's rest size the key face is drawn within what shows.
    QPainter p(this);
    const QSize face = m_pSpec->picture.boundedTo(m_pSpec->rest.size());
    LcdArtwork::DrawKey(p, m_nId, QRectF(QPointF(0, 0), QSizeF(face)));
}
