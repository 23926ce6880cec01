#include "display/DerivedPanel.h"

#include <QGridLayout>
#include <QLabel>

CDerivedPanel::CDerivedPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("derivedPanel"));
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    auto row = [this, grid, &big](int at, const QString& name, const QString& objectName) {
        auto* caption = new QLabel(name, this);
        auto* value = new QLabel(this);
        value->setObjectName(objectName);
        value->setFont(big);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(caption, at, 0);
        grid->addWidget(value, at, 1);
        return value;
    };
    m_pPower = row(0, QStringLiteral("Power"), QStringLiteral("power"));
    m_pEnergy = row(1, QStringLiteral("Energy"), QStringLiteral("energy"));
    m_pCharge = row(2, QStringLiteral("Charge"), QStringLiteral("charge"));
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("derivedStatus"));
    m_pStatus->setWordWrap(true);
    grid->addWidget(m_pStatus, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    OnUpdate(DerivedState());
}

void CDerivedPanel::OnUpdate(const DerivedState& state)
{
    m_pPower->setText(derived_text::Power(state));
    m_pEnergy->setText(derived_text::Energy(state));
    m_pCharge->setText(derived_text::Charge(state));
    m_pStatus->setText(derived_text::Status(state));
    // A stopped integration is said in red, so it is not taken for a running one.
    m_pStatus->setStyleSheet(state.stopped ? QStringLiteral("color: rgb(200, 0, 0)") : QString());
}

QStringList CDerivedPanel::Texts() const
{
    return { m_pPower->text(), m_pEnergy->text(), m_pCharge->text(), m_pStatus->text() };
}
