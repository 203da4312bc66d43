#include "app_startup.h"

#include "path_text.h"

namespace ostrel {

bool IsAutoCommandLine(const std::wstring& args) {
    return args == L"-auto" || args == L"-AUTO";
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
