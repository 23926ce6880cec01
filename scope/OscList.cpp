#include "scope/OscList.h"

#include <QPainter>
#include <QPainterPath>

namespace {
QColor Rgb(uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
} // namespace

COscStoreButton::COscStoreButton(int slot, QWidget* parent)
    : QAbstractButton(parent)
    , m_look(osc::StoreLook(slot, 0))
{
    setObjectName(QStringLiteral("store%1").arg(slot));
    setCursor(Qt::PointingHandCursor);
}

void COscStoreButton::SetLook(const osc::OscStoreLook& look)
{
    m_look = look;
    setText(QString()); // the picture says it all
    setToolTip(QStringLiteral("%1 %2").arg(look.slot).arg(QString::fromLatin1(look.word)));
    update();
}

void COscStoreButton::PaintLook(QPainter& p, const QRectF& r, const osc::OscStoreLook& look, bool pressed)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF body = r.adjusted(1, 1, -1, -1);
    const double radius = std::min(body.width(), body.height()) * 0.12;
    QColor fill = Rgb(look.background);
    if (pressed)
        fill = fill.darker(130);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, fill.lighter(125));
    shade.setColorAt(1, fill.darker(115));
    p.setPen(QPen(fill.darker(170), 1));
    p.setBrush(shade);
    p.drawRoundedRect(body, radius, radius);

    // The slot number in the upper right corner, the word under it.
    const double h = body.height();
    QFont number(QStringLiteral("DejaVu Sans"));
    number.setBold(true);
    number.setPixelSize(std::max(6, int(h * 0.36)));
    p.setFont(number);
    p.setPen(Qt::white);
    const QRectF top(body.left() + 2, body.top() + 1, body.width() - 2 - h * 0.12, h * 0.45);
    p.drawText(top, Qt::AlignRight | Qt::AlignVCenter, QString::number(look.slot));
    QFont word(QStringLiteral("DejaVu Sans"));
    word.setBold(true);
    word.setPixelSize(std::max(6, int(h * 0.28)));
    // Long words shrink to the width of the button.
    const QString text = QString::fromLatin1(look.word);
    QFontMetricsF fm(word);
    const double room = body.width() - 6;
    if (fm.horizontalAdvance(text) > room)
        word.setPixelSize(std::max(5, int(word.pixelSize() * room / fm.horizontalAdvance(text))));
    p.setFont(word);
    p.drawText(QRectF(body.left() + 3, body.top() + h * 0.48, body.width() - 6, h * 0.45), Qt::AlignCenter, text);
    p.restore();
}

void COscStoreButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintLook(p, QRectF(rect()), m_look, isDown());
    if (hasFocus()) {
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

COSCList::COSCList(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("OSCList"));
    for (int s = 1; s <= kSlots; ++s) {
        auto* b = new COscStoreButton(s, this);
        m_buttons[size_t(s - 1)] = b;
        connect(b, &QAbstractButton::clicked, this, [this, s] { emit storeButtonPressed(s); });
        SetStoreLook(s, 0);
    }
}

COscStoreButton* COSCList::Button(int slot) const
{
    if (slot < 1 || slot > kSlots)
        return nullptr;
    return m_buttons[size_t(slot - 1)];
}

void COSCList::SetStoreLook(int slot, int status) { SetLook(osc::StoreLook(slot, status)); }

void COSCList::SetLook(const osc::OscStoreLook& look)
{
    if (COscStoreButton* b = Button(look.slot))
        b->SetLook(look);
}

void COSCList::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // Four a row, three rows, each button keeping the pictures' 56:41 shape.
    const double gap = std::max(2.0, width() / 60.0);
    double bw = (width() - 5 * gap) / 4;
    double bh = bw * 41 / 56;
    if (3 * bh + 4 * gap > height()) {
        bh = (height() - 4 * gap) / 3;
        bw = bh * 56 / 41;
    }
    const double left = (width() - 4 * bw - 3 * gap) / 2;
    const double top = (height() - 3 * bh - 2 * gap) / 2;
    for (int i = 0; i < kSlots; ++i) {
        const int row = i / 4, col = i % 4;
        m_buttons[size_t(i)]->setGeometry(QRectF(left + col * (bw + gap), top + row * (bh + gap), bw, bh).toRect());
    }
}

void COSCList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 28, 34));
}
