#include "bluetooth_stack_win32.h"

#include "bluetooth_win32_types.h"
#include "last_error.h"
#include "unique_handle.h"

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
    FillPlatform(out, info);
    return out;
}

} // namespace

uint32_t CWin32BluetoothStack::ForEachRadio(const std::function<bool(RadioId)>& visit) {
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof params};
    HANDLE hRadio = nullptr;
    CRadioFind find(::BluetoothFindFirstRadio(&params, &hRadio));
    if (!find) {
        const uint32_t nError = static_cast<uint32_t>(ostrel::LastErrorCode());
        return nError != ERROR_SUCCESS ? nError : ERROR_NO_MORE_ITEMS;
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
