#pragma once
// Where things sit on the live panel. The panel's dialog is laid out in dialog units; everything
// drawn on it (skin, dial tile, keys, the LCD readout) is given in pixels. The program's one
// conversion (platform/DialogUnits.h) joins the two; with it the display frame lands centred on
// the 300-pixel-wide skin (x 35..266), which is how the meter looks.
#include "platform/DialogUnits.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace PanelGeometry {

using DialogUnits::toPixelsX;
using DialogUnits::toPixelsY;

// The panel dialog: 237 x 434 dialog units.
inline QSize DialogSize()
{
    return QSize(toPixelsX(237), toPixelsY(434));
}

// The display frame control: (23, 46), 154 x 107 dialog units. The readout is drawn into it.
inline QRect DisplayFrame()
{
    return QRect(toPixelsX(23), toPixelsY(46), toPixelsX(154), toPixelsY(107));
}

// Pixel-sized artwork painted in the panel's own coordinates.
constexpr QSize kSkinSize(300, 700);
constexpr QPoint kDialTileOrigin(1, 391);
constexpr QSize kDialTileSize(299, 164);
constexpr int kDialTileCount = 12;
// The rotary switch fills the body from the dial tile's top to the bottom of the skin.
constexpr QRect kSwitchArea(1, 391, 299, 299);

// The data-point info box: 158 x 70 dialog units.
inline QSize ShowDataSize()
{
    return QSize(toPixelsX(158), toPixelsY(70));
}

} // namespace PanelGeometry
