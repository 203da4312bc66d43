#pragma once
// Start-up rules of the reporter that need no window: run mode and paths.
#include <string>

namespace ostrel {

// The argument text after the program name selects unattended mode only when
// it is exactly "-auto" or "-AUTO".
bool IsAutoCommandLine(const std::wstring& args);

// The argument text of a process's whole command line: what follows the
// program name (quoted, or up to the first blank) and the one blank that
// separates it. Further blanks belong to the arguments, which the C runtime's
// own argument text would hide.
std::wstring CommandLineArguments(const std::wstring& commandLine);

// The run mode of a process started with this whole command line.
bool IsAutoProcessCommandLine(const std::wstring& commandLine);

struct SAppPaths {
    std::wstring m_strModuleDir;    // ends with a backslash, or empty
    std::wstring m_strLocalAppData; // no trailing backslash, or empty
    std::wstring m_strTmpDir;
    std::wstring m_strReportFile;
    std::wstring m_strLogFile;
};

// The command time limit a deployment or a test asks for (the text of
// OSTREL_COMMAND_LIMIT_MS): a positive number of milliseconds; anything else
// (absent, empty, not a number, zero) keeps the default.
unsigned CommandLimitFromText(const wchar_t* text, unsigned defaultMs);

// Paths from the program file's path and the local application data folder;
// an empty data folder leaves the four data paths empty.
SAppPaths BuildAppPaths(const std::wstring& modulePath, const std::wstring& localAppData);

} // namespace ostrel
