#include "scope/FftWindow.h"

#include <cmath>
#include <cstring>

namespace fft {

namespace {

// 2 pi the way the weights were always formed.
const double kTwoPi = 8.0 * std::atan(1.0);

struct WindowName {
    int window;
    const char* title;
    const char* key;
};

constexpr WindowName kNames[] = {
    { WindowNone, "None", "none" },
    { WindowHamming, "Hamming", "hamming" },
    { WindowHanning, "Hanning", "hanning" },
    { WindowTriangle, "Triangle", "triangle" },
    { WindowBlackman, "Blackman", "blackman" },
    { WindowBlackmanHarris, "4 term Blackman-Harris", "blackman-harris" },
};

} // namespace

double WindowWeight(int window, int n, int size)
{
    const double sym = kTwoPi * n / (size - 1);
    switch (window) {
    case WindowHamming:
        return 0.54 - 0.46 * std::cos(sym);
    case WindowHanning:
        return 0.5 - 0.5 * std::cos(sym);
    case WindowTriangle: {
        const float d = 2.0f / static_cast<float>(size - 1);
        const float up = static_cast<float>(n) * d;
        return n <= (size - 1) / 2 ? up : 2.0f - up;
    }
    case WindowBlackman:
        return 0.42 - 0.5 * std::cos(sym) + 0.08 * std::cos(2.0 * sym);
    case WindowBlackmanHarris: {
        const double per = kTwoPi * n / size;
        return 0.35875 - 0.48829 * std::cos(per) + 0.14128 * std::cos(2.0 * per) - 0.01168 * std::cos(3.0 * per);
    }
    default:
        return 1.0;
    }
}

void ApplyWindow(int window, std::complex<float>* x, int size)
{
    if (window < 0 || window >= kWindowCount)
        return;
    for (int n = 0; n < size; ++n) {
        const float w = static_cast<float>(WindowWeight(window, n, size));
        x[n] = std::complex<float>(x[n].real() * w, x[n].imag() * w);
    }
}

const char* WindowTitle(int window)
{
    for (const WindowName& w : kNames) {
        if (w.window == window)
            return w.title;
    }
    return "";
}

const char* WindowKey(int window)
{
    for (const WindowName& w : kNames) {
        if (w.window == window)
            return w.key;
    }
    return "";
}

bool WindowFromKey(const char* key, int* window)
{
    for (const WindowName& w : kNames) {
        if (std::strcmp(w.key, key) == 0) {
            *window = w.window;
            return true;
        }
    }
    return false;
}

} // namespace fft
