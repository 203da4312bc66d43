#pragma once
// The shell's special folders, as the system reports them now: current value,
// never created, no trailing backslash. The one port through which every
// part of the reporter asks for them, so tests can give their own folders.
#include <string>

namespace ostrel {

class IShellFolders {
public:
    virtual ~IShellFolders() = default;
    // Each returns false when the shell reports no such folder, and then
    // leaves folder as it was.
    virtual bool LocalAppData(std::wstring& folder) = 0;
    virtual bool ProgramFiles(std::wstring& folder) = 0;
    virtual bool ProgramFilesCommon(std::wstring& folder) = 0;
    virtual bool SystemFolder(std::wstring& folder) = 0;
};

// The machine's shell (Win32). The host has no shell folders: every query
// answers false there.
IShellFolders& SystemShellFolders();

// The local application data folder, or empty when the shell has none.
std::wstring LocalAppDataOrEmpty(IShellFolders& shell);

} // namespace ostrel
