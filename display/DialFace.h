#pragma once
// The rotary switch drawn under the meter keys: twelve stops, one for each dial position the
// decoders set, labelled with the function that position stands for. Core: the painter only
// draws what this says.
#include <QPointF>
#include <QString>

namespace DialFace {

constexpr int kStops = 12;

// The label of a dial position: 0 "OFF" (no reading yet), 1 "µA", 2 "mA", 3 "A", 4 "°C/°F",
// 5 "V~", 6 "V⎓", 7 "mV", 8 "Ω/⊣⊢" (resistance, continuity and capacitance share it), 9 none (no
// unit moves the dial there), 10 "Hz", 11 "OSC". Empty outside 0..11.
QString Label(int position);

// Angle of a stop in degrees, clockwise from twelve o'clock: the stops are 30 degrees apart,
// OFF at the top.
double AngleDegrees(int position);

// Where a stop's label stands for a dial centred at the origin with the given radius.
QPointF LabelCentre(int position, double radius);

} // namespace DialFace
