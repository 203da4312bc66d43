#pragma once
// Runs one outside command, waits for it and logs "%d = %s" to Report.log.
// While it waits, the thread's window messages are dispatched, so the scan
// dialog keeps repainting and answering.
// Every command has a time limit, so a program that never ends (msinfo32
// /nfo does so under Wine) cannot hold the scan for good.
#include "report_file.h"

#include <string>

namespace ostrel {

struct SCommandOutcome {
    // WaitFailed: the process started, but the wait for it or the reading of
    // its exit code failed, so its result is unknown.
    enum EState { Finished, NotStarted, TimedOut, WaitFailed };
    EState m_eState = NotStarted;
    int m_nExitCode = 0;    // meaningful when Finished
    int m_nSystemError = 0; // the platform's error code when WaitFailed
};

// Starting and waiting. Contract: a TimedOut outcome means the process (and
// everything it started, where the platform allows) has been ended before
// the call returns; after a WaitFailed outcome it has been asked to end (a
// failed wait cannot tell when it has).
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // The command line goes unchanged to process creation; the first word,
    // or its quoted first part, names the program.
    virtual SCommandOutcome RunProcess(const std::wstring& commandLine, unsigned limitMs) = 0;
    // The interpreter named by COMSPEC runs "/c" and the command line,
    // converted to the ANSI code page (unrepresentable characters replaced).
    virtual SCommandOutcome RunInterpreter(const std::wstring& commandLine, unsigned limitMs) = 0;
};

// Generous: the system-information export takes minutes on a busy machine.
constexpr unsigned kDefaultCommandLimitMs = 10 * 60 * 1000;

// Result codes that are not a program's own exit code.
constexpr int kResultProcessNotCreated = 2;  // any process-creation failure
constexpr int kResultInterpreterFailed = -1; // the interpreter could not start
// Past the limit the command is ended and logged with WAIT_TIMEOUT (258), the
// code the wait itself gave; the ended process also gets it as exit code.
constexpr int kResultTimedOut = 258;
// A failed wait is logged with WAIT_FAILED read as a signed number, and its
// log line says so: an unknown result must not pass for a program's success.
constexpr int kResultWaitFailed = -1;

// The limit of every later command; tests lower it.
void SetCommandTimeLimit(unsigned limitMs);
unsigned CommandTimeLimit();

int CommandResult(const SCommandOutcome& outcome, bool useProcess);
std::wstring CommandLogLine(int result, const std::wstring& commandLine);
// "%d = %s", followed for a failed wait by " (wait failed, error %d)".
std::wstring CommandLogLine(const SCommandOutcome& outcome, int result,
                            const std::wstring& commandLine);

// Runs, then appends the log line (the wide command line as passed in) to
// logPath; a log that cannot be opened loses the line, the result stands.
int RunCommand(IProcessLauncher& launcher, IReportFileOps& files, const std::wstring& logPath,
               const std::wstring& commandLine, bool useProcess);

// The system's launcher: Win32 on Windows; on the host nothing starts.
IProcessLauncher& SystemProcessLauncher();
int RunCommand(const std::wstring& logPath, const std::wstring& commandLine, bool useProcess);

} // namespace ostrel
