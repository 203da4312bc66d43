#pragma once
// A client process's side of the mailbox handshake, as the reporter runs it:
// start the server hidden, write READY 0 (and DATA), post "TORVEX_COMMAND" to
// "TORVEX_WND", read READY every 100 ms (at most 150 times), then RESULT and ERROR.
#include <windows.h>

#include <functional>
#include <string>

namespace torvex::client {

struct SAnswer {
    bool m_bAnswered = false;
    std::string m_strResult;
    int m_nError = -1;
    int m_nPolls = 0;
};

class CServerProcess {
public:
    // strExe: full path of the server; strSim: TORVEX_SIM text (nullptr: unset).
    CServerProcess(const std::wstring& strExe, const char* pSim);
    ~CServerProcess();
    CServerProcess(const CServerProcess&) = delete;
    CServerProcess& operator=(const CServerProcess&) = delete;

    bool Started() const { return m_hWnd != nullptr; }
    HWND Window() const { return m_hWnd; }
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    const std::string& Mailbox() const { return m_strMailbox; }

    // The whole message parameter: numbers beyond 32 bits are possible on x64.
    SAnswer Send(WPARAM nCommand);
    SAnswer Send(WPARAM nCommand, const std::string& strData);
    // As Send, calling whileWaiting before every look at READY (to close a
    // message box the server shows meanwhile, say).
    SAnswer SendWhileWaiting(WPARAM nCommand, const std::function<void()>& whileWaiting);
    void Write(const char* pSection, const char* pKey, const std::string& strValue);
    std::string Read(const char* pSection, const char* pKey, const char* pDefault = "");
    // Posts the quit message, waits 2 s, then terminates if still running.
    void Stop();

private:
    PROCESS_INFORMATION m_pi{};
    HWND m_hWnd = nullptr;
    std::string m_strMailbox;
};

// Folder of the running test program, with a trailing backslash.
std::wstring OwnFolder();
std::string Narrow(const std::wstring& text);

} // namespace torvex::client
