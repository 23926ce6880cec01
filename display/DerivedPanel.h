#pragma once
// The small panel of the derived readings: power (W), energy (Wh) and charge (Ah) from a meter
// on DC volts and another on DC amps, and a line that names the pair or says why the
// integration stopped.
#include "session/DerivedReadings.h"

#include <QFrame>

class QLabel;

class CDerivedPanel : public QFrame {
    Q_OBJECT
public:
    explicit CDerivedPanel(QWidget* parent = nullptr);

    // The texts shown now: power, energy, charge, status.
    QStringList Texts() const;

public slots:
    void OnUpdate(const DerivedState& state);

private:
    QLabel* m_pPower;
    QLabel* m_pEnergy;
    QLabel* m_pCharge;
    QLabel* m_pStatus;
};
