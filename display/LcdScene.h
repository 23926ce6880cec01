#pragma once
// What the LCD readout shows, as a list of items in the display frame's own pixel coordinates:
// filled boxes, texts with their font and top-left corner, pictures (unit legends, annunciators)
// and lines. The layout step makes a scene; the painter step renders it.
#include <QLine>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>
#include <cstdint>

// A font of the readout. The face is always kLcdFaceName; height and width are the cell height
// and average character width in pixels, weight is normal.
struct LcdFont {
    int height = 0;
    int width = 0;
    bool operator==(const LcdFont& o) const { return height == o.height && width == o.width; }
};

// The face name the readout asks for, exactly as the meter's software spells it. The font system
// falls back to its default face when no font of that name is installed.
extern const char* const kLcdFaceName;

namespace LcdFonts {
constexpr LcdFont Big { 36, 20 };
constexpr LcdFont Small { 17, 6 };
constexpr LcdFont Scale { 10, 5 };
} // namespace LcdFonts

namespace LcdColor {
constexpr uint32_t LcdGrey = 0x808C80; // RGB(128, 140, 128)
constexpr uint32_t BoxGrey = 0x3C3C3C; // RGB(60, 60, 60): clock and date boxes, the bar
constexpr uint32_t Black = 0x000000;
constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Panel = 0xB2B2C6; // RGB(178, 178, 198)
} // namespace LcdColor

enum class LcdPicture {
    UnitLegend, // with a row of the unit table
    Hold,
    AutoRange,
    ManualRange,
    MinMax,
    Peak,
    Rel,
    LowPass,
    Delta,
    Diode,
    Fahrenheit,
    Celsius,
    NoRecv,
};

// Logical size in pixels of a picture (the legend row matters only for unit legends).
QSize LcdPictureSize(LcdPicture picture, int legendRow = 0);

// What an item is for, so that a reader (or a test) can find it without knowing its position.
enum class LcdRole {
    Background,
    MainValue,
    Percent,
    ClockBox,
    Clock,
    DateBox,
    Date,
    UnitLegend,
    Annunciator,
    Text, // the lines under the big value
    BarAxis,
    BarMajorTick,
    BarMinorTick,
    BarLabel,
    BarUnit,
    Bar,
    NoRecv,
};

struct LcdItem {
    enum class Kind { Fill, Text, Picture, Line };
    Kind kind = Kind::Fill;
    LcdRole role = LcdRole::Background;
    QRect rect; // Fill: the area. Text: top-left corner and measured size. Picture: top-left and size.
    QLine line; // Line only
    QString text; // Text only
    LcdFont font; // Text only
    uint32_t rgb = 0; // Fill, Text and Line colour
    LcdPicture picture = LcdPicture::UnitLegend; // Picture only
    int legendRow = -1; // Picture of a unit legend only
};

struct LcdScene {
    QSize frame;
    QVector<LcdItem> items;

    // The first text item with exactly this text, or nullptr.
    const LcdItem* FindText(const QString& text) const;
    // The first item with this role, or nullptr.
    const LcdItem* Find(LcdRole role) const;
    const LcdItem* FindPicture(LcdPicture picture) const;
    QVector<const LcdItem*> All(LcdRole role) const;
};
