#pragma once
// The panel's artwork, all drawn here with painter paths so that it stays sharp at any device
// pixel ratio: the skin, the dial tiles, the unit legends and annunciators of the LCD, the NO RECV
// picture and the four key pictures. Every picture is drawn into the logical rectangle given.
#include "display/LcdScene.h"

#include <QRectF>

class QPainter;

namespace LcdArtwork {

void DrawPicture(QPainter& p, LcdPicture picture, int legendRow, const QRectF& r);

// The 300 x 700 panel skin at the origin: lilac-grey body, chrome bezel and the dark display
// window around the display frame given.
void DrawSkin(QPainter& p, const QRect& displayFrame);

// Dial tile 0..11 (plain panel-coloured; all twelve look the same).
void DrawDialTile(QPainter& p, int index, const QRectF& r);

// The rotary switch under the keys, its knob turned to the dial position (0..11), drawn in the
// largest square centred in the area.
void DrawRotarySwitch(QPainter& p, int position, const QRectF& area);

// Picture of a meter key by control id (1041 MAX, 1042 Range, 1043 Hold, 1044 F1).
// pressed: the key is held down; focused: it has the keyboard focus.
void DrawKey(QPainter& p, int controlId, const QRectF& r, bool pressed = false, bool focused = false);

} // namespace LcdArtwork
