#include "display/UnitTable.h"

const QString g_astrUnitNames[kUnitCount] = {
    QStringLiteral("VDC"), // 0
    QStringLiteral("mVDC"),
    QStringLiteral("ADC"),
    QStringLiteral("mADC"),
    QStringLiteral("uADC"),
    QStringLiteral("VAC"), // 5
    QStringLiteral("VAC"), // low-pass legend
    QStringLiteral("mVAC"),
    QStringLiteral("Vdc+ac"),
    QStringLiteral("mVdc+ac"),
    QStringLiteral("uVdc+ac"), // 10
    QStringLiteral("Adc+ac"),
    QStringLiteral("mAdc+ac"),
    QStringLiteral("uAdc+ac"),
    QStringLiteral("mF"),
    QStringLiteral("uF"), // 15
    QStringLiteral("nF"),
    QStringLiteral("AAC"),
    QStringLiteral("mAAC"),
    QStringLiteral("uAAC"),
    QStringLiteral(u"M\u03A9"), // 20
    QStringLiteral(u"K\u03A9"),
    QStringLiteral(u"\u03A9"),
    QStringLiteral("V"), // diode legend
    QStringLiteral("MHZ"),
    QStringLiteral("MHZ"), // 25
    QStringLiteral("KHZ"),
    QStringLiteral("KHZ"),
    QStringLiteral("HZ"),
    QStringLiteral("HZ"),
    QStringLiteral(u"\u2109"), // 30
    QStringLiteral(u"\u2103"),
    QStringLiteral("A"),
    QStringLiteral("mA"),
    QStringLiteral("uA"),
    QStringLiteral("V"), // 35, plain V
    QStringLiteral("mV"),
    QStringLiteral("VD"),
};

int UnitIndex(const QString& unit)
{
    for (int i = 0; i < kUnitCount; ++i) {
        if (g_astrUnitNames[i] == unit)
            return i;
    }
    return -1;
}

int UnitLegendWidth(int index)
{
    // The prefixed legends and those carrying a second mark need the wider picture.
    switch (index) {
    case 1: // mVDC
    case 3: // mADC
    case 4: // uADC
    case 6: // VAC with the low-pass mark
    case 7: // mVAC
    case 9: // mV AC+DC
    case 10: // uV AC+DC
    case 12: // mA AC+DC
    case 13: // uA AC+DC
    case 18: // mAAC
    case 19: // uAAC
        return 64;
    default:
        return 57;
    }
}
