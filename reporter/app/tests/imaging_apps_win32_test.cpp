// The imaging-application check through real windows: stand-in applications
// in their own processes, the check in the host process reading its whole
// command line, the message boxes answered from here.
#include "module_path.h"
#include "path_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

std::wstring BinDir() {
    return FolderOfModulePath(GetRunningModulePath());
}

class CProcess {
public:
    CProcess() = default;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;
    ~CProcess() { Reset(); }
    // The command line is given whole, blanks and all; stdout goes to outFile.
    bool Start(const std::wstring& exe, std::wstring commandLine,
               const std::wstring& outFile = L"") {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        HANDLE hOut = nullptr;
        if (!outFile.empty()) {
            SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
            hOut = CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                               0, nullptr);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = hOut;
            si.hStdError = hOut;
        }
        const BOOL ok = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                       nullptr, nullptr, &si, &m_pi);
        if (hOut)
            CloseHandle(hOut);
        return ok != FALSE;
    }
    DWORD Pid() const { return m_pi.dwProcessId; }
    // Ends (if still running) and forgets the process, so another can start.
    void Reset() {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_pi.hProcess, 99);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
        m_pi = {};
    }
    // The exit code, or STILL_ACTIVE when it has not ended within dwMs.
    DWORD WaitExit(DWORD dwMs) const {
        if (WaitForSingleObject(m_pi.hProcess, dwMs) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_pi{};
};

HWND WaitForClass(const wchar_t* cls, DWORD dwMs) {
    const DWORD t0 = GetTickCount();
    do {
        if (HWND h = FindWindowW(cls, nullptr))
            return h;
        Sleep(50);
    } while (GetTickCount() - t0 < dwMs);
    return nullptr;
}

// A stand-in imaging application whose window is up.
struct SAppWindow {
    CProcess m_proc;
    bool Start(const wchar_t* cls, bool bIgnoreClose) {
        const std::wstring exe = BinDir() + L"imaging_app_window.exe";
        if (!m_proc.Start(exe,
                          L"\"" + exe + L"\" " + cls + (bIgnoreClose ? L" ignore" : L" close")))
            return false;
        return WaitForClass(cls, 20000) != nullptr;
    }
};

struct SBoxSearch {
    DWORD m_dwPid;
    const wchar_t* m_pszCaption; // what the box's caption starts with
    HWND m_hBox;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam) {
    auto* s = reinterpret_cast<SBoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hWnd, cls, 16);
    wchar_t caption[256] = {};
    GetWindowTextW(hWnd, caption, 256);
    // A message box: its text is static 0xFFFF; the form has its tree (1046).
    if (pid == s->m_dwPid && IsWindowVisible(hWnd) && std::wstring(cls) == L"#32770" &&
        std::wstring(caption).rfind(s->m_pszCaption, 0) == 0 && GetDlgItem(hWnd, 0xFFFF) &&
        !GetDlgItem(hWnd, 1046)) {
        s->m_hBox = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForBox(DWORD pid, const wchar_t* pszCaption, DWORD dwMs) {
    const DWORD t0 = GetTickCount();
    do {
        SBoxSearch s{pid, pszCaption, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
        if (s.m_hBox)
            return s.m_hBox;
        Sleep(50);
    } while (GetTickCount() - t0 < dwMs);
    return nullptr;
}

std::wstring Text(HWND hWnd) {
    wchar_t buf[512];
    const int n = GetWindowTextW(hWnd, buf, 512);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

// What a box shows: caption, text and which buttons it has.
struct SBox {
    HWND m_hWnd = nullptr;
    std::wstring m_strCaption, m_strText;
    bool m_bHasCancel = false;
};

SBox NextBox(const CProcess& host, DWORD dwMs = 20000,
             const wchar_t* pszCaption = L"Imaging check host") {
    SBox box;
    box.m_hWnd = WaitForBox(host.Pid(), pszCaption, dwMs);
    if (box.m_hWnd) {
        box.m_strCaption = Text(box.m_hWnd);
        box.m_strText = Text(GetDlgItem(box.m_hWnd, 0xFFFF));
        box.m_bHasCancel = GetDlgItem(box.m_hWnd, IDCANCEL) != nullptr;
    }
    return box;
}

// Presses a button and waits for that box to go.
void Answer(const SBox& box, int nButton) {
    PostMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), 0);
    for (int i = 0; i < 200 && IsWindow(box.m_hWnd) && IsWindowVisible(box.m_hWnd); ++i)
        Sleep(25);
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

const wchar_t* const kVarnik = L"VARNIK_IMAGING_WINDOW";
const wchar_t* const kKalder = L"KALDER_DIGITAL_WINDOW";
const wchar_t* const kCaption = L"Imaging check host";
const wchar_t* const kKalderPromptEn =
    L"Close \"Kalder Digital.exe\" and choose \"OK\" to continue.";
const wchar_t* const kReminderEn = L"You must close all imaging applications to continue.";
// How much faster than real time the host runs the check's clock where a
// case waits for the unattended limit (IMAGING_CHECK_CLOCK_SPEED).
constexpr unsigned kClockSpeed = 4;

class ImagingAppsWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"IMAGING_CHECK_LANG", nullptr);
        SetEnvironmentVariableW(L"IMAGING_CHECK_CLOCK_SPEED", nullptr);
        m_strOut = BinDir() + L"imaging_check_out.txt";
    }
    // Starts the host with the given text after its quoted name.
    void StartHost(const std::wstring& after) {
        const std::wstring exe = BinDir() + L"imaging_check_host.exe";
        ASSERT_TRUE(m_host.Start(exe, L"\"" + exe + L"\"" + after, m_strOut));
    }
    std::string Output() { return ReadFile(m_strOut); }
    // True once the host has printed text (its output so far starts with it).
    bool WaitForOutput(const std::string& text, DWORD dwMs) {
        const DWORD t0 = GetTickCount();
        do {
            if (Output().rfind(text, 0) == 0)
                return true;
            Sleep(10);
        } while (GetTickCount() - t0 < dwMs);
        return false;
    }

    CProcess m_host;
    std::wstring m_strOut;
};

} // namespace

