// The direct sensors' image kernels: 14-bit unpacking with glitch repair,
// dark subtraction, calibration with defect repair, corner mask, recursive
// median, row order, and the record and files of the hand-over.
#include "calibration.h"
#include "image_corrections.h"
#include "image_handover.h"
#include "image_record.h"
#include "raw_unpack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

using namespace torvex;

namespace {

using CPixels = std::vector<uint16_t>;
using CBytes = std::vector<uint8_t>;

// Samples as one most-significant-first bit stream of 14-bit fields.
CBytes Pack(const CPixels& samples) {
    CBytes out;
    uint32_t nBits = 0, nAcc = 0;
    for (uint16_t s : samples) {
        nAcc = (nAcc << 14) | (s & 0x3FFF);
        nBits += 14;
        while (nBits >= 8) {
            out.push_back(static_cast<uint8_t>(nAcc >> (nBits - 8)));
            nBits -= 8;
        }
    }
    return out;
}

CPixels Random(size_t n, uint32_t nSeed, uint16_t nLo = 0, uint16_t nHi = 16383) {
    std::mt19937 rng(nSeed);
    std::uniform_int_distribution<int> d(nLo, nHi);
    CPixels p(n);
    for (auto& v : p)
        v = static_cast<uint16_t>(d(rng));
    return p;
}

// A calibration file written field by field.
CBytes Ffc(uint32_t w, uint32_t h, int16_t d, int32_t b, int8_t u, const CBytes& indices,
           uint8_t nVersion = 0) {
    CBytes f(128 + indices.size(), 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, w, 4);
    put(4, h, 4);
    put(8, static_cast<uint16_t>(d), 2);
    put(16, static_cast<uint32_t>(b), 4);
    f[20] = static_cast<uint8_t>(u);
    f[22] = nVersion;
    std::copy(indices.begin(), indices.end(), f.begin() + 128);
    return f;
}

} // namespace

TEST(DirectImage, UnpackMatchesTheBitStream) {
    const CPixels samples = Random(4 * 1001, 1);
    const CBytes raw = Pack(samples);
    ASSERT_EQ(raw.size(), PackedSize(samples.size()));
    CPixels out(samples.size());
    UnpackSamples(raw.data(), samples.size(), 0, false, out.data());
    EXPECT_EQ(out, samples);
    InvertSamples(out.data(), out.size());
    EXPECT_EQ(out[7], 16383 - samples[7]);
}

TEST(DirectImage, GlitchRepairWhileBytesAreMissing) {
    // Group 0 in range, then zeros: with a budget of 3 the first three
    // zeros take group 0's last sample and the read steps back three bytes.
    CPixels samples = {4000, 5000, 6000, 7000, 0, 0, 0, 0, 9000, 9000, 9000, 9000};
    CBytes raw = Pack(samples);
    CPixels out(samples.size());
    UnpackSamples(raw.data(), samples.size(), 3, false, out.data());
    EXPECT_EQ((CPixels(out.begin(), out.begin() + 8)),
              (CPixels{4000, 5000, 6000, 7000, 7000, 7000, 7000, 0}));
    // Group 2 is read three bytes early: its first sample holds group 1's
    // last zero bits.
    CBytes shifted(raw.begin() + 11, raw.end());
    shifted.resize(7, 0);
    CPixels expected(4);
    UnpackSamples(shifted.data(), 4, 0, false, expected.data());
    EXPECT_EQ((CPixels(out.begin() + 8, out.end())), expected);

    // Dark frames repair with 0; the first group has no predecessor (0).
    CPixels dark(8);
    UnpackSamples(Pack({0, 16000, 100, 5000, 5000, 5000, 5000, 5000}).data(), 8, 2, true,
                  dark.data());
    EXPECT_EQ(dark[0], 0);
    EXPECT_EQ(dark[1], 0);
    EXPECT_EQ(dark[2], 100) << "the budget was spent";
    CPixels first(4);
    UnpackSamples(Pack({100, 5000, 5000, 5000}).data(), 4, 1, false, first.data());
    EXPECT_EQ(first[0], 0);
}

TEST(DirectImage, DarkSubtraction) {
    CPixels exposure = {9000, 100, 5000, 16383};
    const CPixels dark = {1000, 200, 5000, 0};
    SubtractDark(exposure.data(), dark.data(), exposure.size());
    EXPECT_EQ(exposure, (CPixels{16383 - 8000, 16383, 16383, 0}));
}

