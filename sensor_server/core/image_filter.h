#pragma once
// The sharpening and smoothing chain of FilterImage: an unsharp mask on a
// Gaussian blur, a 3 x 3 median and a 5 x 5 mean, in place on 8-bit samples.
// Results are byte-identical to the plain double arithmetic: every output is
// summed in the same order as the straightforward loops, only many outputs
// at once.
#include "image_view.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvex {

struct SFilterParams {
    double m_dBlurScale = 10.0; // 0: no unsharp mask
    double m_dWeight = 0.8;
    double m_dGamma = 1.0;     // only 1 (no gamma step) is defined
    bool m_bFinalStep = false; // only "none" is defined
};

constexpr double kBlurSigmaPerScale = 0.8;
constexpr double kBlurPrecision = 0.01;
constexpr int kMinTapLimit = 50;

// Gaussian taps for sigma and precision on lines of nLength samples: tap
// count ceil(sigma * sqrt(-2 ln p)) + 1 limited to max(nLength, 50), tail
// tapered when below the limit, normalised. Writes at most nMaxTaps taps and
// returns the count (0 when pTaps is too small or sigma is not positive).
int GaussianTaps(double dSigma, double dPrecision, int nLength, double* pTaps, int nMaxTaps);
// Tap count before the taper, for sizing pTaps.
int GaussianTapCount(double dSigma, double dPrecision, int nLength);

// Working memory of one Filter call, owned by the caller.
struct SFilterScratch {
    double* m_pBlur = nullptr; // width * height
    double* m_pLine = nullptr; // width + 2 * (m_nMaxTaps - 1)
    double* m_pTaps = nullptr; // 2 * m_nMaxTaps: row taps, then column taps
    int m_nMaxTaps = 0;
    uint8_t* m_pPlane = nullptr;    // width * height
    uint8_t* m_pCopy = nullptr;     // width * height
    uint16_t* m_pColumns = nullptr; // width
};

// Owns scratch memory sized for an image and parameters.
class CFilterWorkspace {
public:
    SFilterScratch Prepare(int nWidth, int nHeight, const SFilterParams& params);

private:
    std::vector<double> m_blur, m_line, m_taps;
    std::vector<uint8_t> m_plane, m_copy;
    std::vector<uint16_t> m_columns;
};

// Filters in place. With 3 channels only the first byte of each pixel is
// read and every result goes to all three bytes. 0, or kBadValue for
// parameters outside what is defined (channels other than 1 or 3, gamma
// other than 1, a final step, an empty image, a scratch too small).
[[nodiscard]] int Filter(const SImageView& image, const SFilterParams& params,
                         const SFilterScratch& scratch);

// AVX2 lanes are used when the processor has them; tests and the benchmark
// switch them off to run the portable lanes too.
void AllowWideLanes(bool bAllow);

// The stages on single-channel planes (width * height, no padding), exposed
// for the benchmark and the tests.
// Row taps are for lines of nWidth samples, column taps for nHeight.
struct STaps {
    const double* m_pRow = nullptr;
    int m_nRow = 0;
    const double* m_pColumn = nullptr;
    int m_nColumn = 0;
};
void UnsharpPlane(uint8_t* pPlane, int nWidth, int nHeight, double dWeight, const STaps& taps,
                  double* pBlur, double* pLine);
void Median3Plane(const uint8_t* pIn, uint8_t* pOut, int nWidth, int nHeight);
void Mean5Plane(const uint8_t* pIn, uint8_t* pOut, int nWidth, int nHeight, uint16_t* pColumns);

} // namespace torvex
