#include "platform_win32.h"

#include "module_path.h"
#include "path_text.h"
#include "unique_handle.h"

#include <windows.h>

#include <vector>

namespace torvex {

uint64_t CTickClock::NowMs() {
    return ::GetTickCount64();
}
void CTickClock::SleepMs(uint32_t nMs) {
    ::Sleep(nMs);
}

void CWin32ShellHooks::BeginWaitCursor() {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}
void CWin32ShellHooks::EndWaitCursor() {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}
void CWin32ShellHooks::DefaultBeep() {
    ::MessageBeep(0xFFFFFFFF);
}

bool CWin32ShellHooks::FileExists(const std::string& strPath) {
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

constexpr int kPortChars = 50;
using FindTesselBthFn = int(WINAPI*)(wchar_t*);

} // namespace

bool CWin32Bluefind::FindSensorPort(int& nResult, std::string& strPort) {
    // The folder part keeps its backslash; the wide path reaches a folder
    // whose name the ANSI code page cannot spell.
    const std::wstring strLibrary =
        ostrel::FolderOfModulePath(ostrel::GetRunningModulePath()) + L"Bluefind.DLL";
    ostrel::CModule library(::LoadLibraryW(strLibrary.c_str()));
    if (!library)
        return false;
    auto pFind = reinterpret_cast<FindTesselBthFn>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "FindTesselBth")));
    if (!pFind)
        return false;
    wchar_t port[kPortChars] = {};
    nResult = pFind(port);
    port[kPortChars - 1] = L'\0';
    strPort.clear();
    if (nResult >= 0 && port[0]) {
        char narrow[kPortChars * 2] = {};
        const int n =
            ::WideCharToMultiByte(CP_ACP, 0, port, -1, narrow, sizeof narrow, nullptr, nullptr);
        if (n > 0)
            strPort = narrow;
    }
    return true;
}

} // namespace torvex
