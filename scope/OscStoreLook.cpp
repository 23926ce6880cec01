#include "scope/OscStoreLook.h"

namespace osc {

OscStoreLook StoreLook(int slot, int status)
{
    OscStoreLook look;
    look.slot = slot;
    look.status = status;
    switch (status) {
    case 1:
        look.bitmapId = 260 + slot;
        look.word = "HOLD";
        look.background = 0x8040A0; // purple
        break;
    case 2:
        look.bitmapId = 280 + slot;
        look.word = "REC";
        look.background = 0xF08C00; // orange
        break;
    case 3:
        look.bitmapId = 250 + slot;
        look.word = "FFT";
        look.background = 0xF078AA; // pink
        break;
    case 4:
        look.bitmapId = 292 + slot;
        look.word = "Single";
        look.background = 0x285AC8; // blue
        break;
    default:
        look.bitmapId = 270 + slot;
        look.word = "No store";
        look.background = 0x2EA043; // green, not the transparent one
        break;
    }
    return look;
}

} // namespace osc
