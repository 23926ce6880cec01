#pragma once
// The four meter keys under the LCD: control id, caption, picture size, where they rest, where
// they move while held, and the key code a press sends. Positions are pixels in the panel.
#include <QRect>
#include <QSize>

struct MeterKeySpec {
    int id;
    const char* caption;
    QSize picture;
    QRect rest;
    int pressedX; // the key moves one pixel aside while held
    int code;
};

namespace MeterKeys {

constexpr int kMax = 1041;
constexpr int kRange = 1042;
constexpr int kHold = 1043;
constexpr int kF1 = 1044;

// Key codes: what the main window turns into meter commands.
constexpr int kCodeFunction1 = 1; // first item of the F1 pop-up
constexpr int kCodeHold = 2;
constexpr int kCodeMax = 3;
constexpr int kCodeRel = 4;
constexpr int kCodePeak = 5;
constexpr int kCodeRange = 6;
constexpr int kCodeF1 = 10; // opens the pop-up; nothing goes to the meter

// Ids of the pop-up's items and the codes they give.
constexpr int kMenuItemFunction = 32813;
constexpr int kMenuItemRel = 32814;
constexpr int kMenuItemPeak = 32815;

constexpr MeterKeySpec kKeys[4] = {
    { kMax, "MAX", QSize(39, 22), QRect(49, 362, 39, 21), 48, kCodeMax },
    { kRange, "Range", QSize(42, 22), QRect(215, 321, 39, 21), 216, kCodeRange },
    { kHold, "Hold", QSize(42, 23), QRect(46, 322, 42, 22), 45, kCodeHold },
    { kF1, "F1", QSize(43, 21), QRect(46, 281, 42, 21), 47, kCodeF1 },
};

// The key of a control id, or nullptr.
inline const MeterKeySpec* Find(int id)
{
    for (const MeterKeySpec& k : kKeys) {
        if (k.id == id)
            return &k;
    }
    return nullptr;
}

} // namespace MeterKeys
