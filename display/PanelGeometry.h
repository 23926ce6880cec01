#pragma once
// Where things sit on the live panel. The panel's dialog is laid out in dialog units; everything
// drawn on it (skin, dial tile, keys, the LCD readout) is given in pixels. One conversion joins the
// two: the classic 8-point dialog font has base units of 6 x 13 pixels at 96 dpi, so one
// horizontal dialog unit is 1.5 pixels and one vertical unit 1.625 pixels. With it the display
// frame lands centred on the 300-pixel-wide skin (x 35..266), which is how the meter looks.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

namespace PanelGeometry {

constexpr double kPixelsPerUnitX = 1.5;
constexpr double kPixelsPerUnitY = 1.625;

inline int UnitsToPixelsX(int units)
{
    return static_cast<int>(std::lround(units * kPixelsPerUnitX));
}
inline int UnitsToPixelsY(int units)
{
    return static_cast<int>(std::lround(units * kPixelsPerUnitY));
}

// The panel dialog: 237 x 434 dialog units.
inline QSize DialogSize()
{
    return QSize(UnitsToPixelsX(237), UnitsToPixelsY(434));
}

// The display frame control: (23, 46), 154 x 107 dialog units. The readout is drawn into it.
inline QRect DisplayFrame()
{
    return QRect(UnitsToPixelsX(23), UnitsToPixelsY(46), UnitsToPixelsX(154), UnitsToPixelsY(107));
}

// Pixel-sized artwork painted in the panel's own coordinates.
constexpr QSize kSkinSize(300, 700);
constexpr QPoint kDialTileOrigin(1, 391);
constexpr QSize kDialTileSize(299, 164);
constexpr int kDialTileCount = 12;

// The data-point info box: 158 x 70 dialog units.
inline QSize ShowDataSize()
{
    return QSize(UnitsToPixelsX(158), UnitsToPixelsY(70));
}

} // namespace PanelGeometry
