// The reporter's start-up against real files and real processes under Windows.
#include "guard.h"
#include "module_path.h"
#include "path_text.h"
#include "version_text.h"
#include "window_base.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

std::wstring BinDir() {
    return FolderOfModulePath(GetRunningModulePath());
}

struct SProcess {
    PROCESS_INFORMATION m_pi{};
    explicit operator bool() const { return m_pi.hProcess != nullptr; }
    ~SProcess() {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_pi.hProcess, 99);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
    }
};

void Start(SProcess& proc, const std::wstring& exe, const std::wstring& args = L"") {
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &proc.m_pi))
        << "CreateProcess failed: " << GetLastError();
}

DWORD WaitExit(const SProcess& proc, DWORD dwMs) {
    if (WaitForSingleObject(proc.m_pi.hProcess, dwMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(proc.m_pi.hProcess, &code);
    return code;
}

struct SWindowSearch {
    DWORD m_dwPid;
    std::vector<HWND> m_found;
};

BOOL CALLBACK CollectVisible(HWND hWnd, LPARAM lParam) {
    auto* s = reinterpret_cast<SWindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == s->m_dwPid && IsWindowVisible(hWnd))
        s->m_found.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD pid) {
    SWindowSearch s{pid, {}};
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&s));
    return s.m_found;
}

std::wstring WindowText(HWND hWnd) {
    wchar_t buf[256];
    int n = GetWindowTextW(hWnd, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

// The form, once the start-up's update dialog has made way for it.
HWND WaitForWindow(DWORD pid, DWORD dwMs) {
    const DWORD t0 = GetTickCount();
    do {
        for (HWND hWnd : VisibleWindowsOf(pid))
            if (WindowText(hWnd) != L"Ostrel Update")
                return hWnd;
        Sleep(50);
    } while (GetTickCount() - t0 < dwMs);
    return nullptr;
}

#ifdef OSTREL_TEST_PRERELEASE
const wchar_t* const kOstrelTitle = L"Ostrel.exe - \u00DF.2.30.1.0";
#else
const wchar_t* const kOstrelTitle = L"Ostrel.exe - v.2.30.1.0";
#endif

} // namespace

TEST(VersionTextWin32, RealVersionResources) {
    const std::wstring dir = BinDir();
    std::wstring text = L"stale";
    EXPECT_TRUE(GetFileVersionText(dir + L"ver_release.dll",
                                   SVersionTextOptions().WithName().FourParts(), text));
    EXPECT_EQ(text, L"ver_release.dll - v.3.7.12.45");
    EXPECT_TRUE(GetFileVersionText(dir + L"ver_release.dll", SVersionTextOptions(), text));
    EXPECT_EQ(text, L"v.3.7.12");
    EXPECT_TRUE(GetFileVersionText(dir + L"ver_prerelease.dll",
                                   SVersionTextOptions().WithName().FourParts(), text));
    EXPECT_EQ(text, L"ver_prerelease.dll - \u00DF.2.30.1.0");
    EXPECT_TRUE(GetFileVersionText(dir + L"Ostrel.exe",
                                   SVersionTextOptions().WithName().FourParts(), text));
    EXPECT_EQ(text, kOstrelTitle);
    EXPECT_TRUE(GetFileVersionText(dir + L"Ostrel.exe", SVersionTextOptions().FourParts(), text));
    EXPECT_EQ(text, std::wstring(kOstrelTitle).substr(13));

    text = L"stale";
    EXPECT_FALSE(GetFileVersionText(dir + L"ver_none.dll",
                                    SVersionTextOptions().WithName().FourParts(), text));
    EXPECT_EQ(text, L"");
    text = L"stale";
    EXPECT_FALSE(GetFileVersionText(dir + L"absent.dll", SVersionTextOptions().FourParts(), text));
    EXPECT_EQ(text, L"");
}

TEST(OstrelWin32, SecondInstanceEndsSilentlyAndANewStartWorksLater) {
    const std::wstring exe = BinDir() + L"Ostrel.exe";
    SProcess first;
    Start(first, exe);
    ASSERT_TRUE(first);
    HWND hForm = WaitForWindow(first.m_pi.dwProcessId, 30000);
    ASSERT_NE(hForm, nullptr) << "first instance shows no form";
    EXPECT_EQ(WindowText(hForm), kOstrelTitle);

    for (const wchar_t* args : {L"", L"-auto"}) {
        SProcess second;
        Start(second, exe, args);
        ASSERT_TRUE(second);
        // It ends at once, with code 0 and without ever showing a window.
        const DWORD t0 = GetTickCount();
        bool bShowed = false;
        while (WaitForSingleObject(second.m_pi.hProcess, 20) == WAIT_TIMEOUT &&
               GetTickCount() - t0 < 15000)
            bShowed = bShowed || !VisibleWindowsOf(second.m_pi.dwProcessId).empty();
        EXPECT_EQ(WaitExit(second, 0), 0u);
        EXPECT_FALSE(bShowed);
    }
    EXPECT_EQ(WaitExit(first, 0), static_cast<DWORD>(STILL_ACTIVE)) << "first instance affected";
    EXPECT_EQ(VisibleWindowsOf(first.m_pi.dwProcessId).size(), 1u);

    PostMessageW(hForm, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitExit(first, 15000), 0u);

    SProcess third;
    Start(third, exe);
    ASSERT_TRUE(third);
    HWND hThird = WaitForWindow(third.m_pi.dwProcessId, 30000);
    ASSERT_NE(hThird, nullptr) << "a new start after the first ended shows no form";
    // The close box: on the form it ends the form, on the imaging-application
    // reminder it cancels, and either ends the process.
    PostMessageW(hThird, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitExit(third, 15000), 0u);
}

namespace {

constexpr UINT kMsgThrow = WM_APP + 1;
constexpr UINT kMsgAnswer = WM_APP + 2;

// A message-only window whose handler throws on one message.
class CThrowingWindow : public CWindowBase {
public:
    bool Create() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GuardTestWindow";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, this) != nullptr;
    }
    ~CThrowingWindow() override {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }

protected:
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == kMsgThrow)
            throw std::runtime_error("handler failed");
        if (uMsg == kMsgAnswer)
            return 77;
        return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    }
};

} // namespace

