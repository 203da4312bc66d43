// Prints the start-up paths as the reporter computes them, one per line in UTF-8.
#include "ostrel_app.h"
#include "utf16.h"

#include <cstdio>

int wmain() {
    ostrel::SAppPaths paths = ostrel::QueryAppPaths();
    const std::wstring lines[] = {paths.m_strModuleDir, paths.m_strLocalAppData, paths.m_strTmpDir,
                                  paths.m_strReportFile, paths.m_strLogFile};
    for (const auto& line : lines)
        std::printf("%s\n", ostrel::WideToUtf8(line).c_str());
    return 0;
}
