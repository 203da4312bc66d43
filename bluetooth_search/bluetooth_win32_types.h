#pragma once
// The platform's Bluetooth structures and this library's portable types,
// converted one way and the other; shared with the stand-in module so both
// sides of the import agree.
#include "bluetooth_stack.h"

#include <windows.h>

#include <bluetoothapis.h>

#include <algorithm>
#include <cstring>

// In the import library but not in the SDK header of this tool chain.
extern "C" DWORD WINAPI BluetoothAuthenticateDevice(HWND hwndParent, HANDLE hRadio,
                                                    BLUETOOTH_DEVICE_INFO* pbtdi, PWSTR pszPasskey,
                                                    ULONG ulPasskeyLength);
#ifndef BLUETOOTH_SERVICE_ENABLE
#define BLUETOOTH_SERVICE_DISABLE 0x00
#define BLUETOOTH_SERVICE_ENABLE 0x01
#endif

namespace bluefind {

inline GUID ToPlatform(const SGuid& g) {
    GUID out;
    out.Data1 = g.m_nData1;
    out.Data2 = g.m_nData2;
    out.Data3 = g.m_nData3;
    std::memcpy(out.Data4, g.m_aData4, sizeof out.Data4);
    return out;
}

inline SGuid FromPlatform(const GUID& g) {
    SGuid out;
    out.m_nData1 = g.Data1;
    out.m_nData2 = g.Data2;
    out.m_nData3 = g.Data3;
    std::memcpy(out.m_aData4, g.Data4, sizeof out.m_aData4);
    return out;
}

// Fills every field but dwSize, which stays as the caller set it.
inline void FillPlatform(BLUETOOTH_DEVICE_INFO& out, const SDeviceInfo& info) {
    const DWORD dwSize = out.dwSize;
    out = BLUETOOTH_DEVICE_INFO{};
    out.dwSize = dwSize;
    out.Address.ullLong = info.m_nAddress;
    out.fConnected = info.m_bConnected;
    out.fRemembered = info.m_bRemembered;
    out.fAuthenticated = info.m_bAuthenticated;
    const size_t n = std::min(info.m_strName.size(), size_t(BLUETOOTH_MAX_NAME_SIZE - 1));
    std::memcpy(out.szName, info.m_strName.data(), n * sizeof(wchar_t));
}

// The name is not trusted to end inside its array.
inline SDeviceInfo FromPlatform(const BLUETOOTH_DEVICE_INFO& info) {
    SDeviceInfo out;
    out.m_nAddress = info.Address.ullLong & 0xFFFFFFFFFFFFull;
    size_t n = 0;
    while (n < BLUETOOTH_MAX_NAME_SIZE && info.szName[n])
        ++n;
    out.m_strName.assign(info.szName, std::min(n, size_t(BLUETOOTH_MAX_NAME_SIZE - 1)));
    out.m_bConnected = info.fConnected != FALSE;
    out.m_bRemembered = info.fRemembered != FALSE;
    out.m_bAuthenticated = info.fAuthenticated != FALSE;
    return out;
}

} // namespace bluefind
