#pragma once
// The inventory's machine on Win32: the registry (read-only), the Windows and
// program-files folders, version resources and the imaging software's folder.
#include "inventory_ports.h"

namespace ostrel {

class CInventorySystemWin32 : public IInventorySystem {
public:
    bool KeyExists(const std::wstring& keyPath) override;
    ERegistryQuery QueryValue(const std::wstring& keyPath, const std::wstring& valueName,
                              unsigned bufferBytes, std::wstring& data) override;
    bool WindowsFolder(unsigned bufferChars, std::wstring& folder) override;
    bool ProgramFilesFolder(std::wstring& folder) override;
    bool FileExists(const std::wstring& path) override;
    bool VersionText(const std::wstring& path, const SVersionTextOptions& options,
                     std::wstring& text) override;
    bool ImagingAppDir(std::wstring& folder) override;
};

} // namespace ostrel
