#include "acquisition_reference.h"

#include "direct_frames.h"

#include <algorithm>
#include <array>
#include <map>

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

SReferenceImage Compute(int nSlot, bool bDarkExposed) {
    const sim::SFrameGeometry g = sim::GeometryOfSlot(nSlot);
    const size_t nPixels = size_t{g.m_nWidth} * g.m_nHeight;
    const std::vector<uint16_t> e = Unpack(sim::PackSamples(sim::ExposureSamples(g)), nPixels);
    const std::vector<uint16_t> d =
        Unpack(sim::PackSamples(sim::DarkSamples(g, bDarkExposed)), nPixels);
    SReferenceImage image;
    image.m_nWidth = g.m_nWidth;
    image.m_nHeight = g.m_nHeight - 4;
    const uint32_t w = image.m_nWidth, h = image.m_nHeight;
    for (size_t i = 4 * size_t{w}; i < nPixels; ++i) {
        const int diff = int{e[i]} - int{d[i]};
        image.m_pixels.push_back(static_cast<uint16_t>(16383 - std::max(0, diff)));
    }
    std::vector<uint16_t>& p = image.m_pixels;
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

SReferenceImage ReferenceAcquisition(int nSlot, bool bDarkExposed) {
    // Several tests ask for the same few images.
    static std::map<std::pair<int, bool>, SReferenceImage> s_images;
    const auto key = std::make_pair(nSlot, bDarkExposed);
    auto it = s_images.find(key);
    if (it == s_images.end())
        it = s_images.emplace(key, Compute(nSlot, bDarkExposed)).first;
    return it->second;
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
