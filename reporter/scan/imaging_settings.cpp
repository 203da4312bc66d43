#include "imaging_settings.h"

#include "path_text.h"

namespace ostrel {
namespace {

constexpr unsigned kSharedDllsNameChars = 20480;
constexpr unsigned kWiseNameChars = 2048;
constexpr wchar_t kImagesSection[] = L"IMAGES";
constexpr wchar_t kPathKey[] = L"Path";
constexpr wchar_t kTesselSection[] = L"TESSEL";

// Only A-Z are folded: the comparison is against an ASCII file name and the
// folder's case does not matter to the file system.
std::wstring AsciiLower(std::wstring text) {
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring ForwardToBackslashes(std::wstring text) {
    for (auto& c : text)
        if (c == L'/')
            c = L'\\';
    return text;
}

// Folder from the first subkey name (subkeys) or first value name of a Wise key.
std::wstring FolderFromFirstWiseName(const SImagingPorts& ports, const wchar_t* keyPath,
                                     bool subkeys) {
    auto key = ports.m_registry.OpenLocalMachineKey(keyPath);
    if (!key)
        return std::wstring();
    std::wstring name;
    const bool found = subkeys ? key->EnumSubkeyName(0, kWiseNameChars, name)
                               : key->EnumValueName(0, kWiseNameChars, name);
    if (!found)
        return std::wstring();
    return FolderOfModulePath(ForwardToBackslashes(name));
}

bool AcceptsSettings(const SImagingPorts& ports, const std::wstring& candidate) {
    return !ports.m_profile.GetString(kImagesSection, kPathKey, L"", kProfileBufferChars, candidate)
                .empty();
}

struct SYesNoKey {
    const wchar_t* m_pszSection;
    const wchar_t* m_pszKey;
    const wchar_t* m_pszYes;
    const wchar_t* m_pszNo;
};

constexpr SYesNoKey kAcquisitionKeys[3] = {
    {L"TESSEL", L"AcqMode", L"Acquire High Resolution = YES", L"Acquire High Resolution = NO"},
    {L"TESSEL", L"GeneACDC", L"DC Generator = YES", L"DC Generator = NO"},
    {L"TESSEL", L"AutoArm", L"Permanently Ready to acquire = YES",
     L"Permanently Ready to acquire = NO"},
};
constexpr SYesNoKey kCaptureKeys[3] = {
    {L"TESSEL", L"Rearme", L"Rearmament after acquisition = YES",
     L"Rearmament after acquisition = NO"},
    {L"TESSEL", L"Compressee", L"Compressed acquisition = YES", L"Compressed acquisition = NO"},
    {L"VIDEO_CAPTURE", L"VARNIKTouchMode", L"Live after capture = YES", L"Live after capture = NO"},
};

bool ReadYesNoLines(const SImagingPorts& ports, const SYesNoKey (&keys)[3],
                    std::wstring* lines[3]) {
    for (int i = 0; i < 3; ++i)
        lines[i]->clear();
    std::wstring ini;
    FindImagingIni(ports, ini);
    bool lastRead = false;
    for (int i = 0; i < 3; ++i) {
        const std::wstring text = ports.m_profile.GetString(keys[i].m_pszSection, keys[i].m_pszKey,
                                                            L"", kProfileBufferChars, ini);
        lastRead = !text.empty();
        if (!text.empty())
            *lines[i] = text[0] == L'1' ? keys[i].m_pszYes : keys[i].m_pszNo;
    }
    return lastRead;
}

struct STechKey {
    const wchar_t* m_pszKey;
    const wchar_t* m_pszDefault;
    const wchar_t* m_pszLabel; // the line is label + text
};

constexpr wchar_t kStoreImageKey[] = L"TESSELIIStoreImage";
constexpr int kReplaceBadLinesBit = 256;

// The "Replace bad lines" line is derived from the integer read of the key
// that follows it, so it sits in the table as a marker (null label).
constexpr STechKey kTechKeys[] = {
    {L"LogInfo", L"0", L"Log xray hardware calls="},
    {L"ShowExpo", L"0", L"Show exposition information="},
    {L"HideNbExpo", L"0", L"Hide exposure number in setup="},
    {L"IgnoreCSITest", L"0", L"Ignore CSI Test="},
    {L"Spatiale", L"0", L"SP mode acquisition="},
    {L"IgnoreBadImage", L"1", L"Ignore uniform images="},
    {kStoreImageKey, nullptr, nullptr},
    {kStoreImageKey, L"0", L"Store original TESSEL\u00B2 images="},
    {L"ConvertWith2p10000", L"0", L"Convert TESSEL\u00B2 images with 2p10000="},
    {L"SubstractDark", L"1", L"TESSEL\u00B2 : Soustract dark image="},
    {L"Substract5Dark", L"0", L"TESSEL\u00B2 : Soustract five dark images="},
    {L"GetOnlyBlack", L"0", L"TESSEL\u00B2 : Retrieve only black image="},
    {L"ApplyFFC", L"1", L"TESSEL\u00B2 : Apply FFC="},
    {L"DontRotFlip", L"0", L"TESSEL\u00B2 : Don't rotate or flip images="},
    {L"ApplyAverage5", L"0", L"TESSEL\u00B2 : Apply a average 5x5="},
    {L"ApplyMedian3", L"1", L"TESSEL\u00B2 : Apply a median 3x3="},
    {L"ApplyMedian5", L"0", L"TESSEL\u00B2 : Apply a median 5x5="},
    {L"BatterieDelta", L"100", L"Batteries Delta="},
    {L"TestSerial", L"1", L"Ignore sensor serial number="},
};
static_assert(sizeof kTechKeys / sizeof kTechKeys[0] == 19, "nineteen technical lines");

} // namespace

bool FindAppDirInSharedDlls(const SImagingPorts& ports, std::wstring& folder) {
    auto key = ports.m_registry.OpenLocalMachineKey(kSharedDllsKey);
    if (!key)
        return false;
    const std::wstring tail = AsciiLower(kImagingProgram);
    std::wstring name;
    for (unsigned index = 0; key->EnumValueName(index, kSharedDllsNameChars, name); ++index) {
        const std::wstring lower = AsciiLower(name);
        if (!EndsWith(lower, tail))
            continue;
        const std::wstring found = FolderOfModulePath(ForwardToBackslashes(lower));
        if (!found.empty()) {
            folder = found;
            return true;
        }
    }
    return false;
}

bool FindImagingAppDir(const SImagingPorts& ports, std::wstring& folder) {
    folder.clear();
    if (FindAppDirInSharedDlls(ports, folder))
        return true;
    folder = FolderFromFirstWiseName(ports, kWiseRepairKey, true);
    if (folder.empty())
        folder = FolderFromFirstWiseName(ports, kWiseAppPathsKey, false);
    return !folder.empty();
}

bool FindImagingIni(const SImagingPorts& ports, std::wstring& path) {
    path.clear();
    std::wstring appDir;
    FindImagingAppDir(ports, appDir);

    std::wstring candidate = appDir + kSettingsFile;
    if (!AcceptsSettings(ports, candidate)) {
        const std::wstring product = ports.m_profile.GetString(
            L"ALIAS", L"$PRODUCTNAME1$", L"", kProfileBufferChars, appDir + kProductFile);
        const std::wstring local = LocalAppDataOrEmpty(ports.m_shell);
        candidate = local + L"\\" + (product.empty() ? std::wstring(L"VARNIK-Imaging") : product) +
                    L"\\" + kSettingsFile;
        if (!AcceptsSettings(ports, candidate)) {
            candidate = appDir + kOldSettingsFile;
            if (!AcceptsSettings(ports, candidate)) {
                candidate = local + L"\\" + kOldSettingsFile;
                if (!AcceptsSettings(ports, candidate))
                    return false;
            }
        }
    }
    path = candidate;
    return true;
}

bool FindAcquisitionLog(const SImagingPorts& ports, std::wstring& path) {
    path.clear();
    std::wstring appDir;
    FindImagingAppDir(ports, appDir);
    std::wstring candidate = appDir + kAcquisitionLog;
    if (!ports.m_files.CanOpenForReadShareReadWrite(candidate)) {
        candidate = LocalAppDataOrEmpty(ports.m_shell) + L"\\Logs VI\\" + kAcquisitionLog;
        if (!ports.m_files.CanOpenForReadShareReadWrite(candidate))
            return false;
    }
    path = candidate;
    return true;
}

bool ReadAcquisitionSettings(const SImagingPorts& ports, std::wstring& line1, std::wstring& line2,
                             std::wstring& line3) {
    std::wstring* lines[3] = {&line1, &line2, &line3};
    return ReadYesNoLines(ports, kAcquisitionKeys, lines);
}

bool ReadCaptureSettings(const SImagingPorts& ports, std::wstring& line1, std::wstring& line2,
                         std::wstring& line3) {
    std::wstring* lines[3] = {&line1, &line2, &line3};
    return ReadYesNoLines(ports, kCaptureKeys, lines);
}

std::vector<std::wstring> TechSettingsLines(const SImagingPorts& ports, const std::wstring& iniPath,
                                            bool medical) {
    if (medical)
        return {kMedicalTechLine};
    std::vector<std::wstring> lines;
    for (const auto& key : kTechKeys) {
        if (!key.m_pszLabel) {
            const int value = ports.m_profile.GetInt(kTesselSection, key.m_pszKey, 0, iniPath);
            lines.push_back((value & kReplaceBadLinesBit) ? L"Replace bad lines=1"
                                                          : L"Replace bad lines=0");
            continue;
        }
        lines.push_back(key.m_pszLabel + ports.m_profile.GetString(kTesselSection, key.m_pszKey,
                                                                   key.m_pszDefault,
                                                                   kProfileBufferChars, iniPath));
    }
    return lines;
}

std::vector<std::wstring> IniFileSectionLines(const SImagingPorts& ports, bool medical) {
    std::vector<std::wstring> lines{L"[INI FILE]"};
    std::wstring ini;
    if (!FindImagingIni(ports, ini)) {
        lines.push_back(L"FileName not found.");
        return lines;
    }
    lines.push_back(L"FileName=" + ini);
    std::wstring a1, a2, a3, c1, c2, c3;
    ReadAcquisitionSettings(ports, a1, a2, a3);
    ReadCaptureSettings(ports, c1, c2, c3);
    lines.insert(lines.end(), {a1, a2, a3, c1, c2, c3, L"", L"[TECH SETTINGS]"});
    for (auto& line : TechSettingsLines(ports, ini, medical))
        lines.push_back(std::move(line));
    return lines;
}

bool CRapport::GetImagesDir(const SImagingPorts& ports, std::wstring& folder) {
    folder.clear();
    std::wstring ini;
    FindImagingIni(ports, ini);
    std::wstring text =
        ports.m_profile.GetString(kImagesSection, kPathKey, L"", kProfileBufferChars, ini);
    if (text.empty())
        return false;
    folder = text;
    m_strImagesDir = std::move(text);
    return true;
}

bool CRapport::GetImagesDir(std::wstring& folder) {
    return GetImagesDir(SystemImagingPorts(), folder);
}

bool FindAppDirInSharedDlls(std::wstring& folder) {
    return FindAppDirInSharedDlls(SystemImagingPorts(), folder);
}
bool FindImagingAppDir(std::wstring& folder) {
    return FindImagingAppDir(SystemImagingPorts(), folder);
}
bool FindImagingIni(std::wstring& path) {
    return FindImagingIni(SystemImagingPorts(), path);
}
bool FindAcquisitionLog(std::wstring& path) {
    return FindAcquisitionLog(SystemImagingPorts(), path);
}
bool ReadAcquisitionSettings(std::wstring& line1, std::wstring& line2, std::wstring& line3) {
    return ReadAcquisitionSettings(SystemImagingPorts(), line1, line2, line3);
}
bool ReadCaptureSettings(std::wstring& line1, std::wstring& line2, std::wstring& line3) {
    return ReadCaptureSettings(SystemImagingPorts(), line1, line2, line3);
}

} // namespace ostrel
