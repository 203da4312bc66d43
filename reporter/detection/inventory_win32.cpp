#include "inventory_win32.h"

#include "imaging_settings.h"
#include "shell_folders.h"
#include "unique_handle.h"
#include "version_text.h"

#include <windows.h>

#include <vector>

namespace ostrel {

bool CInventorySystemWin32::KeyExists(const std::wstring& keyPath) {
    CRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

ERegistryQuery CInventorySystemWin32::QueryValue(const std::wstring& keyPath,
                                                 const std::wstring& valueName,
                                                 unsigned bufferBytes, std::wstring& data) {
    CRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
        return ERegistryQuery::NoKey;
    std::vector<BYTE> buffer(bufferBytes, 0);
    DWORD dwSize = bufferBytes;
    if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, buffer.data(),
                           &dwSize) != ERROR_SUCCESS)
        return ERegistryQuery::QueryFailed;
    data.assign(reinterpret_cast<const wchar_t*>(buffer.data()), dwSize / sizeof(wchar_t));
    return ERegistryQuery::Ok;
}

bool CInventorySystemWin32::WindowsFolder(unsigned bufferChars, std::wstring& folder) {
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    const UINT n = ::GetWindowsDirectoryW(buffer.data(), bufferChars);
    if (n == 0 || n >= bufferChars)
        return false;
    folder.assign(buffer.data(), n);
    return true;
}

bool CInventorySystemWin32::ProgramFilesFolder(std::wstring& folder) {
    return SystemShellFolders().ProgramFiles(folder);
}

bool CInventorySystemWin32::FileExists(const std::wstring& path) {
    const DWORD dwAttributes = ::GetFileAttributesW(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CInventorySystemWin32::VersionText(const std::wstring& path,
                                        const SVersionTextOptions& options, std::wstring& text) {
    return GetFileVersionText(path, options, text);
}

bool CInventorySystemWin32::ImagingAppDir(std::wstring& folder) {
    return FindImagingAppDir(folder);
}

} // namespace ostrel
