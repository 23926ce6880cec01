#pragma once
// The forward radix-2 FFT: decimation in frequency on complex single-precision samples, in place,
// without scaling, followed by the bit-reversal reordering.
//
// The twiddle table for the last size used is kept between calls (one per thread) and rebuilt
// only when the size changes. When it cannot be allocated the transform reports it and leaves the
// samples untouched; nothing ends the program.
#include <complex>

namespace fft {

// The sizes offered by the analysis: 32, 64, ..., 2048.
constexpr int kMinSize = 32;
constexpr int kMaxSize = 2048;
bool IsAnalysisSize(int n);
// log2 of a power of two; -1 for anything else.
int Log2(int n);

// The text for a twiddle table that could not be allocated.
extern const char* const kTwiddleAllocFailed; // "Unable to allocate complex W array"

// Transforms x[0 .. 2^m - 1] in place (1 <= m <= 16). False when the twiddle table could not be
// allocated; x is then unchanged.
//
// For finite inputs the result equals the textbook loop's (ForwardReference) exactly, up to the
// sign of a zero: the same additions and multiplications happen on the same values, only
// regrouped so that eight butterflies run side by side and two stages share one pass over memory.
bool Forward(std::complex<float>* x, int m);

// The textbook form, one butterfly at a time: kept for the tests and the benchmark.
bool ForwardReference(std::complex<float>* x, int m);

// Tests: while set, building a twiddle table fails as if memory ran out. Also drops the cached
// table of the calling thread so that the next transform has to build one.
void SetTwiddleAllocFaultForTesting(bool fail);

} // namespace fft
