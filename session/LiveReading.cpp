#include "session/LiveReading.h"

DcUnit DcUnitOf(const QString& unit)
{
    struct Entry {
        const char* unit;
        DcQuantity quantity;
        double toBase;
    };
    static const Entry kUnits[] = {
        { "VDC", DcQuantity::Volts, 1.0 },
        { "mVDC", DcQuantity::Volts, 1e-3 },
        { "ADC", DcQuantity::Amperes, 1.0 },
        { "mADC", DcQuantity::Amperes, 1e-3 },
        { "uADC", DcQuantity::Amperes, 1e-6 },
    };
    for (const Entry& e : kUnits) {
        if (unit == QLatin1String(e.unit))
            return { e.quantity, e.toBase };
    }
    return {};
}
