#include "shell_folders.h"

namespace ostrel {
namespace {

class CNoShellFolders final : public IShellFolders {
public:
    bool LocalAppData(std::wstring&) override { return false; }
    bool ProgramFiles(std::wstring&) override { return false; }
    bool ProgramFilesCommon(std::wstring&) override { return false; }
    bool SystemFolder(std::wstring&) override { return false; }
};

} // namespace

IShellFolders& SystemShellFolders() {
    static CNoShellFolders s_shell;
    return s_shell;
}

} // namespace ostrel
