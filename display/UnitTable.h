#pragma once
// The 38 unit texts of the LCD's unit legends. Row i pairs with legend picture i. Several texts
// appear twice on purpose: a lookup finds the first row, and some display variants then step to
// the neighbouring row (the low-pass "VAC", the plain "V").
#include <QString>

constexpr int kUnitCount = 38;

extern const QString g_astrUnitNames[kUnitCount];

// First row whose text equals the unit exactly (case-sensitive), or -1.
int UnitIndex(const QString& unit);

// Logical width in pixels of legend picture i (57 or 64; all are 25 high).
int UnitLegendWidth(int index);
constexpr int kUnitLegendHeight = 25;

// Row indices that the display variants refer to by number.
namespace UnitRow {
constexpr int VacLowPass = 6;
constexpr int DiodeV = 23;
constexpr int PlainVOffset = 12; // the relative display shows row 23 + 12, the plain "V"
constexpr int HzFirst = 28;
constexpr int HzSecond = 29;
} // namespace UnitRow
