#include "session/EnergyIntegrator.h"

#include <cmath>

void CEnergyIntegrator::AddVoltage(double seconds, double volts)
{
    Add(m_volts, seconds, volts);
}

void CEnergyIntegrator::AddCurrent(double seconds, double amps)
{
    Add(m_amps, seconds, amps);
}

void CEnergyIntegrator::Add(Sample& mine, double seconds, double value)
{
    m_bStopped = false;
    if (!std::isfinite(value)) {
        mine.valid = false;
        if (m_bHavePoint)
            Gap();
        return;
    }
    // This meter was silent too long: its previous reading is no base for a trapezoid.
    if (mine.valid && seconds - mine.t > m_maxGap && m_bHavePoint)
        Gap();
    mine = { true, seconds, value };
    Sample& other = (&mine == &m_volts) ? m_amps : m_volts;
    if (!other.valid)
        return;
    if (seconds - other.t > m_maxGap) {
        // The other meter has not read for too long: no power point now.
        if (m_bHavePoint)
            Gap();
        return;
    }
    const double power = m_volts.value * m_amps.value;
    const double current = m_amps.value;
    if (m_bHavePoint) {
        const double dt = seconds - m_t0;
        if (dt > m_maxGap) {
            Gap();
        } else if (dt > 0) {
            m_energyWs += (m_power + power) / 2 * dt;
            m_chargeAs += (m_current + current) / 2 * dt;
            m_integrated += dt;
        }
    }
    // Readings that arrive a little out of order (two meters, two links) keep the later time.
    if (!m_bHavePoint || seconds > m_t0)
        m_t0 = seconds;
    m_bHavePoint = true;
    m_power = power;
    m_current = current;
}

void CEnergyIntegrator::Gap()
{
    m_bHavePoint = false;
    m_bStopped = true;
    ++m_nGaps;
}

void CEnergyIntegrator::Interrupt()
{
    m_volts.valid = m_amps.valid = false;
    if (m_bHavePoint)
        Gap();
}

void CEnergyIntegrator::Reset()
{
    *this = CEnergyIntegrator(m_maxGap);
}
