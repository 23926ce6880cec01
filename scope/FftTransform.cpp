#include "scope/FftTransform.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace fft {

const char* const kTwiddleAllocFailed = "Unable to allocate complex W array";

bool IsAnalysisSize(int n) { return n >= kMinSize && n <= kMaxSize && (n & (n - 1)) == 0; }

int Log2(int n)
{
    if (n <= 0 || (n & (n - 1)) != 0)
        return -1;
    int m = 0;
    while ((1 << m) < n)
        ++m;
    return m;
}

namespace {

constexpr int kMaxLog2 = 16;
constexpr std::size_t kAlign = 64;

std::atomic<bool> g_failTwiddleAlloc { false };

// Everything the transform keeps for one size: the twiddle table W[k - 1] = e^(-2 pi i k / n)
// for k = 1 .. n/2 - 1, the same factors laid out per stage for the side-by-side butterflies
// (stage with half h at [h, 2h), with (1, 0) at j = 0), scratch rows for the real and imaginary
// parts, and the bit-reversal permutation.
struct Tables {
    int m = -1;
    void* block = nullptr;
    std::size_t bytes = 0;
    std::complex<float>* w = nullptr;
    float* twRe = nullptr;
    float* twIm = nullptr;
    float* re = nullptr;
    float* im = nullptr;
    std::uint32_t* rev = nullptr;

    Tables() = default;
    Tables(const Tables&) = delete;
    Tables& operator=(const Tables&) = delete;
    ~Tables() { release(); }

    void release()
    {
        if (block)
            ::operator delete(block, std::align_val_t(kAlign));
        m = -1;
        block = nullptr;
        bytes = 0;
        w = nullptr;
        twRe = twIm = re = im = nullptr;
        rev = nullptr;
    }
    bool build(int newM);
};

std::size_t roundUp(std::size_t v) { return (v + kAlign - 1) / kAlign * kAlign; }

bool Tables::build(int newM)
{
    release();
    const std::size_t n = std::size_t(1) << newM;
    const std::size_t half = n / 2;
    const std::size_t wBytes = roundUp(sizeof(std::complex<float>) * (half > 1 ? half - 1 : 1));
    const std::size_t rowBytes = roundUp(sizeof(float) * n);
    const std::size_t revBytes = roundUp(sizeof(std::uint32_t) * n);
    const std::size_t total = wBytes + 4 * rowBytes + revBytes;
    void* p = g_failTwiddleAlloc.load() ? nullptr : ::operator new(total, std::align_val_t(kAlign), std::nothrow);
    if (!p)
        return false;
    auto* base = static_cast<unsigned char*>(p);
    block = p;
    bytes = total;
    w = reinterpret_cast<std::complex<float>*>(base);
    twRe = reinterpret_cast<float*>(base + wBytes);
    twIm = reinterpret_cast<float*>(base + wBytes + rowBytes);
    re = reinterpret_cast<float*>(base + wBytes + 2 * rowBytes);
    im = reinterpret_cast<float*>(base + wBytes + 3 * rowBytes);
    rev = reinterpret_cast<std::uint32_t*>(base + wBytes + 4 * rowBytes);
    m = newM;

    // Successive powers of the first factor, in double, stored as floats.
    const double theta = 8.0 * std::atan(1.0) / static_cast<double>(n);
    const double stepRe = std::cos(theta);
    const double stepIm = -std::sin(theta);
    double cr = 1.0;
    double ci = 0.0;
    for (std::size_t k = 1; k < half; ++k) {
        const double nr = cr * stepRe - ci * stepIm;
        const double ni = cr * stepIm + ci * stepRe;
        cr = nr;
        ci = ni;
        w[k - 1] = std::complex<float>(static_cast<float>(cr), static_cast<float>(ci));
    }

    // The stage with half h and stride n / (2h) uses W[j * stride - 1] for j = 1 .. h - 1.
    twRe[0] = 0.0f;
    twIm[0] = 0.0f;
    for (std::size_t h = 1; h < n; h *= 2) {
        const std::size_t stride = n / (2 * h);
        twRe[h] = 1.0f;
        twIm[h] = 0.0f;
        for (std::size_t j = 1; j < h; ++j) {
            twRe[h + j] = w[j * stride - 1].real();
            twIm[h + j] = w[j * stride - 1].imag();
        }
    }

    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t r = 0;
        for (int b = 0; b < newM; ++b)
            r |= ((i >> b) & 1u) << (newM - 1 - b);
        rev[i] = r;
    }
    return true;
}

thread_local Tables t_tables;

Tables* tablesFor(int m)
{
    if (t_tables.m == m)
        return &t_tables;
    return t_tables.build(m) ? &t_tables : nullptr;
}

