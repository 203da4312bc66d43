#pragma once
// What the detection Wine tests share: the test program's folder (TORVEX.exe
// lies there), the simulated practice, the stand-in plate-scanner control,
// the server's environment and the announcer run from the Linux side.
// <winsock2.h> must come before <windows.h>.
#include <winsock2.h>

#include <windows.h>

#include "materiel.h"
#include "module_path.h"
#include "path_text.h"
#include "plate_scanner_listener.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace ostrel::test {

inline std::wstring OwnFolder() {
    return FolderOfModulePath(GetRunningModulePath());
}

inline std::wstring FromUnix(const char* path) {
    std::wstring out = L"Z:";
    for (const char* p = path; *p; ++p)
        out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

inline std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s)
        out += static_cast<char>(c < 0x80 ? c : '?');
    return out;
}

inline std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lines;
    std::string data;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        data.append(buffer, n);
    CloseHandle(h);
    size_t start = 0;
    for (size_t pos; (pos = data.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(data.substr(start, pos - start));
    return lines;
}

inline DWORD Run(std::wstring line, DWORD timeoutMs = 120000) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, timeoutMs);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

inline bool WaitNoServerWindow(DWORD ms) {
    for (DWORD waited = 0; FindWindowW(L"TORVEX_WND", nullptr); waited += 50) {
        if (waited >= ms)
            return false;
        Sleep(50);
    }
    return true;
}

// The server sees this environment when the client starts it.
struct SServerEnvironment {
    std::wstring m_strTrace;
    SServerEnvironment(const char* sim, const wchar_t* trace) {
        SetEnvironmentVariableA("TORVEX_SIM", sim);
        m_strTrace = OwnFolder() + trace;
        DeleteFileW(m_strTrace.c_str());
        SetEnvironmentVariableW(L"TORVEX_TRACE", m_strTrace.c_str());
        DeleteFileW((OwnFolder() + L"TORVEX.INI").c_str());
    }
    ~SServerEnvironment() {
        SetEnvironmentVariableA("TORVEX_SIM", nullptr);
        SetEnvironmentVariableW(L"TORVEX_TRACE", nullptr);
    }
    std::vector<std::string> Commands() const { return ReadLines(m_strTrace); }
};

inline void InstallPractice(const std::wstring& arguments) {
    const DWORD code = Run(L"\"" + FromUnix(OSTREL_PRACTICE_INSTALLER) + L"\" " + arguments);
    ASSERT_EQ(code, 0u) << Narrow(arguments);
}

// What regsvr32 does, in this process (a separate Wine process costs seconds).
inline HRESULT Register(const char* entry) {
    const std::wstring dll = OwnFolder() + L"LumenoSim.dll";
    HMODULE h = LoadLibraryW(dll.c_str());
    if (!h)
        return E_FAIL;
    using Fn = HRESULT(WINAPI*)();
    const auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h, entry)));
    const HRESULT hr = fn ? fn() : E_FAIL;
    FreeLibrary(h);
    return hr;
}

// Whether another socket could bind the listener's port now.
inline bool PortIsFree() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kPlateScannerPort);
    const bool free = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    closesocket(s);
    WSACleanup();
    return free;
}

// The model that takes in the announcements posted to a test window.
inline CMateriel* g_pDatagramTarget = nullptr;

// Window procedure of the stand-ins for the form: routes the socket message.
inline LRESULT CALLBACK DatagramWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == kPlateScannerMessage && g_pDatagramTarget)
        return g_pDatagramTarget->OnPlateScannerDatagram(static_cast<uintptr_t>(lParam));
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

// The announcer on the Linux side sends each item as one datagram to the
// listener's port on 127.0.0.1, then creates the done file (a Unix path).
inline bool StartAnnouncer(const std::vector<const char*>& items, const std::string& doneUnix) {
    DeleteFileW(FromUnix(doneUnix.c_str()).c_str());
    std::wstring line = FromUnix(OSTREL_ANNOUNCER) + L" 127.0.0.1 48322 ";
    line += std::wstring(doneUnix.begin(), doneUnix.end());
    for (const char* item : items)
        line += L" " + std::wstring(item, item + std::strlen(item));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace ostrel::test
