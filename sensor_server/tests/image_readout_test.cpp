// ReadImage over the simulated wireless sensor and box: the bitmap written
// holds the sensor's image with its frame edge blanked, in bitmap row order;
// references, faults, previews and the kept state between commands.
#include "compress_codec.h"
#include "image_readout.h"
#include "stream_harness.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace torvex;
using namespace torvex::test;

namespace {

constexpr const char* kTemp = "T:\\temp\\BMP1.tmp";

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// The sensor's image (rows top to bottom) as the bitmap must hold it: edge
// blanked by hand, rows nStride apart, optionally bottom row first.
std::vector<uint8_t> Expected(const std::vector<uint8_t>& image, int w, int h, size_t nStride,
                              bool bBottomFirst) {
    std::vector<uint8_t> out(nStride * h, 0);
    const int nRows = h / 200, nCols = w / 200;
    for (int y = 0; y < h; ++y) {
        const int nTo = bBottomFirst ? h - 1 - y : y;
        for (int x = 0; x < w; ++x) {
            const bool bEdge = y < nRows || y >= h - nRows || x < nCols || x >= w - nCols;
            out[nTo * nStride + x] = bEdge ? 0 : image[size_t(y) * w + x];
        }
    }
    return out;
}

std::vector<uint8_t> Pixels(const std::vector<uint8_t>& file) {
    return std::vector<uint8_t>(file.begin() + 1078, file.end());
}

struct SWireless {
    CServer server{"wireless=7;image=600x410"};
    SWireless() { EXPECT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM7").m_nError, 0); }
    const std::vector<uint8_t>& Last() { return server.m_sim.Wireless()->Images().LastImage(); }
    const std::vector<uint8_t>& File() { return server.m_files.m_files[kTemp]; }
};

} // namespace

TEST(ImageReadout, FrameEdgeOfAThousandSquare) {
    std::vector<uint8_t> img(1000 * 1000, 9);
    BlankFrameEdge(img.data(), 1000, 1000, 1000);
    for (int y : {0, 4, 5, 500, 994, 995, 999}) {
        for (int x : {0, 4, 5, 994, 995, 999}) {
            const bool bEdge = y < 5 || y > 994 || x < 5 || x > 994;
            EXPECT_EQ(img[y * 1000 + x], bEdge ? 0 : 9) << x << "," << y;
        }
    }
}

TEST(ImageReadout, WirelessImageWithReferenceAndItsDecoding) {
    SWireless w;
    const SReply first = w.server.Send(kCmdReadImage, "17");
    ASSERT_EQ(first.m_nError, 0);
    EXPECT_EQ(first.m_strResult, kTemp);
    const std::vector<uint8_t>& file = w.File();
    ASSERT_EQ(file.size(), 1078u + 600 * 410);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 2), "BM");
    EXPECT_EQ(U32(file, 2), 1078u + 600 * 410);
    EXPECT_EQ(U32(file, 10), 1078u);
    EXPECT_EQ(U32(file, 18), 600u); // the image's size, not zeros
    EXPECT_EQ(U32(file, 22), 410u);
    EXPECT_EQ(file[28], 8);
    EXPECT_EQ(U32(file, 38), 11364u); // 410 rows
    EXPECT_EQ(U32(file, 54 + 4 * 200), 0x00C8C8C8u);
    const std::vector<uint8_t> reference = w.Last();
    EXPECT_EQ(Pixels(file), Expected(reference, 600, 410, 600, false));
    EXPECT_GT(std::stoi(w.server.Send(kCmdReadTransferRate).m_strResult), 0);

    // Mode 2 comes difference-coded against the mode-17 image.
    const SReply second = w.server.Send(kCmdReadImage, "2");
    ASSERT_EQ(second.m_nError, 0);
    EXPECT_EQ(w.server.m_imageShell.m_nDecodes, 1);
    EXPECT_EQ(Pixels(w.File()), Expected(w.Last(), 600, 410, 600, false));
    EXPECT_NE(w.Last(), reference);

    // The reference went with that decoding: another mode 2 stays coded.
    ASSERT_EQ(w.server.Send(kCmdReadImage, "2").m_nError, 0);
    EXPECT_EQ(w.server.m_imageShell.m_nDecodes, 1);
    std::vector<uint8_t> coded(reference.size());
    sim::DifferenceEncode(w.Last().data(), reference.data(), reference.size(), coded.data());
    EXPECT_EQ(Pixels(w.File()), Expected(coded, 600, 410, 600, false));
    EXPECT_EQ(w.server.m_imageShell.m_nBeeps, 0);
}

