#include "datalog/ColorSetting.h"

#include "datalog/GraphDlg.h"
#include "datalog/GraphPainter.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

CColorSetting::ColorChooser& colorChooser()
{
    static CColorSetting::ColorChooser c;
    return c;
}

// A swatch painted in its colour; the line sample draws a 2-pixel line across its middle.
class CSwatch : public QWidget {
public:
    CSwatch(bool line, QWidget* parent)
        : QWidget(parent)
        , m_bLine(line)
    {
        setFixedSize(48, 18);
    }
    QColor m_color;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_bLine ? palette().color(QPalette::Base) : m_color);
        if (m_bLine)
            p.fillRect(QRect(2, height() / 2 - 1, width() - 4, 2), m_color);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    bool m_bLine;
};

uint32_t& colorOf(GraphColors& c, CColorSetting::ColorKind k)
{
    switch (k) {
    case CColorSetting::Background: return c.plotBack;
    case CColorSetting::Border: return c.border;
    case CColorSetting::Grid: return c.grid;
    case CColorSetting::Line: return c.line;
    default: return c.point;
    }
}

} // namespace

void CColorSetting::SetColorChooserForTesting(ColorChooser c) { colorChooser() = std::move(c); }

CColorSetting::CColorSetting(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    setObjectName(QStringLiteral("ColorSetting"));

    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;

    auto* colorBox = new QGroupBox(QStringLiteral("Color"), this);
    auto* grid = new QGridLayout(colorBox);
    static const char* const labels[5]
        = { "Background Color", "Border Color", "Grid Color", "Line Color", "Point Color" };
    for (int k = 0; k < 5; ++k) {
        grid->addWidget(new QLabel(QString::fromLatin1(labels[k]), colorBox), k, 0);
        m_pSwatch[k] = new CSwatch(k == Line, colorBox);
        grid->addWidget(m_pSwatch[k], k, 1);
        auto* pick = new QPushButton(QStringLiteral("..."), colorBox);
        pick->setFixedWidth(32);
        connect(pick, &QPushButton::clicked, this, [this, k] { ChooseColor(ColorKind(k)); });
        grid->addWidget(pick, k, 2);
    }
    left->addWidget(colorBox);
    m_pMask = new QCheckBox(QStringLiteral("Show Points"), this);
    m_pMask->setToolTip(QStringLiteral("Draw a marker on every reading"));
    left->addWidget(m_pMask);

    auto* scaleBox = new QGroupBox(QStringLiteral("Y Scale"), this);
    auto* sg = new QGridLayout(scaleBox);
    m_pManual = new QRadioButton(QStringLiteral("Manual"), scaleBox);
    m_pAuto = new QRadioButton(QStringLiteral("Auto"), scaleBox);
    sg->addWidget(m_pManual, 0, 0);
    sg->addWidget(m_pAuto, 0, 1);
    sg->addWidget(new QLabel(QStringLiteral("Maximum"), scaleBox), 1, 0);
    m_pMax = new QLineEdit(scaleBox);
    sg->addWidget(m_pMax, 1, 1);
    sg->addWidget(new QLabel(QStringLiteral("Minimum"), scaleBox), 2, 0);
    m_pMin = new QLineEdit(scaleBox);
    sg->addWidget(m_pMin, 2, 1);
    left->addWidget(scaleBox);
    left->addStretch();
    top->addLayout(left);

    m_pPreview = new CGraphDlg(this);
    m_pPreview->setObjectName(QStringLiteral("preview"));
    m_pPreview->setEnabled(false);
    m_pPreview->setFixedSize(340, 300);
    top->addWidget(m_pPreview, 1);
    outer->addLayout(top, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CColorSetting::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CColorSetting::reject);
    outer->addWidget(buttons);

    connect(m_pManual, &QRadioButton::toggled, this, &CColorSetting::UpdateScaleControls);
    connect(m_pAuto, &QRadioButton::toggled, this, &CColorSetting::UpdateScaleControls);
    m_pAuto->setChecked(true);
    m_pMax->setText(QString::number(m_dMax));
    m_pMin->setText(QString::number(m_dMin));
    m_pMask->setChecked(m_bMaskPoints);
    UpdateSwatches();
    resize(DialogUnits::toPixels(QSize(306, 284)).expandedTo(sizeHint()));
}

