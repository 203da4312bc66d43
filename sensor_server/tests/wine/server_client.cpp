#include "server_client.h"

#include "module_path.h"
#include "path_text.h"

#include <cstdlib>
#include <vector>

namespace torvex::client {

std::wstring OwnFolder() {
    return ostrel::FolderOfModulePath(ostrel::GetRunningModulePath());
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c < 128 ? c : '?');
    return out;
}

CServerProcess::CServerProcess(const std::wstring& strExe, const char* pSim) {
    const std::wstring strBase = strExe.substr(0, strExe.rfind(L'.'));
    m_strMailbox = Narrow(strBase) + ".INI";
    ::DeleteFileA(m_strMailbox.c_str());
    if (pSim)
        ::SetEnvironmentVariableA("TORVEX_SIM", pSim);
    else
        ::SetEnvironmentVariableA("TORVEX_SIM", nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    si.wShowWindow = SW_HIDE;
    std::wstring app = strExe;
    if (!::CreateProcessW(app.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &m_pi))
        return;
    ::WaitForInputIdle(m_pi.hProcess, 10000);
    // The window may come a moment after the idle wait under Wine. Only our
    // own server's window counts: another one may still be closing.
    struct SSearch {
        DWORD m_dwProcess;
        HWND m_hWnd;
    } search{m_pi.dwProcessId, nullptr};
    for (int i = 0; i < 200 && !search.m_hWnd; ++i) {
        ::EnumWindows(
            [](HWND h, LPARAM l) -> BOOL {
                auto* s = reinterpret_cast<SSearch*>(l);
                wchar_t cls[32] = {};
                DWORD pid = 0;
                ::GetClassNameW(h, cls, 32);
                ::GetWindowThreadProcessId(h, &pid);
                if (pid == s->m_dwProcess && lstrcmpW(cls, L"TORVEX_WND") == 0) {
                    s->m_hWnd = h;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.m_hWnd)
            ::Sleep(50);
    }
    m_hWnd = search.m_hWnd;
}

CServerProcess::~CServerProcess() {
    Stop();
}

void CServerProcess::Stop() {
    if (!m_pi.hProcess)
        return;
    ::PostThreadMessageW(m_pi.dwThreadId, WM_QUIT, 0, 0);
    if (::WaitForSingleObject(m_pi.hProcess, 2000) != WAIT_OBJECT_0)
        ::TerminateProcess(m_pi.hProcess, 0);
    ::WaitForSingleObject(m_pi.hProcess, 5000);
    ::CloseHandle(m_pi.hProcess);
    ::CloseHandle(m_pi.hThread);
    m_pi = PROCESS_INFORMATION{};
    m_hWnd = nullptr;
}

void CServerProcess::Write(const char* pSection, const char* pKey, const std::string& strValue) {
    ::WritePrivateProfileStringA(pSection, pKey, strValue.c_str(), m_strMailbox.c_str());
}

std::string CServerProcess::Read(const char* pSection, const char* pKey, const char* pDefault) {
    char buffer[2000];
    const DWORD n = ::GetPrivateProfileStringA(pSection, pKey, pDefault, buffer, sizeof buffer,
                                               m_strMailbox.c_str());
    return std::string(buffer, n);
}

SAnswer CServerProcess::Send(WPARAM nCommand) {
    return SendWhileWaiting(nCommand, [] {});
}

SAnswer CServerProcess::SendWhileWaiting(WPARAM nCommand,
                                         const std::function<void()>& whileWaiting) {
    SAnswer answer;
    const UINT nMessage = ::RegisterWindowMessageW(L"TORVEX_COMMAND");
    if (!m_hWnd || nMessage == 0)
        return answer;
    Write("TORVEX", "READY", "0");
    ::PostMessageW(m_hWnd, nMessage, nCommand, 0);
    for (int i = 0; i < 150; ++i) {
        ++answer.m_nPolls;
        whileWaiting();
        const UINT nReady = ::GetPrivateProfileIntA("TORVEX", "READY", 0, m_strMailbox.c_str());
        if (nReady != 0) {
            answer.m_bAnswered = true;
            break;
        }
        ::Sleep(100);
    }
    if (!answer.m_bAnswered)
        return answer;
    answer.m_strResult = Read("TORVEX", "RESULT");
    const std::string strError = Read("TORVEX", "ERROR", "-1");
    answer.m_nError = std::atoi(strError.c_str());
    return answer;
}

SAnswer CServerProcess::Send(WPARAM nCommand, const std::string& strData) {
    Write("TORVEX", "DATA", strData);
    return Send(nCommand);
}

} // namespace torvex::client
