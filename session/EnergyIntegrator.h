#pragma once
// Power, energy and charge from a voltage meter and a current meter that read at their own
// times. Each new reading of either meter makes a power point (the newest voltage times the
// newest current) and the energy and charge grow by the trapezoid between this point and the one
// before. A gap in either meter's readings (longer than the allowed gap, a lost link, an over-range
// reading) is not bridged: the integration stops there, counts the gap, and starts again once both
// meters read again.

class CEnergyIntegrator {
public:
    // maxGapSeconds: the longest time between two readings of one meter, or between two power
    // points, that is still integrated across.
    explicit CEnergyIntegrator(double maxGapSeconds = 4.0) : m_maxGap(maxGapSeconds) { }

    // Readings in V and A; seconds on one clock shared by both meters (the computer's). A
    // reading that is not a number (over range) counts as a gap in that meter's readings.
    void AddVoltage(double seconds, double volts);
    void AddCurrent(double seconds, double amps);
    // A meter's link was lost: what comes after is not joined to what came before.
    void Interrupt();
    void Reset();

    // Both meters have read since the last gap: Power() is the newest power point.
    bool HasPower() const { return m_bHavePoint; }
    double Power() const { return m_power; } // W
    double EnergyWh() const { return m_energyWs / 3600.0; }
    double ChargeAh() const { return m_chargeAs / 3600.0; }
    // Seconds integrated, and gaps met (each stopped the integration once).
    double IntegratedSeconds() const { return m_integrated; }
    int GapCount() const { return m_nGaps; }
    // The last reading made a gap (the integration stopped there).
    bool Stopped() const { return m_bStopped; }

private:
    struct Sample {
        bool valid = false;
        double t = 0;
        double value = 0;
    };
    void Add(Sample& mine, double seconds, double value);
    void Gap();

    double m_maxGap;
    Sample m_volts, m_amps;
    bool m_bHavePoint = false; // a power point since the last gap
    double m_t0 = 0, m_power = 0, m_current = 0; // the last power point
    double m_energyWs = 0, m_chargeAs = 0, m_integrated = 0;
    int m_nGaps = 0;
    bool m_bStopped = false;
};
