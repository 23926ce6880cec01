#pragma once
// A measure with fixed-width characters and lines exactly as high as the font, so that layout
// positions in tests are exact numbers.
#include "display/LcdLayout.h"

class FixedMeasure : public LcdTextMeasure {
public:
    int TextWidth(const LcdFont& font, const QString& text) const override { return font.width * int(text.size()); }
    int LineHeight(const LcdFont& font) const override { return font.height; }
};
