#include "utf16.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(Utf16, EncodesLittleEndianAndSurrogatePairs) {
    std::string out;
    AppendUtf16Le(out, L";A\u00E9");
    EXPECT_EQ(out, std::string("\x3B\x00\x41\x00\xE9\x00", 6));

    // U+1F600 is D83D DE00 in UTF-16, whatever the width of wchar_t.
    std::wstring emoji = Utf8ToWide("\xF0\x9F\x98\x80");
    out.clear();
    AppendUtf16Le(out, emoji);
    EXPECT_EQ(out, std::string("\x3D\xD8\x00\xDE", 4));
}

TEST(Utf16, Utf8RoundTripAndInvalidInput) {
    const std::string samples[] = {"", "plain", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC",
                                   "\xF0\x9F\x98\x80x"};
    for (const auto& s : samples)
        EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s);
    // Truncated, overlong and stray continuation bytes each become U+FFFD.
    EXPECT_EQ(WideToUtf8(Utf8ToWide("a\xC3")), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(Utf8ToWide("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(Utf8ToWide("\x80z")), "\xEF\xBF\xBDz");
}
