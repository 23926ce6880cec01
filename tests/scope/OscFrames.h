#pragma once
// Oscilloscope frames for the tests, written from the frame layout: a payload with chosen bytes,
// and its text as the link delivers it ("e0e0", 510 payload bytes, two bytes not read).
#include "link/HexText.h"
#include "scope/OscDecoder.h"

#include <string>

struct OscFrameBuilder {
    osc::OscFrame f;

    OscFrameBuilder(int slot = 0, int status = 1, int timeBase = 1, int voltIndex = 7)
    {
        f.p.fill(0);
        for (int k = 0; k < 300; ++k)
            f.p[80 + k] = 135;
        byte(52, slot).byte(0, status).byte(1, timeBase).byte(2, voltIndex);
        date(2024, 3, 5, 10, 7, 9, 0);
    }
    OscFrameBuilder& byte(int i, int v)
    {
        f.p[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
        return *this;
    }
    OscFrameBuilder& word(int i, int v)
    {
        return byte(i, (v >> 8) & 0xFF).byte(i + 1, v & 0xFF);
    }
    OscFrameBuilder& date(int y, int mo, int d, int h, int mi, int s, int order)
    {
        return byte(40, y / 100).byte(41, y % 100).byte(42, mo).byte(43, d).byte(44, h).byte(45, mi).byte(46, s).byte(47, order);
    }
    OscFrameBuilder& flat(int raw)
    {
        for (int k = 0; k < 300; ++k)
            f.p[80 + k] = static_cast<uint8_t>(raw);
        return *this;
    }
    std::string hex() const { return "e0e0" + BytesToHex(f.p.data(), f.p.size()) + "0000"; }
    operator const osc::OscFrame&() const { return f; }
};
