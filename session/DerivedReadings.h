#pragma once
// Power, energy and charge from the session's meters: when one meter reads DC volts and another
// DC amperes, their readings (scaled to V and A) go into a CEnergyIntegrator on the computer's
// clock. The pair is the lowest-numbered meter on volts and the lowest-numbered one on amperes;
// another pair starts the totals afresh. A gap in either meter's readings (silence, over range,
// a lost link, a meter leaving its DC unit) stops the integration and says whose readings had it.
// Core code: readings arrive on one thread (the GUI thread in the window).
#include "session/EnergyIntegrator.h"
#include "session/LiveReading.h"

#include <QDateTime>
#include <QObject>
#include <map>

struct DerivedState {
    int voltsMeter = -1; // the pair (0-based meters); -1: no meter for it
    int ampsMeter = -1;
    bool hasPower = false; // both meters have read since the last gap
    double power = 0; // W, the newest power point
    double energyWh = 0;
    double chargeAh = 0;
    bool stopped = false; // the integration stopped at a gap and has not started again
    int gapMeter = -1; // whose readings had the last gap
    int gaps = 0;
    QDateTime time; // the reading that made this state
    bool Paired() const { return voltsMeter >= 0 && ampsMeter >= 0; }
};

namespace derived_text {
// "12.345 W", "0.0123 Wh", "0.0010 Ah"; "--" while there is nothing to show.
QString Power(const DerivedState& s);
QString Energy(const DerivedState& s);
QString Charge(const DerivedState& s);
// What the panel says about the integration: the pair, why there is none, or the gap.
QString Status(const DerivedState& s);
// "integration stopped: gap in meter 2's readings" (meters counted from 1).
QString GapText(int meter);
} // namespace derived_text

class CDerivedReadings : public QObject {
    Q_OBJECT
public:
    explicit CDerivedReadings(double maxGapSeconds = 4.0, QObject* parent = nullptr);

    const DerivedState& State() const { return m_state; }

public slots:
    void OnReading(const LiveReading& reading);
    // The meter's link was lost or closed: what it reads next is not joined to what it read.
    void OnMeterGone(int meter);

signals:
    // After every reading of a meter of the pair, and whenever the pair forms or breaks.
    void updated(const DerivedState& state);

private:
    void Publish(const QDateTime& time);
    // One reading of a meter of the pair into the integrator, noting whose gap stopped it.
    void Feed(const LiveReading& reading, bool isVolts);

    CEnergyIntegrator m_integrator;
    double m_maxGap;
    std::map<int, DcQuantity> m_quantity; // what each meter reads now
    std::map<int, double> m_lastSeconds; // when each meter of the pair last read
    std::map<int, LiveReading> m_lastReading; // each meter's last reading
    int m_integratedVolts = -1, m_integratedAmps = -1; // the pair the totals belong to
    DerivedState m_state;
};

Q_DECLARE_METATYPE(DerivedState)
