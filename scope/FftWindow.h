#pragma once
// Window functions applied before the transform. Weights are computed in double and applied in
// single precision, to the real and the imaginary part alike.
#include <complex>

namespace fft {

// The window numbers of the "Filter" list, less one.
enum Window {
    WindowNone = -1,
    WindowHamming = 0,
    WindowHanning = 1,
    WindowTriangle = 2,
    WindowBlackman = 3,
    WindowBlackmanHarris = 4, // 4-term
};
constexpr int kWindowCount = 5;

// The weight of sample n (0..size-1). Hamming, Hanning and Blackman are symmetric (they divide by
// size - 1, so both ends carry the same weight); the 4-term Blackman-Harris is periodic (divides by
// size). The triangle is worked out in single precision. WindowNone weighs everything 1.
double WindowWeight(int window, int n, int size);

// Multiplies x[0..size-1] by the window's weights (nothing for WindowNone or an unknown window).
void ApplyWindow(int window, std::complex<float>* x, int size);

// Names: the "Filter" list's texts and the command line's words.
const char* WindowTitle(int window); // "None", "Hamming", ..., "4 term Blackman-Harris"
const char* WindowKey(int window); // "none", "hamming", ..., "blackman-harris"
// The window for a command-line word; false when the word names none.
bool WindowFromKey(const char* key, int* window);

} // namespace fft
