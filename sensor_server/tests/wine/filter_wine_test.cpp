// FilterImage from a client process: bitmap files on the Wine file system,
// the outputs compared with the loop-by-loop reference chain.
#include "filter_reference.h"
#include "server_client.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

using namespace torvex::client;

namespace {

struct SBitmap {
    std::vector<uint8_t> m_header; // file header, info header, palette for grey
    std::vector<uint8_t> m_rows;
    int m_nWidth, m_nHeight, m_nChannels;
    size_t m_nStride;
};

SBitmap MakeBitmap(int w, int h, int c, unsigned seed) {
    SBitmap b{{}, {}, w, h, c, (size_t(w) * c + 3) / 4 * 4};
    const size_t nOffset = c == 1 ? 1078 : 54;
    b.m_header.assign(nOffset, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.m_header[at + i] = uint8_t(v >> (8 * i));
    };
    b.m_header[0] = 'B';
    b.m_header[1] = 'M';
    put32(2, uint32_t(nOffset + b.m_nStride * h));
    put32(10, uint32_t(nOffset));
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    b.m_header[26] = 1;
    b.m_header[28] = uint8_t(8 * c);
    for (int i = 0; c == 1 && i < 256; ++i)
        b.m_header[54 + 4 * i] = b.m_header[55 + 4 * i] = b.m_header[56 + 4 * i] = uint8_t(i);
    b.m_rows.resize(b.m_nStride * h);
    std::mt19937 rng(seed);
    // A soft gradient with noise, as an X-ray image has it.
    for (int y = 0; y < h; ++y)
        for (size_t x = 0; x < size_t(w) * c; ++x)
            b.m_rows[y * b.m_nStride + x] = uint8_t((x / c + y) / 12 + rng() % 40);
    return b;
}

std::vector<uint8_t> Bytes(const SBitmap& b) {
    std::vector<uint8_t> out = b.m_header;
    out.insert(out.end(), b.m_rows.begin(), b.m_rows.end());
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

} // namespace

TEST(FilterWine, AcceptedSizesFilteredAsTheReferenceDoes) {
    CServerProcess server(OwnFolder() + L"TORVEX.exe", "box=5841;clock=virtual");
    ASSERT_TRUE(server.Started());
    const std::string folder = Narrow(OwnFolder()) + "filter_files\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);

    struct SRow {
        const char* name;
        int w, h, c;
        const char* target; // nullptr: refused
    } rows[] = {
        {"colour.JPG", 1300, 1696, 3, "varnikflt.jpeg"},
        {"colour_wide.bmp", 1696, 1300, 3, "varnikflt.bmp"},
        {"grey.tif", 1300, 1696, 1, "varnikflt.tiff"},
        {"grey_wide.bmp", 1696, 1300, 1, "varnikflt.bmp"},
        {"uncut.bmp", 1000, 1500, 1, nullptr},
    };
    unsigned seed = 1;
    for (const SRow& r : rows) {
        SBitmap source = MakeBitmap(r.w, r.h, r.c, seed++);
        WriteFile(folder + r.name, Bytes(source));
        const std::string target = r.target ? folder + r.target : folder + "varnikflt.bmp";
        ::DeleteFileA(target.c_str());

        const SAnswer a = server.Send(300, folder + r.name);
        ASSERT_TRUE(a.m_bAnswered) << r.name;
        if (!r.target) {
            EXPECT_EQ(a.m_nError, 11) << r.name;
            EXPECT_EQ(a.m_strResult, "") << r.name;
            EXPECT_EQ(::GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES) << r.name;
            continue;
        }
        EXPECT_EQ(a.m_nError, 0) << r.name;
        EXPECT_EQ(a.m_strResult, target) << r.name;
        SBitmap expect = source;
        torvex::reference::Filter(expect.m_rows.data(), r.w, r.h, expect.m_nStride, r.c, 10, 0.8);
        const std::vector<uint8_t> out = ReadFile(target);
        // Same headers as the source (whatever the extension, a bitmap), rows
        // byte for byte as the reference filters them.
        EXPECT_TRUE(out == Bytes(expect)) << r.name << ": " << out.size() << " bytes";
    }

    const SAnswer missing = server.Send(300, folder + "absent.bmp");
    ASSERT_TRUE(missing.m_bAnswered);
    EXPECT_EQ(missing.m_nError, 2);
    EXPECT_EQ(missing.m_strResult, "");
}