TEST(ImageReadout, ModeZeroDropsTheReferenceAndMissingLibraryLeavesBytes) {
    SWireless w;
    ASSERT_EQ(w.server.Send(kCmdReadImage, "17").m_nError, 0);
    const std::vector<uint8_t> reference = w.Last();
    ASSERT_EQ(w.server.Send(kCmdReadImage, "0").m_nError, 0);
    ASSERT_EQ(w.server.Send(kCmdReadImage, "2").m_nError, 0);
    EXPECT_EQ(w.server.m_imageShell.m_nDecodes, 0) << "no reference, no decoding";

    SWireless v;
    v.server.m_imageShell.m_bLibrary = false;
    ASSERT_EQ(v.server.Send(kCmdReadImage, "17").m_nError, 0);
    const std::vector<uint8_t> ref = v.Last();
    ASSERT_EQ(v.server.Send(kCmdReadImage, "2").m_nError, 0) << "a missing library is no error";
    std::vector<uint8_t> coded(ref.size());
    sim::DifferenceEncode(v.Last().data(), ref.data(), ref.size(), coded.data());
    EXPECT_EQ(Pixels(v.File()), Expected(coded, 600, 410, 600, false));
}

TEST(ImageReadout, StreamFaultsAnswerTheirCodesAndTheServerServesOn) {
    struct SRow {
        const char* fault;
        int error;
    } rows[] = {
        {"badsum:D001:0", 30}, // in the packet holding the image header
        {"badsum:D001:3", 30},
        {"short:D001:40", 8},
        {"cut:D001:70000", 997}, // the link goes quiet mid-image: the read times out
    };
    for (const SRow& r : rows) {
        CServer server(std::string("wireless=7;image=600x410;fault=") + r.fault);
        ASSERT_EQ(server.Send(kCmdInitLink, "\\\\.\\COM7").m_nError, 0);
        const SReply a = server.Send(kCmdReadImage, "17");
        EXPECT_EQ(a.m_nError, r.error) << r.fault;
        EXPECT_EQ(a.m_strResult, "") << r.fault;
        EXPECT_EQ(a.m_strReady, "1");
        EXPECT_EQ(server.m_imageShell.m_nBeeps, 1) << r.fault;
        EXPECT_EQ(server.m_files.m_files.count(kTemp), 0u) << r.fault;
        // Not busy any more: the next command is answered.
        EXPECT_EQ(server.Send(kCmdReadLinkType).m_strReady, "1") << r.fault;
    }
    // Images too large for the buffer: ImageHeadersThatCannotBeTrue.
}

TEST(ImageReadout, BoxBitmapReversedBlankedAndGrey) {
    for (const char* pid : {"5841", "123"}) {
        CServer server(std::string("box=") + pid + ";image=600x342");
        ASSERT_EQ(server.Send(kCmdDetectUsb, "").m_nError, 0) << pid;
        const SReply a = server.Send(kCmdReadImage, "3;300;40");
        ASSERT_EQ(a.m_nError, 0) << pid;
        EXPECT_EQ(a.m_strResult, kTemp);
        const std::vector<uint8_t>& file = server.m_files.m_files[kTemp];
        const size_t nStride = 600;
        ASSERT_EQ(file.size(), 1078 + nStride * 342) << pid;
        EXPECT_EQ(U32(file, 18), 600u);
        EXPECT_EQ(U32(file, 22), 342u);
        EXPECT_EQ(file[28], 8);
        EXPECT_EQ(U32(file, 34), 0u); // image size
        EXPECT_EQ(U32(file, 38), 11364u);
        EXPECT_EQ(U32(file, 46), 256u); // colours used
        EXPECT_EQ(U32(file, 54 + 4 * 7), 0x00070707u) << "grey palette replaces the box's";
        EXPECT_EQ(Pixels(file), Expected(server.m_sim.Box()->LastImage(), 600, 342, nStride, true))
            << pid;
        // The preview grew with the pieces and was repainted at the end.
        const std::vector<int>& rows = server.m_imageShell.m_drawnRows;
        ASSERT_GE(rows.size(), 2u);
        EXPECT_EQ(rows.back(), 342);
        EXPECT_EQ(server.m_imageShell.m_nPreviewX, 300);
        EXPECT_EQ(server.m_imageShell.m_nEndedHeight, 342);
        // Two readouts, one file name: the second overwrites the first.
        ASSERT_EQ(server.Send(kCmdReadImage, "3").m_strResult, kTemp);
        EXPECT_EQ(Pixels(server.m_files.m_files[kTemp]),
                  Expected(server.m_sim.Box()->LastImage(), 600, 342, nStride, true));
        EXPECT_EQ(server.m_imageShell.m_drawnRows.size(), rows.size()) << "no preview asked";
    }
}

TEST(ImageReadout, BoxStreamCutShortAnswersTheDriversCode) {
    // Rows padded to 4 bytes would run past a stream sized for 602 x 342.
    CServer odd("box=5841;image=602x342");
    ASSERT_EQ(odd.Send(kCmdDetectUsb, "").m_nError, 0);
    EXPECT_EQ(odd.Send(kCmdReadImage, "3").m_nError, 8);

    CServer server("box=5841;image=600x410;fault=cut:D001:100000");
    ASSERT_EQ(server.Send(kCmdDetectUsb, "").m_nError, 0);
    const SReply a = server.Send(kCmdReadImage, "3");
    EXPECT_EQ(a.m_nError, 121) << "the driver's time-out";
    EXPECT_EQ(a.m_strResult, "");
    EXPECT_EQ(server.m_imageShell.m_nBeeps, 1);

    // A box answering the request but sending no bitmap header.
    CServer none("box=5841;image=600x410;fault=cut:D001:0");
    ASSERT_EQ(none.Send(kCmdDetectUsb, "").m_nError, 0);
    EXPECT_EQ(none.Send(kCmdReadImage, "3").m_nError, 121);
}

