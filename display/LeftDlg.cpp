#include "display/LeftDlg.h"

#include "display/LcdArtwork.h"
#include "display/LcdPainter.h"
#include "display/LcdText.h"
#include "display/MeterBtn.h"
#include "display/PanelGeometry.h"

#include <QMenu>
#include <QPainter>
#include <cmath>

namespace {

const LcdQtMeasure& Measure()
{
    static const LcdQtMeasure measure;
    return measure;
}

} // namespace

CLeftDlg::CLeftDlg(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Display"));
    for (int i = 0; i < 4; ++i) {
        m_pKeys[i] = new CMeterBtn(MeterKeys::kKeys[i].id, this);
        connect(m_pKeys[i], &CMeterBtn::keyCode, this, &CLeftDlg::keyCode);
    }
    m_scene = LcdLayout(m_MeterData, DisplayFrameRect().size(), Measure()).ForMode(m_nDisplayMode);
}

QRect CLeftDlg::DisplayFrameRect()
{
    return PanelGeometry::DisplayFrame();
}

static QSize ScaledSize(const QSize& size, double zoom)
{
    return QSize(int(std::lround(size.width() * zoom)), int(std::lround(size.height() * zoom)));
}

QSize CLeftDlg::sizeHint() const
{
    return ScaledSize(PanelGeometry::DialogSize(), m_fZoom);
}

QSize CLeftDlg::minimumSizeHint() const
{
    return ScaledSize(QSize(PanelGeometry::kSkinSize.width(), PanelGeometry::DialogSize().height()), m_fZoom);
}

void CLeftDlg::SetZoom(double zoom)
{
    zoom = qBound(kMinZoom, zoom, kMaxZoom);
    if (qFuzzyCompare(zoom, m_fZoom))
        return;
    m_fZoom = zoom;
    for (CMeterBtn* k : m_pKeys)
        k->SetScale(zoom);
    resize(sizeHint());
    if (m_pStoreSlots)
        m_pStoreSlots->setGeometry(ScaledFrame());
    updateGeometry();
    update();
}

QRect CLeftDlg::ScaledFrame() const
{
    const QRect f = DisplayFrameRect();
    const QPoint at(int(std::lround(f.x() * m_fZoom)), int(std::lround(f.y() * m_fZoom)));
    return QRect(at, ScaledSize(f.size(), m_fZoom));
}

CMeterBtn* CLeftDlg::Key(int controlId) const
{
    for (CMeterBtn* k : m_pKeys) {
        if (k->ControlId() == controlId)
            return k;
    }
    return nullptr;
}

void CLeftDlg::SetStoreSlotWindow(QWidget* window)
{
    m_pStoreSlots = window;
    if (!window)
        return;
    window->setParent(this);
    window->setGeometry(ScaledFrame());
}

void CLeftDlg::HideStoreSlotWindow()
{
    if (m_pStoreSlots)
        m_pStoreSlots->hide();
}

void CLeftDlg::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_pStoreSlots)
        m_pStoreSlots->setGeometry(ScaledFrame());
}

void CLeftDlg::FixRunDate()
{
    // A MAX/MIN or PEAK run needs a calendar date; an unset meter clock counts as the first of
    // January (the main window tells the user once per frame).
    if (m_MeterData.m_byMonth == 0 || m_MeterData.m_byDay == 0) {
        m_MeterData.m_byMonth = 1;
        m_MeterData.m_byDay = 1;
    }
}

void CLeftDlg::Draw(int mode, const QString& unit, float value, int decimals)
{
    const LcdLayout layout(m_MeterData, DisplayFrameRect().size(), Measure());
    switch (mode) {
    case 1:
        HideStoreSlotWindow();
        m_scene = layout.Normal(unit, value, decimals);
        break;
    case 2:
        FixRunDate();
        m_scene = layout.MinMax(unit, value, decimals);
        break;
    case 3:
        m_scene = layout.Relative(unit, value, decimals);
        break;
    case 4:
        FixRunDate();
        m_scene = layout.Peak(unit, value, decimals);
        break;
    case 5:
        m_scene = layout.DualDisplay(unit, value, decimals);
        break;
    case 6:
        m_scene = layout.AuxReading(unit, value, decimals);
        break;
    case 7:
        m_scene = layout.Frequency(unit, value);
        break;
    default:
        return;
    }
    update();
}

