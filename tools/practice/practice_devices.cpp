// The device inventory's part of the simulated practice (see practice_devices.h).
#include "practice_devices.h"

#include "practice_layout.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <vector>

namespace ostrel::practice {

namespace {

bool g_bOk = true;

void Fail(const std::wstring& what) {
    std::fwprintf(stderr, L"practice_install: %ls (error %lu)\n", what.c_str(), GetLastError());
    g_bOk = false;
}

void SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS) {
        Fail(L"cannot create key " + key);
        return;
    }
    const DWORD type = name && std::wstring(name) == L"ImagePath" ? REG_EXPAND_SZ : REG_SZ;
    if (RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        Fail(L"cannot set " + key);
    RegCloseKey(h);
}

void CreateKey(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(h);
    else
        Fail(L"cannot create key " + key);
}

void DeleteKey(const std::wstring& key) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

std::wstring ProgramFiles() {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        Fail(L"no program-files folder");
    return buffer;
}

void MakeFolders(const std::wstring& folder) {
    if (folder.size() <= 3 || GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    MakeFolders(folder.substr(0, folder.rfind(L'\\')));
    CreateDirectoryW(folder.c_str(), nullptr);
}

void Copy(const std::wstring& payloadDir, const wchar_t* payload, const std::wstring& target) {
    MakeFolders(target.substr(0, target.rfind(L'\\')));
    if (!CopyFileW((payloadDir + payload).c_str(), target.c_str(), FALSE))
        Fail(L"cannot copy " + std::wstring(payload) + L" to " + target);
}

void WritePlainFile(const std::wstring& path) {
    MakeFolders(path.substr(0, path.rfind(L'\\')));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(L"cannot write " + path);
        return;
    }
    DWORD n = 0;
    WriteFile(h, "MZ", 2, &n, nullptr); // a program without version resource
    CloseHandle(h);
}

const wchar_t* const kServices[] = {L"TESSEL", L"kalder",       L"BTHUSB",
                                    L"CyUsb",  L"DCamUSBEMPIA", L"USB28xxBGA"};
const wchar_t* const kBridges[] = {L"VID_EB1A&PID_2820", L"VID_1CE6&PID_2820",
                                   L"VID_EB1A&PID_0285"};
const wchar_t* const kDriverFiles[] = {L"tessel.sys", L"kalder.sys", L"BTHUSB.sys",
                                       L"CyUsb3.sys", L"emBDA.sys",  L"usb28xxbga.sys"};
const wchar_t* const kCameraPrograms[] = {L"\\K610\\K610.exe", L"\\Altavo\\Lensix.exe",
                                          L"\\Dorsen\\Vuemo.exe", L"\\Meridol\\K610.exe"};

void RemoveAll() {
    for (const wchar_t* s : kServices)
        DeleteKey(std::wstring(kServicesKey) + s);
    for (const wchar_t* b : kBridges)
        DeleteKey(std::wstring(kEnumUsbKey) + b);
    DeleteKey(kLumenoAppPaths);
    DeleteKey(kLumenoAppPathsWow);
    const std::wstring drivers = WindowsFolder() + L"\\system32\\drivers\\";
    for (const wchar_t* f : kDriverFiles)
        DeleteFileW((drivers + f).c_str());
    const std::wstring pf = ProgramFiles();
    for (const wchar_t* p : kCameraPrograms) {
        const std::wstring path = pf + p;
        DeleteFileW(path.c_str());
        RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
    }
    for (const wchar_t* name : {L"K610.exe", L"Vuemo.exe", L"Lensix.exe"})
        DeleteFileW((std::wstring(kInstallDir) + name).c_str());
}

} // namespace

bool InstallDeviceSet(EDeviceSet set, const std::wstring& payloadDir) {
    g_bOk = true;
    RemoveAll();
    if (set == EDeviceSet::None)
        return g_bOk;
    const std::wstring svc = kServicesKey;
    const std::wstring drivers = WindowsFolder() + L"\\system32\\drivers\\";
    const std::wstring pf = ProgramFiles();
    const bool primary = set == EDeviceSet::Primary;

    // Bridges: only the enumeration keys count.
    if (primary) {
        CreateKey(std::wstring(kEnumUsbKey) + L"VID_EB1A&PID_2820\\5&2a8f1b&0&1");
        CreateKey(std::wstring(kEnumUsbKey) + L"VID_EB1A&PID_0285\\5&2a8f1b&0&2");
    } else {
        CreateKey(std::wstring(kEnumUsbKey) + L"VID_1CE6&PID_2820\\5&2a8f1b&0&1");
    }

    // One image-path form per service: relative to the Windows folder,
    // below \SystemRoot in two spellings, and absolute.
    SetString(svc + L"TESSEL", L"ImagePath", primary ? L"System32\\DRIVERS\\tessel.sys" : L"");
    SetString(svc + L"kalder", L"ImagePath", L"system32\\drivers\\kalder.sys");
    SetString(svc + L"BTHUSB", L"ImagePath", L"\\SystemRoot\\System32\\drivers\\BTHUSB.sys");
    SetString(svc + L"DCamUSBEMPIA", L"ImagePath", L"\\systemroot\\system32\\DRIVERS\\emBDA.sys");
    SetString(svc + L"USB28xxBGA", L"ImagePath", drivers + L"usb28xxbga.sys");
    SetString(svc + L"CyUsb", L"ImagePath", L"System32\\Drivers\\CyUsb3.sys");
    SetString(svc + L"CyUsb", L"DisplayName", primary ? kCyUsbOurs : kCyUsbOther);
    Copy(payloadDir, L"payload_tessel_sys.dll", drivers + L"tessel.sys");
    Copy(payloadDir, L"payload_kalder_sys.dll", drivers + L"kalder.sys");
    Copy(payloadDir, L"payload_bthusb_sys.dll", drivers + L"BTHUSB.sys");
    Copy(payloadDir, L"payload_empia_sys.dll", drivers + L"emBDA.sys");
    Copy(payloadDir, L"payload_cyusb_sys.dll", drivers + L"CyUsb3.sys");
    if (primary) // the alternate bridge driver has no file: no version
        Copy(payloadDir, L"payload_usb28xx_sys.dll", drivers + L"usb28xxbga.sys");

    // Camera programs in both search places.
    if (primary) {
        WritePlainFile(std::wstring(kInstallDir) + L"K610.exe"); // passed over: no version
        Copy(payloadDir, L"payload_vuemo.exe", std::wstring(kInstallDir) + L"Vuemo.exe");
        Copy(payloadDir, L"payload_k610.exe", pf + L"\\K610\\K610.exe");
    } else {
        Copy(payloadDir, L"payload_vuemo.exe", pf + L"\\Dorsen\\Vuemo.exe");
        Copy(payloadDir, L"payload_k610.exe", pf + L"\\Meridol\\K610.exe");
    }

    // The first-generation plate scanner's driver version, in the native
    // view or only in the 32-bit twin (Wine shares the two: one key).
    if (primary)
        SetString(kLumenoAppPaths, L"Version", L"4.2.1");
    else
        SetString(kLumenoAppPathsWow, L"Version", L"3.0.7");
    return g_bOk;
}

} // namespace ostrel::practice
