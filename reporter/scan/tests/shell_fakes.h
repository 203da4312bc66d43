#pragma once
// Shell folders in memory; an empty folder is one the shell does not report.
#include "shell_folders.h"

#include <string>

namespace ostrel::test {

class CFakeFolders : public IShellFolders {
public:
    bool LocalAppData(std::wstring& folder) override { return Give(m_strLocal, folder); }
    bool ProgramFiles(std::wstring& folder) override { return Give(m_strProgramFiles, folder); }
    bool ProgramFilesCommon(std::wstring& folder) override { return Give(m_strCommon, folder); }
    bool SystemFolder(std::wstring& folder) override { return Give(m_strSystem, folder); }
    std::wstring m_strLocal = L"C:\\Users\\dr\\AppData\\Local";
    std::wstring m_strProgramFiles = L"C:\\Program Files";
    std::wstring m_strCommon = L"C:\\Program Files\\Common Files";
    std::wstring m_strSystem = L"C:\\Windows\\system32";

private:
    static bool Give(const std::wstring& value, std::wstring& folder) {
        if (value.empty())
            return false;
        folder = value;
        return true;
    }
};

} // namespace ostrel::test
