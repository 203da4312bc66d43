// ReadImage from a client process against the simulated box and wireless
// sensor: the temporary bitmap on the Wine file system holds the simulator's
// image with its edge blanked, in bitmap row order.
#include "compress_codec.h"
#include "image_source.h"
#include "server_client.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace torvex::client;

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Rows top to bottom in; the bitmap's rows out, edge blanked.
std::vector<uint8_t> Expected(std::vector<uint8_t> image, int w, int h, bool bBottomFirst) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (y < h / 200 || y >= h - h / 200 || x < w / 200 || x >= w - w / 200)
                image[size_t(y) * w + x] = 0;
    if (!bBottomFirst)
        return image;
    std::vector<uint8_t> out(image.size());
    for (int y = 0; y < h; ++y)
        std::copy_n(image.begin() + size_t(y) * w, w, out.begin() + size_t(h - 1 - y) * w);
    return out;
}

std::vector<uint8_t> PixelsOf(const std::string& path) {
    const std::vector<uint8_t> file = ReadFile(path);
    if (file.size() < 1078 || file[0] != 'B' || file[1] != 'M')
        return {};
    return std::vector<uint8_t>(file.begin() + 1078, file.end());
}

} // namespace

TEST(ReadoutWine, BoxBitmapWithPreviewOnTheScreen) {
    CServerProcess server(OwnFolder() + L"TORVEX.exe", "box=5841;clock=virtual;image=600x342");
    ASSERT_TRUE(server.Started());
    const SAnswer found = server.Send(10, "");
    ASSERT_EQ(found.m_nError, 0);
    ASSERT_EQ(server.Send(20, found.m_strResult).m_nError, 0);
    const SAnswer a = server.Send(44, "3;400;300");
    ASSERT_TRUE(a.m_bAnswered);
    ASSERT_EQ(a.m_nError, 0);
    EXPECT_NE(a.m_strResult.find("BMP1.tmp"), std::string::npos) << a.m_strResult;
    EXPECT_TRUE(PixelsOf(a.m_strResult) ==
                Expected(torvex::sim::SensorImage(600, 342, 0), 600, 342, true));
    const SAnswer b = server.Send(44, "3");
    EXPECT_EQ(b.m_strResult, a.m_strResult) << "one temporary name for every readout";
    EXPECT_TRUE(PixelsOf(b.m_strResult) ==
                Expected(torvex::sim::SensorImage(600, 342, 1), 600, 342, true));
    EXPECT_NE(server.Send(45).m_strResult, "0");
}

TEST(ReadoutWine, WirelessFaultsAndAnUndecodedImageWithoutTheLibrary) {
    CServerProcess server(OwnFolder() + L"TORVEX.exe",
                          "wireless=7;clock=virtual;image=400x342;fault=badsum:D00101:0:1;"
                          "fault=short:D00101:40:1");
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(server.Send(20, "\\\\.\\COM7").m_nError, 0);
    const SAnswer bad = server.Send(44, "1");
    EXPECT_EQ(bad.m_nError, 30);
    EXPECT_EQ(bad.m_strResult, "");
    EXPECT_EQ(server.Send(44, "1").m_nError, 8);
    const SAnswer ref = server.Send(44, "17");
    ASSERT_EQ(ref.m_nError, 0);
    const std::vector<uint8_t> reference = torvex::sim::SensorImage(400, 342, 2);
    EXPECT_TRUE(PixelsOf(ref.m_strResult) == Expected(reference, 400, 342, false));
    // No "compress.dll" beside this server: the coded bytes stay, no error.
    const SAnswer coded = server.Send(44, "2");
    ASSERT_EQ(coded.m_nError, 0);
    const std::vector<uint8_t> image = torvex::sim::SensorImage(400, 342, 3);
    std::vector<uint8_t> delta(image.size());
    torvex::sim::DifferenceEncode(image.data(), reference.data(), image.size(), delta.data());
    EXPECT_TRUE(PixelsOf(coded.m_strResult) == Expected(delta, 400, 342, false));
    EXPECT_EQ(server.Send(43).m_strResult, "4");
}