// ---- side-by-side butterflies -------------------------------------------------------------

typedef float v8 __attribute__((vector_size(32), may_alias));
// The caller's samples need only the alignment of a float.
typedef float v8u __attribute__((vector_size(32), may_alias, aligned(4)));
typedef std::uint64_t u64u __attribute__((may_alias, aligned(4)));

#define FFT_INLINE static inline __attribute__((always_inline))

FFT_INLINE v8 load(const float* p) { return *reinterpret_cast<const v8*>(p); }
FFT_INLINE void store(float* p, v8 v) { *reinterpret_cast<v8*>(p) = v; }

// (a, b) becomes (a + b, (a - b) * w): the same operations, in the same order, as the textbook loop.
FFT_INLINE void butterfly(v8& ar, v8& ai, v8& br, v8& bi, v8 wr, v8 wi)
{
    const v8 tr = ar - br;
    const v8 ti = ai - bi;
    ar = ar + br;
    ai = ai + bi;
    br = tr * wr - ti * wi;
    bi = tr * wi + ti * wr;
}

FFT_INLINE void mul(v8& r, v8& i, v8 wr, v8 wi)
{
    const v8 nr = r * wr - i * wi;
    const v8 ni = r * wi + i * wr;
    r = nr;
    i = ni;
}

// The last three stages (halves 4, 2, 1) inside one row of eight samples. Lanes that the textbook
// loop adds without a factor are multiplied by (1, 0), which leaves finite values unchanged.
FFT_INLINE void lastStages(v8& r, v8& i, v8 t4r, v8 t4i, v8 t2r, v8 t2i)
{
    const v8 s4 = { 1, 1, 1, 1, -1, -1, -1, -1 };
    const v8 s2 = { 1, 1, -1, -1, 1, 1, -1, -1 };
    const v8 s1 = { 1, -1, 1, -1, 1, -1, 1, -1 };
    r = __builtin_shufflevector(r, r, 0, 1, 2, 3, 0, 1, 2, 3) + __builtin_shufflevector(r, r, 4, 5, 6, 7, 4, 5, 6, 7) * s4;
    i = __builtin_shufflevector(i, i, 0, 1, 2, 3, 0, 1, 2, 3) + __builtin_shufflevector(i, i, 4, 5, 6, 7, 4, 5, 6, 7) * s4;
    mul(r, i, t4r, t4i);
    r = __builtin_shufflevector(r, r, 0, 1, 0, 1, 4, 5, 4, 5) + __builtin_shufflevector(r, r, 2, 3, 2, 3, 6, 7, 6, 7) * s2;
    i = __builtin_shufflevector(i, i, 0, 1, 0, 1, 4, 5, 4, 5) + __builtin_shufflevector(i, i, 2, 3, 2, 3, 6, 7, 6, 7) * s2;
    mul(r, i, t2r, t2i);
    r = __builtin_shufflevector(r, r, 0, 0, 2, 2, 4, 4, 6, 6) + __builtin_shufflevector(r, r, 1, 1, 3, 3, 5, 5, 7, 7) * s1;
    i = __builtin_shufflevector(i, i, 0, 0, 2, 2, 4, 4, 6, 6) + __builtin_shufflevector(i, i, 1, 1, 3, 3, 5, 5, 7, 7) * s1;
}

// Wider registers where the processor has them; the same arithmetic either way.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#define FFT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define FFT_CLONES
#endif

