#include "bluetooth_stack_win32.h"

#include "unique_handle.h"

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

namespace {

struct SRadioFindTraits {
    static HBLUETOOTH_RADIO_FIND Empty() { return nullptr; }
    static void Close(HBLUETOOTH_RADIO_FIND h) { ::BluetoothFindRadioClose(h); }
};
struct SDeviceFindTraits {
    static HBLUETOOTH_DEVICE_FIND Empty() { return nullptr; }
    static void Close(HBLUETOOTH_DEVICE_FIND h) { ::BluetoothFindDeviceClose(h); }
};
using CRadioFind = ostrel::CUniqueResource<HBLUETOOTH_RADIO_FIND, SRadioFindTraits>;
using CDeviceFind = ostrel::CUniqueResource<HBLUETOOTH_DEVICE_FIND, SDeviceFindTraits>;

HANDLE Radio(RadioId radio) {
    return reinterpret_cast<HANDLE>(radio);
}

BLUETOOTH_DEVICE_INFO ToPlatform(const SDeviceInfo& info) {
    BLUETOOTH_DEVICE_INFO out{};
    out.dwSize = sizeof out;
    out.Address.ullLong = info.m_nAddress;
    out.fConnected = info.m_bConnected;
    out.fRemembered = info.m_bRemembered;
    out.fAuthenticated = info.m_bAuthenticated;
    const size_t n = std::min(info.m_strName.size(), size_t(BLUETOOTH_MAX_NAME_SIZE - 1));
    std::memcpy(out.szName, info.m_strName.data(), n * sizeof(wchar_t));
    return out;
}

SDeviceInfo FromPlatform(BLUETOOTH_DEVICE_INFO& info) {
    // The platform's name is not trusted to end inside its array.
    info.szName[BLUETOOTH_MAX_NAME_SIZE - 1] = L'\0';
    SDeviceInfo out;
    out.m_nAddress = info.Address.ullLong & 0xFFFFFFFFFFFFull;
    out.m_strName = info.szName;
    out.m_bConnected = info.fConnected != FALSE;
    out.m_bRemembered = info.fRemembered != FALSE;
    out.m_bAuthenticated = info.fAuthenticated != FALSE;
    return out;
}

GUID ToPlatform(const SGuid& g) {
    GUID out;
    out.Data1 = g.m_nData1;
    out.Data2 = g.m_nData2;
    out.Data3 = g.m_nData3;
    std::memcpy(out.Data4, g.m_aData4, sizeof out.Data4);
    return out;
}

SGuid FromPlatform(const GUID& g) {
    SGuid out;
    out.m_nData1 = g.Data1;
    out.m_nData2 = g.Data2;
    out.m_nData3 = g.Data3;
    std::memcpy(out.m_aData4, g.Data4, sizeof out.m_aData4);
    return out;
}

} // namespace

uint32_t CWin32BluetoothStack::ForEachRadio(const std::function<bool(RadioId)>& visit) {
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE hRadio = nullptr;
    CRadioFind find(::BluetoothFindFirstRadio(&params, &hRadio));
    if (!find) {
        const DWORD dwError = ::GetLastError();
        return dwError != ERROR_SUCCESS ? dwError : ERROR_NO_MORE_ITEMS;
    }
    do {
        ostrel::CKernelHandle radio(hRadio);
        if (!visit(reinterpret_cast<RadioId>(radio.get())))
            break;
        hRadio = nullptr;
    } while (::BluetoothFindNextRadio(find.get(), &hRadio));
    return ERROR_SUCCESS;
}

void CWin32BluetoothStack::ForEachDevice(RadioId radio, const SSearchParams& p,
                                         const std::function<bool(const SDeviceInfo&)>& visit) {
    BLUETOOTH_DEVICE_SEARCH_PARAMS params{};
    params.dwSize = sizeof params;
    params.fReturnAuthenticated = p.m_bReturnAuthenticated;
    params.fReturnRemembered = p.m_bReturnRemembered;
    params.fReturnUnknown = p.m_bReturnUnknown;
    params.fReturnConnected = p.m_bReturnConnected;
    params.fIssueInquiry = p.m_bIssueInquiry;
    params.cTimeoutMultiplier = p.m_nTimeoutMultiplier;
    params.hRadio = Radio(radio);
    BLUETOOTH_DEVICE_INFO info{};
    info.dwSize = sizeof info;
    CDeviceFind find(::BluetoothFindFirstDevice(&params, &info));
    if (!find)
        return;
    do {
        if (!visit(FromPlatform(info)))
            return;
        info = BLUETOOTH_DEVICE_INFO{};
        info.dwSize = sizeof info;
    } while (::BluetoothFindNextDevice(find.get(), &info));
}

uint32_t CWin32BluetoothStack::GetDeviceInfo(RadioId radio, SDeviceInfo& info) {
    BLUETOOTH_DEVICE_INFO fresh{};
    fresh.dwSize = sizeof fresh;
    fresh.Address.ullLong = info.m_nAddress;
    const DWORD dwResult = ::BluetoothGetDeviceInfo(Radio(radio), &fresh);
    if (dwResult == ERROR_SUCCESS)
        info = FromPlatform(fresh);
    return dwResult;
}

uint32_t CWin32BluetoothStack::AuthenticateDevice(RadioId radio, const SDeviceInfo& info,
                                                  const std::wstring& strPasskey) {
    BLUETOOTH_DEVICE_INFO device = ToPlatform(info);
    std::wstring passkey = strPasskey;
    return ::BluetoothAuthenticateDevice(nullptr, Radio(radio), &device, passkey.data(),
                                         static_cast<ULONG>(passkey.size()));
}

uint32_t CWin32BluetoothStack::EnumerateInstalledServices(RadioId radio, const SDeviceInfo& info,
                                                          size_t nMax,
                                                          std::vector<SGuid>& services) {
    services.clear();
    BLUETOOTH_DEVICE_INFO device = ToPlatform(info);
    std::vector<GUID> guids(nMax);
    DWORD dwCount = static_cast<DWORD>(nMax);
    const DWORD dwResult =
        ::BluetoothEnumerateInstalledServices(Radio(radio), &device, &dwCount, guids.data());
    // More services than asked for: the first nMax are there.
    if (dwResult != ERROR_SUCCESS && dwResult != ERROR_MORE_DATA)
        return dwResult;
    for (DWORD i = 0; i < dwCount && i < nMax; ++i)
        services.push_back(FromPlatform(guids[i]));
    return dwResult;
}

uint32_t CWin32BluetoothStack::SetServiceState(RadioId radio, const SDeviceInfo& info,
                                               const SGuid& service, bool bEnable) {
    BLUETOOTH_DEVICE_INFO device = ToPlatform(info);
    GUID guid = ToPlatform(service);
    return ::BluetoothSetServiceState(Radio(radio), &device, &guid,
                                      bEnable ? BLUETOOTH_SERVICE_ENABLE
                                              : BLUETOOTH_SERVICE_DISABLE);
}

uint32_t CWin32BluetoothStack::RemoveDevice(uint64_t nAddress) {
    BLUETOOTH_ADDRESS address{};
    address.ullLong = nAddress;
    return ::BluetoothRemoveDevice(&address);
}

} // namespace bluefind
