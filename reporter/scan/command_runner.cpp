#include "command_runner.h"

#include <atomic>

namespace ostrel {
namespace {

std::atomic<unsigned> g_nCommandLimitMs{kDefaultCommandLimitMs};

} // namespace

void SetCommandTimeLimit(unsigned limitMs) {
    g_nCommandLimitMs = limitMs;
}

unsigned CommandTimeLimit() {
    return g_nCommandLimitMs;
}

int CommandResult(const SCommandOutcome& outcome, bool useProcess) {
    switch (outcome.m_eState) {
    case SCommandOutcome::Finished:
        return outcome.m_nExitCode;
    case SCommandOutcome::TimedOut:
        return kResultTimedOut;
    case SCommandOutcome::WaitFailed:
        return kResultWaitFailed;
    case SCommandOutcome::NotStarted:
        break;
    }
    return useProcess ? kResultProcessNotCreated : kResultInterpreterFailed;
}

std::wstring CommandLogLine(int result, const std::wstring& commandLine) {
    return std::to_wstring(result) + L" = " + commandLine;
}

std::wstring CommandLogLine(const SCommandOutcome& outcome, int result,
                            const std::wstring& commandLine) {
    std::wstring line = CommandLogLine(result, commandLine);
    if (outcome.m_eState == SCommandOutcome::WaitFailed)
        line += L" (wait failed, error " + std::to_wstring(outcome.m_nSystemError) + L")";
    return line;
}

int RunCommand(IProcessLauncher& launcher, IReportFileOps& files, const std::wstring& logPath,
               const std::wstring& commandLine, bool useProcess) {
    const unsigned limitMs = CommandTimeLimit();
    const SCommandOutcome outcome = useProcess ? launcher.RunProcess(commandLine, limitMs)
                                               : launcher.RunInterpreter(commandLine, limitMs);
    const int result = CommandResult(outcome, useProcess);
    AppendReportLine(files, logPath, CommandLogLine(outcome, result, commandLine));
    return result;
}

int RunCommand(const std::wstring& logPath, const std::wstring& commandLine, bool useProcess) {
    return RunCommand(SystemProcessLauncher(), SystemReportFileOps(), logPath, commandLine,
                      useProcess);
}

} // namespace ostrel
