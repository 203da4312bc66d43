#include "server_platform_win32.h"

#include "server_commands.h"

#include <windows.h>

#include <vector>

namespace ostrel {

namespace {
HANDLE ProcessOf(const SServerProcess& process) {
    return reinterpret_cast<HANDLE>(process.m_hProcess);
}
constexpr DWORD kTerminateWaitMs = 5000;
} // namespace

uintptr_t CServerPlatformWin32::FindServerWindow() {
    return reinterpret_cast<uintptr_t>(::FindWindowW(server::kWindowClass, nullptr));
}

bool CServerPlatformWin32::StartServer(const std::wstring& exePath, SServerProcess& process) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exePath.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    process.m_hProcess = reinterpret_cast<uintptr_t>(pi.hProcess);
    process.m_dwThreadId = pi.dwThreadId;
    return true;
}

bool CServerPlatformWin32::WaitUntilIdle(const SServerProcess& process, unsigned nMs) {
    return ::WaitForInputIdle(ProcessOf(process), nMs) == 0;
}

bool CServerPlatformWin32::WaitForExit(const SServerProcess& process, unsigned nMs) {
    return ::WaitForSingleObject(ProcessOf(process), nMs) == WAIT_OBJECT_0;
}

unsigned CServerPlatformWin32::RegisterCommandMessage() {
    return ::RegisterWindowMessageW(server::kCommandMessage);
}

bool CServerPlatformWin32::PostCommand(uintptr_t hWnd, unsigned nMessage, unsigned nCommand) {
    return ::PostMessageW(reinterpret_cast<HWND>(hWnd), nMessage, nCommand, 0) != FALSE;
}

void CServerPlatformWin32::PostQuit(const SServerProcess& process) {
    ::PostThreadMessageW(process.m_dwThreadId, WM_QUIT, 0, 0);
}

bool CServerPlatformWin32::GetExitCode(const SServerProcess& process, uint32_t& nCode) {
    DWORD dwCode = 0;
    if (!::GetExitCodeProcess(ProcessOf(process), &dwCode))
        return false;
    nCode = dwCode;
    return true;
}

void CServerPlatformWin32::Terminate(const SServerProcess& process, uint32_t nCode) {
    if (::TerminateProcess(ProcessOf(process), nCode))
        ::WaitForSingleObject(ProcessOf(process), kTerminateWaitMs);
}

void CServerPlatformWin32::Release(SServerProcess& process) {
    if (process.m_hProcess)
        ::CloseHandle(ProcessOf(process));
    process = SServerProcess();
}

void CMailboxFileWin32::WriteString(const std::wstring& path, const std::wstring& key,
                                    const std::wstring& value) {
    ::WritePrivateProfileStringW(server::kSection, key.c_str(), value.c_str(), path.c_str());
}

int CMailboxFileWin32::ReadInt(const std::wstring& path, const std::wstring& key,
                               int defaultValue) {
    return static_cast<int>(
        ::GetPrivateProfileIntW(server::kSection, key.c_str(), defaultValue, path.c_str()));
}

std::wstring CMailboxFileWin32::ReadString(const std::wstring& path, const std::wstring& key,
                                           const std::wstring& defaultText, unsigned bufferChars) {
    std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(server::kSection, key.c_str(), defaultText.c_str(),
                                               buffer.data(), bufferChars, path.c_str());
    return std::wstring(buffer.data(), n < bufferChars ? n : bufferChars - 1);
}

void CWaitClockWin32::Sleep(unsigned nMs) {
    ::Sleep(nMs);
}

} // namespace ostrel
