// The fast filter chain against the loop-by-loop reference, bit for bit, on
// random images of many shapes; taps and small fixtures against hand values.
#include "filter_reference.h"
#include "image_filter.h"
#include "status_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace torvex;

namespace {

struct SCase {
    int w, h, c;
    double scale;
};

// Runs the product's Filter on a copy with row padding of nPad bytes.
std::vector<uint8_t> RunFilter(const std::vector<uint8_t>& src, const SCase& k, size_t nStride) {
    std::vector<uint8_t> img = src;
    SFilterParams params;
    params.m_dBlurScale = k.scale;
    CFilterWorkspace workspace;
    const SFilterScratch scratch = workspace.Prepare(k.w, k.h, params);
    SImageView view{img.data(), k.w, k.h, static_cast<ptrdiff_t>(nStride), k.c};
    EXPECT_EQ(Filter(view, params, scratch), kOk);
    return img;
}

std::vector<uint8_t> RandomImage(size_t nSize, unsigned nSeed, bool bSmooth) {
    std::mt19937 rng(nSeed);
    std::vector<uint8_t> img(nSize);
    int v = 128;
    for (auto& b : img) {
        // Smooth images make unsharp values land near the truncation points.
        v = bSmooth ? std::clamp(v + static_cast<int>(rng() % 7) - 3, 0, 255)
                    : static_cast<int>(rng() % 256);
        b = static_cast<uint8_t>(v);
    }
    return img;
}

} // namespace

TEST(GaussianTaps, SigmaEightTaperedAndNormalised) {
    double taps[64];
    ASSERT_EQ(GaussianTaps(8.0, 0.01, 1300, taps, 64), 26);
    // Written out from the construction by hand arithmetic (Python doubles).
    EXPECT_DOUBLE_EQ(taps[0], 0.050052349792590024);
    EXPECT_DOUBLE_EQ(taps[19], 0.00298248532187749);  // last untouched tap
    EXPECT_DOUBLE_EQ(taps[20], 0.002191213705869176); // first tapered one
    EXPECT_DOUBLE_EQ(taps[25], 6.086704738525489e-05);
    EXPECT_EQ(GaussianTaps(8.0, 0.01, 1300, taps, 25), 0) << "too small a buffer";
    EXPECT_EQ(GaussianTapCount(80.0, 0.01, 20), 50) << "limited to max(L, 50)";
    EXPECT_EQ(GaussianTapCount(80.0, 0.01, 400), 244);
}

TEST(ImageFilter, FastChainEqualsReferenceOnEdgeShapes) {
    const SCase cases[] = {
        {1, 1, 1, 10},    {2, 7, 1, 10},    {3, 3, 1, 10},   {4, 5, 3, 10},  {5, 5, 1, 10},
        {6, 6, 3, 0},     {17, 9, 1, 10},   {19, 33, 3, 10}, {33, 40, 1, 1}, {130, 70, 1, 10},
        {129, 66, 3, 10}, {21, 18, 1, 100}, {40, 37, 3, 0},  {64, 3, 1, 10},
    };
    for (bool bWide : {true, false}) {
        AllowWideLanes(bWide);
        unsigned nSeed = 1;
        for (const SCase& k : cases) {
            for (bool bSmooth : {false, true}) {
                const size_t nStride = (static_cast<size_t>(k.w) * k.c + 3) / 4 * 4 + 4;
                const std::vector<uint8_t> src = RandomImage(nStride * k.h, nSeed++, bSmooth);
                std::vector<uint8_t> expect = src;
                reference::Filter(expect.data(), k.w, k.h, nStride, k.c, k.scale, 0.8);
                EXPECT_EQ(RunFilter(src, k, nStride), expect)
                    << k.w << "x" << k.h << " c" << k.c << " scale " << k.scale
                    << (bWide ? " wide" : " portable") << (bSmooth ? " smooth" : " noise");
            }
        }
    }
    AllowWideLanes(true);
}

TEST(ImageFilter, MedianAndMeanOnHandFixtures) {
    // 4 x 3, no unsharp step: only the two inner pixels take their medians.
    std::vector<uint8_t> a = {10, 200, 30, 40, 50, 255, 5, 80, 90, 0, 110, 120};
    a = RunFilter(a, {4, 3, 1, 0}, 4);
    EXPECT_EQ(a, (std::vector<uint8_t>{10, 200, 30, 40, 50, 50, 80, 80, 90, 0, 110, 120}));

    // 5 x 5 with one bright corner: the medians clear nothing there (border),
    // the mean spreads it over the centre: 250 / 25.
    std::vector<uint8_t> b(25, 0);
    b[0] = 250;
    b = RunFilter(b, {5, 5, 1, 0}, 5);
    std::vector<uint8_t> expect(25, 0);
    expect[0] = 250;
    expect[12] = 10;
    EXPECT_EQ(b, expect);
}

TEST(ImageFilter, ColourComesOutGreyAndRefusesWhatIsUndefined) {
    // 3 x 3 colour, unsharp on: every pixel's three bytes become one value.
    std::vector<uint8_t> img = RandomImage(12 * 3, 7, false);
    img = RunFilter(img, {3, 3, 3, 10}, 12);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint8_t* p = &img[y * 12 + x * 3];
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
        }

    CFilterWorkspace workspace;
    SFilterParams params;
    const SFilterScratch scratch = workspace.Prepare(3, 3, params);
    SImageView view{img.data(), 3, 3, 12, 3};
    SFilterParams gamma = params;
    gamma.m_dGamma = 2.0;
    EXPECT_EQ(Filter(view, gamma, scratch), kBadValue);
    SFilterParams last = params;
    last.m_bFinalStep = true;
    EXPECT_EQ(Filter(view, last, scratch), kBadValue);
    view.m_nChannels = 2;
    EXPECT_EQ(Filter(view, params, scratch), kBadValue);
    view.m_nChannels = 3;
    view.m_nWidth = 0;
    EXPECT_EQ(Filter(view, params, scratch), kBadValue);
}