void CColorSetting::FillFrom(const CGraphDlg& graph, bool autoScale, double manualMax, double manualMin)
{
    m_colors = graph.m_colors;
    m_bMaskPoints = graph.m_bMaskPoints;
    m_bAutoScale = autoScale;
    m_dMax = manualMax;
    m_dMin = manualMin;
    for (int i = 0; i < 3; ++i) {
        const GraphAxisState& from = graph.Model().State(i);
        GraphAxisState& to = m_pPreview->Model().State(i);
        to.m_dYMax = from.m_dYMax;
        to.m_dYMinHome = to.m_dYMin = from.m_dYMinHome;
    }
    m_pPreview->Model().ResetZoom();
    m_pMask->setChecked(m_bMaskPoints);
    (autoScale ? m_pAuto : m_pManual)->setChecked(true);
    m_pMax->setText(QString::number(manualMax));
    m_pMin->setText(QString::number(manualMin));
    UpdateScaleControls();
    UpdateSwatches();
}

void CColorSetting::ApplyTo(CGraphDlg& graph) const
{
    graph.m_colors = m_colors;
    graph.m_bMaskPoints = m_bMaskPoints;
    graph.Invalidate();
}

void CColorSetting::ChooseColor(ColorKind kind)
{
    uint32_t& c = colorOf(m_colors, kind);
    const QColor initial = GraphPainter::ToColor(c);
    const QColor chosen
        = colorChooser() ? colorChooser()(initial, this) : QColorDialog::getColor(initial, this);
    if (!chosen.isValid())
        return;
    c = GraphPainter::FromColor(chosen);
    UpdateSwatches();
}

void CColorSetting::UpdateSwatches()
{
    for (int k = 0; k < 5; ++k) {
        static_cast<CSwatch*>(m_pSwatch[k])->m_color = GraphPainter::ToColor(colorOf(m_colors, ColorKind(k)));
        m_pSwatch[k]->update();
    }
    m_pPreview->m_colors = m_colors;
    m_pPreview->Invalidate();
}

void CColorSetting::UpdateScaleControls()
{
    const bool manual = m_pManual->isChecked();
    m_pMax->setEnabled(manual);
    m_pMin->setEnabled(manual);
    m_bAutoScale = !manual;
}

bool CColorSetting::ReadNumber(QLineEdit* edit, const QString& field, double& out)
{
    // A decimal point or the user's own decimal separator.
    const QString text = edit->text().trimmed();
    bool ok = false;
    double v = text.toDouble(&ok);
    if (!ok)
        v = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(v)) {
        msgbox::Show(this, QStringLiteral("%1: enter a number, such as 5 or 0.25.").arg(field), QStringLiteral("Tip"),
            msgbox::Warning);
        edit->setFocus();
        return false;
    }
    if (v < -kLimit || v > kLimit) {
        msgbox::Show(this, QStringLiteral("%1: enter a number between %2 and %3.").arg(field).arg(-kLimit).arg(kLimit),
            QStringLiteral("Tip"), msgbox::Warning);
        edit->setFocus();
        return false;
    }
    out = v;
    return true;
}

bool CColorSetting::Validate()
{
    m_bMaskPoints = m_pMask->isChecked();
    m_bAutoScale = !m_pManual->isChecked();
    double max = 0, min = 0;
    if (!ReadNumber(m_pMax, QStringLiteral("Maximum"), max) || !ReadNumber(m_pMin, QStringLiteral("Minimum"), min))
        return false;
    m_dMax = max;
    m_dMin = min;
    if (m_dMax > m_dMin)
        return true;
    msgbox::Show(this, QStringLiteral("The Maxinum should large than the Mininum"), QStringLiteral("Tip"));
    return false;
}

void CColorSetting::accept()
{
    if (Validate())
        QDialog::accept();
}
