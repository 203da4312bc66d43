#include "data_parsers.h"
#include "mailbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace torvex;

TEST(DataParsers, IntFields) {
    struct Case {
        const char* text;
        int count;
        int first, second;
    } cases[] = {
        {"1;0", 2, 1, 0},
        {" 7; 8", 2, 7, 8},
        {"-3;+4", 2, -3, 4},
        {"5", 1, 5, 0},
        {"5 ;6", 1, 5, 0},
        {"", 0, 0, 0},
        {";6", 0, 0, 0},
        {"x;1", 0, 0, 0},
        {"12abc;4", 1, 12, 0},
        {"1;;2", 1, 1, 0},
        {"-", 0, 0, 0},
        {"1;-", 1, 1, 0},
        {"\xE9"
         "1;2",
         0, 0, 0},
        {"4294967297;2", 2, 1, 2}, // wraps modulo 2^32
    };
    for (const auto& c : cases) {
        int v[2] = {0, 0};
        EXPECT_EQ(ScanInts(c.text, v, 2), c.count) << c.text;
        EXPECT_EQ(v[0], c.first) << c.text;
        EXPECT_EQ(v[1], c.second) << c.text;
    }
}

TEST(DataParsers, ValuePairCutsTo16Bits) {
    EXPECT_EQ(ParseValuePair("65535;1").m_wFirst, 65535);
    EXPECT_EQ(ParseValuePair("65536;1").m_wFirst, 0);
    EXPECT_EQ(ParseValuePair("-1;2").m_wFirst, 65535);
    EXPECT_EQ(ParseValuePair("300;4000").m_wSecond, 4000);
    EXPECT_EQ(ParseValuePair("300").m_wSecond, 0);
}

TEST(DataParsers, FrameTextNeedsAllEightNumbers) {
    EXPECT_FALSE(ParseFrameText("176;1;1;0;0;0;0"));
    EXPECT_FALSE(ParseFrameText(""));
    EXPECT_FALSE(ParseFrameText("176;1;1;0;0;0;0;x"));
    const auto f = ParseFrameText("176;1;257;-1;0;0;0;0;99"); // a ninth number is not read
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)[0], 176);
    EXPECT_EQ((*f)[2], 1);   // low byte
    EXPECT_EQ((*f)[3], 255); // low byte of -1
}

TEST(DataParsers, ProfileIntAndImageRequest) {
    EXPECT_EQ(ProfileInt("", 3), 3);
    EXPECT_EQ(ProfileInt("61", 3), 61);
    EXPECT_EQ(ProfileInt("abc", 3), 0);
    EXPECT_EQ(ProfileInt(" -2x", 3), -2);
    const SImageRequest none = ParseImageRequest("3");
    EXPECT_EQ(none.m_nMode, 3);
    EXPECT_FALSE(none.m_bPreview);
    const SImageRequest preview = ParseImageRequest("1;0;200");
    EXPECT_TRUE(preview.m_bPreview);
    EXPECT_EQ(preview.m_nY, 200);
    EXPECT_FALSE(ParseImageRequest("x").m_bModeRead);
}

TEST(DataParsers, SerialPortNames) {
    EXPECT_TRUE(NamesSerialPort("\\\\.\\COM7"));
    EXPECT_TRUE(NamesSerialPort("x\\\\.\\COM12"));
    EXPECT_FALSE(NamesSerialPort("COM7"));
    EXPECT_FALSE(NamesSerialPort("\\\\.\\com7")); // case-sensitive
}

TEST(MailboxPath, FollowsTheExecutablesOwnName) {
    EXPECT_EQ(MailboxPathFromModule("C:\\Prog\\TORVEX.EXE"), "C:\\Prog\\TORVEX.INI");
    EXPECT_EQ(MailboxPathFromModule("C:\\Prog\\Other.exe"), "C:\\Prog\\Other.INI");
    EXPECT_EQ(MailboxPathFromModule("C:\\a.b\\srv.v2.exe"), "C:\\a.b\\srv.v2.INI");
    EXPECT_EQ(MailboxPathFromModule("C:\\a.b\\srv"), "C:\\a.b\\srv.INI");
}

// Bounded random inputs: the scanner agrees with the C library's sscanf on
// text made of the characters that matter, and survives arbitrary bytes.
TEST(DataParsers, RandomInputsAgreeWithSscanf) {
    std::mt19937 rng(20261210);
    const std::string alphabet = "0123456789;;;--+  \tx";
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i)
            text += alphabet[rng() % alphabet.size()];
        // Keep numbers short: sscanf's overflow behaviour is not defined.
        bool bLongRun = false;
        int run = 0;
        for (char c : text) {
            run = (c >= '0' && c <= '9') ? run + 1 : 0;
            bLongRun |= run > 9;
        }
        if (bLongRun)
            continue;
        int mine[8] = {}, theirs[8] = {};
        const int nMine = ScanInts(text, mine, 8);
        int nTheirs =
            std::sscanf(text.c_str(), "%d;%d;%d;%d;%d;%d;%d;%d", &theirs[0], &theirs[1], &theirs[2],
                        &theirs[3], &theirs[4], &theirs[5], &theirs[6], &theirs[7]);
        if (nTheirs < 0)
            nTheirs = 0; // EOF before the first conversion
        ASSERT_EQ(nMine, nTheirs) << "[" << text << "]";
        for (int i = 0; i < nMine; ++i)
            ASSERT_EQ(mine[i], theirs[i]) << "[" << text << "] field " << i;
    }
    for (int round = 0; round < 100000; ++round) {
        std::string text(rng() % 40, '\0');
        for (char& c : text)
            c = static_cast<char>(rng());
        int v[8];
        ASSERT_LE(ScanInts(text, v, 8), 8);
        (void)ParseFrameText(text);
        (void)ParseValuePair(text);
        (void)ParseImageRequest(text);
        (void)ProfileInt(text, 3);
    }
}
