#include "app_startup.h"

#include "path_text.h"

namespace ostrel {

bool IsAutoCommandLine(const std::wstring& args) {
    return args == L"-auto" || args == L"-AUTO";
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
