#pragma once
// The sensor-server client's ports on Win32: window search, process start and
// end, the registered message, the private-profile mailbox, Sleep.
#include "server_ports.h"

namespace ostrel {

class CServerPlatformWin32 : public IServerPlatform {
public:
    uintptr_t FindServerWindow() override;
    bool StartServer(const std::wstring& exePath, SServerProcess& process) override;
    bool WaitUntilIdle(const SServerProcess& process, unsigned nMs) override;
    bool WaitForExit(const SServerProcess& process, unsigned nMs) override;
    unsigned RegisterCommandMessage() override;
    bool PostCommand(uintptr_t hWnd, unsigned nMessage, unsigned nCommand) override;
    void PostQuit(const SServerProcess& process) override;
    bool GetExitCode(const SServerProcess& process, uint32_t& nCode) override;
    // Waits (bounded) until the terminated process has ended.
    void Terminate(const SServerProcess& process, uint32_t nCode) override;
    void Release(SServerProcess& process) override;
};

class CMailboxFileWin32 : public IMailboxFile {
public:
    void WriteString(const std::wstring& path, const std::wstring& key,
                     const std::wstring& value) override;
    int ReadInt(const std::wstring& path, const std::wstring& key, int defaultValue) override;
    std::wstring ReadString(const std::wstring& path, const std::wstring& key,
                            const std::wstring& defaultText, unsigned bufferChars) override;
};

class CWaitClockWin32 : public IWaitClock {
public:
    void Sleep(unsigned nMs) override;
};

} // namespace ostrel
