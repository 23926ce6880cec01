#pragma once
// The longest readings of every display mode, and a check that nothing in a scene runs into
// anything else or out of the display frame. Shared by the layout test (fixed-width measure)
// and the panel test (the real fonts).
#include "Readings.h"
#include "display/LcdLayout.h"

#include <QStringList>
#include <QVector>

struct CrowdedReading {
    const char* name;
    int mode;
    MeterData record;
};

inline MeterStat LongStat(float value, const char* unit, int decimals)
{
    MeterStat s;
    s.m_fValue = value;
    s.m_strUnit = QString::fromUtf8(unit);
    s.m_nDecimals = decimals;
    s.m_strTime = QStringLiteral("23:59:59");
    return s;
}

inline QVector<CrowdedReading> LongestReadings()
{
    QVector<CrowdedReading> out;
    auto add = [&](const char* name, int mode, MeterData d, bool hold = true) {
        d.m_bHold = hold;
        d.m_b24Hour = false;
        d.m_byHour = 23;
        out.push_back({ name, mode, d });
    };
    for (bool hold : { false, true }) {
        add("normal uADC", 1, Reading("uADC", "uADC", -4999.9f, 1, 5000.0f), hold);
        MeterData lowPass = Reading("VAC", "VAC", 999.9f, 1, 1000.0f);
        lowPass.m_bSubMode = true;
        add("normal VAC low-pass", 1, lowPass, hold);
        add("normal mVDC", 1, Reading("mVDC", "mVDC", -599.99f, 2, 600.0f), hold);
        add("normal mAAC", 1, Reading("mAAC", "mAAC", 599.99f, 2, 600.0f), hold);
        add("normal ADC", 1, Reading("ADC", "ADC", -9.999f, 3, 10.0f), hold);
        add("normal Vdc+ac", 1, Reading("VDC", "Vdc+ac", -5.9999f, 4, 6.0f), hold);

        for (const char* unit : { "mVAC", "VDC", "uADC" }) {
            MeterData mm = Reading(unit, unit, -599.99f, 2, 600.0f);
            mm.m_statMax = LongStat(-599.99f, unit, 2);
            mm.m_statMin = LongStat(-599.99f, unit, 2);
            mm.m_statAvg = LongStat(-599.99f, unit, 2);
            mm.m_byElapsedH = 99;
            add("minmax", 2, mm, hold);
            MeterData fine = mm;
            fine.m_nDecimals = 5;
            fine.m_fValue = -5.99999f;
            for (MeterStat* st : { &fine.m_statMax, &fine.m_statMin, &fine.m_statAvg }) {
                st->m_fValue = -5.99999f;
                st->m_nDecimals = 5;
            }
            add("minmax 5 decimals", 2, fine, hold);
            MeterData peak = mm;
            peak.m_statMax.m_fValue = 848.53f;
            peak.m_statMin.m_fValue = -848.53f;
            peak.m_strStart = QStringLiteral("12/05/26 11:07:33 pm");
            add("peak", 4, peak, hold);
            MeterData crest = peak;
            crest.m_bSubMode = true;
            crest.m_fValue = 599.99f;
            add("crest factor", 4, crest, hold);
        }

        MeterData rel = Reading("mVDC", "mVDC", -599.99f, 2, 600.0f);
        rel.m_fReference = 599.99f;
        rel.m_fRelValue = -599.99f;
        add("relative mVDC", 3, rel, hold);
        MeterData pct = rel;
        pct.m_bSubMode = true;
        pct.m_fReference = 0.01f; // a tiny reference makes a huge percentage
        pct.m_fRelValue = -99.99f;
        add("relative percent", 3, pct, hold);
        MeterData pct100 = rel;
        pct100.m_bSubMode = true;
        pct100.m_fReference = 599.99f;
        pct100.m_fRelValue = -599.99f;
        add("relative -100%", 3, pct100, hold);
        MeterData relAc = Reading("VAC", "VAC", 999.9f, 1, 1000.0f);
        relAc.m_fReference = 999.9f;
        relAc.m_fRelValue = -999.9f;
        add("relative VAC", 3, relAc, hold);
        MeterData temp = Reading("TEMP", "\u2109", -999.9f, 1, 1800.0f);
        temp.m_fReference = 1799.9f;
        temp.m_fRelValue = -1799.9f;
        add("relative degrees F", 3, temp, hold);

        MeterData apart = Reading("DC+AC(mV)", "mVDC", -599.99f, 2, 600.0f);
        apart.m_nSubKind = 3;
        apart.m_fAltValue = -599.99f;
        apart.m_fSubValue = 599.99f;
        apart.m_strSubUnit = QStringLiteral("mVAC");
        add("dc+ac apart", 5, apart, hold);
        MeterData combined = Reading("DC+AC(mA)", "dc+ac", -599.999f, 2, 600.0f);
        combined.m_nSubKind = 2;
        add("dc+ac combined", 5, combined, hold);

        MeterData dual = Reading("VAC", "VAC", 999.9f, 1, 1000.0f);
        dual.m_fAux = 99.99f;
        dual.m_strAux = QStringLiteral("KHZ ");
        add("dual ac", 6, dual, hold);

        MeterData freq = Reading("HZ", "MHZ", 9999.99f, 2, 6.0f);
        freq.m_fDuty = 99.99f;
        add("frequency duty", 7, freq, hold);
        MeterData width = Reading("HZ", "HZ", 0.0101f, 2, 6.0f);
        width.m_bSubMode = true;
        width.m_fDuty = 99.99f;
        add("frequency pulse width", 7, width, hold);
    }
    MeterData osc = Reading("OSC", "OSC", 0.0f, 0, 0.0f);
    add("oscilloscope", 10, osc, false);
    return out;
}

// Pairs of items that overlap, and items that leave the frame, as readable lines. Lines and the
// bar itself are drawn through the scale on purpose and are left out; a box and the text on it
// belong together.
inline QStringList Crowding(const LcdScene& s)
{
    auto counts = [](const LcdItem& it) {
        if (it.kind == LcdItem::Kind::Line)
            return false;
        return it.role != LcdRole::Background && it.role != LcdRole::Bar;
    };
    auto describe = [](const LcdItem& it) {
        const QRect& r = it.rect;
        const QString what = it.kind == LcdItem::Kind::Text ? QStringLiteral("\"%1\"").arg(it.text)
                                                             : QStringLiteral("picture %1").arg(int(it.picture));
        return QStringLiteral("%1 at (%2,%3 %4x%5)").arg(what).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QStringList problems;
    const QRect frame(QPoint(0, 0), s.frame);
    for (int i = 0; i < s.items.size(); ++i) {
        const LcdItem& a = s.items[i];
        if (!counts(a))
            continue;
        if (!frame.contains(a.rect))
            problems << describe(a) + QStringLiteral(" leaves the frame");
        for (int j = i + 1; j < s.items.size(); ++j) {
            const LcdItem& b = s.items[j];
            if (!counts(b) || a.rect == b.rect)
                continue;
            if (a.rect.intersects(b.rect))
                problems << describe(a) + QStringLiteral(" overlaps ") + describe(b);
        }
    }
    return problems;
}