void CLeftDlg::DrawNormal(QString unit, float value, int decimals)
{
    Draw(1, unit, value, decimals);
}
void CLeftDlg::DrawMinMax(QString unit, float value, int decimals)
{
    Draw(2, unit, value, decimals);
}
void CLeftDlg::DrawRelative(QString unit, float value, int decimals)
{
    Draw(3, unit, value, decimals);
}
void CLeftDlg::DrawPeak(QString unit, float value, int decimals)
{
    Draw(4, unit, value, decimals);
}
void CLeftDlg::DrawDualDisplay(QString unit, float value, int decimals)
{
    Draw(5, unit, value, decimals);
}
void CLeftDlg::DrawAuxReading(QString unit, float value, int decimals)
{
    Draw(6, unit, value, decimals);
}
void CLeftDlg::DrawFrequency(QString unit, float value)
{
    Draw(7, unit, value, 0);
}

void CLeftDlg::Blank()
{
    m_nDisplayMode = kModeNoRecv;
    m_nDialPos = 0;
    update();
}

void CLeftDlg::SetDialPos(int pos)
{
    if (pos < 0 || pos > kDialOscilloscope || pos == m_nDialPos)
        return;
    const bool leftOscilloscope = m_nDialPos == kDialOscilloscope;
    m_nDialPos = pos;
    if (leftOscilloscope)
        emit closeOscWindowRequested();
    update();
}

void CLeftDlg::SetAlarm(bool on)
{
    if (on == m_bAlarm)
        return;
    m_bAlarm = on;
    update();
}

void CLeftDlg::SetDisplayMode(int mode)
{
    m_nDisplayMode = mode;
    update();
}

void CLeftDlg::OnMeterEvent(const MeterEvent& event)
{
    if (event.m_nMode < 1 || event.m_nMode > 7)
        return;
    m_MeterData = event.m_data;
    SetDialPos(event.m_nDialPos);
    const MeterData& d = m_MeterData;
    Draw(event.m_nMode, d.m_strUnit, d.m_fValue, d.m_nDecimals);
    m_nDisplayMode = event.m_nMode;
    if (event.m_bDateWarning)
        emit dateWarningDue();
}

void CLeftDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgb(LcdColor::Panel));
    // Everything is drawn in the panel's own pixels and scaled as a whole with the zoom.
    p.scale(m_fZoom, m_fZoom);
    const QRect frame = DisplayFrameRect();
    LcdArtwork::DrawSkin(p, frame);
    // The rotary switch under the keys shows the dial position the meter reports.
    const int position = qBound(0, m_nDialPos, PanelGeometry::kDialTileCount - 1);
    LcdArtwork::DrawRotarySwitch(p, position, QRectF(PanelGeometry::kSwitchArea));

    // A live mode is drawn again from the stored unit, value and decimals, so covering and
    // uncovering the pane restores the last reading exactly.
    if (m_nDisplayMode >= 1 && m_nDisplayMode <= 7)
        HideStoreSlotWindow();
    m_scene = LcdLayout(m_MeterData, frame.size(), Measure()).ForMode(m_nDisplayMode);
    if (m_bAlarm) {
        // Outside the display frame, so not one segment of the reading is covered.
        p.setPen(QPen(AlarmColor(), 6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(frame).adjusted(-6, -6, 6, 6), 6, 6);
    }
    p.translate(frame.topLeft());
    LcdPainter::Render(p, m_scene);
    if (m_bAlarm) {
        p.resetTransform();
        p.setPen(QPen(AlarmColor(), 8));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(4, 4, -4, -4));
    }
}

QMenu* CLeftDlg::CreateFunctionMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    auto add = [menu](const QString& text, int code) {
        QAction* a = menu->addAction(text);
        a->setData(code);
    };
    add(LcdText::FunctionMenuWord(m_nDialPos), MeterKeys::kCodeFunction1);
    add(QStringLiteral("REL"), MeterKeys::kCodeRel);
    add(QStringLiteral("PEAK"), MeterKeys::kCodePeak);
    return menu;
}

int CLeftDlg::ShowFunctionMenu()
{
    QMenu* menu = CreateFunctionMenu(this);
    const CMeterBtn* f1 = Key(MeterKeys::kF1);
    const QPoint at = f1->mapToGlobal(QPoint(0, f1->height()));
    QAction* chosen = menu->exec(at);
    const int code = chosen ? chosen->data().toInt() : 0;
    menu->deleteLater();
    if (code != 0)
        emit keyCode(code);
    return code;
}
