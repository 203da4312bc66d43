// The command runner through real process creation and the real interpreter.
#include "command_runner.h"

#include "utf16.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>

using namespace ostrel;
using namespace ostrel::test;

namespace {

class CommandRunnerWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        m_strDir = FreshFolder(L"command_runner_win32_test");
        m_strLog = m_strDir + L"\\Report.log";
        ASSERT_TRUE(WriteReportHeader(m_strLog));
        m_strChild = L"\"" + ModuleFolder() + L"\\scan_test_child.exe\"";
        m_nSavedLimit = CommandTimeLimit();
    }
    void TearDown() override { SetCommandTimeLimit(m_nSavedLimit); }

    std::wstring LastLogLine() {
        const auto lines = ReportLines(m_strLog);
        return lines.empty() ? L"" : lines.back();
    }
    // Whether the process whose id the child wrote has ended.
    bool ChildEnded(const std::wstring& pidFile) {
        const DWORD pid = std::strtoul(ReadBytes(pidFile).c_str(), nullptr, 10);
        if (pid == 0)
            return false;
        HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (!h)
            return true;
        const bool ended = WaitForSingleObject(h, 5000) == WAIT_OBJECT_0;
        CloseHandle(h);
        return ended;
    }

    std::wstring m_strDir, m_strLog, m_strChild;
    unsigned m_nSavedLimit = 0;
};

TEST_F(CommandRunnerWin32, ResultCodesOfBothWays) {
    struct SCase {
        std::wstring m_strLine;
        bool m_bProcess;
        int m_nResult;
    };
    const SCase cases[] = {
        {L"C:\\nowhere\\absent.exe /x", true, 2},
        {L"absent_program_4711.exe", true, 2},
        {m_strChild + L" exit -1", true, -1},
        {m_strChild + L" exit 0", true, 0},
        {m_strChild + L" sleep 300", true, 0},
        {L"echo done> \"" + m_strDir + L"\\echo.txt\"", false, 0},
        {L"exit 3", false, 3},
        {L"copy \"" + m_strDir + L"\\absent.ini\" \"" + m_strDir + L"\"", false, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunCommand(m_strLog, c.m_strLine, c.m_bProcess), c.m_nResult);
        EXPECT_EQ(LastLogLine(), std::to_wstring(c.m_nResult) + L" = " + c.m_strLine);
    }
    EXPECT_EQ(ReadBytes(m_strDir + L"\\echo.txt"), "done\r\n");
    EXPECT_EQ(ReportLines(m_strLog).size(), 7u + std::size(cases)) << "one line per command";
}

TEST_F(CommandRunnerWin32, InterpreterGetsTheAnsiTextLogKeepsTheWideText) {
    const std::wstring wide = L"x\u4E2D\u00E9y";
    const std::wstring line = L"echo " + wide + L"> \"" + m_strDir + L"\\ansi.txt\"";
    EXPECT_EQ(RunCommand(m_strLog, line, false), 0);
    char ansi[16] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    EXPECT_EQ(ReadBytes(m_strDir + L"\\ansi.txt"), std::string(ansi) + "\r\n");
    std::string logged;
    AppendUtf16Le(logged, L"0 = " + line + L"\r\n");
    const std::string log = ReadBytes(m_strLog);
    EXPECT_EQ(log.substr(log.size() - logged.size()), logged);
}

TEST_F(CommandRunnerWin32, PastTheLimitTheCommandIsEndedAndLogged) {
    SetCommandTimeLimit(1500);
    const std::wstring pid1 = m_strDir + L"\\pid1.txt";
    const std::wstring pid2 = m_strDir + L"\\pid2.txt";
    struct SCase {
        std::wstring m_strLine;
        bool m_bProcess;
        std::wstring m_strPidFile;
    };
    const SCase cases[] = {
        {m_strChild + L" hang \"" + pid1 + L"\"", true, pid1},
        // The interpreter's own child ends with it. The outer quotes are the
        // interpreter's: it strips them from a line that starts with a quote.
        {L"\"" + m_strChild + L" hang \"" + pid2 + L"\"\"", false, pid2},
        // Under Wine the system-information export never ends.
        {L"msinfo32.exe /nfo \"" + m_strDir + L"\\MsInfo.nfo\"", true, L""},
    };
    for (const auto& c : cases) {
        const DWORD start = GetTickCount();
        EXPECT_EQ(RunCommand(m_strLog, c.m_strLine, c.m_bProcess), 258) << c.m_bProcess;
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(elapsed, 1400u);
        EXPECT_LT(elapsed, 12000u);
        EXPECT_EQ(LastLogLine(), L"258 = " + c.m_strLine);
        if (!c.m_strPidFile.empty()) {
            EXPECT_TRUE(ChildEnded(c.m_strPidFile)) << c.m_bProcess;
        }
    }
    // A command within the limit is unaffected.
    EXPECT_EQ(RunCommand(m_strLog, m_strChild + L" sleep 500", true), 0);
}

} // namespace

namespace {

struct SPumpProbe {
    DWORD m_dwHandledAt = 0;
    int m_nHandled = 0;
};

LRESULT CALLBACK ProbeProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_APP) {
        auto* probe = reinterpret_cast<SPumpProbe*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        probe->m_dwHandledAt = GetTickCount();
        ++probe->m_nHandled;
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

} // namespace

// While an outside program runs, the thread's windows still get their
// messages (the scan dialog repaints and takes a Cancel click).
TEST_F(CommandRunnerWin32, WindowMessagesAreHandledWhileACommandRuns) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OstrelPumpProbe";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_TRUE(hWnd);
    SPumpProbe probe;
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&probe));
    PostMessageW(hWnd, WM_APP, 0, 0);
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunCommand(m_strLog, m_strChild + L" sleep 1500", true), 0);
    const DWORD end = GetTickCount();
    EXPECT_EQ(probe.m_nHandled, 1);
    EXPECT_LT(probe.m_dwHandledAt - start, 1000u) << "handled only after the program ended";
    EXPECT_GE(end - start, 1400u);
    DestroyWindow(hWnd);
}
