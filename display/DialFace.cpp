#include "display/DialFace.h"

#include <cmath>

namespace DialFace {

QString Label(int position)
{
    static const char16_t* const kLabels[kStops] = {
        u"OFF",
        u"\u00B5A",
        u"mA",
        u"A",
        u"\u00B0C/\u00B0F",
        u"V~",
        u"V\u2393",
        u"mV",
        u"\u03A9/\u22A3\u22A2",
        u"",
        u"Hz",
        u"OSC",
    };
    if (position < 0 || position >= kStops)
        return QString();
    return QString::fromUtf16(kLabels[position]);
}

double AngleDegrees(int position)
{
    return 30.0 * position;
}

QPointF LabelCentre(int position, double radius)
{
    const double a = AngleDegrees(position) * M_PI / 180.0;
    return QPointF(radius * std::sin(a), -radius * std::cos(a));
}

} // namespace DialFace
