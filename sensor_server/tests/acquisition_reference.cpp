#include "acquisition_reference.h"

#include "direct_frames.h"

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

namespace torvex::test {

namespace {

// Bit by bit, most significant first: the plainest reading of 14-bit samples.
std::vector<uint16_t> Unpack(const std::vector<uint8_t>& bytes, size_t nPixels) {
    std::vector<uint16_t> out(nPixels);
    for (size_t i = 0; i < nPixels; ++i) {
        uint32_t v = 0;
        for (size_t b = 0; b < 14; ++b) {
            const size_t nBit = i * 14 + b;
            v = v << 1 | ((bytes[nBit / 8] >> (7 - nBit % 8)) & 1u);
        }
        out[i] = static_cast<uint16_t>(v);
    }
    return out;
}

uint16_t FillLevel(const std::vector<uint16_t>& p) {
    std::vector<uint32_t> histogram(16384, 0);
    for (uint16_t v : p)
        ++histogram[v];
    for (size_t level = 0; level < histogram.size(); ++level)
        if (histogram[level] > 50)
            return static_cast<uint16_t>(level);
    return 0;
}

} // namespace

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

// Gain per index, defect pixels from their neighbours (the first 1023 in
// scan order, repaired last to first).
void Calibrate(std::vector<uint16_t>& p, uint32_t w, uint32_t h, const std::vector<uint8_t>& ffc,
               uint32_t nEnergy) {
    const int64_t D = static_cast<int16_t>(ffc[8] | ffc[9] << 8);
    const int64_t P = 100 * int64_t{static_cast<int32_t>(U32(ffc, 16))};
    const int64_t U = static_cast<int8_t>(ffc[20]);
    std::vector<std::pair<uint32_t, uint32_t>> defects;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const int i = ffc[128 + size_t{y} * w + x];
            uint16_t& v = p[size_t{y} * w + x];
            if (i == 0 || i == U)
                continue;
            if (i == 255) {
                if (defects.size() < 1023)
                    defects.emplace_back(x, y);
                continue;
            }
            const int64_t gain = ((P - U + i) * 10000 / P - 10000) * int64_t{nEnergy} / D + 10000;
            if (gain == 0)
                continue;
            int64_t q = int64_t{v} * 10000 / gain;
            if (q < 0 || (q & (1 << 30)))
                q = 0;
            v = static_cast<uint16_t>(std::min<int64_t>(q, 16383));
        }
    auto listedBefore = [&](size_t k, uint32_t x, uint32_t y) {
        for (size_t j = 0; j < k; ++j)
            if (defects[j].first == x && defects[j].second == y)
                return true;
        return false;
    };
    for (size_t k = defects.size(); k-- > 0;) {
        const uint32_t x = defects[k].first, y = defects[k].second;
        int64_t sum = 0, n = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0)
                    continue;
                const int64_t nx = int64_t{x} + dx, ny = int64_t{y} + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                    continue;
                const bool before = dy < 0 || (dy == 0 && dx < 0);
                if (before && listedBefore(k, static_cast<uint32_t>(nx), static_cast<uint32_t>(ny)))
                    continue;
                sum += p[static_cast<size_t>(ny) * w + static_cast<size_t>(nx)];
                ++n;
            }
        if (n > 0)
            p[size_t{y} * w + x] = static_cast<uint16_t>(sum / n);
    }
}

