#pragma once
// The filter chain written out loop by loop from its description, for the
// tests and the benchmark to hold the fast kernels against.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvex::reference {

// Taps for sigma and precision on lines of nLength samples.
std::vector<double> GaussianKernel(double dSigma, double dPrecision, int nLength);

// In place on rows nStride bytes apart; nChannels 1 or 3.
void Filter(uint8_t* pPixels, int nWidth, int nHeight, size_t nStride, int nChannels,
            double dBlurScale, double dWeight);

} // namespace torvex::reference
