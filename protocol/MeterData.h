#pragma once
// The reading record: what the meter's LCD shows at one moment, filled by the live decoders and
// read by the panel and the recording paths. Plain value types; copying copies every field.
#include <QString>
#include <cstdint>

struct MeterStat {
    float m_fValue = 0.0f;   // the reading, scaled to m_strUnit
    QString m_strUnit;       // normalised like the main unit
    int m_nDecimals = 0;     // digits after the decimal point
    QString m_strTime;       // "%.2x:%.2x:%.2x" of three BCD bytes

    bool operator==(const MeterStat& o) const
    {
        return m_fValue == o.m_fValue && m_strUnit == o.m_strUnit && m_nDecimals == o.m_nDecimals
            && m_strTime == o.m_strTime;
    }
};

struct MeterData {
    QString m_strFunction;   // function name (table, or fixed by the mode)
    bool m_bHold = false;    // status bit 0
    bool m_bAutoRange = true; // status bit 1, inverted
    float m_fLimit = 0.0f;   // over-range limit of the present range, scaled like m_fValue
    float m_fValue = 0.0f;   // main reading
    QString m_strUnit;       // main unit after normalisation
    int m_nDecimals = 0;
    MeterStat m_statMax;     // MAX or PEAK MAX
    MeterStat m_statMin;     // MIN or PEAK MIN
    MeterStat m_statAvg;     // AVERAGE or PEAK AVERAGE; its time is the elapsed time
    QString m_strStart;      // meter clock as text, PEAK frames
    float m_fReference = 0.0f; // REL reference
    float m_fRelValue = 0.0f;  // REL second value
    float m_fAltValue = 0.0f;  // DC part of DC+AC
    QString m_strAltUnit;
    float m_fSubValue = 0.0f;  // AC part of DC+AC
    QString m_strSubUnit;
    int m_nSubKind = 0;      // DC+AC: 2 combined, 3 apart
    float m_fAux = 0.0f;     // second reading of dual AC
    QString m_strAux;        // its unit, 4 characters as sent
    float m_fDuty = 0.0f;    // duty cycle, percent
    bool m_bSubMode = false;  // status bit 2
    bool m_bSubMode2 = false; // status bit 3
    bool m_bSubMode3 = false; // status bit 4 (frequency frames)
    uint8_t m_byYear = 0;    // 0..99 = 2000 + value
    uint8_t m_byMonth = 0;
    uint8_t m_byDay = 0;
    uint8_t m_byHour = 0;
    uint8_t m_byMinute = 0;
    uint8_t m_bySecond = 0;
    bool m_b24Hour = false;     // flags bit 0
    bool m_bMonthFirst = false; // flags bit 1
    uint8_t m_byElapsedH = 0;
    uint8_t m_byElapsedM = 0;
    uint8_t m_byElapsedS = 0;

    bool operator==(const MeterData& o) const;
    bool operator!=(const MeterData& o) const { return !(*this == o); }
};