TEST(ImageReadout, RandomDamageToTheStreamEndsWithACode) {
    // Bounded fuzzing of the packet parser: a valid stream of a 40 x 30 image,
    // bytes flipped and the stream cut at random. Every run ends (no read
    // past the bytes, ASan watching), and only a success writes a bitmap.
    sim::CWirelessImages images;
    sim::CFaultPlan none;
    const std::vector<uint8_t> good = images.Stream(1, 40, 30, none);
    const harness::SStreamRun clean = harness::RunStream(good, 1);
    ASSERT_EQ(clean.m_answer.m_nCode, 0);
    ASSERT_EQ(clean.m_file.size(), 1078u + 40 * 30);
    std::mt19937 rng(44);
    std::map<int, int> codes;
    // Each run fills a 2 MB buffer: a few hundred here, millions in the fuzz target.
    for (int n = 0; n < 400; ++n) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0, k = 1 + int(rng() % 3); i < k; ++i)
            bytes[rng() % bytes.size()] = uint8_t(rng());
        if (rng() % 4 == 0)
            bytes.resize(rng() % bytes.size());
        const harness::SStreamRun run = harness::RunStream(bytes, rng() % 2 ? 1 : 17);
        ++codes[run.m_answer.m_nCode];
        if (run.m_answer.m_nCode == 0) {
            ASSERT_GE(run.m_file.size(), 1078u);
        } else {
            ASSERT_TRUE(run.m_file.empty());
        }
    }
    EXPECT_GT(codes[kWrongReply], 0);
    EXPECT_GT(codes[harness::CBytesPort::kGone], 0);
}

TEST(ImageReadout, ImageHeadersThatCannotBeTrue) {
    // Packets written out by hand: A5 02 L(lo) L(hi) sum, payload, payload sum.
    auto packet = [](const std::vector<uint8_t>& p) {
        std::vector<uint8_t> out = {0xA5, 0x02, uint8_t(p.size()), uint8_t(p.size() >> 8)};
        out.push_back(uint8_t(out[0] + out[1] + out[2] + out[3]));
        unsigned sum = 0;
        for (uint8_t b : p)
            sum += b;
        out.insert(out.end(), p.begin(), p.end());
        out.push_back(uint8_t(sum));
        return out;
    };
    auto header = [](unsigned w, unsigned h, uint8_t divW, uint8_t divH) {
        std::vector<uint8_t> p(50, 0);
        p[10] = uint8_t(w);
        p[11] = uint8_t(w >> 8);
        p[12] = uint8_t(h);
        p[13] = uint8_t(h >> 8);
        p[16] = divW;
        p[17] = divH;
        return p;
    };
    auto stream = [&](std::initializer_list<std::vector<uint8_t>> payloads) {
        std::vector<uint8_t> out;
        for (const auto& p : payloads) {
            const auto k = packet(p);
            out.insert(out.end(), k.begin(), k.end());
        }
        const auto end = packet({});
        out.insert(out.end(), end.begin(), end.end());
        return out;
    };
    std::vector<uint8_t> sixPixels = header(3, 2, 1, 1);
    sixPixels.insert(sixPixels.end(), {1, 2, 3, 4, 5, 6, 7}); // one surplus byte
    struct SRow {
        const char* what;
        std::vector<uint8_t> bytes;
        int code;
    } rows[] = {
        {"3 x 2", stream({sixPixels}), kOk},
        {"zero width divisor", stream({header(3, 2, 0, 1), {1, 2, 3, 4, 5, 6}}), kWrongReply},
        {"zero height divisor", stream({header(3, 2, 1, 0), {1, 2, 3, 4, 5, 6}}), kWrongReply},
        {"zero width", stream({header(0, 2, 1, 1)}), kWrongReply},
        {"end before any header", stream({}), kWrongReply},
        {"larger than the buffer", stream({header(2000, 1100, 1, 1)}), kNoRoom},
        {"binned to fit", stream({header(4000, 2200, 2, 2)}), kNoRoom}, // 2000 x 1100
        {"binned", stream({header(6, 4, 2, 2), {9, 8, 7, 6, 5, 4}}), kOk},
    };
    for (const SRow& r : rows) {
        const harness::SStreamRun run = harness::RunStream(r.bytes, 1);
        EXPECT_EQ(run.m_answer.m_nCode, r.code) << r.what;
        if (r.code == kOk) {
            ASSERT_EQ(run.m_file.size(), 1078u + 6) << r.what;
            EXPECT_EQ(U32(run.m_file, 18), 3u) << r.what;
            EXPECT_EQ(U32(run.m_file, 22), 2u) << r.what;
        }
    }
    const harness::SStreamRun six = harness::RunStream(rows[0].bytes, 1);
    EXPECT_EQ(std::vector<uint8_t>(six.m_file.begin() + 1078, six.m_file.end()),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}))
        << "no edge to blank at this size";
}
