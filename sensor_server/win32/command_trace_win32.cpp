#include "command_trace_win32.h"

#include "module_path.h"

#include <windows.h>

#include <string>

namespace torvex {

namespace {

struct STrace {
    std::string m_strFile;
    std::string m_strMailbox;
    STrace() {
        char buffer[MAX_PATH] = {};
        const DWORD n = ::GetEnvironmentVariableA("TORVEX_TRACE", buffer, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return;
        m_strFile = buffer;
        const std::string module = ostrel::GetRunningModulePathAnsi();
        m_strMailbox = module.substr(0, module.rfind('.') + 1) + "INI";
    }
};

} // namespace

void TraceCommand(unsigned nCommand) {
    static const STrace trace;
    if (trace.m_strFile.empty())
        return;
    char data[2000] = {};
    ::GetPrivateProfileStringA("TORVEX", "DATA", "", data, sizeof data, trace.m_strMailbox.c_str());
    const std::string line = std::to_string(nCommand) + ";" + data + "\r\n";
    HANDLE h = ::CreateFileA(trace.m_strFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD dwWritten = 0;
    ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &dwWritten, nullptr);
    ::CloseHandle(h);
}

} // namespace torvex