TEST(DirectImage, CalibrationFileAndFaults) {
    const CBytes ok = Ffc(2, 2, 1, 1, 0, {0, 0, 0, 0});
    EXPECT_TRUE(ParseCalibration(ok.data(), ok.size()));
    EXPECT_FALSE(ParseCalibration(ok.data(), ok.size() - 1)) << "shorter than its header says";
    EXPECT_FALSE(ParseCalibration(ok.data(), 100));
    const CBytes huge = Ffc(0xFFFFFFFF, 0xFFFFFFFF, 1, 1, 0, {});
    EXPECT_FALSE(ParseCalibration(huge.data(), huge.size()));

    CPixels image = {3000, 3000, 3000, 3000};
    const CPixels before = image;
    auto cal = ParseCalibration(ok.data(), ok.size());
    EXPECT_EQ(ApplyCalibration(*cal, 0, image.data(), 2, 3), ECalibrationFault::OtherSize);
    CBytes v1 = Ffc(2, 2, 1, 1, 0, {50, 50, 50, 50}, 1);
    cal = ParseCalibration(v1.data(), v1.size());
    EXPECT_EQ(ApplyCalibration(*cal, 1, image.data(), 2, 2), ECalibrationFault::OtherVersion);
    EXPECT_STREQ(CalibrationFaultText(ECalibrationFault::OtherVersion),
                 "Unsupported FFC file version");
    EXPECT_EQ(image, before);
}

TEST(DirectImage, GainArithmetic) {
    // P = 100, U = 0, D = 1, Nrj = 1: gain[50] = (150 * 10000 / 100 - 10000) + 10000 = 15000.
    struct Case {
        int16_t d;
        int32_t b;
        int8_t u;
        uint32_t nrj;
        uint8_t index;
        uint16_t pixel;
        uint16_t expected;
    } cases[] = {
        {1, 1, 0, 1, 50, 3000, 2000},
        {1, 1, 0, 0, 50, 3000, 3000},   // Nrj 0: gain 10000
        {1, 1, 10, 1, 10, 3000, 3000},  // index U: unchanged
        {1, 1, 0, 1, 0, 3000, 3000},    // index 0: unchanged
        {0, 1, 0, 1, 50, 3000, 3000},   // D = 0: no quotient
        {1, 0, 0, 1, 50, 3000, 3000},   // P = 0: no quotient
        {-1, 1, 0, 2, 150, 3000, 0},    // negative gain: 0
        {1, 1, 0, 1, 1, 16000, 15841},  // gain[1] = 10100
        {1, 1, 100, 1, 1, 3000, 16383}, // gain[1] = (1 * 100 - 10000) + 10000 = 100
        // P = 500000: (P + 200) * 10000 and 4 * Nrj need more than 32 bits;
        // gain = 4 * 3e9 / 1000 + 10000 = 12010000.
        {1000, 5000, 0, 3000000000u, 200, 9000, 7},
    };
    for (const Case& c : cases) {
        const CBytes f = Ffc(1, 1, c.d, c.b, c.u, {c.index});
        const auto cal = ParseCalibration(f.data(), f.size());
        uint16_t p = c.pixel;
        EXPECT_EQ(ApplyCalibration(*cal, c.nrj, &p, 1, 1), ECalibrationFault::None);
        EXPECT_EQ(p, c.expected) << "D " << c.d << " B " << c.b << " index " << int(c.index);
    }
}

