// The USB and driver inventory: bridges in the registry, driver versions of
// the services, the camera program, the first-generation plate scanner.
#include "driver_path.h"
#include "materiel.h"

namespace ostrel {

namespace {

constexpr unsigned kValueBufferBytes = 1024;
constexpr unsigned kWindowsFolderChars = 520;
const std::wstring kEnumUsb = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\";
const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";
const std::wstring kAppPaths =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";
const std::wstring kAppPathsWow =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";

} // namespace

bool CMateriel::HasBridge2820() {
    return m_ports.m_inventory.KeyExists(kEnumUsb + L"VID_EB1A&PID_2820") ||
           m_ports.m_inventory.KeyExists(kEnumUsb + L"VID_1CE6&PID_2820");
}

bool CMateriel::HasBridge28285() {
    return m_ports.m_inventory.KeyExists(kEnumUsb + L"VID_EB1A&PID_0285");
}

bool CMateriel::ReadRegistryText(const std::wstring& keyPath, const std::wstring& valueName,
                                 std::wstring& text) {
    std::wstring data;
    switch (m_ports.m_inventory.QueryValue(keyPath, valueName, kValueBufferBytes, data)) {
    case ERegistryQuery::NoKey:
        return false;
    case ERegistryQuery::QueryFailed:
        text.clear();
        return false;
    case ERegistryQuery::Ok:
        break;
    }
    // The buffer's last character is always a terminator, also when the value
    // fills the buffer without one: at most 511 characters.
    constexpr size_t kMaxChars = kValueBufferBytes / sizeof(char16_t) - 1;
    if (data.size() > kMaxChars)
        data.resize(kMaxChars);
    const size_t nZero = data.find(L'\0');
    text = nZero == std::wstring::npos ? data : data.substr(0, nZero);
    return true;
}

std::wstring CMateriel::GetDriverText(int nKind) {
    std::wstring windowsFolder;
    if (!m_ports.m_inventory.WindowsFolder(kWindowsFolderChars, windowsFolder))
        windowsFolder.clear();
    std::wstring imagePath;
    switch (nKind) {
    case 1:
        if (m_strLinkType == L"Wireless") {
            ReadRegistryText(kServices + L"BTHUSB", L"ImagePath", imagePath);
        } else {
            ReadRegistryText(kServices + L"TESSEL", L"ImagePath", imagePath);
            if (imagePath.empty())
                ReadRegistryText(kServices + L"kalder", L"ImagePath", imagePath);
        }
        break;
    case 2: {
        std::wstring displayName;
        ReadRegistryText(kServices + L"CyUsb", L"ImagePath", imagePath);
        ReadRegistryText(kServices + L"CyUsb", L"DisplayName", displayName);
        displayName = UpperText(displayName);
        if (displayName.find(L"TESSEL 2") == std::wstring::npos &&
            displayName.find(L"TESSEL2") == std::wstring::npos &&
            displayName.find(L"TESSEL\u00B2") == std::wstring::npos)
            return L"(not found)";
        break;
    }
    case 10:
        ReadRegistryText(kServices + L"DCamUSBEMPIA", L"ImagePath", imagePath);
        break;
    case 11:
        ReadRegistryText(kServices + L"USB28xxBGA", L"ImagePath", imagePath);
        break;
    default:
        return L"(none)";
    }
    std::wstring text;
    if (imagePath.empty())
        return text;
    m_ports.m_inventory.VersionText(DriverFileFromImagePath(imagePath, windowsFolder),
                                    SVersionTextOptions().WithName(), text);
    return text;
}

std::wstring CMateriel::GetCameraProgramVersion() {
    IInventorySystem& system = m_ports.m_inventory;
    std::wstring folder;
    std::wstring text;
    // Without the imaging folder the bare names would be looked up in the
    // current folder and could report a stranger's file.
    if (system.ImagingAppDir(folder) && !folder.empty())
        for (const wchar_t* name : {L"K610.exe", L"Vuemo.exe", L"Lensix.exe"})
            if (system.VersionText(folder + name, SVersionTextOptions(), text))
                return text;
    std::wstring programFiles;
    if (!system.ProgramFilesFolder(programFiles))
        return L"";
    for (const wchar_t* relative : {L"\\K610\\K610.exe", L"\\Altavo\\Lensix.exe",
                                    L"\\Dorsen\\Vuemo.exe", L"\\Meridol\\K610.exe"}) {
        if (system.FileExists(programFiles + relative)) {
            system.VersionText(programFiles + relative, SVersionTextOptions().WithName(), text);
            return text;
        }
    }
    return L"(not found)";
}

std::wstring CMateriel::GetPlateScannerGen1Driver() {
    std::wstring text;
    ReadRegistryText(kAppPaths, L"Version", text);
    if (text.empty())
        ReadRegistryText(kAppPathsWow, L"Version", text);
    m_strPlateScannerDriver = text;
    return text;
}

bool CMateriel::ProbePlateScannerGen1(IPlateScannerControl* pControl,
                                      const std::wstring& imagesDir) {
    if (!pControl || !pControl->HasWindow())
        return false;
    auto Int = [](int32_t n) {
        SDispatchArg a;
        a.m_nValue = n;
        return a;
    };
    auto Text = [](const std::wstring& s) {
        SDispatchArg a;
        a.m_bString = true;
        a.m_strValue = s;
        return a;
    };
    int32_t nOpened = 0;
    if (!pControl->CallInt(1, {Int(4), Int(4), Text(imagesDir)}, nOpened) || nOpened != 1)
        return false;
    int32_t nIgnored = 0;
    pControl->CallInt(6, {Text(imagesDir + L"LstLumeno.bmp")}, nIgnored);
    m_ports.m_clock.Sleep(100);
    pControl->CallInt(8, {}, nIgnored);
    std::wstring ignored;
    pControl->CallText(21, ignored);
    pControl->CallInt(2, {}, nIgnored);
    return true;
}

} // namespace ostrel
