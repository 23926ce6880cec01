#pragma once
// The program's own icon: a handheld meter with a lit display and a trace on it. One list of
// shapes gives both the scalable SVG and the PNG sizes, so the two never drift apart.
#include <QByteArray>
#include <QImage>

namespace app_icon {
// The icon as an SVG document (256 x 256 user units).
QByteArray Svg();
// The icon drawn at size x size pixels on a transparent background.
QImage Render(int size);
} // namespace app_icon
