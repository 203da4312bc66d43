#include "version_text.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(VersionText, Formats) {
    SFileVersion v{(2u << 16) | 30u, (1u << 16) | 0u, 0};
    EXPECT_EQ(
        FormatVersionText(L"C:\\Prog\\Ostrel.exe", v, SVersionTextOptions().WithName().FourParts()),
        L"Ostrel.exe - v.2.30.1.0");
    EXPECT_EQ(FormatVersionText(L"C:\\Prog\\Ostrel.exe", v, SVersionTextOptions()), L"v.2.30.1");
    EXPECT_EQ(FormatVersionText(L"Ostrel.exe", v, SVersionTextOptions().WithName()),
              L"Ostrel.exe - v.2.30.1");
    v.m_dwFileFlags = kFileFlagPreRelease;
    EXPECT_EQ(FormatVersionText(L"C:\\Ostrel.exe", v, SVersionTextOptions().WithName().FourParts()),
              L"Ostrel.exe - \u00DF.2.30.1.0");
    SFileVersion big{0xFFFFFFFFu, 0xFFFF0001u, 0};
    EXPECT_EQ(FormatVersionText(L"x", big, SVersionTextOptions().FourParts()),
              L"v.65535.65535.65535.1");
}
