#include "shell_folders.h"

namespace ostrel {

std::wstring LocalAppDataOrEmpty(IShellFolders& shell) {
    std::wstring folder;
    if (!shell.LocalAppData(folder))
        folder.clear();
    return folder;
}

} // namespace ostrel
