// The fast image kernels of the direct sensors held against the plain steps
// over random frames and calibration files: unpacking with glitch repair,
// dark subtraction, calibration with defects, corner mask, the recursive
// median, row order and the bitmap.
#include "calibration.h"
#include "direct_image_reference.h"
#include "image_corrections.h"
#include "raw_unpack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace torvex;

namespace {

using CPixels = std::vector<uint16_t>;
using CBytes = std::vector<uint8_t>;

// Smooth levels with noise in the sensor's working range, and now and then
// a sample outside it that the glitch repair would catch.
CPixels Frame(size_t nWidth, size_t nPixels, uint16_t nBase, std::mt19937& rng) {
    CPixels p(nPixels);
    for (size_t i = 0; i < nPixels; ++i) {
        const size_t x = i % nWidth, y = i / nWidth;
        int v = nBase + static_cast<int>((x * 7 + y * 3) % 4000) + static_cast<int>(rng() % 200);
        if (rng() % 97 == 0)
            v = static_cast<int>(rng() % 16384);
        p[i] = static_cast<uint16_t>(v);
    }
    return p;
}

CBytes Calibration(uint32_t w, uint32_t h, std::mt19937& rng) {
    CBytes f(128 + size_t{w} * h, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, w, 4);
    put(4, h, 4);
    const int nKind = static_cast<int>(rng() % 8);
    put(8, nKind == 0 ? 0 : static_cast<uint32_t>(rng() % 2 ? 50 + rng() % 200 : rng()), 2);
    put(16, nKind == 1 ? 0 : static_cast<uint32_t>(rng() % 2 ? 1 + rng() % 40 : rng()), 4);
    const uint8_t nNeutral = static_cast<uint8_t>(rng());
    f[20] = nNeutral;
    for (size_t i = 128; i < f.size(); ++i) {
        const uint32_t r = rng() % 100;
        f[i] = r < 10 ? 0 : r < 15 ? nNeutral : static_cast<uint8_t>(rng() % 255);
    }
    // Defects alone, in clusters, on the borders and in the corners.
    const size_t nDefects = rng() % 3 == 0 ? 1100 : rng() % 60;
    for (size_t k = 0; k < nDefects; ++k) {
        const uint32_t x = rng() % 4 == 0 ? (rng() % 2 ? 0 : w - 1) : rng() % w;
        const uint32_t y = rng() % 4 == 0 ? (rng() % 2 ? 0 : h - 1) : rng() % h;
        const uint32_t nRows = 1 + rng() % 2, nColumns = 1 + rng() % 3;
        for (uint32_t dy = 0; dy < nRows && y + dy < h; ++dy)
            for (uint32_t dx = 0; dx < nColumns && x + dx < w; ++dx)
                f[128 + size_t{y + dy} * w + x + dx] = 255;
    }
    return f;
}

} // namespace

// Whole images, the two sensor geometries included, with and without a dark
// frame, short transfers and every kind of calibration index. Frames hold
// whole groups of four samples, as the sensors' do.
TEST(DirectPipeline, KernelsEqualThePlainSteps) {
    struct Shape {
        uint32_t w, h, band;
    } shapes[] = {
        {4, 4, 0},     {17, 12, 3},  {32, 40, 0},       {33, 40, 9},       {64, 300, 37},
        {101, 52, 60}, {40, 90, 30}, {1000, 1496, 115}, {1300, 1696, 270},
    };
    std::mt19937 rng(20261210);
    for (const Shape& s : shapes) {
        const int nRounds = s.w >= 1000 ? 1 : 6;
        for (int round = 0; round < nRounds; ++round) {
            reference::SPipelineInput in;
            in.m_nWidth = s.w;
            in.m_nHeight = s.h;
            in.m_nBand = s.band;
            in.m_bMedian = round % 3 != 2;
            const size_t nRaw = size_t{s.w} * (s.h + 4);
            in.m_exposure = reference::Pack(Frame(s.w, nRaw, 9000, rng));
            in.m_nExposureBudget = rng() % 4;
            in.m_exposure.resize(in.m_exposure.size() - in.m_nExposureBudget);
            if (round % 2 == 0) {
                in.m_dark = reference::Pack(Frame(s.w, nRaw, 3000, rng));
                in.m_nDarkBudget = rng() % 4;
                in.m_dark.resize(in.m_dark.size() - in.m_nDarkBudget);
            }
            if (round % 4 != 3)
                in.m_ffc = Calibration(s.w, s.h, rng);
            in.m_nEnergy = rng() % 2 ? rng() % 8000 : rng();

            const reference::SPipelineOutput expected = reference::Pipeline(in);
            reference::SPipelineOutput actual;
            reference::Kernels(in, actual);
            ASSERT_EQ(actual.m_pixels, expected.m_pixels)
                << s.w << " x " << s.h << " band " << s.band << " round " << round;
            ASSERT_EQ(actual.m_bitmap, expected.m_bitmap)
                << s.w << " x " << s.h << " band " << s.band << " round " << round;
        }
    }
}

