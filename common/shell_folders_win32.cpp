#include "shell_folders.h"

#include <windows.h>

#include <shlobj.h>

namespace ostrel {
namespace {

// One call for every folder. SHGetSpecialFolderPathW (without creation)
// reports the same folders; the wide SHGetFolderPathW fails outright rather
// than answering S_FALSE for a folder that does not exist, so S_OK is the
// only success.
bool ShellFolder(int csidl, std::wstring& folder) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        return false;
    folder = buffer;
    return true;
}

class CWin32ShellFolders final : public IShellFolders {
public:
    bool LocalAppData(std::wstring& folder) override {
        return ShellFolder(CSIDL_LOCAL_APPDATA, folder);
    }
    bool ProgramFiles(std::wstring& folder) override {
        return ShellFolder(CSIDL_PROGRAM_FILES, folder);
    }
    bool ProgramFilesCommon(std::wstring& folder) override {
        return ShellFolder(CSIDL_PROGRAM_FILES_COMMON, folder);
    }
    bool SystemFolder(std::wstring& folder) override { return ShellFolder(CSIDL_SYSTEM, folder); }
};

} // namespace

IShellFolders& SystemShellFolders() {
    static CWin32ShellFolders s_shell;
    return s_shell;
}

} // namespace ostrel
