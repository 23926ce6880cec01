#pragma once
// The painter step of the live display: renders a scene with QPainter, and measures texts for
// the layout step with the same fonts.
#include "display/LcdLayout.h"

#include <QFont>

class QPainter;

// The Qt font for a readout font: the face asked for by name, sized so that its cell height and
// average character width match the pixel sizes given.
QFont LcdQtFont(const LcdFont& font);

class LcdQtMeasure : public LcdTextMeasure {
public:
    int TextWidth(const LcdFont& font, const QString& text) const override;
    int LineHeight(const LcdFont& font) const override;
};

namespace LcdPainter {

// Renders the scene with its top-left corner at the painter's origin, clipped to its frame.
void Render(QPainter& p, const LcdScene& scene);

} // namespace LcdPainter