// Random calibration files against the formula in plain 64-bit arithmetic.
TEST(DirectImage, CalibrationEqualsThePlainFormula) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        const uint32_t w = 1 + rng() % 40, h = 1 + rng() % 20;
        const int16_t d = static_cast<int16_t>(rng() % 3 == 0 ? rng() % 5 : rng());
        const int32_t b = static_cast<int32_t>(rng() % 4 == 0 ? rng() % 50 : rng());
        const int8_t u = static_cast<int8_t>(rng());
        const uint32_t nrj = rng() % 2 ? rng() % 5000 : rng();
        CBytes indices(w * h);
        for (auto& i : indices)
            i = static_cast<uint8_t>(rng() % 255); // no defects here
        const CPixels image = Random(w * h, rng(), 0, rng() % 2 ? 16383 : 65535);
        CPixels out = image;
        const CBytes f = Ffc(w, h, d, b, u, indices);
        ASSERT_EQ(ApplyCalibration(*ParseCalibration(f.data(), f.size()), nrj, out.data(), w, h),
                  ECalibrationFault::None);
        const int64_t p = int64_t{100} * b;
        for (size_t k = 0; k < out.size(); ++k) {
            const int i = indices[k];
            int64_t expected = image[k];
            if (i != 0 && i != static_cast<uint8_t>(u) && p != 0 && d != 0) {
                const int64_t gain = ((p - u + i) * 10000 / p - 10000) * int64_t{nrj} / d + 10000;
                if (gain != 0) {
                    const int64_t v = int64_t{image[k]} * 10000 / gain;
                    expected = v < 0 ? 0 : v > 16383 ? 16383 : v;
                }
            }
            ASSERT_EQ(out[k], expected) << "round " << round << " pixel " << k;
        }
    }
}

TEST(DirectImage, DefectRepair) {
    // 4 x 3 image, defects at (0, 0), (2, 1) and (3, 1).
    CPixels image = {100, 20, 30,  40,  //
                     50,  60, 999, 999, //
                     70,  80, 90,  11};
    const CBytes f = Ffc(4, 3, 1, 1, 0, {255, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0});
    const auto cal = ParseCalibration(f.data(), f.size());
    ASSERT_EQ(ApplyCalibration(*cal, 0, image.data(), 4, 3), ECalibrationFault::None);
    // (3, 1) first: its left neighbour is an earlier defect: (30 + 40 + 90 + 11) / 4.
    EXPECT_EQ(image[7], (30 + 40 + 90 + 11) / 4);
    // (2, 1): right neighbour already repaired.
    EXPECT_EQ(image[6], (20 + 30 + 40 + 60 + 42 + 80 + 90 + 11) / 8);
    // (0, 0): right, lower and lower-right.
    EXPECT_EQ(image[0], (20 + 50 + 60) / 3);

    // A 2 x 2 block of defects in the bottom-right corner: the last one has
    // no neighbour left and keeps its value.
    CPixels block = {1, 2, 3, 4, 500, 600, 7, 700, 800};
    const CBytes g = Ffc(3, 3, 1, 1, 0, {0, 0, 0, 0, 255, 255, 0, 255, 255});
    ASSERT_EQ(ApplyCalibration(*ParseCalibration(g.data(), g.size()), 0, block.data(), 3, 3),
              ECalibrationFault::None);
    EXPECT_EQ(block[8], 800);
    EXPECT_EQ(block[7], (4 + 7 + 800) / 3) << "(1, 2): upper left, left, right";
}

TEST(DirectImage, OnlyTheFirst1023DefectsAreRepaired) {
    const uint32_t w = 64, h = 20;
    CBytes indices(w * h, 0);
    CPixels image(w * h, 5000);
    for (uint32_t i = 0; i < 1030; ++i) {
        indices[i] = 255;
        image[i] = 1; // defects hold 1, the rest 5000
    }
    const CBytes f = Ffc(w, h, 1, 1, 0, indices);
    ASSERT_EQ(ApplyCalibration(*ParseCalibration(f.data(), f.size()), 0, image.data(), w, h),
              ECalibrationFault::None);
    for (uint32_t i = 1023; i < 1030; ++i)
        EXPECT_EQ(image[i], 1) << "defect " << i << " is left as it is";
    EXPECT_NE(image[1022], 1);
}

TEST(DirectImage, MedianEqualsTheSortingReference) {
    struct Shape {
        uint32_t w, h, band;
    } shapes[] = {{1, 1, 0}, {3, 3, 0},  {4, 4, 0},   {5, 4, 0},   {7, 9, 2},
                  {6, 5, 3}, {9, 8, 10}, {31, 17, 4}, {64, 33, 0}, {1000, 60, 115}};
    uint32_t nSeed = 3;
    for (const Shape& s : shapes) {
        for (int nKind = 0; nKind < 2; ++nKind) {
            // Random levels, and few levels so that ties are common.
            CPixels a = Random(size_t{s.w} * s.h, ++nSeed, 0, nKind ? 3 : 16383);
            CPixels b = a;
            MedianRecursive(a.data(), s.w, s.h, s.band);
            MedianRecursiveSorted(b.data(), s.w, s.h, s.band);
            EXPECT_EQ(a, b) << s.w << " x " << s.h << " band " << s.band;
        }
    }
}

