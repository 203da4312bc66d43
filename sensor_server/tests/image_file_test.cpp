// Bitmap files read and written byte for byte, lying files refused, and the
// FilterImage command end to end over files in memory.
#include "filter_reference.h"
#include "image_commands.h"
#include "image_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvex;
using namespace torvex::test;

namespace {

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> GreyPalette() {
    std::vector<uint8_t> p;
    for (int i = 0; i < 256; ++i)
        p.insert(p.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    return p;
}

// A file header and info header as a paint program writes them.
std::vector<uint8_t> Headers(uint32_t nFileSize, uint32_t nOffset, int32_t w, int32_t h,
                             uint16_t nBits, uint32_t nColours = 0) {
    std::vector<uint8_t> b(54, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, nFileSize);
    put32(10, nOffset);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    b[26] = 1;
    b[28] = uint8_t(nBits);
    put32(46, nColours);
    return b;
}

} // namespace

TEST(ImageFile, WritesBothKindsByteForByte) {
    CImageFile grey;
    ASSERT_TRUE(grey.Create(kImageGrey, 3, 2));
    grey.Pixels() = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(grey.Serialize(),
              Concat({Headers(1078 + 8, 1078, 3, 2, 8), GreyPalette(), {1, 2, 3, 0, 4, 5, 6, 0}}));

    CImageFile colour;
    ASSERT_TRUE(colour.Create(kImageColour, 1, 2));
    EXPECT_EQ(colour.RowSize(), 4u);
    colour.Pixels() = {9, 8, 7, 0, 6, 5, 4, 0};
    const std::vector<uint8_t> bytes = colour.Serialize();
    EXPECT_EQ(bytes, Concat({Headers(54 + 8, 54, 1, 2, 24), {9, 8, 7, 0, 6, 5, 4, 0}}));

    CImageFile back;
    ASSERT_EQ(back.Parse(bytes.data(), bytes.size()), kOk);
    EXPECT_EQ(back.Type(), kImageColour);
    EXPECT_EQ(back.Pixels(), colour.Pixels());
}

TEST(ImageFile, ReadsWhatTheFormatAllowsAndRefusesTheRest) {
    const std::vector<uint8_t> row = {7, 7, 7, 0};
    struct SRow {
        const char* what;
        std::vector<uint8_t> file;
        int code;
    } rows[] = {
        // The palette is skipped whatever the header says about colours.
        {"grey, colours field 17", Concat({Headers(0, 0, 3, 1, 8, 17), GreyPalette(), row}), kOk},
        {"colour", Concat({Headers(0, 0, 1, 1, 24), row}), kOk},
        {"colour with colours used", Concat({Headers(0, 0, 1, 1, 24, 2), row}), kBadData},
        {"32-bit", Concat({Headers(0, 0, 1, 1, 32), row}), kBadData},
        {"not BM", Concat({{'B', 'A'}, std::vector<uint8_t>(52, 0), row}), kBadData},
        {"truncated rows", Concat({Headers(0, 0, 2, 2, 24), row}), kBadData},
        {"palette cut", Concat({Headers(0, 0, 3, 1, 8), std::vector<uint8_t>(1000, 0)}), kBadData},
        {"header only",
         [] {
             auto f = Headers(0, 0, 1, 1, 24);
             f.resize(40);
             return f;
         }(),
         kBadData},
        {"zero width", Concat({Headers(0, 0, 0, 1, 24), row}), kBadData},
        {"negative height", Concat({Headers(0, 0, 1, -1, 24), row}), kBadData},
        // Width x height overflows 32 bits: refused before any copy.
        {"huge", Concat({Headers(0, 0, 0x40000000, 0x40000000, 24), row}), kBadData},
        {"compressed",
         [&] {
             auto f = Concat({Headers(0, 0, 3, 1, 8), GreyPalette(), row});
             f[30] = 1;
             return f;
         }(),
         kBadData},
    };
    for (const SRow& r : rows) {
        CImageFile image;
        EXPECT_EQ(image.Parse(r.file.data(), r.file.size()), r.code) << r.what;
        if (r.code == kOk) {
            EXPECT_EQ(image.Pixels(), row) << r.what;
        }
    }
}

TEST(ImageFile, RandomDamageNeverReadsPastTheData) {
    // Bounded fuzzing: mutated and cut files either parse consistently or are
    // refused; ASan reports any read past the buffer.
    CImageFile seed;
    ASSERT_TRUE(seed.Create(kImageGrey, 5, 3));
    const std::vector<uint8_t> good = seed.Serialize();
    std::mt19937 rng(13);
    int nParsed = 0;
    for (int n = 0; n < 20000; ++n) {
        std::vector<uint8_t> f = good;
        const int nFlips = 1 + int(rng() % 4);
        for (int i = 0; i < nFlips; ++i)
            f[rng() % 60] = uint8_t(rng());
        f.resize(rng() % (f.size() + 8));
        std::vector<uint8_t> exact(f.begin(), f.end()); // heap copy sized exactly
        CImageFile image;
        if (image.Parse(exact.data(), exact.size()) == kOk) {
            ++nParsed;
            ASSERT_EQ(image.Pixels().size(), image.RowSize() * size_t(image.Height()));
        }
    }
    EXPECT_GT(nParsed, 0);
}

TEST(ImageFile, TargetNames) {
    const std::pair<const char*, const char*> names[] = {
        {"C:\\img\\a.JPG", "C:\\img\\varnikflt.jpeg"},
        {"C:\\img\\a.jpg", "C:\\img\\varnikflt.jpeg"},
        {"C:\\img\\a.tif", "C:\\img\\varnikflt.tiff"},
        {"C:\\img\\a.bmp", "C:\\img\\varnikflt.bmp"},
        {"a.png", "varnikflt.png"},
        {"C:\\x.y\\file", "C:\\x.y\\varnikflt.ile"},
    };
    for (const auto& n : names)
        EXPECT_EQ(FilterTargetPath(n.first), n.second) << n.first;
}

TEST(FilterImageCommand, FiltersAcceptedSizesAndAnswersItsErrors) {
    CServer server("box=5841");
    auto add = [&](const std::string& path, EImageType type, int w, int h, unsigned seed) {
        CImageFile image;
        EXPECT_TRUE(image.Create(type, w, h));
        std::mt19937 rng(seed);
        for (auto& b : image.Pixels())
            b = uint8_t(rng());
        server.m_files.m_files[path] = image.Serialize();
        return image;
    };
    // The expected output: the reference chain on the same rows, as a grey file.
    auto expected = [&](CImageFile image) {
        reference::Filter(image.Pixels().data(), image.Width(), image.Height(), image.RowSize(),
                          image.Channels(), 10, 0.8);
        return image.Serialize();
    };
    const CImageFile colour = add("C:\\img\\scan.JPG", kImageColour, 1300, 1696, 1);
    const CImageFile grey = add("C:\\img\\grey.bmp", kImageGrey, 1696, 1300, 2);
    add("C:\\img\\uncut.bmp", kImageGrey, 1000, 1500, 3);
    add("C:\\img\\small.bmp", kImageGrey, 1496, 1000, 4);
    server.m_files.m_files["C:\\img\\junk.bmp"] = {'B', 'M', 0, 0};

    struct SRow {
        const char* path;
        int error;
        const char* result;
    } rows[] = {
        {"C:\\img\\scan.JPG", 0, "C:\\img\\varnikflt.jpeg"},
        {"C:\\img\\grey.bmp", 0, "C:\\img\\varnikflt.bmp"},
        {"C:\\img\\small.bmp", 0, "C:\\img\\varnikflt.bmp"},
        {"C:\\img\\uncut.bmp", 11, ""},
        {"C:\\img\\junk.bmp", 11, ""},
        {"C:\\img\\none.bmp", 2, ""},
    };
    for (const SRow& r : rows) {
        server.m_hooks.m_strExisting = server.m_files.m_files.count(r.path) ? r.path : "";
        const std::string data = r.path;
        const SReply reply = server.Send(kCmdFilterImage, &data);
        EXPECT_EQ(reply.m_nError, r.error) << r.path;
        EXPECT_EQ(reply.m_strResult, r.result) << r.path;
        EXPECT_EQ(reply.m_strReady, "1");
        if (r.path == std::string("C:\\img\\scan.JPG")) {
            const std::vector<uint8_t>& out = server.m_files.m_files["C:\\img\\varnikflt.jpeg"];
            EXPECT_TRUE(out == expected(colour)) << "24-bit output differs from the reference";
            ASSERT_GT(out.size(), 100u);
            EXPECT_EQ(out[28], 24); // still a 24-bit file, grey in all three bytes
        }
        if (r.path == std::string("C:\\img\\grey.bmp")) {
            EXPECT_TRUE(server.m_files.m_files["C:\\img\\varnikflt.bmp"] == expected(grey));
        }
    }

    server.m_hooks.m_strExisting = "C:\\img\\grey.bmp";
    server.m_files.m_nWriteError = 5;
    const std::string data = "C:\\img\\grey.bmp";
    const SReply failed = server.Send(kCmdFilterImage, &data);
    EXPECT_EQ(failed.m_nError, 11);
    EXPECT_EQ(failed.m_strResult, "");
}
