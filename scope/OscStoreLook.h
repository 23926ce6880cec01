#pragma once
// How a store button of the stored-waveform pane looks for its slot's status: the picture's
// resource number, the word under the slot number and the colour behind it. The pane draws it.
#include <cstdint>

namespace osc {

struct OscStoreLook {
    int slot = 0; // 1..10
    int status = 0; // the slot's nStatus
    int bitmapId = 0; // resource number of the picture
    const char* word = ""; // "No store", "HOLD", "REC", "FFT" or "Single"
    uint32_t background = 0; // 0xRRGGBB
};

// Status 1..4 have their own look; 0 and any other value look empty ("No store").
OscStoreLook StoreLook(int slot, int status);

// Pure green is the pictures' transparent colour.
constexpr uint32_t kTransparentColour = 0x00FF00;

} // namespace osc
