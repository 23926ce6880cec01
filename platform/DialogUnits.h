#pragma once
// Dialog layouts are given in dialog units, which depend on the dialog font. One conversion for
// the whole program: the classic 8-point dialog font has base units of 6 x 13 pixels at 96 dpi,
// so one horizontal unit is 6/4 = 1.5 pixels and one vertical unit 13/8 = 1.625 pixels.
// Everything drawn in pixels (the LCD, bitmaps) keeps its pixel sizes.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

namespace DialogUnits {

constexpr double kPixelsPerUnitX = 1.5;
constexpr double kPixelsPerUnitY = 1.625;

inline int toPixelsX(int units) { return static_cast<int>(std::lround(units * kPixelsPerUnitX)); }
inline int toPixelsY(int units) { return static_cast<int>(std::lround(units * kPixelsPerUnitY)); }
inline QSize toPixels(const QSize& units) { return QSize(toPixelsX(units.width()), toPixelsY(units.height())); }
inline QPoint toPixels(const QPoint& units) { return QPoint(toPixelsX(units.x()), toPixelsY(units.y())); }
inline QRect toPixels(const QRect& units) { return QRect(toPixels(units.topLeft()), toPixels(units.size())); }

} // namespace DialogUnits