// bNoDark: the exposure alone.
SReferenceImage Compute(int nSlot, bool bDarkExposed, const std::vector<uint8_t>& calibration,
                        uint32_t nEnergy, bool bNoDark = false) {
    const sim::SFrameGeometry g = sim::GeometryOfSlot(nSlot);
    const size_t nPixels = size_t{g.m_nWidth} * g.m_nHeight;
    const std::vector<uint16_t> e = Unpack(sim::PackSamples(sim::ExposureSamples(g)), nPixels);
    const std::vector<uint16_t> d =
        bNoDark ? std::vector<uint16_t>(nPixels, 0)
                : Unpack(sim::PackSamples(sim::DarkSamples(g, bDarkExposed)), nPixels);
    SReferenceImage image;
    image.m_nWidth = g.m_nWidth;
    image.m_nHeight = g.m_nHeight - 4;
    const uint32_t w = image.m_nWidth, h = image.m_nHeight;
    for (size_t i = 4 * size_t{w}; i < nPixels; ++i) {
        const int diff = int{e[i]} - int{d[i]};
        image.m_pixels.push_back(static_cast<uint16_t>(16383 - std::max(0, diff)));
    }
    std::vector<uint16_t>& p = image.m_pixels;
    if (!calibration.empty())
        Calibrate(p, w, h, calibration, nEnergy);
    auto at = [&](uint32_t x, uint32_t y) -> uint16_t& { return p[size_t{y} * w + x]; };

    const uint32_t band = nSlot == 0 ? 115 : 270;
    const uint16_t fill = FillLevel(p);
    for (uint32_t r = 0; r < band; ++r)
        for (uint32_t k = 0; k < band - r; ++k) {
            at(k, r) = fill;
            at(w - 1 - k, r) = fill;
        }

    // Bottom up, left to right, each centre replaced before the next window.
    for (uint32_t t = h - 3; t >= 1; --t) {
        const uint32_t skip = t < band ? band - t : 0;
        for (uint32_t c = skip; c + 4 <= w - skip; ++c) {
            std::array<uint16_t, 9> window;
            for (uint32_t dy = 0; dy < 3; ++dy)
                for (uint32_t dx = 0; dx < 3; ++dx)
                    window[dy * 3 + dx] = at(c + dx, t + dy);
            std::sort(window.begin(), window.end());
            at(c + 1, t + 1) = window[4];
        }
    }

    for (uint32_t k = 0; k < h / 2; ++k)
        for (uint32_t x = 0; x < w; ++x)
            std::swap(at(x, k), at(x, h - 1 - k));
    return image;
}

} // namespace

SReferenceImage ReferenceAcquisition(int nSlot, bool bDarkExposed,
                                     const std::vector<uint8_t>& calibration, uint32_t nEnergy) {
    // Several tests ask for the same few images.
    using CKey = std::tuple<int, bool, std::vector<uint8_t>, uint32_t>;
    static std::map<CKey, SReferenceImage> s_images;
    CKey key{nSlot, bDarkExposed, calibration, nEnergy};
    auto it = s_images.find(key);
    if (it == s_images.end())
        it = s_images.emplace(key, Compute(nSlot, bDarkExposed, calibration, nEnergy)).first;
    return it->second;
}

SReferenceImage ReferenceWithoutDark(int nSlot) {
    return Compute(nSlot, false, {}, 5400, true);
}

std::vector<uint8_t> ReferenceGrey(const SReferenceImage& image) {
    std::vector<uint32_t> histogram(16384, 0);
    for (uint16_t v : image.m_pixels)
        ++histogram[v];
    int lo = 0;
    while (lo < 16384 && histogram[lo] == 0)
        ++lo;
    if (lo == 16384)
        lo = 0;
    if (histogram[lo] < 12820) {
        int next = lo + 1;
        while (next < 16384 && histogram[next] <= 50)
            ++next;
        lo = next < 16384 ? next : 0;
    }
    int hi = 16383;
    while (hi >= 0 && histogram[hi] <= 50)
        --hi;
    if (hi < 0) // no level holds more than 50 pixels: all black
        return std::vector<uint8_t>(image.m_pixels.size(), 0);
    std::vector<uint8_t> out;
    out.reserve(image.m_pixels.size());
    for (uint16_t v : image.m_pixels) {
        int grey = 0;
        if (v >= hi)
            grey = 255;
        else if (v >= lo)
            grey = ((v - lo) * 255 * 2 + (hi - lo)) / (2 * (hi - lo));
        out.push_back(static_cast<uint8_t>(grey));
    }
    return out;
}

std::vector<uint8_t> ReferenceRawFile(const SReferenceImage& image) {
    std::vector<uint8_t> out;
    for (uint16_t v : image.m_pixels) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    return out;
}

std::string ReferenceOscillogramText(size_t nCount) {
    const std::array<uint8_t, 1024> samples = sim::ExposureOscillogram();
    std::string text;
    for (size_t i = 0; i < nCount && i < samples.size(); ++i)
        text += std::to_string(samples[i]) + "\r\n";
    return text;
}

} // namespace torvex::test
