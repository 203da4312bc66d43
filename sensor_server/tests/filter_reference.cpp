#include "filter_reference.h"

#include <algorithm>
#include <cmath>

namespace torvex::reference {

std::vector<double> GaussianKernel(double dSigma, double dPrecision, int nLength) {
    int n = static_cast<int>(std::ceil(dSigma * std::sqrt(-2.0 * std::log(dPrecision)))) + 1;
    const int nLimit = std::max(nLength, 50);
    const bool bLimited = n >= nLimit;
    if (bLimited)
        n = nLimit;
    std::vector<double> k(n);
    for (int i = 0; i < n; ++i)
        k[i] = std::exp(-(double(i) * double(i)) / (2.0 * dSigma * dSigma));
    if (!bLimited) {
        double m = 0;
        bool bHave = false;
        int j = n - 1;
        while (j > n / 2) {
            double r = std::sqrt(k[j]) / double(n - j);
            if (bHave && !(r < m))
                break;
            m = r;
            bHave = true;
            --j;
        }
        for (int idx = j + 2; idx <= n - 1; ++idx)
            k[idx] = double(n - idx) * double(n - idx) * (m * m);
    }
    double dDivisor;
    if (bLimited) {
        dDivisor = dSigma * std::sqrt(2.0 * 3.14159265358979323846);
    } else {
        double dSum = 0;
        for (int i = 1; i < n; ++i)
            dSum += k[i];
        dDivisor = k[0] + 2.0 * dSum;
    }
    for (double& d : k)
        d /= dDivisor;
    return k;
}

namespace {

void Convolve(const std::vector<double>& in, std::vector<double>& out, int nLength, size_t nStart,
              size_t nStep, const std::vector<double>& k) {
    auto at = [&](int a) {
        a = std::min(std::max(a, 0), nLength - 1);
        return in[nStart + size_t(a) * nStep];
    };
    for (int a = 0; a < nLength; ++a) {
        double s = k[0] * at(a);
        for (size_t i = 1; i < k.size(); ++i)
            s += k[i] * (at(a + int(i)) + at(a - int(i)));
        out[nStart + size_t(a) * nStep] = s;
    }
}

} // namespace

void Filter(uint8_t* pPixels, int nWidth, int nHeight, size_t nStride, int nChannels,
            double dBlurScale, double dWeight) {
    const int w = nWidth, h = nHeight, c = nChannels;
    auto px = [&](int x, int y) -> uint8_t* {
        return pPixels + size_t(y) * nStride + size_t(x) * c;
    };
    auto put = [&](int x, int y, int v) {
        for (int j = 0; j < c; ++j)
            px(x, y)[j] = uint8_t(v);
    };

    if (dBlurScale != 0) {
        std::vector<double> I(size_t(w) * h), T(I.size()), G(I.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                I[size_t(y) * w + x] = px(x, y)[0];
        const double dSigma = 0.8 * dBlurScale;
        const std::vector<double> kRow = GaussianKernel(dSigma, 0.01, w);
        const std::vector<double> kCol = GaussianKernel(dSigma, 0.01, h);
        for (int y = 0; y < h; ++y)
            Convolve(I, T, w, size_t(y) * w, 1, kRow);
        for (int x = 0; x < w; ++x)
            Convolve(T, G, h, size_t(x), size_t(w), kCol);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(y) * w + x;
                int v = int((I[i] - dWeight * G[i]) / (1 - dWeight));
                put(x, y, std::min(255, std::max(0, v)));
            }
        }
    }

    std::vector<uint8_t> copy(size_t(w) * h);
    auto snapshot = [&] {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                copy[size_t(y) * w + x] = px(x, y)[0];
    };
    snapshot();
    for (int y = 1; y <= h - 2; ++y) {
        for (int x = 1; x <= w - 2; ++x) {
            uint8_t v[9];
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    v[n++] = copy[size_t(y + dy) * w + (x + dx)];
            std::sort(v, v + 9);
            put(x, y, v[4]);
        }
    }
    snapshot();
    for (int y = 2; y <= h - 3 && w >= 5; ++y) {
        int sum = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = 0; dx < 4; ++dx)
                sum += copy[size_t(y + dy) * w + dx];
        for (int x = 2; x <= w - 3; ++x) {
            for (int dy = -2; dy <= 2; ++dy) {
                sum += copy[size_t(y + dy) * w + (x + 2)];
                if (x > 2)
                    sum -= copy[size_t(y + dy) * w + (x - 3)];
            }
            put(x, y, sum / 25);
        }
    }
}

} // namespace torvex::reference
