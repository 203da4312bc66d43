#pragma once
// What the USB and driver inventory reads from the machine: registry keys of
// the local machine (read-only), system folders, files and their version
// resources, and the imaging software's installation folder.
#include "version_text.h"

#include <string>

namespace ostrel {

enum class ERegistryQuery {
    NoKey,       // the key does not open
    QueryFailed, // the key opened, the value is missing, unreadable or does not fit
    Ok,
};

class IInventorySystem {
public:
    virtual ~IInventorySystem() = default;
    // Whether the key of the local machine opens for reading (closed at once).
    virtual bool KeyExists(const std::wstring& keyPath) = 0;
    // Opens the key, reads the value into a buffer of bufferBytes bytes and
    // closes the key. On Ok, data holds the buffer's characters as read, not
    // necessarily terminated (a value may fill the buffer exactly).
    virtual ERegistryQuery QueryValue(const std::wstring& keyPath, const std::wstring& valueName,
                                      unsigned bufferBytes, std::wstring& data) = 0;
    // The Windows folder read into bufferChars characters; false on failure
    // or when it does not fit.
    virtual bool WindowsFolder(unsigned bufferChars, std::wstring& folder) = 0;
    // The program-files folder as the shell reports it (current path, not
    // created), no trailing backslash; false when the shell fails.
    virtual bool ProgramFilesFolder(std::wstring& folder) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // GetFileVersionText: false and empty text without a version resource.
    virtual bool VersionText(const std::wstring& path, const SVersionTextOptions& options,
                             std::wstring& text) = 0;
    // Installation folder of the imaging software, ending with a backslash;
    // false when it is not found.
    virtual bool ImagingAppDir(std::wstring& folder) = 0;
};

} // namespace ostrel
