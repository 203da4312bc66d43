#include "direct_image_reference.h"

#include "calibration.h"
#include "image_corrections.h"
#include "image_record.h"
#include "raw_unpack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace torvex::reference {

namespace {

constexpr int kMax = 16383;
constexpr int kLevels = 16384;

uint32_t ReadLe(const std::vector<uint8_t>& f, size_t nAt, int nBytes) {
    uint32_t v = 0;
    for (int i = nBytes - 1; i >= 0; --i)
        v = v * 256 + f[nAt + static_cast<size_t>(i)];
    return v;
}

void WriteLe(std::vector<uint8_t>& f, size_t nAt, uint32_t v, int nBytes) {
    for (int i = 0; i < nBytes; ++i) {
        f[nAt + static_cast<size_t>(i)] = static_cast<uint8_t>(v % 256);
        v /= 256;
    }
}

std::vector<int> Histogram(const std::vector<uint16_t>& pixels) {
    std::vector<int> h(kLevels, 0);
    for (uint16_t v : pixels)
        if (v < kLevels)
            ++h[v];
    return h;
}

} // namespace

std::vector<uint8_t> Pack(const std::vector<uint16_t>& samples) {
    std::vector<uint8_t> out((samples.size() * 14 + 7) / 8, 0);
    size_t nBit = 0;
    for (uint16_t s : samples)
        for (int b = 13; b >= 0; --b, ++nBit)
            if ((s >> b) & 1)
                out[nBit / 8] |= static_cast<uint8_t>(0x80 >> (nBit % 8));
    return out;
}

std::vector<uint16_t> Unpack(const std::vector<uint8_t>& raw, size_t nPixels, size_t nBudget,
                             bool bDarkFrame) {
    std::vector<uint16_t> out;
    size_t nPos = 0;
    int nPrevious = 0;
    for (size_t g = 0; g < nPixels / 4; ++g) {
        int b[7];
        for (int k = 0; k < 7; ++k)
            b[k] = nPos + k < raw.size() ? raw[nPos + k] : 0;
        int p[4] = {b[0] * 64 + b[1] / 4, (b[1] % 4) * 4096 + b[2] * 16 + b[3] / 16,
                    (b[3] % 16) * 1024 + b[4] * 4 + b[5] / 64, (b[5] % 64) * 256 + b[6]};
        size_t nBack = 0;
        for (int k = 0; k < 4; ++k) {
            if (nBudget != 0 && (p[k] < 3000 || p[k] > 15000)) {
                p[k] = bDarkFrame ? 0 : nPrevious;
                ++nBack;
                --nBudget;
            }
            out.push_back(static_cast<uint16_t>(p[k]));
        }
        nPrevious = p[3];
        nPos += 7 - nBack;
    }
    return out;
}

std::vector<uint16_t> Combine(const std::vector<uint16_t>& exposure,
                              const std::vector<uint16_t>& dark) {
    std::vector<uint16_t> out(exposure.size());
    for (size_t i = 0; i < exposure.size(); ++i)
        out[i] = static_cast<uint16_t>(kMax - std::max(0, exposure[i] - dark[i]));
    return out;
}

