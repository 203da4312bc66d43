#include "app_startup.h"

#include "path_text.h"

namespace ostrel {

bool IsAutoCommandLine(const std::wstring& args) {
    return args == L"-auto" || args == L"-AUTO";
}

std::wstring CommandLineArguments(const std::wstring& commandLine) {
    size_t pos = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const size_t close = commandLine.find(L'"', 1);
        pos = close == std::wstring::npos ? commandLine.size() : close + 1;
    } else {
        pos = commandLine.find_first_of(L" \t");
        if (pos == std::wstring::npos)
            pos = commandLine.size();
    }
    if (pos < commandLine.size() && (commandLine[pos] == L' ' || commandLine[pos] == L'\t'))
        ++pos;
    return commandLine.substr(pos);
}

bool IsAutoProcessCommandLine(const std::wstring& commandLine) {
    return IsAutoCommandLine(CommandLineArguments(commandLine));
}

unsigned CommandLimitFromText(const wchar_t* text, unsigned defaultMs) {
    if (!text || !*text)
        return defaultMs;
    unsigned long long value = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9')
            return defaultMs;
        value = value * 10 + static_cast<unsigned>(*p - L'0');
        if (value > 0xFFFFFFFEull) // INFINITE is not a limit
            return defaultMs;
    }
    return value == 0 ? defaultMs : static_cast<unsigned>(value);
}

SAppPaths BuildAppPaths(const std::wstring& modulePath, const std::wstring& localAppData) {
    SAppPaths paths;
    paths.m_strModuleDir = FolderOfModulePath(modulePath);
    if (!localAppData.empty()) {
        paths.m_strLocalAppData = localAppData;
        paths.m_strTmpDir = JoinPath(localAppData, L"TMP");
        paths.m_strReportFile = JoinPath(paths.m_strTmpDir, L"Report.txt");
        paths.m_strLogFile = JoinPath(paths.m_strTmpDir, L"Report.log");
    }
    return paths;
}

} // namespace ostrel
