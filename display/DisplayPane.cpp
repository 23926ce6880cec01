#include "display/DisplayPane.h"

#include "display/LeftDlg.h"
#include "display/PanelGeometry.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

static int ScrollBarExtent()
{
    // Room kept for the vertical scroll bar, so that its coming and going never changes the fit.
    QScrollBar bar(Qt::Vertical);
    return bar.sizeHint().width();
}

CDisplayPane::CDisplayPane(CLeftDlg* panel, QWidget* parent)
    : QScrollArea(parent)
    , m_pPanel(panel)
{
    setObjectName(QStringLiteral("displayPane"));
    setWidget(panel);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setFrameShape(QFrame::NoFrame);
    Apply();
}

void CDisplayPane::SetZoomChoice(double choice)
{
    m_fChoice = choice;
    Apply();
}

double CDisplayPane::FitZoom() const
{
    // The whole meter, rotary switch included, without scrolling: as wide as the pane allows,
    // unless its height allows less.
    const int room = width() - 2 * frameWidth() - ScrollBarExtent();
    const int tall = height() - 2 * frameWidth();
    return std::min(double(room) / PanelGeometry::DialogSize().width(),
        double(tall) / PanelGeometry::DialogSize().height());
}

int CDisplayPane::WidthFor(double zoom)
{
    return int(std::ceil(PanelGeometry::DialogSize().width() * zoom)) + ScrollBarExtent() + 2;
}

void CDisplayPane::resizeEvent(QResizeEvent* e)
{
    QScrollArea::resizeEvent(e);
    if (m_fChoice == kFit)
        Apply();
}

void CDisplayPane::Apply()
{
    m_pPanel->SetZoom(m_fChoice == kFit ? FitZoom() : m_fChoice);
    m_pPanel->resize(m_pPanel->sizeHint());
}

QList<QAction*> CDisplayPane::AddZoomMenu(QMenu* menu)
{
    QMenu* zoom = menu->addMenu(QStringLiteral("Zoom display"));
    zoom->setObjectName(QStringLiteral("zoomMenu"));
    auto* group = new QActionGroup(zoom);
    const struct {
        const char* name;
        const char* text;
        double zoom;
    } choices[] = { { "zoom100", "100%", 1.0 }, { "zoom150", "150%", 1.5 }, { "zoom200", "200%", 2.0 },
        { "zoomFit", "Fit", kFit } };
    QList<QAction*> actions;
    for (const auto& c : choices) {
        QAction* a = zoom->addAction(QString::fromLatin1(c.text));
        a->setObjectName(QString::fromLatin1(c.name));
        a->setCheckable(true);
        a->setChecked(c.zoom == m_fChoice);
        group->addAction(a);
        const double z = c.zoom;
        connect(a, &QAction::triggered, this, [this, z] { emit zoomChosen(z); });
        actions << a;
    }
    return actions;
}