bool Calibrate(const std::vector<uint8_t>& ffc, uint32_t nEnergy, std::vector<uint16_t>& pixels,
               uint32_t nWidth, uint32_t nHeight) {
    if (ffc.size() < 128)
        return false;
    const uint32_t w = ReadLe(ffc, 0, 4), h = ReadLe(ffc, 4, 4);
    if (w != nWidth || h != nHeight || ffc.size() - 128 < uint64_t{w} * h)
        return false;
    if (ffc[22] != 0 || ffc[23] != 0)
        return false;
    const int64_t d = static_cast<int16_t>(ReadLe(ffc, 8, 2));
    const int64_t p = int64_t{100} * static_cast<int32_t>(ReadLe(ffc, 16, 4));
    const int64_t u = static_cast<int8_t>(ffc[20]);
    const uint8_t nNeutral = ffc[20];

    std::vector<std::pair<uint32_t, uint32_t>> defects;
    // Scan order, counted by pixel: a file may name a width of 0 and a
    // height of billions.
    for (size_t k = 0; k < size_t{w} * h; ++k) {
        const uint32_t x = static_cast<uint32_t>(k % w), y = static_cast<uint32_t>(k / w);
        const int i = ffc[128 + k];
        if (i == 0 || i == nNeutral)
            continue;
        if (i == 255) {
            if (defects.size() < 1023)
                defects.emplace_back(x, y);
            continue;
        }
        if (p == 0 || d == 0)
            continue; // no gain to divide by
        const int64_t gain = ((p - u + i) * 10000 / p - 10000) * int64_t{nEnergy} / d + 10000;
        if (gain == 0)
            continue;
        int64_t v = int64_t{pixels[k]} * 10000 / gain;
        if (v & (int64_t{1} << 30))
            v = 0;
        else if (v >= 16384)
            v = kMax;
        pixels[k] = static_cast<uint16_t>(v);
    }
    // Each defect's place in the list, to know which neighbours come earlier.
    std::vector<size_t> place(size_t{w} * h, SIZE_MAX);
    for (size_t n = 0; n < defects.size(); ++n)
        place[size_t{defects[n].second} * w + defects[n].first] = n;
    for (size_t n = defects.size(); n-- > 0;) {
        const int64_t x = defects[n].first, y = defects[n].second;
        int64_t nSum = 0, nCount = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int64_t nx = x + dx, ny = y + dy;
                if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h)
                    continue;
                if (place[static_cast<size_t>(ny * w + nx)] < n)
                    continue; // a defect earlier in the list
                nSum += pixels[static_cast<size_t>(ny * w + nx)];
                ++nCount;
            }
        }
        if (nCount > 0)
            pixels[static_cast<size_t>(y * w + x)] = static_cast<uint16_t>(nSum / nCount);
    }
    return true;
}

void MaskCorners(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    const std::vector<int> hist = Histogram(pixels);
    int nFill = 0;
    for (int v = kLevels - 1; v >= 0; --v)
        if (hist[static_cast<size_t>(v)] > 50)
            nFill = v;
    for (uint32_t r = 0; r < nBand && r < nHeight; ++r) {
        for (uint32_t x = 0; x < nWidth; ++x)
            if (x < nBand - r || x >= nWidth - std::min(nWidth, nBand - r))
                pixels[size_t{r} * nWidth + x] = static_cast<uint16_t>(nFill);
    }
}

void Median(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand) {
    for (int64_t t = int64_t{nHeight} - 3; t >= 1; --t) {
        int64_t nFirst = 0, nLast = int64_t{nWidth} - 4;
        if (t < nBand) {
            nFirst = nBand - t;
            nLast -= nBand - t;
        }
        for (int64_t c = nFirst; c <= nLast; ++c) {
            uint16_t window[9];
            int n = 0;
            for (int64_t y = t; y < t + 3; ++y)
                for (int64_t x = c; x < c + 3; ++x)
                    window[n++] = pixels[static_cast<size_t>(y * nWidth + x)];
            std::sort(window, window + 9);
            pixels[static_cast<size_t>((t + 1) * nWidth + c + 1)] = window[4];
        }
    }
}

void ReverseRows(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight) {
    const std::vector<uint16_t> in = pixels;
    for (uint32_t y = 0; y < nHeight; ++y)
        for (uint32_t x = 0; x < nWidth; ++x)
            pixels[size_t{y} * nWidth + x] = in[size_t{nHeight - 1 - y} * nWidth + x];
}

std::vector<uint8_t> Bitmap(const std::vector<uint16_t>& pixels, uint32_t nWidth,
                            uint32_t nHeight) {
    const std::vector<int> hist = Histogram(pixels);
    int lo = 0;
    while (lo < kLevels && hist[static_cast<size_t>(lo)] == 0)
        ++lo;
    if (lo == kLevels) {
        lo = 0;
    } else if (hist[static_cast<size_t>(lo)] < 12820) {
        int v = lo + 1;
        while (v < kLevels && hist[static_cast<size_t>(v)] <= 50)
            ++v;
        lo = v < kLevels ? v : 0;
    }
    int hi = 0;
    for (int v = 0; v < kLevels; ++v)
        if (hist[static_cast<size_t>(v)] > 50)
            hi = v;
    std::vector<uint8_t> grey(kLevels);
    for (int v = 0; v < kLevels; ++v) {
        if (v >= hi)
            grey[static_cast<size_t>(v)] = 255;
        else if (v < lo)
            grey[static_cast<size_t>(v)] = 0;
        else
            grey[static_cast<size_t>(v)] = static_cast<uint8_t>((v - lo) * 255.0 / (hi - lo) + 0.5);
    }
    // With no level above 50 pixels hi is 0 and every level would be 255.
    bool bAnyCounted = false;
    for (int v = 0; v < kLevels; ++v)
        bAnyCounted = bAnyCounted || hist[static_cast<size_t>(v)] > 50;
    if (!bAnyCounted)
        std::fill(grey.begin(), grey.end(), 0);

    const size_t nPixels = size_t{nWidth} * nHeight;
    std::vector<uint8_t> f(1078 + nPixels, 0);
    f[0] = 'B';
    f[1] = 'M';
    WriteLe(f, 2, static_cast<uint32_t>(nPixels + 1078), 4);
    WriteLe(f, 10, 1078, 4);
    WriteLe(f, 14, 40, 4);
    WriteLe(f, 18, nWidth, 4);
    WriteLe(f, 22, nHeight, 4);
    WriteLe(f, 26, 1, 2);
    WriteLe(f, 28, 8, 2);
    WriteLe(f, 38, 50000, 4);
    WriteLe(f, 42, 50000, 4);
    WriteLe(f, 46, 256, 4);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            f[54 + 4 * static_cast<size_t>(i) + static_cast<size_t>(c)] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < nPixels; ++i)
        f[1078 + i] = pixels[i] < kLevels ? grey[pixels[i]] : 0;
    return f;
}

