// The simulated meter's decimal codes against the decoder: for every function in every display
// mode, the decimals the decoder reads are the ones the simulated display means, and the values
// it sends carry no more digits than those decimals (no "229.39999" from a code that did not fit
// its field).
#include "protocol/LiveDecoder.h"
#include "sim/SimMeter.h"

#include <QTest>
#include <cmath>

namespace {

std::string ToHex(const sim::Bytes& bytes)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// True when value is a whole number of steps of 10^-decimals (up to float precision).
bool FitsDecimals(float value, int decimals)
{
    const double scaled = double(value) * std::pow(10.0, decimals);
    const double tolerance = std::max(0.02, std::fabs(scaled) * 1e-6);
    return std::fabs(scaled - std::round(scaled)) <= tolerance;
}

struct Display {
    const char* name;
    uint8_t key; // pressed once from the normal display; 0 for none
};

} // namespace

class TestSimDecimals : public QObject {
    Q_OBJECT
private slots:
    void decimalCodesAgreeWithTheDecoderInEveryMode()
    {
        const Display displays[] = { { "normal", 0 }, { "minmax", sim::OpMax }, { "relative", sim::OpRel },
            { "peak", sim::OpPeak } };
        int checked = 0;
        for (const sim::MeterFunction& f : sim::MeterFunctions()) {
            for (const Display& display : displays) {
                sim::CSimMeter meter(QDateTime(QDate(2026, 5, 12), QTime(14, 7, 33)), 7, 0x03);
                QVERIFY(meter.SetFunction(f.id));
                if (display.key)
                    meter.PressKey(display.key, 0);
                CLiveDecoder decoder;
                MeterEvent last;
                connect(&decoder, &CLiveDecoder::frameDecoded, this, [&](const MeterEvent& e) { last = e; });
                for (int64_t t = 500; t <= 3000; t += 500) {
                    const int kind = meter.CurrentKind();
                    const std::string frame = ToHex(meter.NextFrame(t));
                    last = MeterEvent();
                    decoder.Decode(kind + 1, frame, false);
                    const QString where = QStringLiteral("%1 in %2").arg(QLatin1String(f.id), QLatin1String(display.name));
                    QVERIFY2(last.m_nMode == kind + 1, qPrintable(where));
                    const MeterData& d = last.m_data;
                    if (last.m_nMode == 7 || last.m_nMode == 5)
                        continue; // frequency text and the DC+AC value follow their own rules
                    QVERIFY2(d.m_nDecimals == meter.ShownDecimals(),
                        qPrintable(where + QStringLiteral(": %1 decimals, meant %2").arg(d.m_nDecimals).arg(meter.ShownDecimals())));
                    QVERIFY2(FitsDecimals(d.m_fValue, d.m_nDecimals), qPrintable(where));
                    if (last.m_nMode == 2 || last.m_nMode == 4) {
                        for (const MeterStat* st : { &d.m_statMax, &d.m_statMin, &d.m_statAvg }) {
                            QVERIFY2(st->m_nDecimals >= 2 && st->m_nDecimals <= 5, qPrintable(where));
                            QVERIFY2(st->m_nDecimals == d.m_nDecimals, qPrintable(where));
                        }
                        QVERIFY2(FitsDecimals(d.m_statMax.m_fValue, d.m_statMax.m_nDecimals), qPrintable(where));
                        QVERIFY2(FitsDecimals(d.m_statMin.m_fValue, d.m_statMin.m_nDecimals), qPrintable(where));
                    }
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 100);
    }
};

QTEST_GUILESS_MAIN(TestSimDecimals)
#include "test_sim_decimals.moc"