// The exception stays inside the window procedure, is recorded, and the
// window goes on serving messages.
TEST(GuardWin32, WindowProcedureRecordsWhatItCaught) {
    CThrowingWindow window;
    ASSERT_TRUE(window.Create());
    const unsigned long before = LastCaughtException().m_nCount;
    EXPECT_EQ(SendMessageW(window.GetSafeHwnd(), kMsgThrow, 0, 0), 0);
    const SCaughtException caught = LastCaughtException();
    EXPECT_EQ(caught.m_nCount, before + 1);
    EXPECT_EQ(caught.m_strWhere, "CWindowBase::WindowProc");
    EXPECT_EQ(caught.m_strWhat, "handler failed");
    EXPECT_EQ(SendMessageW(window.GetSafeHwnd(), kMsgAnswer, 0, 0), 77);
}

// The pictures are in the program file at the numbers the form and the scan
// load: icons 16 x 16 with white (the image lists' transparent colour) in the
// top corners and some colour inside, the background 800 x 710.
TEST(OstrelWin32, PicturesAreInTheProgramFile) {
    HMODULE hExe =
        LoadLibraryExW((BinDir() + L"Ostrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hExe, nullptr);
    struct Case {
        unsigned id;
        int w, h;
    } cases[] = {{143, 16, 16}, {144, 16, 16}, {145, 16, 16}, {146, 16, 16},
                 {148, 16, 16}, {149, 16, 16}, {150, 16, 16}, {151, 16, 16},
                 {152, 16, 16}, {153, 16, 16}, {154, 16, 16}, {155, 16, 16},
                 {156, 16, 16}, {157, 16, 16}, {161, 16, 16}, {160, 800, 710}};
    for (const Case& c : cases) {
        HBITMAP hBmp = static_cast<HBITMAP>(
            LoadImageW(hExe, MAKEINTRESOURCEW(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(hBmp, nullptr) << c.id;
        DIBSECTION dib{};
        ASSERT_EQ(GetObjectW(hBmp, sizeof dib, &dib), static_cast<int>(sizeof dib)) << c.id;
        EXPECT_EQ(dib.dsBm.bmWidth, c.w) << c.id;
        EXPECT_EQ(dib.dsBm.bmHeight, c.h) << c.id;
        if (c.w == 16 && dib.dsBm.bmBitsPixel == 24) {
            const auto* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
            const unsigned char* top = bits + dib.dsBm.bmWidthBytes * (c.h - 1); // bottom-up
            EXPECT_EQ(top[0] & top[1] & top[2], 0xFF) << c.id;
            EXPECT_EQ(top[45] & top[46] & top[47], 0xFF) << c.id;
            int nColoured = 0;
            for (int y = 0; y < c.h; ++y)
                for (int x = 0; x < c.w; ++x) {
                    const unsigned char* p = bits + dib.dsBm.bmWidthBytes * y + 3 * x;
                    nColoured += (p[0] & p[1] & p[2]) != 0xFF;
                }
            EXPECT_GT(nColoured, 30) << c.id;
        } else if (c.w == 16) {
            ADD_FAILURE() << c.id << ": " << dib.dsBm.bmBitsPixel << " bits per pixel";
        }
        DeleteObject(hBmp);
    }
    FreeLibrary(hExe);
}