SPipelineOutput Pipeline(const SPipelineInput& in) {
    const uint32_t w = in.m_nWidth, h = in.m_nHeight;
    const size_t nRaw = size_t{w} * (h + 4);
    std::vector<uint16_t> image = Unpack(in.m_exposure, nRaw, in.m_nExposureBudget, false);
    if (!in.m_dark.empty()) {
        image = Combine(image, Unpack(in.m_dark, nRaw, in.m_nDarkBudget, true));
    } else {
        for (uint16_t& v : image)
            v = static_cast<uint16_t>(kMax - v);
    }
    image.erase(image.begin(), image.begin() + 4 * static_cast<ptrdiff_t>(w));
    if (!in.m_ffc.empty())
        (void)Calibrate(in.m_ffc, in.m_nEnergy, image, w, h);
    MaskCorners(image, w, h, in.m_nBand);
    if (in.m_bMedian)
        Median(image, w, h, in.m_nBand);
    ReverseRows(image, w, h);
    SPipelineOutput out;
    out.m_bitmap = Bitmap(image, w, h);
    out.m_pixels = std::move(image);
    return out;
}

void Kernels(const SPipelineInput& in, SPipelineOutput& out) {
    const uint32_t w = in.m_nWidth, h = in.m_nHeight;
    const size_t nRaw = size_t{w} * (h + 4);
    // The kernels read whole groups: a short transfer's tail is zero-filled,
    // as in the fetch's buffer.
    std::vector<uint8_t> tail;
    auto whole = [&](const std::vector<uint8_t>& raw) {
        if (raw.size() >= PackedSize(nRaw))
            return raw.data();
        tail = raw;
        tail.resize(PackedSize(nRaw), 0);
        return static_cast<const uint8_t*>(tail.data());
    };
    std::vector<uint16_t>& image = out.m_pixels;
    image.resize(nRaw);
    UnpackSamples(whole(in.m_exposure), nRaw, in.m_nExposureBudget, false, image.data());
    if (!in.m_dark.empty()) {
        std::vector<uint16_t> dark(nRaw);
        UnpackSamples(whole(in.m_dark), nRaw, in.m_nDarkBudget, true, dark.data());
        SubtractDark(image.data(), dark.data(), nRaw);
    } else {
        InvertSamples(image.data(), nRaw);
    }
    std::memmove(image.data(), image.data() + size_t{4} * w, size_t{w} * h * 2);
    image.resize(size_t{w} * h);
    if (!in.m_ffc.empty()) {
        if (const auto cal = ParseCalibration(in.m_ffc.data(), in.m_ffc.size()))
            (void)ApplyCalibration(*cal, in.m_nEnergy, image.data(), w, h);
    }
    torvex::MaskCorners(image.data(), w, h, in.m_nBand);
    if (in.m_bMedian)
        MedianRecursive(image.data(), w, h, in.m_nBand);
    torvex::ReverseRows(image.data(), w, h);
    const uint8_t osc[kOscillogramSize] = {};
    const std::vector<uint8_t> record =
        BuildImageRecord(image.data(), w, h, in.m_nEnergy, 100, osc, 0);
    SImageRecord view; // any geometry, where the parser takes only the sensors' two
    view.m_nWidth = w;
    view.m_nHeight = h;
    view.m_pInfo = record.data();
    view.m_pPixels = record.data() + kInfoHeaderSize + kPaletteSize;
    out.m_bitmap = BitmapFileBytes(view);
}

} // namespace torvex::reference
