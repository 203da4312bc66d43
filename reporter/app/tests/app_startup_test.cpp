#include "app_startup.h"

#include <gtest/gtest.h>

using namespace ostrel;

TEST(AppStartup, CommandLineSelectsUnattendedModeExactly) {
    struct Case {
        const wchar_t* args;
        bool bAuto;
    } cases[] = {
        {L"-auto", true},   {L"-AUTO", true},    {L"-Auto", false},
        {L"/auto", false},  {L"-auto x", false}, {L" -auto", false},
        {L"-auto ", false}, {L"", false},        {L"auto", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAutoCommandLine(c.args), c.bAuto) << '"' << c.args << '"';
}

// The whole command line as the process gets it: the rule sees the blanks
// that the runtime's argument text drops.
TEST(AppStartup, RunModeReadsTheWholeCommandLine) {
    struct Case {
        const wchar_t* line;
        bool bAuto;
    } cases[] = {
        {L"Ostrel.exe -auto", true},
        {L"Ostrel.exe -AUTO", true},
        {L"\"C:\\Program Files\\Ostrel\\Ostrel.exe\" -auto", true},
        {L"\"C:\\Program Files\\Ostrel\\Ostrel.exe\"-auto", true},
        {L"Ostrel.exe\t-auto", true},
        {L"Ostrel.exe  -auto", false},
        {L"\"C:\\Ostrel dir\\Ostrel.exe\"  -auto", false},
        {L"Ostrel.exe -auto ", false},
        {L"Ostrel.exe -Auto", false},
        {L"Ostrel.exe", false},
        {L"Ostrel.exe ", false},
        {L"\"Ostrel.exe", false}, // unclosed quote: all of it is the name
        {L"", false},
        {L"C:\\-auto\\Ostrel.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAutoProcessCommandLine(c.line), c.bAuto) << '"' << c.line << '"';
    EXPECT_EQ(CommandLineArguments(L"\"a b.exe\" x  y"), L"x  y");
    EXPECT_EQ(CommandLineArguments(L"a.exe   x"), L"  x");
}

TEST(AppStartup, PathsFollowTheAppendRule) {
    SAppPaths p =
        BuildAppPaths(L"C:\\Program Files\\Ostrel\\Ostrel.exe", L"C:\\Users\\doc\\AppData\\Local");
    EXPECT_EQ(p.m_strModuleDir, L"C:\\Program Files\\Ostrel\\");
    EXPECT_EQ(p.m_strLocalAppData, L"C:\\Users\\doc\\AppData\\Local");
    EXPECT_EQ(p.m_strTmpDir, L"C:\\Users\\doc\\AppData\\Local\\TMP");
    EXPECT_EQ(p.m_strReportFile, L"C:\\Users\\doc\\AppData\\Local\\TMP\\Report.txt");
    EXPECT_EQ(p.m_strLogFile, L"C:\\Users\\doc\\AppData\\Local\\TMP\\Report.log");

    // No data folder: the four data paths stay empty, the module folder does not.
    SAppPaths none = BuildAppPaths(L"C:\\Ostrel.exe", L"");
    EXPECT_EQ(none.m_strModuleDir, L"C:\\");
    EXPECT_TRUE(none.m_strLocalAppData.empty() && none.m_strTmpDir.empty() &&
                none.m_strReportFile.empty() && none.m_strLogFile.empty());
}

TEST(AppStartup, CommandLimitFromTheEnvironmentText) {
    const std::pair<const wchar_t*, unsigned> cases[] = {
        {nullptr, 600000},
        {L"", 600000},
        {L"3000", 3000},
        {L"1", 1},
        {L"0", 600000},
        {L"-5", 600000},
        {L"3s", 600000},
        {L" 3000", 600000},
        {L"4294967294", 4294967294u},
        {L"4294967295", 600000},
        {L"99999999999999999999", 600000},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(CommandLimitFromText(text, 600000), expected) << (text ? "set" : "null");
}
