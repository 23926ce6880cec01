// The forward transform for N = 32 ... 2048 against single-precision FFTW in the same run: our
// transform, the textbook loop it was regrouped from, and FFTW with a measured plan. Each timing
// copies the same input into the work array first (the transforms work in place).
//
//   bench_fft [milliseconds per size, default 1000]
#include "scope/FftTransform.h"

#include <fftw3.h>

#include <QElapsedTimer>
#include <algorithm>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

// Nanoseconds per call of each contender. The machine may be shared: the contenders take turns in
// short batches (a few dozen microseconds each) for about `ms` milliseconds, and each keeps its
// fastest batch, the one least disturbed by anything else running.
std::vector<double> timePerCall(double ms, const std::vector<std::function<void()>>& fns)
{
    std::vector<long long> reps(fns.size(), 1);
    for (size_t f = 0; f < fns.size(); ++f) {
        for (;;) {
            QElapsedTimer t;
            t.start();
            for (long long i = 0; i < reps[f]; ++i)
                fns[f]();
            if (t.nsecsElapsed() > 20000 || reps[f] > (1LL << 20))
                break;
            reps[f] *= 2;
        }
    }
    std::vector<double> best(fns.size(), 1e300);
    QElapsedTimer total;
    total.start();
    while (total.nsecsElapsed() < ms * 1e6) {
        for (size_t f = 0; f < fns.size(); ++f) {
            QElapsedTimer t;
            t.start();
            for (long long i = 0; i < reps[f]; ++i)
                fns[f]();
            best[f] = std::min(best[f], static_cast<double>(t.nsecsElapsed()) / static_cast<double>(reps[f]));
        }
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const double ms = argc > 1 ? std::atof(argv[1]) : 1000.0;
    std::printf("forward complex single-precision transform, ns per call (input copy included)\n");
    std::printf("%6s %10s %10s %10s %12s %14s\n", "N", "ours", "textbook", "FFTW", "ours/FFTW", "textbook/FFTW");
    std::mt19937 gen(1);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    volatile float sink = 0.0f;
    for (int n = fft::kMinSize; n <= fft::kMaxSize; n *= 2) {
        const int m = fft::Log2(n);
        std::vector<std::complex<float>> input(static_cast<size_t>(n));
        for (auto& v : input)
            v = { d(gen), d(gen) };
        const size_t bytes = sizeof(std::complex<float>) * static_cast<size_t>(n);

        auto* work = static_cast<std::complex<float>*>(fftwf_malloc(bytes));
        auto* fw = static_cast<fftwf_complex*>(fftwf_malloc(bytes));
        fftwf_plan plan = fftwf_plan_dft_1d(n, fw, fw, FFTW_FORWARD, FFTW_MEASURE);

        // Same answers first.
        std::memcpy(work, input.data(), bytes);
        fft::Forward(work, m);
        std::memcpy(fw, input.data(), bytes);
        fftwf_execute(plan);
        double diff = 0.0;
        double norm = 0.0;
        for (int k = 0; k < n; ++k) {
            const std::complex<float> f(fw[k][0], fw[k][1]);
            diff = std::max(diff, static_cast<double>(std::abs(work[k] - f)));
            norm = std::max(norm, static_cast<double>(std::abs(f)));
        }
        if (diff > 1e-5 * norm) {
            std::fprintf(stderr, "N=%d: results differ from FFTW by %g\n", n, diff / norm);
            return 1;
        }

        const std::vector<double> t = timePerCall(ms,
            {
                [&] {
                    std::memcpy(work, input.data(), bytes);
                    fft::Forward(work, m);
                    sink = sink + work[1].real();
                },
                [&] {
                    std::memcpy(work, input.data(), bytes);
                    fft::ForwardReference(work, m);
                    sink = sink + work[1].real();
                },
                [&] {
                    std::memcpy(fw, input.data(), bytes);
                    fftwf_execute(plan);
                    sink = sink + fw[1][0];
                },
            });
        const double ours = t[0], textbook = t[1], fftw = t[2];
        std::printf("%6d %10.1f %10.1f %10.1f %12.2f %14.2f\n", n, ours, textbook, fftw, ours / fftw, textbook / fftw);
        std::fflush(stdout);
        fftwf_destroy_plan(plan);
        fftwf_free(fw);
        fftwf_free(work);
    }
    return 0;
}
