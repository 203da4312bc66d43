#pragma once
// What installed devices leave on the workstation, for the device
// inventory: bridge enumeration keys, driver services with their image
// paths and driver files, camera programs, the plate-scanner driver's
// version. Two sets differ where the inventory's rules branch.
#include <string>

namespace ostrel::practice {

enum class EDeviceSet {
    Primary,   // both bridges under VID_EB1A, "TESSEL" and "CyUsb" of our sensor,
               // camera programs in the imaging folder and under program files
    Alternate, // USB2820 under VID_1CE6 only, "TESSEL" empty so "kalder" serves,
               // "CyUsb" of another product, a camera program under program files only
    None,      // nothing (also what every install first returns to)
};

struct SDeviceSetName {
    EDeviceSet m_eSet;
    const wchar_t* m_pszName;
};

inline constexpr SDeviceSetName kDeviceSets[] = {
    {EDeviceSet::Primary, L"primary"},
    {EDeviceSet::Alternate, L"alternate"},
    {EDeviceSet::None, L"none"},
};

inline constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";
inline constexpr wchar_t kEnumUsbKey[] = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\";
inline constexpr wchar_t kLumenoAppPaths[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";
inline constexpr wchar_t kLumenoAppPathsWow[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LumenoDriver";
inline constexpr wchar_t kCyUsbOurs[] = L"Varnik Tessel 2 USB Controller";
inline constexpr wchar_t kCyUsbOther[] = L"Cypress Generic USB Driver";

// Installs one set after removing whatever an earlier run installed.
// payloadDir ends with a backslash. False when anything failed.
bool InstallDeviceSet(EDeviceSet set, const std::wstring& payloadDir);

} // namespace ostrel::practice