// The whole transform of x[0 .. n - 1] (n >= 16), through the split rows re/im. Two stages share
// a pass while both have halves of eight or more; the last three run inside rows of eight, whose
// results go straight to their bit-reversed places in x.
FFT_CLONES void transform(float* x, float* re, float* im, const float* twRe, const float* twIm,
    const std::uint32_t* rev, int n)
{
    for (int i = 0; i < 2 * n; i += 16) {
        const v8 a = *reinterpret_cast<const v8u*>(x + i);
        const v8 b = *reinterpret_cast<const v8u*>(x + i + 8);
        store(re + i / 2, __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14));
        store(im + i / 2, __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15));
    }
    int h = n / 2;
    while (h >= 8) {
        if (h >= 16) {
            const int q = h / 2;
            for (int b = 0; b < n; b += 2 * h) {
                for (int j = 0; j < q; j += 8) {
                    float* p0r = re + b + j;
                    float* p0i = im + b + j;
                    v8 a0r = load(p0r), a0i = load(p0i);
                    v8 a1r = load(p0r + q), a1i = load(p0i + q);
                    v8 a2r = load(p0r + h), a2i = load(p0i + h);
                    v8 a3r = load(p0r + h + q), a3i = load(p0i + h + q);
                    butterfly(a0r, a0i, a2r, a2i, load(twRe + h + j), load(twIm + h + j));
                    butterfly(a1r, a1i, a3r, a3i, load(twRe + h + q + j), load(twIm + h + q + j));
                    const v8 wr = load(twRe + q + j), wi = load(twIm + q + j);
                    butterfly(a0r, a0i, a1r, a1i, wr, wi);
                    butterfly(a2r, a2i, a3r, a3i, wr, wi);
                    store(p0r, a0r), store(p0i, a0i);
                    store(p0r + q, a1r), store(p0i + q, a1i);
                    store(p0r + h, a2r), store(p0i + h, a2i);
                    store(p0r + h + q, a3r), store(p0i + h + q, a3i);
                }
            }
            h /= 4;
        } else {
            const v8 wr = load(twRe + 8), wi = load(twIm + 8);
            for (int b = 0; b < n; b += 16) {
                v8 ar = load(re + b), ai = load(im + b);
                v8 br = load(re + b + 8), bi = load(im + b + 8);
                butterfly(ar, ai, br, bi, wr, wi);
                store(re + b, ar), store(im + b, ai);
                store(re + b + 8, br), store(im + b + 8, bi);
            }
            h /= 2;
        }
    }
    const v8 t4r = { 1, 1, 1, 1, twRe[4], twRe[5], twRe[6], twRe[7] };
    const v8 t4i = { 0, 0, 0, 0, twIm[4], twIm[5], twIm[6], twIm[7] };
    const v8 t2r = { 1, 1, twRe[2], twRe[3], 1, 1, twRe[2], twRe[3] };
    const v8 t2i = { 0, 0, twIm[2], twIm[3], 0, 0, twIm[2], twIm[3] };
    u64u* out = reinterpret_cast<u64u*>(x);
    for (int g = 0; g < n; g += 8) {
        v8 r = load(re + g), i = load(im + g);
        lastStages(r, i, t4r, t4i, t2r, t2i);
        typedef std::uint64_t u4 __attribute__((vector_size(32), may_alias));
        const v8 lo = __builtin_shufflevector(r, i, 0, 8, 1, 9, 2, 10, 3, 11);
        const v8 hi = __builtin_shufflevector(r, i, 4, 12, 5, 13, 6, 14, 7, 15);
        const u4 l = reinterpret_cast<const u4&>(lo);
        const u4 u = reinterpret_cast<const u4&>(hi);
        const std::uint32_t* rv = rev + g;
        out[rv[0]] = l[0];
        out[rv[1]] = l[1];
        out[rv[2]] = l[2];
        out[rv[3]] = l[3];
        out[rv[4]] = u[0];
        out[rv[5]] = u[1];
        out[rv[6]] = u[2];
        out[rv[7]] = u[3];
    }
}

} // namespace

bool ForwardReference(std::complex<float>* x, int m)
{
    if (m < 1 || m > kMaxLog2)
        return false;
    const Tables* t = tablesFor(m);
    if (!t)
        return false;
    const int n = 1 << m;
    const std::complex<float>* W = t->w;
    int half = n;
    int stride = 1;
    for (int stage = 0; stage < m; ++stage) {
        half /= 2;
        for (int i = 0; i < n; i += 2 * half) {
            const std::complex<float> a = x[i];
            const std::complex<float> b = x[i + half];
            x[i] = std::complex<float>(a.real() + b.real(), a.imag() + b.imag());
            x[i + half] = std::complex<float>(a.real() - b.real(), a.imag() - b.imag());
        }
        for (int j = 1; j < half; ++j) {
            const float wr = W[j * stride - 1].real();
            const float wi = W[j * stride - 1].imag();
            for (int i = j; i < n; i += 2 * half) {
                const float tr = x[i].real() - x[i + half].real();
                const float ti = x[i].imag() - x[i + half].imag();
                x[i] = std::complex<float>(x[i].real() + x[i + half].real(), x[i].imag() + x[i + half].imag());
                x[i + half] = std::complex<float>(tr * wr - ti * wi, tr * wi + ti * wr);
            }
        }
        stride *= 2;
    }
    int j = 0;
    for (int i = 1; i < n - 1; ++i) {
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    return true;
}

bool Forward(std::complex<float>* x, int m)
{
    if (m < 4)
        return ForwardReference(x, m);
    if (m > kMaxLog2)
        return false;
    Tables* t = tablesFor(m);
    if (!t)
        return false;
    transform(reinterpret_cast<float*>(x), t->re, t->im, t->twRe, t->twIm, t->rev, 1 << m);
    return true;
}

void SetTwiddleAllocFaultForTesting(bool fail)
{
    g_failTwiddleAlloc.store(fail);
    t_tables.release();
}

} // namespace fft
