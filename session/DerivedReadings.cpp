#include "session/DerivedReadings.h"

#include <cmath>

namespace derived_text {

QString Power(const DerivedState& s)
{
    return s.hasPower ? QString::asprintf("%.3f W", s.power) : QStringLiteral("-- W");
}

QString Energy(const DerivedState& s)
{
    return s.Paired() || s.gaps > 0 || s.energyWh != 0 ? QString::asprintf("%.4f Wh", s.energyWh)
                                                       : QStringLiteral("-- Wh");
}

QString Charge(const DerivedState& s)
{
    return s.Paired() || s.gaps > 0 || s.chargeAh != 0 ? QString::asprintf("%.4f Ah", s.chargeAh)
                                                       : QStringLiteral("-- Ah");
}

QString GapText(int meter)
{
    return QStringLiteral("integration stopped: gap in meter %1's readings").arg(meter + 1);
}

QString Status(const DerivedState& s)
{
    if (s.stopped && s.gapMeter >= 0)
        return GapText(s.gapMeter);
    if (!s.Paired())
        return QStringLiteral("needs one meter on DC volts and another on DC amps");
    return QStringLiteral("meter %1 (V) \u00d7 meter %2 (A)").arg(s.voltsMeter + 1).arg(s.ampsMeter + 1);
}

} // namespace derived_text

CDerivedReadings::CDerivedReadings(double maxGapSeconds, QObject* parent)
    : QObject(parent)
    , m_integrator(maxGapSeconds)
    , m_maxGap(maxGapSeconds)
{
    qRegisterMetaType<DerivedState>();
}

void CDerivedReadings::Publish(const QDateTime& time)
{
    m_state.hasPower = m_integrator.HasPower();
    m_state.power = m_integrator.Power();
    m_state.energyWh = m_integrator.EnergyWh();
    m_state.chargeAh = m_integrator.ChargeAh();
    m_state.gaps = m_integrator.GapCount();
    if (m_state.hasPower)
        m_state.stopped = false;
    m_state.time = time;
    emit updated(m_state);
}

void CDerivedReadings::OnReading(const LiveReading& r)
{
    if (!r.time.isValid())
        return;
    const DcUnit dc = DcUnitOf(r.unit);
    m_quantity[r.meter] = dc.quantity;

    int volts = -1, amps = -1;
    for (const auto& [meter, quantity] : m_quantity) {
        if (quantity == DcQuantity::Volts && volts < 0)
            volts = meter;
        else if (quantity == DcQuantity::Amperes && amps < 0)
            amps = meter;
    }
    const bool wasPaired = m_state.Paired();
    const bool pairChanged = volts != m_state.voltsMeter || amps != m_state.ampsMeter;
    m_state.voltsMeter = volts;
    m_state.ampsMeter = amps;
    if (pairChanged && wasPaired) {
        // The pair broke (a meter left its DC unit): a gap in that meter's readings.
        const bool wasIntegrating = m_integrator.HasPower();
        m_integrator.Interrupt();
        m_lastSeconds.clear();
        if (wasIntegrating) {
            m_state.stopped = true;
            m_state.gapMeter = r.meter;
        }
    }
    if (m_state.Paired() && (volts != m_integratedVolts || amps != m_integratedAmps)) {
        // Other meters: their power is another quantity, so the totals start again.
        m_integrator.Reset();
        m_lastSeconds.clear();
        m_integratedVolts = volts;
        m_integratedAmps = amps;
        m_state.stopped = false;
        m_state.gapMeter = -1;
    }
    const bool inPair = m_state.Paired() && (r.meter == volts || r.meter == amps);
    if (!inPair) {
        m_lastReading[r.meter] = r;
        if (pairChanged)
            Publish(r.time);
        return;
    }
    if (pairChanged) {
        // The partner read before the pair formed: its last reading is where the pair begins
        // (one that is too old is a gap the integrator finds itself).
        const int partner = r.meter == volts ? amps : volts;
        const auto it = m_lastReading.find(partner);
        if (it != m_lastReading.end() && DcUnitOf(it->second.unit).quantity == m_quantity[partner])
            Feed(it->second, it->second.meter == volts);
    }
    m_lastReading[r.meter] = r;
    Feed(r, r.meter == volts);
    Publish(r.time);
}

void CDerivedReadings::Feed(const LiveReading& r, bool isVolts)
{
    const int volts = m_state.voltsMeter, amps = m_state.ampsMeter;
    const DcUnit dc = DcUnitOf(r.unit);
    const double seconds = r.time.toMSecsSinceEpoch() / 1000.0;
    const double value = r.value * dc.toBase;
    const auto mine = m_lastSeconds.find(r.meter);
    const bool ownGap = !std::isfinite(value) || (mine != m_lastSeconds.end() && seconds - mine->second > m_maxGap);
    m_lastSeconds[r.meter] = seconds;
    if (isVolts)
        m_integrator.AddVoltage(seconds, value);
    else
        m_integrator.AddCurrent(seconds, value);
    if (m_integrator.Stopped()) {
        m_state.stopped = true;
        m_state.gapMeter = ownGap ? r.meter : (isVolts ? amps : volts);
    }
}

void CDerivedReadings::OnMeterGone(int meter)
{
    if (!m_state.Paired() || (meter != m_state.voltsMeter && meter != m_state.ampsMeter))
        return;
    const bool wasIntegrating = m_integrator.HasPower();
    m_integrator.Interrupt();
    m_lastSeconds.erase(meter);
    if (wasIntegrating) {
        m_state.stopped = true;
        m_state.gapMeter = meter;
        Publish(QDateTime::currentDateTime());
    }
}
