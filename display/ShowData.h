#pragma once
// The yellow info box of one data point: number, time, value, unit and type in five read-only
// boxes. The trend graph creates it, fills it for the point under the cursor and shows it.
#include "datalog/PointBox.h"

class QLineEdit;

class CShowData : public CPointBox {
    Q_OBJECT
public:
    explicit CShowData(QWidget* parent = nullptr);

    // "%d" of the number, the time, "%.4f" of the value ("OL" for exactly +-500000.0), the unit
    // and the type.
    void SetData(int number, const QString& timeText, double value, const QString& unitText,
        const QString& typeText) override;

    QString NumberText() const { return m_strNum; }
    QString TimeText() const { return m_strTime; }
    QString ValueText() const { return m_strValue; }
    QString UnitText() const { return m_strUnit; }
    QString TypeText() const { return m_strType; }

    QSize sizeHint() const override;

private:
    QString m_strNum;
    QString m_strTime;
    QString m_strValue;
    QString m_strUnit;
    QString m_strType;
    QLineEdit* m_pEdits[5] = {};
};
