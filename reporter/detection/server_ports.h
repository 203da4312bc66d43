#pragma once
// What the sensor-server client needs from the platform: the server's window
// and process, the registered command message, the INI mailbox and a clock.
// Window and process handles travel as opaque integers; 0 means none.
#include <cstdint>
#include <string>

namespace ostrel {

// The server process this client started: an owned process handle and the
// id of its main thread. Both 0 when the client holds none.
struct SServerProcess {
    uintptr_t m_hProcess = 0;
    uint32_t m_dwThreadId = 0;
};

class IServerPlatform {
public:
    virtual ~IServerPlatform() = default;
    // A top-level window of class "TORVEX_WND", whatever its title; 0 when none.
    virtual uintptr_t FindServerWindow() = 0;
    // Starts exePath as the application name, no command line, no handle
    // inheritance, the caller's environment and folder, window hidden and no
    // busy-cursor feedback. True with process filled (the thread handle is
    // closed at once); on failure nothing is open and process is untouched.
    virtual bool StartServer(const std::wstring& exePath, SServerProcess& process) = 0;
    // Waits until the process is idle for input; false on time-out or error.
    virtual bool WaitUntilIdle(const SServerProcess& process, unsigned nMs) = 0;
    // True when the process has ended within nMs (0: just look).
    virtual bool WaitForExit(const SServerProcess& process, unsigned nMs) = 0;
    // Registered number of "TORVEX_COMMAND"; 0 when registration fails.
    virtual unsigned RegisterCommandMessage() = 0;
    // Posts message(wParam = command, lParam = 0) and returns at once.
    virtual bool PostCommand(uintptr_t hWnd, unsigned nMessage, unsigned nCommand) = 0;
    // Posts the quit message to the process's main thread.
    virtual void PostQuit(const SServerProcess& process) = 0;
    // False when the exit code cannot be read; 259 while the process runs.
    virtual bool GetExitCode(const SServerProcess& process, uint32_t& nCode) = 0;
    virtual void Terminate(const SServerProcess& process, uint32_t nCode) = 0;
    // Closes the process handle and empties process.
    virtual void Release(SServerProcess& process) = 0;
};

// Section "TORVEX" of the mailbox file through the private-profile service:
// no caching, every read sees the last write of either side.
class IMailboxFile {
public:
    virtual ~IMailboxFile() = default;
    virtual void WriteString(const std::wstring& path, const std::wstring& key,
                             const std::wstring& value) = 0;
    // Leading decimal number of the value; defaultValue when the key is missing.
    virtual int ReadInt(const std::wstring& path, const std::wstring& key, int defaultValue) = 0;
    // The value cut to bufferChars - 1 characters; defaultText when missing.
    virtual std::wstring ReadString(const std::wstring& path, const std::wstring& key,
                                    const std::wstring& defaultText, unsigned bufferChars) = 0;
};

class IWaitClock {
public:
    virtual ~IWaitClock() = default;
    // Blocks the calling thread (a virtual clock only counts).
    virtual void Sleep(unsigned nMs) = 0;
};

} // namespace ostrel
