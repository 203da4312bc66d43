#pragma once
// Where the imaging software lives and what the report reads from its
// settings. Written against small ports so the rules run on the host; the
// Win32 ports are the registry, the private-profile service and the shell.
// Nothing is cached: every call searches again.
#include "shell_folders.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrel {

// One open registry key; closed when destroyed.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;
    // Name of value or subkey number index, read into a buffer of
    // bufferChars characters. False when the enumeration ends or fails
    // (including a name that does not fit the buffer).
    virtual bool EnumValueName(unsigned index, unsigned bufferChars, std::wstring& name) = 0;
    virtual bool EnumSubkeyName(unsigned index, unsigned bufferChars, std::wstring& name) = 0;
};

class IRegistryReader {
public:
    virtual ~IRegistryReader() = default;
    // Opens a key of the local machine for reading, path used exactly as
    // given; null when it cannot be opened.
    virtual std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::wstring& path) = 0;
};

// The private-profile service. A bare file name is looked for in the
// Windows folder, as the service does.
class IProfileReader {
public:
    virtual ~IProfileReader() = default;
    // Text of the key, cut to bufferChars - 1 characters; defaultText when
    // the file, section or key is missing.
    virtual std::wstring GetString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultText, unsigned bufferChars,
                                   const std::wstring& path) = 0;
    // Leading decimal digits of the text; anything else gives 0.
    virtual int GetInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                       const std::wstring& path) = 0;
};

class IFileProbe {
public:
    virtual ~IFileProbe() = default;
    // Whether the file can be opened for reading now (closed again at once),
    // sharing read and write access: the imaging software may hold its log
    // open for writing.
    virtual bool CanOpenForReadShareReadWrite(const std::wstring& path) = 0;
};

struct SImagingPorts {
    IRegistryReader& m_registry;
    IProfileReader& m_profile;
    IShellFolders& m_shell;
    IFileProbe& m_files;
};

// Registry keys and file names, as the imaging software leaves them.
inline constexpr wchar_t kSharedDllsKey[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr wchar_t kWiseRepairKey[] =
    L"SOFTWARE\\Wise Solutions\\Wise Installation System\\Repair";
inline constexpr wchar_t kWiseAppPathsKey[] = L"SOFTWARE\\Wise Solutions\\WiseUpdate\\AppPaths";
inline constexpr wchar_t kImagingProgram[] = L"VARNIK Imaging.exe";
inline constexpr wchar_t kSecondProgram[] = L"Pardo.exe";
inline constexpr wchar_t kProductFile[] = L"Varnik Imaging.prs";
inline constexpr wchar_t kSettingsFile[] = L"Varnik Imaging.ini";
inline constexpr wchar_t kOldSettingsFile[] = L"kalder digital.ini";
inline constexpr wchar_t kAcquisitionLog[] = L"BTESSEL_II.Log";
inline constexpr unsigned kProfileBufferChars = 260;

// Out parameters are emptied first, except that of FindAppDirInSharedDlls,
// which is written only on success. Folders end with a backslash.
bool FindAppDirInSharedDlls(const SImagingPorts& ports, std::wstring& folder);
bool FindImagingAppDir(const SImagingPorts& ports, std::wstring& folder);
bool FindImagingIni(const SImagingPorts& ports, std::wstring& path);
bool FindAcquisitionLog(const SImagingPorts& ports, std::wstring& path);

// The six acquisition lines: each a fixed YES or NO text, or empty when the
// key is missing or empty. The result tells whether the third key was read.
bool ReadAcquisitionSettings(const SImagingPorts& ports, std::wstring& line1, std::wstring& line2,
                             std::wstring& line3);
bool ReadCaptureSettings(const SImagingPorts& ports, std::wstring& line1, std::wstring& line2,
                         std::wstring& line3);

inline constexpr wchar_t kMedicalTechLine[] = L"Medical version: No technical settings!";

// The nineteen "[TECH SETTINGS]" lines read from iniPath, or the single
// medical line (nothing read then).
std::vector<std::wstring> TechSettingsLines(const SImagingPorts& ports, const std::wstring& iniPath,
                                            bool medical);

// The report's "[INI FILE]" section, from its title line to its end.
std::vector<std::wstring> IniFileSectionLines(const SImagingPorts& ports, bool medical);

// Keeps the images folder of its last successful lookup.
class CRapport {
public:
    bool GetImagesDir(const SImagingPorts& ports, std::wstring& folder);
    bool GetImagesDir(std::wstring& folder);
    const std::wstring& ImagesDir() const { return m_strImagesDir; }

private:
    std::wstring m_strImagesDir;
};

// The machine's own ports (Win32 on Windows; on the host a machine without
// registry, settings or shell folders).
const SImagingPorts& SystemImagingPorts();

bool FindAppDirInSharedDlls(std::wstring& folder);
bool FindImagingAppDir(std::wstring& folder);
bool FindImagingIni(std::wstring& path);
bool FindAcquisitionLog(std::wstring& path);
bool ReadAcquisitionSettings(std::wstring& line1, std::wstring& line2, std::wstring& line3);
bool ReadCaptureSettings(std::wstring& line1, std::wstring& line2, std::wstring& line3);

} // namespace ostrel