// Interactive: the prompt comes back while Kalder lives (the check does not
// close it), then the general reminder, then the start-up goes on.
TEST_F(ImagingAppsWin32, InteractivePromptRepeatsThenReminder) {
    SAppWindow kalder;
    ASSERT_TRUE(kalder.Start(kKalder, false));
    StartHost(L"");
    for (int i = 0; i < 2; ++i) {
        SBox box = NextBox(m_host);
        ASSERT_NE(box.m_hWnd, nullptr) << "prompt " << i;
        EXPECT_EQ(box.m_strCaption, kCaption);
        EXPECT_EQ(box.m_strText, kKalderPromptEn);
        EXPECT_TRUE(box.m_bHasCancel);
        EXPECT_NE(FindWindowW(kKalder, nullptr), nullptr) << "the check closed it itself";
        if (i == 1) {
            // The user closes the application, then answers.
            PostMessageW(FindWindowW(kKalder, nullptr), WM_CLOSE, 0, 0);
            EXPECT_EQ(kalder.m_proc.WaitExit(10000), 0u);
        }
        Answer(box, IDOK);
    }
    SBox reminder = NextBox(m_host);
    ASSERT_NE(reminder.m_hWnd, nullptr);
    EXPECT_EQ(reminder.m_strText, kReminderEn);
    Answer(reminder, IDOK);
    EXPECT_EQ(m_host.WaitExit(15000), 0u);
    EXPECT_EQ(Output(), "mode interactive\ncontinued\n");
}

// Cancel ends the process at once. With two blanks after the program name
// the argument text is " -auto", which is not the unattended switch: one
// blank is the separator.
TEST_F(ImagingAppsWin32, InteractiveCancelEndsTheProcess) {
    struct Case {
        const wchar_t* cls;
        const wchar_t* lang; // IMAGING_CHECK_LANG, null: English
        const wchar_t* after;
        const wchar_t* prompt;
    } cases[] = {
        {kVarnik, nullptr, L"", L"Close \"Varnik Imaging.exe\" and choose \"OK\" to continue."},
        {kKalder, L"0", L"  -auto", L"Fermez l'application \"Kalder Digital\" avant de poursuivre"},
    };
    for (const Case& c : cases) {
        SetEnvironmentVariableW(L"IMAGING_CHECK_LANG", c.lang);
        SAppWindow app;
        ASSERT_TRUE(app.Start(c.cls, false));
        StartHost(c.after);
        SBox box = NextBox(m_host);
        ASSERT_NE(box.m_hWnd, nullptr);
        EXPECT_EQ(box.m_strText, c.prompt);
        Answer(box, IDCANCEL);
        EXPECT_EQ(m_host.WaitExit(15000), 0u);
        EXPECT_EQ(Output(), "mode interactive\n");
        EXPECT_NE(FindWindowW(c.cls, nullptr), nullptr);
        m_host.Reset();
    }
}