TEST(DirectImage, MedianIsRecursiveAndKeepsItsBorders) {
    // 5 x 4: windows at top row 1 only, columns 0 and 1.
    CPixels image = {9, 9, 9, 9, 9, //
                     9, 9, 9, 9, 9, //
                     0, 9, 0, 0, 0, //
                     0, 0, 0, 0, 0};
    MedianRecursive(image.data(), 5, 4, 0);
    // Centre (1, 2): median of {9,9,9, 0,9,0, 0,0,0} = 0; then centre (2, 2)
    // sees that 0: {9,9,9, 0,0,0, 0,0,0} = 0.
    EXPECT_EQ(image, (CPixels{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(DirectImage, CornerMaskAndRowOrder) {
    const uint32_t w = 10, h = 8;
    CPixels image(w * h, 7); // 80 pixels at level 7: the fill value
    for (uint32_t i = 0; i < 20; ++i)
        image[40 + i] = static_cast<uint16_t>(3 + i % 2); // below 7 but too few
    image[0] = 900;
    image[12] = 900;
    MaskCorners(image.data(), w, h, 3);
    EXPECT_EQ((CPixels(image.begin(), image.begin() + 10)),
              (CPixels{7, 7, 7, 7, 7, 7, 7, 7, 7, 7}));
    EXPECT_EQ(image[12], 900) << "row 1: the first two pixels only";
    EXPECT_EQ(image[11], 7);
    CPixels small = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(CornerFillValue(small.data(), small.size()), 0);

    CPixels rows = {1, 1, 2, 2, 3, 3};
    ReverseRows(rows.data(), 2, 3);
    EXPECT_EQ(rows, (CPixels{3, 3, 2, 2, 1, 1}));
}

TEST(DirectImage, RecordOnlyOfTheTwoGeometries) {
    const CPixels pixels = Random(size_t{kWidthSlot0} * kHeightSlot0, 9);
    CBytes osc(1024);
    for (size_t i = 0; i < osc.size(); ++i)
        osc[i] = static_cast<uint8_t>(i);
    CBytes record =
        BuildImageRecord(pixels.data(), kWidthSlot0, kHeightSlot0, 777, 100, osc.data(), 3);
    ASSERT_EQ(record.size(), 2u * 1000 * 1496 + 2090);
    auto parsed = ParseImageRecord(record.data(), record.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->m_nEnergy, 777u);
    EXPECT_EQ(parsed->m_nExposure, 100u);
    EXPECT_EQ(OscillogramText(*parsed), "0\r\n1\r\n2\r\n");
    const CBytes raw = RawFileBytes(*parsed);
    ASSERT_EQ(raw.size(), 2u * pixels.size());
    EXPECT_EQ(raw[2] | raw[3] << 8, pixels[1]);

    EXPECT_FALSE(ParseImageRecord(record.data(), record.size() - 1));
    record.push_back(0);
    EXPECT_FALSE(ParseImageRecord(record.data(), record.size()));
    record.pop_back();
    record[4] = 0x14; // width 1300 with the size of the slot-0 geometry
    record[5] = 0x05;
    EXPECT_FALSE(ParseImageRecord(record.data(), record.size()));
    EXPECT_FALSE(ParseImageRecord(record.data(), 10));

    // The count is clamped to the samples that exist.
    CBytes big = BuildImageRecord(pixels.data(), kWidthSlot0, kHeightSlot0, 0, 0, osc.data(), 5000);
    EXPECT_EQ(ParseImageRecord(big.data(), big.size())->m_oscillogram.size(), 1024u);
}

TEST(DirectImage, GreyMapAndBitmap) {
    // 100 pixels at 1000, 60 at 2000, 60 at 3000: lo 1000 holds fewer than
    // 12820 so lo moves to 2000; hi 3000.
    CPixels p;
    p.insert(p.end(), 100, 1000);
    p.insert(p.end(), 60, 2000);
    p.insert(p.end(), 60, 3000);
    const CBytes lut = GreyLookup(p.data(), p.size());
    EXPECT_EQ(lut[1999], 0);
    EXPECT_EQ(lut[2000], 0);
    EXPECT_EQ(lut[2500], 128); // 500 * 255 / 1000 = 127.5, rounded
    EXPECT_EQ(lut[2999], 255);
    EXPECT_EQ(lut[3000], 255);
    CPixels few(40, 500);
    const CBytes none = GreyLookup(few.data(), few.size());
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](uint8_t v) { return v == 0; }));

    const CPixels pixels(size_t{kWidthSlot1} * kHeightSlot1, 4000);
    const CBytes record =
        BuildImageRecord(pixels.data(), kWidthSlot1, kHeightSlot1, 55, 66, nullptr, 0);
    const CBytes bmp = BitmapFileBytes(*ParseImageRecord(record.data(), record.size()));
    ASSERT_EQ(bmp.size(), 1300u * 1696 + 1078);
    auto u32 = [&](size_t at) {
        return uint32_t(bmp[at]) | bmp[at + 1] << 8 | bmp[at + 2] << 16 |
               uint32_t(bmp[at + 3]) << 24;
    };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(u32(2), 1300u * 1696 + 1078);
    EXPECT_EQ(u32(10), 1078u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 1300u);
    EXPECT_EQ(u32(22), 1696u);
    EXPECT_EQ(bmp[28], 8);
    EXPECT_EQ(u32(34), 0u) << "image size";
    EXPECT_EQ(u32(38), 50000u);
    EXPECT_EQ(u32(46), 256u);
    EXPECT_EQ(u32(50), 0u) << "important colours";
    EXPECT_EQ(bmp[54 + 4 * 200], 200) << "grey palette";
    EXPECT_EQ(bmp[1078], 255) << "one level only: all from hi up";
}

namespace {

class CMemoryFiles final : public IHandoverFiles {
public:
    std::string TempFolder() override { return "T:\\tmp\\"; }
    std::string LastImagePath() override { return "T:\\tmp\\ACQ1.BMP"; }
    bool WriteFile(const std::string& p, const std::vector<uint8_t>& b) override {
        m_files[p] = b;
        return !m_bFail;
    }
    std::map<std::string, std::vector<uint8_t>> m_files;
    bool m_bFail = false;
};

} // namespace

TEST(DirectImage, HandOverWritesTheThreeFiles) {
    CPixels pixels(size_t{kWidthSlot0} * kHeightSlot0, 1000);
    std::fill(pixels.begin() + pixels.size() / 2, pixels.end(), 3000);
    const uint8_t osc[1024] = {7, 8};
    const CBytes record =
        BuildImageRecord(pixels.data(), kWidthSlot0, kHeightSlot0, 4321, 100, osc, 2);
    CMemoryFiles files;
    SViewState view;
    CImageHandOver handOver(files, view);
    EXPECT_FALSE(handOver.OnCopyData(5, record.data(), record.size())) << "another identifier";
    EXPECT_FALSE(handOver.OnCopyData(kCopyDataImage, record.data(), record.size() - 2));
    EXPECT_TRUE(files.m_files.empty());
    files.m_bFail = true; // failures are not told; the path is kept
    ASSERT_TRUE(handOver.OnCopyData(kCopyDataImage, record.data(), record.size()));
    EXPECT_EQ(view.m_strLastImagePath, "T:\\tmp\\ACQ1.BMP");
    EXPECT_EQ(view.m_nEnergy, 4321u);
    EXPECT_EQ(view.m_nPixelCount, 1000u * 1496);
    const CBytes& raw = files.m_files["T:\\tmp\\LASTACQ2.RAW"];
    ASSERT_EQ(raw.size(), 2u * pixels.size());
    EXPECT_EQ(raw[0] | raw[1] << 8, 1000);
    EXPECT_EQ(raw[raw.size() - 2] | raw.back() << 8, 3000);
    const CBytes& text = files.m_files["T:\\tmp\\LASTACQ2.OSC"];
    EXPECT_EQ(std::string(text.begin(), text.end()), "7\r\n8\r\n");
    const CBytes& bmp = files.m_files["T:\\tmp\\ACQ1.BMP"];
    ASSERT_EQ(bmp.size(), pixels.size() + 1078);
    EXPECT_EQ(bmp[1078], 0);
    EXPECT_EQ(bmp.back(), 255);
}
