#include "update_rules.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(UpdateRules, NewerVersionIsNumericPartByPart) {
    struct Case {
        const wchar_t* remote;
        const wchar_t* local;
        bool newer;
    } cases[] = {
        {L"2.31.0.0", L"v.2.30.1.0", true},
        {L"v.2.31.0.0", L"v.2.30.1.0", true},
        {L"2.30.1.0", L"v.2.30.1.0", false},
        {L"v.2.30.1", L"v.2.30.1.0", false}, // missing parts count as 0
        {L"2.3.1", L"v.2.30.1.0", false},    // 3 < 30: no downgrade
        {L"10.0.0.0", L"v.2.30.1.0", true},
        {L"2.30.1.1", L"v.2.30.1.0", true},
        {L"2.30.1.0", L"\u00DF.2.30.1.0", false}, // pre-release label of the local file
        {L"2.30.2", L"\u00DF.2.30.1.0", true},
        {L" 2.31.0.0 ", L"v.2.30.1.0", true},
        {L"2.29.99.99", L"v.2.30.1.0", false},
        {L"4294967295.0", L"v.2.30.1.0", true},
        // Unreadable remote versions never offer an update.
        {L"", L"v.2.30.1.0", false},
        {L"v.", L"v.2.30.1.0", false},
        {L"v2.31.0.0", L"v.2.30.1.0", false},
        {L"2.31..0", L"v.2.30.1.0", false},
        {L"2.31.0.0.", L"v.2.30.1.0", false},
        {L"2.31.0.0.1", L"v.2.30.1.0", false},
        {L"2.31-beta", L"v.2.30.1.0", false},
        {L"3.x", L"v.2.30.1.0", false},
        {L"4294967296", L"v.2.30.1.0", false},
        {L"-3.0", L"v.2.30.1.0", false},
        // Nor does an unreadable local version (no version resource).
        {L"2.31.0.0", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNewerVersion(c.remote, c.local), c.newer) << c.remote << L" vs " << c.local;
}

TEST(UpdateRules, ParsedNumbersKeepTheirOrder) {
    std::vector<uint32_t> numbers{9};
    ASSERT_TRUE(ParseVersionNumbers(L"v.2.30.1.0", numbers));
    EXPECT_EQ(numbers, (std::vector<uint32_t>{2, 30, 1, 0}));
    EXPECT_FALSE(ParseVersionNumbers(L"x.1", numbers));
    EXPECT_EQ(numbers, (std::vector<uint32_t>{2, 30, 1, 0})) << "a failed parse stores nothing";
    EXPECT_EQ(CompareVersionNumbers({2, 3, 1}, {2, 3, 1, 0}), 0);
    EXPECT_LT(CompareVersionNumbers({2, 3, 1}, {2, 30, 1, 0}), 0);
    EXPECT_GT(CompareVersionNumbers({10}, {2, 30, 1, 0}), 0);
}

TEST(UpdateRules, SizeReply) {
    struct Case {
        const wchar_t* response;
        bool ok;
        uint64_t size;
    } cases[] = {
        {L"213 4096\r\n", true, 4096},
        {L"213 0", true, 0},
        {L"200 Type set to: Binary.\r\n213 5000000000\r\n", true, 5000000000ull},
        {L"213 17\n", true, 17},
        {L"550 No such file or directory.\r\n", false, 0},
        {L"213-4096\r\n", false, 0},
        {L"213 12ab\r\n", false, 0},
        {L"213 \r\n", false, 0},
        {L"2134096", false, 0},
        {L"", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t size = 77;
        EXPECT_EQ(ParseSizeReply(c.response, size), c.ok) << c.response;
        EXPECT_EQ(size, c.ok ? c.size : 77u) << c.response;
    }
}

TEST(UpdateRules, ServerAddress) {
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* host;
        uint16_t port;
    } cases[] = {
        {L"ftp.example.net", true, L"ftp.example.net", 21},
        {L"127.0.0.1:2121", true, L"127.0.0.1", 2121},
        {L"[::1]:990", true, L"::1", 990},
        {L"[::1]", true, L"::1", 21},
        {L"host:65535", true, L"host", 65535},
        {L"host:0", false, L"", 0},
        {L"host:65536", false, L"", 0},
        {L"host:", false, L"", 0},
        {L"host:21x", false, L"", 0},
        {L":21", false, L"", 0},
        {L"", false, L"", 0},
        {L"::1", false, L"", 0},
        {L"[::1]x", false, L"", 0},
        {L"a host", false, L"", 0},
    };
    for (const auto& c : cases) {
        SServerAddress address;
        EXPECT_EQ(ParseServerAddress(c.text, address), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(address.m_strHost, c.host) << c.text;
            EXPECT_EQ(address.m_nPort, c.port) << c.text;
        }
    }
}

TEST(UpdateRules, PinnedSigner) {
    const std::string digest = "3f0c9a1b2d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8";
    const std::string upper = "3F:0C:9A:1B:2D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:0A:1B:2C:3D:4E:"
                              "5F:60:71:82:93:A4:B5:C6:D7:E8";
    const std::string other = "0000000000000000000000000000000000000000000000000000000000000001";
    EXPECT_TRUE(MatchesPinnedSigner(digest, digest));
    EXPECT_TRUE(MatchesPinnedSigner(digest, upper));
    EXPECT_TRUE(MatchesPinnedSigner(digest, other + ";" + upper));
    EXPECT_FALSE(MatchesPinnedSigner(digest, other));
    EXPECT_FALSE(MatchesPinnedSigner(digest, ""));
    EXPECT_FALSE(MatchesPinnedSigner(digest, digest.substr(0, 40))) << "a SHA-1 length pin";
    EXPECT_FALSE(MatchesPinnedSigner("", ";"));
    EXPECT_FALSE(MatchesPinnedSigner(digest.substr(0, 63) + "g", digest.substr(0, 63) + "g"));
}
