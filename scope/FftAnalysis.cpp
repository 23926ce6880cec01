#include "scope/FftAnalysis.h"

#include "datalog/DataSeries.h"
#include "scope/FftTransform.h"
#include "scope/FftWindow.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

namespace fft {

const char* const kBufferAllocFailed = "Failed to new memory!";

std::vector<double> CopySeriesValues(const CDataSeries& series, int first, int last, int maxCount)
{
    std::vector<double> values;
    const qsizetype from = std::max<qsizetype>(first, 0);
    const qsizetype to = std::min<qsizetype>(last, series.Size() - 1);
    for (qsizetype i = from; i <= to && static_cast<int>(values.size()) < maxCount; ++i) {
        if (!series.IsNull(i))
            values.push_back(series.Value(i));
    }
    return values;
}

bool RangeFromDragEnds(int count, int a, int b, int* first, int* last)
{
    if (count <= 0)
        return false;
    a = std::clamp(a, 0, count - 1);
    b = std::clamp(b, 0, count - 1);
    if (a == b)
        return false;
    *first = std::min(a, b);
    *last = std::max(a, b);
    return true;
}

} // namespace fft

namespace {

std::atomic<unsigned> g_allocFaults { 0 };

template <typename T> T* allocate(std::size_t n, unsigned which)
{
    if (g_allocFaults.load() & which)
        return nullptr;
    return new (std::nothrow) T[n]();
}

double peakOf(const double* v, int n)
{
    double peak = 1e-90;
    for (int i = 0; i < n; ++i)
        peak = std::max(peak, v[i]);
    return peak;
}

} // namespace

void CFftAnalysis::SetAllocFaultForTesting(unsigned mask) { g_allocFaults.store(mask); }

CFftAnalysis::CFftAnalysis()
    : m_pInMag(allocate<double>(kBufferLength, BufInMag))
    , m_pOutMag(allocate<double>(kBufferLength, BufOutMag))
    , m_pWork(allocate<std::complex<float>>(kBufferLength, BufWork))
    , m_pPower(allocate<double>(kPowerLength, BufPower))
    , m_pLong(allocate<double>(kLongLength, BufLong))
{
}

CFftAnalysis::~CFftAnalysis()
{
    delete[] m_pInMag;
    delete[] m_pOutMag;
    delete[] m_pWork;
    delete[] m_pPower;
    delete[] m_pLong;
}

int CFftAnalysis::MissingBuffers() const
{
    return !m_pInMag + !m_pOutMag + !m_pWork + !m_pPower + !m_pLong;
}

CFftAnalysis::Result CFftAnalysis::Run(const Settings& s, const double* values, int count)
{
    if (!Ready())
        return Result::NotReady;
    if (!fft::IsAnalysisSize(s.size) || s.segments < 1 || s.segments > kMaxSegments)
        return Result::BadSettings;

    const int n = s.size;
    m_nSize = n;
    // The magnitude curve puts bin N at the right edge, so that is where its labels end too.
    m_nLabelSpan = n;
    m_nWindow = (s.window >= 0 && s.window < fft::kWindowCount) ? s.window : fft::WindowNone;
    m_nSegLen = n;
    m_nOverlap = kOverlap;
    m_nSegments = s.segments;
    m_nTotal = (n - m_nOverlap) * (m_nSegments - 1) + n;
    m_bPower = s.power;
    m_dPeak = 0.0;
    m_dInPeak = 0.0;
    m_bHasResult = false;

    std::fill(m_pLong, m_pLong + m_nTotal, 0.0);
    std::fill(m_pPower, m_pPower + kPowerLength, 0.0);
    std::fill(m_pWork, m_pWork + kBufferLength, std::complex<float>());
    std::fill(m_pInMag, m_pInMag + kBufferLength, 0.0);
    std::fill(m_pOutMag, m_pOutMag + kBufferLength, 0.0);

    const int copied = values ? std::clamp(count, 0, n) : 0;
    for (int i = 0; i < copied; ++i)
        m_pWork[i] = std::complex<float>(static_cast<float>(values[i]), 0.0f);

    if (m_bPower) {
        for (int i = 0; i < n; ++i)
            m_pLong[i] = m_pWork[i].real();
        m_bHasResult = Power();
    } else {
        m_bHasResult = Magnitude();
    }
    return m_bHasResult ? Result::Done : Result::NoTwiddles;
}

bool CFftAnalysis::Magnitude()
{
    const int n = m_nSize;
    for (int i = 0; i < n; ++i)
        m_pInMag[i] = std::abs(std::complex<double>(m_pWork[i].real(), m_pWork[i].imag()));
    m_dInPeak = peakOf(m_pInMag, n);
    fft::ApplyWindow(m_nWindow, m_pWork, n);
    if (!fft::Forward(m_pWork, fft::Log2(n)))
        return false;
    for (int i = 0; i < n; ++i) {
        const float re = m_pWork[i].real();
        const float im = m_pWork[i].imag();
        m_pOutMag[i] = std::sqrt(re * re + im * im);
    }
    m_dPeak = peakOf(m_pOutMag, n);
    return true;
}

bool CFftAnalysis::Power()
{
    const int n = m_nSize;
    double inPeak = 1e-90;
    for (int i = 0; i < m_nTotal; ++i)
        inPeak = std::max(inPeak, std::fabs(m_pLong[i]));
    m_dInPeak = inPeak;

    const double scale = static_cast<double>(n) * n;
    const int hop = n - m_nOverlap;
    for (int s = 0; s < m_nSegments; ++s) {
        const double* seg = m_pLong + static_cast<std::ptrdiff_t>(hop) * s;
        for (int j = 0; j < n; ++j)
            m_pWork[j] = std::complex<float>(static_cast<float>(seg[j]), 0.0f);
        fft::ApplyWindow(m_nWindow, m_pWork, n);
        if (!fft::Forward(m_pWork, fft::Log2(n)))
            return false;
        for (int k = 0; k < n; ++k) {
            const double re = m_pWork[k].real();
            const double im = m_pWork[k].imag();
            m_pPower[k] += (re * re + im * im) / scale;
        }
    }

    double peak = 1e-90;
    for (int k = 0; k < n / 2; ++k) {
        double p = m_pPower[k] / m_nSegments;
        if (p <= kPowerFloor)
            p = kPowerFloor;
        m_pPower[k] = 10.0 * std::log10(p);
        peak = std::max(peak, std::fabs(m_pPower[k]));
    }
    m_dPeak = peak;
    return true;
}

std::vector<double> CFftAnalysis::Values() const
{
    if (!m_bHasResult)
        return {};
    if (m_bPower)
        return std::vector<double>(m_pPower, m_pPower + m_nSize / 2);
    return std::vector<double>(m_pOutMag, m_pOutMag + m_nSize);
}