// Random bytes: most samples are out of range, so a large budget repairs
// and steps back on nearly every sample.
TEST(DirectPipeline, UnpackOfRandomBytesEqualsThePlainSteps) {
    std::mt19937 rng(5);
    for (size_t nPixels : {4u, 8u, 12u, 16u, 40u, 4000u}) {
        for (size_t nBudget : {0u, 1u, 3u, 50u}) {
            for (bool bDark : {false, true}) {
                CBytes raw(PackedSize(nPixels));
                for (auto& b : raw)
                    b = static_cast<uint8_t>(rng());
                CPixels out(nPixels);
                UnpackSamples(raw.data(), nPixels, nBudget, bDark, out.data());
                EXPECT_EQ(out, reference::Unpack(raw, nPixels, nBudget, bDark))
                    << nPixels << " pixels, budget " << nBudget;
            }
        }
    }
}

// The full 16-bit range (above 32767 the vector lanes compare with a flipped
// sign bit), ties, and bands that start inside and outside the corner band.
TEST(DirectPipeline, MedianOverTheFullRangeEqualsThePlainSteps) {
    struct Shape {
        uint32_t w, h, band;
    } shapes[] = {{31, 20, 0}, {32, 20, 0}, {33, 27, 5}, {50, 30, 12}, {200, 61, 40}, {40, 40, 25}};
    std::mt19937 rng(9);
    for (const Shape& s : shapes) {
        for (uint32_t nTop : {65535u, 3u}) {
            CPixels a(size_t{s.w} * s.h);
            for (auto& v : a)
                v = static_cast<uint16_t>(rng() % (nTop + 1));
            CPixels b = a;
            MedianRecursive(a.data(), s.w, s.h, s.band);
            reference::Median(b, s.w, s.h, s.band);
            EXPECT_EQ(a, b) << s.w << " x " << s.h << " band " << s.band << " levels " << nTop;
        }
    }
}

// Gains at the edges of the division: 1 (the product itself, capped), a
// power of two, just below and above 2^32, negative, and kept pixels above
// the 14-bit range.
TEST(DirectPipeline, GainEdgesEqualThePlainSteps) {
    struct Case {
        const char* what;
        int16_t d;
        int32_t b;
        int8_t u;
        uint32_t nrj;
        uint8_t index;
    } cases[] = {
        {"gain (-1 * 9999) + 10000 = 1", 1, 100, 10, 9999, 9},
        {"gain 8192", 1, 100, 10, 1808, 9},
        {"gain 4 * 4294957296 + 10000 = 2^34 - 30000", 1, 5000, 0, 4294957296u, 200},
        {"gain 2^32", 4, 5000, 0, 4294957296u, 200},
        {"gain 2^32 - 1", 4, 5000, 0, 4294957295u, 200},
        {"negative gain", -1, 1, 0, 2, 150},
        {"gain 10000 + 10 * 100", 1, 1, 0, 1, 10},
        {"the neutral index keeps 65535", 1, 1, 7, 1, 7},
    };
    const CPixels image = {0, 1, 2, 3, 9999, 10000, 16383, 16384, 40000, 65535, 12345, 8191};
    for (const Case& c : cases) {
        CBytes f(128 + image.size(), c.index);
        std::fill(f.begin(), f.begin() + 128, 0);
        f[0] = static_cast<uint8_t>(image.size());
        f[4] = 1;
        f[8] = static_cast<uint8_t>(c.d);
        f[9] = static_cast<uint8_t>(static_cast<uint16_t>(c.d) >> 8);
        for (int i = 0; i < 4; ++i)
            f[16 + i] = static_cast<uint8_t>(static_cast<uint32_t>(c.b) >> (8 * i));
        f[20] = static_cast<uint8_t>(c.u);
        CPixels actual = image, expected = image;
        ASSERT_EQ(ApplyCalibration(*ParseCalibration(f.data(), f.size()), c.nrj, actual.data(),
                                   static_cast<uint32_t>(image.size()), 1),
                  ECalibrationFault::None);
        ASSERT_TRUE(
            reference::Calibrate(f, c.nrj, expected, static_cast<uint32_t>(image.size()), 1));
        EXPECT_EQ(actual, expected) << c.what;
    }
}

// Found by fuzzing: a file of width 0 has no index bytes at all, and the
// defect search must not touch their (null) storage.
TEST(DirectPipeline, CalibrationOfAnEmptyImage) {
    for (uint32_t w : {0u, 5u}) {
        CBytes f(128, 0);
        f[0] = static_cast<uint8_t>(w);
        f[8] = 1;  // D
        f[16] = 1; // B
        const auto cal = ParseCalibration(f.data(), f.size());
        ASSERT_TRUE(cal);
        uint16_t nUnused = 77;
        EXPECT_EQ(ApplyCalibration(*cal, 1, &nUnused, w, 0), ECalibrationFault::None);
        EXPECT_EQ(nUnused, 77);
    }
}
