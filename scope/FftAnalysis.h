#pragma once
// The analysis behind "FFT Analysis": the magnitude spectrum of one block of N samples, or the
// power spectrum in decibels averaged over overlapping segments, of a stretch of recorded
// readings. No widgets: the dialog, the command line, the tests and the benchmark share it.
#include <complex>
#include <vector>

class CDataSeries;

class CFftAnalysis {
public:
    // Buffer lengths: room for the largest size and for the largest segment settings (2048-point
    // segments, 512 of them, 16 samples of overlap).
    static constexpr int kBufferLength = 4097;
    static constexpr int kPowerLength = 2048;
    static constexpr int kLongLength = 1040400;
    static constexpr int kOverlap = 16;
    static constexpr int kDefaultSegments = 16;
    static constexpr int kMaxSegments = 512;
    // A power value at or below this is taken as this, so the scale bottoms out at -140 dB.
    static constexpr double kPowerFloor = 1e-14;

    // The buffers, for SetAllocFaultForTesting.
    enum Buffer { BufInMag = 1, BufOutMag = 2, BufWork = 4, BufPower = 8, BufLong = 16 };

    struct Settings {
        int size = 32; // N: 32 .. 2048, a power of two
        int window = -1; // fft::Window
        int segments = kDefaultSegments; // segments averaged in the power view, 1 .. 512
        bool power = true; // averaged power spectrum rather than magnitudes
    };

    enum class Result {
        Done,
        NotReady, // a buffer is missing: nothing was done
        BadSettings, // size or segment count out of range: nothing was done
        NoTwiddles, // the transform's table could not be allocated: no result
    };

    // Allocates the buffers once. One that cannot be had stays missing for the object's life:
    // MissingBuffers says how many (the owner reports each once) and Run then does nothing.
    CFftAnalysis();
    ~CFftAnalysis();
    CFftAnalysis(const CFftAnalysis&) = delete;
    CFftAnalysis& operator=(const CFftAnalysis&) = delete;

    int MissingBuffers() const;
    bool Ready() const { return MissingBuffers() == 0; }

    // Runs the analysis on the first min(N, count) of `values` (fewer than N: the rest are zeros).
    Result Run(const Settings& settings, const double* values, int count);
    bool HasResult() const { return m_bHasResult; }

    // The last run's settings and results (see the dialog for their use).
    int m_nSize = 32;
    int m_nLabelSpan = 32; // span of the bin labels in the magnitude view
    double m_dInPeak = 0.0; // largest input magnitude
    double m_dPeak = 0.0; // largest output value (the plot's full scale)
    int m_nSegments = kDefaultSegments;
    int m_nSegLen = 32;
    int m_nOverlap = kOverlap;
    int m_nWindow = -1;
    int m_nTotal = 0; // samples spanned by all segments
    bool m_bPower = true;

    double* m_pInMag = nullptr; // |input| per sample
    double* m_pOutMag = nullptr; // magnitude per bin (magnitude view)
    std::complex<float>* m_pWork = nullptr; // the transform's samples
    double* m_pPower = nullptr; // power per bin in dB (power view, first N/2)
    double* m_pLong = nullptr; // input of the power view, zero beyond the copied values

    // Values shown per bin: N magnitudes or N/2 decibels; empty without a result.
    std::vector<double> Values() const;

    // Tests: the buffers named in `mask` fail to allocate in objects built afterwards.
    static void SetAllocFaultForTesting(unsigned mask);

private:
    bool Magnitude();
    bool Power();

    bool m_bHasResult = false;
};

namespace fft {

// "Failed to new memory!": shown once for each buffer that could not be allocated.
extern const char* const kBufferAllocFailed;

// The values of points first..last of `series` in order, null elements skipped, at most
// `maxCount` of them. Indices outside the series are ignored.
std::vector<double> CopySeriesValues(const CDataSeries& series, int first, int last, int maxCount);

// The two ends of a drag on the graph as a range of `count` points: each end is clamped to
// 0 .. count - 1, then *first is the smaller and *last the larger. False (nothing to analyse)
// for an empty series or equal ends.
bool RangeFromDragEnds(int count, int a, int b, int* first, int* last);

} // namespace fft
