#include "display/ShowData.h"

#include "display/LcdText.h"
#include "display/PanelGeometry.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

CShowData::CShowData(QWidget* parent)
    : CPointBox(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 202));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* form = new QFormLayout(this);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(1);
    form->setHorizontalSpacing(6);
    static const char* const kLabels[5] = { "Num:", "Time:", "Value:", "Unit:", "Type:" };
    QFont small = font();
    small.setPixelSize(11);
    for (int i = 0; i < 5; ++i) {
        m_pEdits[i] = new QLineEdit(this);
        m_pEdits[i]->setReadOnly(true);
        m_pEdits[i]->setFrame(false);
        m_pEdits[i]->setFont(small);
        m_pEdits[i]->setFixedHeight(19);
        auto* label = new QLabel(QString::fromLatin1(kLabels[i]), this);
        label->setFont(small);
        form->addRow(label, m_pEdits[i]);
    }
    resize(sizeHint());
}

QSize CShowData::sizeHint() const
{
    return PanelGeometry::ShowDataSize();
}

void CShowData::SetData(
    int number, const QString& timeText, double value, const QString& unitText, const QString& typeText)
{
    m_strNum = QString::asprintf("%d", number);
    m_strTime = timeText;
    m_strValue = LcdText::ShowDataValue(value);
    m_strUnit = unitText;
    m_strType = typeText;
    const QString* texts[5] = { &m_strNum, &m_strTime, &m_strValue, &m_strUnit, &m_strType };
    for (int i = 0; i < 5; ++i)
        m_pEdits[i]->setText(*texts[i]);
}
