#include "command_runner.h"

#include "last_error.h"
#include "unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

// How long an ended process may take to go away before we stop waiting.
constexpr DWORD kEndGraceMs = 10 * 1000;

std::string ToAnsi(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int nBytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(nBytes > 0 ? nBytes : 0), '\0');
    if (nBytes > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              nBytes, nullptr, nullptr);
    return out;
}

// Waits like WaitForSingleObject, dispatching the thread's window messages
// meanwhile, so the scan dialog repaints and takes clicks while a program
// runs. Gives WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitDispatchingMessages(HANDLE handle, unsigned limitMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG spent = ::GetTickCount64() - start;
        const DWORD left = spent >= limitMs ? 0 : static_cast<DWORD>(limitMs - spent);
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (wait != WAIT_OBJECT_0 + 1)
            return wait == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : wait;
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that owns it
                return ::WaitForSingleObject(handle, left);
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

// Waits for a process created suspended. It runs inside a job of its own, so
// that on time-out whatever it started ends with it (an interpreter's child,
// a program's helpers). When the job cannot take it, only the process ends.
SCommandOutcome WaitWithLimit(const PROCESS_INFORMATION& pi, unsigned limitMs) {
    CKernelHandle process(pi.hProcess);
    CKernelHandle thread(pi.hThread);
    CKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
    const bool inJob = job && ::AssignProcessToJobObject(job.get(), process.get());
    ::ResumeThread(thread.get());

    auto end = [&](UINT nExitCode) {
        if (inJob)
            ::TerminateJobObject(job.get(), nExitCode);
        else
            ::TerminateProcess(process.get(), nExitCode);
    };
    SCommandOutcome outcome;
    const DWORD dwWait = WaitDispatchingMessages(process.get(), limitMs);
    if (dwWait == WAIT_TIMEOUT) {
        end(static_cast<UINT>(kResultTimedOut));
        ::WaitForSingleObject(process.get(), kEndGraceMs);
        outcome.m_eState = SCommandOutcome::TimedOut;
        return outcome;
    }
    if (dwWait != WAIT_OBJECT_0) {
        outcome.m_eState = SCommandOutcome::WaitFailed;
        outcome.m_nSystemError = LastErrorCode();
        end(static_cast<UINT>(kResultWaitFailed));
        return outcome;
    }
    DWORD dwExit = 0;
    if (!::GetExitCodeProcess(process.get(), &dwExit)) {
        outcome.m_eState = SCommandOutcome::WaitFailed;
        outcome.m_nSystemError = LastErrorCode();
        return outcome;
    }
    outcome.m_eState = SCommandOutcome::Finished;
    outcome.m_nExitCode = static_cast<int>(dwExit);
    return outcome;
}

class CWin32Launcher : public IProcessLauncher {
public:
    SCommandOutcome RunProcess(const std::wstring& commandLine, unsigned limitMs) override {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        // CreateProcessW may write into the command line.
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        // Suspended only until it sits in its job; nothing else differs from
        // a plain start.
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, &si, &pi))
            return {};
        return WaitWithLimit(pi, limitMs);
    }

    // What the C runtime's system() does ("%COMSPEC% /c line", 8-bit text),
    // started by hand so the wait can have a limit.
    SCommandOutcome RunInterpreter(const std::wstring& commandLine, unsigned limitMs) override {
        std::string comspec = "cmd.exe";
        if (const DWORD n = ::GetEnvironmentVariableA("COMSPEC", nullptr, 0); n > 0) {
            std::string value(n, '\0');
            const DWORD got = ::GetEnvironmentVariableA("COMSPEC", value.data(), n);
            if (got > 0 && got < n) {
                value.resize(got);
                comspec = value;
            }
        }
        std::string line = "\"" + comspec + "\" /c " + ToAnsi(commandLine);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, &si, &pi))
            return {};
        return WaitWithLimit(pi, limitMs);
    }
};

} // namespace

IProcessLauncher& SystemProcessLauncher() {
    static CWin32Launcher s_launcher;
    return s_launcher;
}

} // namespace ostrel
