// Result codes and log lines of the command runner, through a recording launcher.
#include "command_runner.h"
#include "memory_files.h"

#include "utf16.h"

#include <gtest/gtest.h>

#include <map>

using namespace ostrel;

namespace {

class CFakeLauncher : public IProcessLauncher {
public:
    SCommandOutcome RunProcess(const std::wstring& commandLine, unsigned limitMs) override {
        m_calls.push_back({true, commandLine, limitMs});
        return m_outcome;
    }
    SCommandOutcome RunInterpreter(const std::wstring& commandLine, unsigned limitMs) override {
        m_calls.push_back({false, commandLine, limitMs});
        return m_outcome;
    }
    struct SCall {
        bool m_bProcess;
        std::wstring m_strLine;
        unsigned m_nLimitMs;
    };
    std::vector<SCall> m_calls;
    SCommandOutcome m_outcome;
};

using CLogFiles = test::CMemoryFiles;

std::string Utf16(const std::wstring& text) {
    std::string out;
    AppendUtf16Le(out, text);
    return out;
}

const std::wstring kLog = L"C:\\Work\\TMP\\Report.log";

TEST(RunCommand, ResultCodesAndTheirLogLines) {
    using S = SCommandOutcome;
    struct SCase {
        S m_outcome;
        bool m_bProcess;
        int m_nResult;
    };
    const SCase cases[] = {
        {{S::Finished, 0}, false, 0},    {{S::Finished, 1}, false, 1},
        {{S::Finished, -1}, true, -1}, // exit code with every bit set
        {{S::Finished, 3}, true, 3},     {{S::NotStarted, 0}, true, 2},
        {{S::NotStarted, 0}, false, -1}, {{S::TimedOut, 0}, true, 258},
        {{S::TimedOut, 0}, false, 258},
    };
    const std::wstring line = L"msinfo32.exe /nfo \"C:\\Work\\TMP\\MsInfo.nfo\"";
    for (const auto& c : cases) {
        CFakeLauncher launcher;
        launcher.m_outcome = c.m_outcome;
        CLogFiles files;
        files.m_files[kLog];
        EXPECT_EQ(RunCommand(launcher, files, kLog, line, c.m_bProcess), c.m_nResult);
        ASSERT_EQ(launcher.m_calls.size(), 1u);
        EXPECT_EQ(launcher.m_calls[0].m_bProcess, c.m_bProcess);
        EXPECT_EQ(launcher.m_calls[0].m_strLine, line);
        EXPECT_EQ(files.m_files[kLog],
                  Utf16(std::to_wstring(c.m_nResult) + L" = " + line + L"\r\n"));
    }
}

// A started program whose end could not be waited for, or whose exit code
// could not be read, must not pass for a success (it once logged "0 = ").
TEST(RunCommand, AFailedWaitIsAFailureWithItsOwnLogLine) {
    const std::wstring line = L"dxdiag.exe /t C:\\Work\\TMP\\DxDiag.txt";
    for (const bool process : {true, false}) {
        CFakeLauncher launcher;
        launcher.m_outcome = {SCommandOutcome::WaitFailed, 0, 6};
        CLogFiles files;
        files.m_files[kLog];
        EXPECT_EQ(RunCommand(launcher, files, kLog, line, process), -1);
        EXPECT_EQ(files.m_files[kLog], Utf16(L"-1 = dxdiag.exe /t C:\\Work\\TMP\\DxDiag.txt "
                                             L"(wait failed, error 6)\r\n"));
    }
}

TEST(RunCommand, LogKeepsTheWideTextAndLinesFollowEachOther) {
    CFakeLauncher launcher;
    launcher.m_outcome = {SCommandOutcome::Finished, 0};
    CLogFiles files;
    files.m_files[kLog];
    const std::wstring wide =
        L"copy \"C:\\Images\\\u041F\u0430\u0446\u0438\u0435\u043D\u0442.log\" \"C:\\Work\\TMP\"";
    RunCommand(launcher, files, kLog, wide, false);
    launcher.m_outcome = {SCommandOutcome::NotStarted, 0};
    RunCommand(launcher, files, kLog, L"nothere.exe /x", true);
    EXPECT_EQ(files.m_files[kLog], Utf16(L"0 = " + wide + L"\r\n2 = nothere.exe /x\r\n"));
}

TEST(RunCommand, LimitIsTheSettingAndALostLogLineKeepsTheResult) {
    const unsigned saved = CommandTimeLimit();
    EXPECT_EQ(kDefaultCommandLimitMs, 600000u);
    SetCommandTimeLimit(1500);
    CFakeLauncher launcher;
    launcher.m_outcome = {SCommandOutcome::Finished, 7};
    CLogFiles files; // no log file: the line is lost
    EXPECT_EQ(RunCommand(launcher, files, kLog, L"x", true), 7);
    EXPECT_EQ(launcher.m_calls.at(0).m_nLimitMs, 1500u);
    EXPECT_TRUE(files.m_files.empty());
    SetCommandTimeLimit(saved);
}

} // namespace