TEST_F(ImagingAppsWin32, UnattendedClosesBothAndGoesOn) {
    SAppWindow varnik, kalder;
    ASSERT_TRUE(varnik.Start(kVarnik, false));
    ASSERT_TRUE(kalder.Start(kKalder, false));
    StartHost(L" -auto");
    EXPECT_EQ(m_host.WaitExit(30000), 0u);
    EXPECT_EQ(Output(), "mode auto\ncontinued\n");
    EXPECT_EQ(varnik.m_proc.WaitExit(5000), 0u);
    EXPECT_EQ(kalder.m_proc.WaitExit(5000), 0u);
}

// Both ignore the close: one box when the check's clock has run 60 s, then
// the process ends with code 0 and nothing else happens. The host runs that
// clock kClockSpeed times as fast, so the limit ends after 60 s / kClockSpeed.
TEST_F(ImagingAppsWin32, UnattendedAbortsWhenTheyIgnoreTheClose) {
    SAppWindow varnik, kalder;
    ASSERT_TRUE(varnik.Start(kVarnik, true));
    ASSERT_TRUE(kalder.Start(kKalder, true));
    SetEnvironmentVariableW(L"IMAGING_CHECK_CLOCK_SPEED", std::to_wstring(kClockSpeed).c_str());
    StartHost(L" -AUTO");
    // Timed from the host's first line, printed just before the check starts,
    // so the host's own start-up does not eat into the scaled margins.
    ASSERT_TRUE(WaitForOutput("mode auto\n", 20000));
    const DWORD t0 = GetTickCount();
    SBox box = NextBox(m_host, 90000 / kClockSpeed);
    const DWORD nElapsed = GetTickCount() - t0;
    ASSERT_NE(box.m_hWnd, nullptr);
    EXPECT_EQ(box.m_strCaption, kCaption);
    EXPECT_EQ(box.m_strText, L"Operation aborted!");
    EXPECT_FALSE(box.m_bHasCancel);
    EXPECT_GE(nElapsed, 59000u / kClockSpeed);
    EXPECT_LT(nElapsed, 80000u / kClockSpeed);
    Answer(box, IDOK);
    EXPECT_EQ(m_host.WaitExit(15000), 0u);
    EXPECT_EQ(Output(), "mode auto\n");
    EXPECT_NE(FindWindowW(kVarnik, nullptr), nullptr);
    EXPECT_NE(FindWindowW(kKalder, nullptr), nullptr);
}

// The real program decides its run mode from its whole command line: after
// two blanks "-auto" is not the switch, so the form's start-up asks (with the
// form's caption) instead of closing the application.
TEST_F(ImagingAppsWin32, OstrelWithTwoBlanksBeforeAutoAsks) {
    SAppWindow kalder;
    ASSERT_TRUE(kalder.Start(kKalder, false));
    const std::wstring exe = BinDir() + L"Ostrel.exe";
    CProcess ostrel;
    ASSERT_TRUE(ostrel.Start(exe, L"\"" + exe + L"\"  -auto"));
    SBox box = NextBox(ostrel, 60000, L"Ostrel.exe - ");
    ASSERT_NE(box.m_hWnd, nullptr);
    EXPECT_EQ(box.m_strCaption.rfind(L"Ostrel.exe - ", 0), 0u);
    EXPECT_EQ(box.m_strText, kKalderPromptEn);
    EXPECT_NE(FindWindowW(kKalder, nullptr), nullptr);
    Answer(box, IDCANCEL);
    EXPECT_EQ(ostrel.WaitExit(15000), 0u);
    EXPECT_NE(FindWindowW(kKalder, nullptr), nullptr);
}
