// Stand-in for the platform's Bluetooth control-panel module: the functions
// the sensor search imports, served from a scripted world. The environment
// variable BTHPROPS_SCRIPT names the script (see bth_world.h); every call is
// appended to "<script>.log", and state changes are written back to the
// script. Without a script there is no radio.
#include "bluetooth_win32_types.h"
#include "bth_world.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using bthsim::CBthWorld;

struct SStandIn {
    CBthWorld m_world;
    std::wstring m_strScript;
    std::wstring m_strLog;
    std::map<HANDLE, int> m_radios; // radio handles given out, by radio index
};

SStandIn& StandIn() {
    static std::unique_ptr<SStandIn> s_standIn;
    if (s_standIn)
        return *s_standIn;
    s_standIn = std::make_unique<SStandIn>();
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"BTHPROPS_SCRIPT", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        std::string error;
        s_standIn->m_world.Load("radios 0", error);
        return *s_standIn;
    }
    s_standIn->m_strScript = path;
    s_standIn->m_strLog = std::wstring(path) + L".log";
    std::string script, error;
    if (FILE* f = _wfopen(path, L"rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            script.append(buffer, got);
        std::fclose(f);
    } else {
        error = "script not readable";
    }
    if (error.empty() && !s_standIn->m_world.Load(script, error)) {
        s_standIn->m_world = CBthWorld();
        s_standIn->m_world.Load("radios 0", error);
    }
    if (!error.empty())
        s_standIn->m_world.Note("script error: " + error);
    return *s_standIn;
}

// Appends the world's journal to the log file after every call, and writes
// a changed state back to the script: the next load (the library is loaded
// for each search) sees the pairings and services of this one.
void Flush(SStandIn& s) {
    if (s.m_world.TakeChanged() && !s.m_strScript.empty()) {
        const std::string state = s.m_world.Save();
        if (FILE* f = _wfopen(s.m_strScript.c_str(), L"wb")) {
            std::fwrite(state.data(), 1, state.size(), f);
            std::fclose(f);
        }
    }
    const std::vector<std::string> lines = s.m_world.TakeJournal();
    if (s.m_strLog.empty() || lines.empty())
        return;
    if (FILE* f = _wfopen(s.m_strLog.c_str(), L"ab")) {
        for (const std::string& line : lines)
            std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// Journals the call on its way out; the log file's own calls must not
// change the error the caller is about to read.
struct SCall {
    SStandIn& m_s = StandIn();
    ~SCall() {
        const DWORD dwError = ::GetLastError();
        Flush(m_s);
        ::SetLastError(dwError);
    }
};

bool RadioIndex(SStandIn& s, HANDLE hRadio, int& nRadio) {
    if (!hRadio) {
        nRadio = -1; // every radio
        return true;
    }
    auto it = s.m_radios.find(hRadio);
    if (it == s.m_radios.end())
        return false;
    nRadio = it->second;
    return true;
}

HANDLE NewRadioHandle(SStandIn& s, int nRadio) {
    // A real kernel object: the caller closes it with CloseHandle.
    HANDLE h = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (h)
        s.m_radios[h] = nRadio;
    return h;
}

bool ValidInfo(const BLUETOOTH_DEVICE_INFO* pInfo) {
    return pInfo && pInfo->dwSize == sizeof *pInfo;
}

struct SRadioFind {
    int m_nNext = 0;
};
struct SDeviceFind {
    std::vector<size_t> m_devices;
    size_t m_nNext = 0;
};

} // namespace

extern "C" {

HBLUETOOTH_RADIO_FIND WINAPI BluetoothFindFirstRadio(BLUETOOTH_FIND_RADIO_PARAMS* pParams,
                                                     HANDLE* phRadio) {
    SCall call;
    if (!pParams || pParams->dwSize != sizeof *pParams || !phRadio) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    call.m_s.m_world.Note("radios " + std::to_string(call.m_s.m_world.Radios()));
    if (call.m_s.m_world.Radios() == 0) {
        ::SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    *phRadio = NewRadioHandle(call.m_s, 0);
    return new SRadioFind{1};
}

BOOL WINAPI BluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND hFind, HANDLE* phRadio) {
    SCall call;
    auto* find = static_cast<SRadioFind*>(hFind);
    if (!find || !phRadio) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->m_nNext >= call.m_s.m_world.Radios()) {
        ::SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    *phRadio = NewRadioHandle(call.m_s, find->m_nNext++);
    return TRUE;
}

BOOL WINAPI BluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND hFind) {
    delete static_cast<SRadioFind*>(hFind);
    return TRUE;
}

HBLUETOOTH_DEVICE_FIND WINAPI BluetoothFindFirstDevice(BLUETOOTH_DEVICE_SEARCH_PARAMS* pParams,
                                                       BLUETOOTH_DEVICE_INFO* pInfo) {
    SCall call;
    int nRadio = 0;
    if (!pParams || pParams->dwSize != sizeof *pParams || !ValidInfo(pInfo)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!RadioIndex(call.m_s, pParams->hRadio, nRadio)) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bluefind::SSearchParams p;
    p.m_bReturnAuthenticated = pParams->fReturnAuthenticated != FALSE;
    p.m_bReturnRemembered = pParams->fReturnRemembered != FALSE;
    p.m_bReturnUnknown = pParams->fReturnUnknown != FALSE;
    p.m_bReturnConnected = pParams->fReturnConnected != FALSE;
    p.m_bIssueInquiry = pParams->fIssueInquiry != FALSE;
    p.m_nTimeoutMultiplier = pParams->cTimeoutMultiplier;
    auto find = std::make_unique<SDeviceFind>();
    find->m_devices = call.m_s.m_world.Search(nRadio, p);
    if (find->m_devices.empty()) {
        ::SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    bluefind::FillPlatform(*pInfo, call.m_s.m_world.Report(find->m_devices[find->m_nNext++]));
    return find.release();
}

BOOL WINAPI BluetoothFindNextDevice(HBLUETOOTH_DEVICE_FIND hFind, BLUETOOTH_DEVICE_INFO* pInfo) {
    SCall call;
    auto* find = static_cast<SDeviceFind*>(hFind);
    if (!find || !ValidInfo(pInfo)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (find->m_nNext >= find->m_devices.size()) {
        ::SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    bluefind::FillPlatform(*pInfo, call.m_s.m_world.Report(find->m_devices[find->m_nNext++]));
    return TRUE;
}

BOOL WINAPI BluetoothFindDeviceClose(HBLUETOOTH_DEVICE_FIND hFind) {
    delete static_cast<SDeviceFind*>(hFind);
    return TRUE;
}

DWORD WINAPI BluetoothGetDeviceInfo(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pInfo) {
    SCall call;
    int nRadio = 0;
    if (!ValidInfo(pInfo))
        return ERROR_REVISION_MISMATCH;
    if (!RadioIndex(call.m_s, hRadio, nRadio))
        return ERROR_INVALID_HANDLE;
    bluefind::SDeviceInfo d;
    const DWORD dwResult = call.m_s.m_world.GetInfo(pInfo->Address.ullLong, d);
    if (dwResult == ERROR_SUCCESS)
        bluefind::FillPlatform(*pInfo, d);
    return dwResult;
}

DWORD WINAPI BluetoothAuthenticateDevice(HWND, HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pInfo,
                                         PWSTR pszPasskey, ULONG ulPasskeyLength) {
    SCall call;
    int nRadio = 0;
    if (!ValidInfo(pInfo) || (ulPasskeyLength && !pszPasskey))
        return ERROR_INVALID_PARAMETER;
    if (!RadioIndex(call.m_s, hRadio, nRadio))
        return ERROR_INVALID_HANDLE;
    const std::wstring passkey(pszPasskey ? pszPasskey : L"", ulPasskeyLength);
    const DWORD dwResult = call.m_s.m_world.Authenticate(pInfo->Address.ullLong, passkey);
    if (dwResult == ERROR_SUCCESS)
        pInfo->fAuthenticated = pInfo->fRemembered = TRUE;
    return dwResult;
}

DWORD WINAPI BluetoothEnumerateInstalledServices(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pInfo,
                                                 DWORD* pcServices, GUID* pGuidServices) {
    SCall call;
    int nRadio = 0;
    if (!ValidInfo(pInfo) || !pcServices || (*pcServices && !pGuidServices))
        return ERROR_INVALID_PARAMETER;
    if (!RadioIndex(call.m_s, hRadio, nRadio))
        return ERROR_INVALID_HANDLE;
    std::vector<bluefind::SGuid> services;
    const DWORD dwResult = call.m_s.m_world.Services(pInfo->Address.ullLong, *pcServices, services);
    if (dwResult != ERROR_SUCCESS && dwResult != ERROR_MORE_DATA)
        return dwResult;
    for (size_t i = 0; i < services.size(); ++i)
        pGuidServices[i] = bluefind::ToPlatform(services[i]);
    *pcServices = static_cast<DWORD>(services.size());
    return dwResult;
}

DWORD WINAPI BluetoothSetServiceState(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pInfo,
                                      GUID* pGuidService, DWORD dwServiceFlags) {
    SCall call;
    int nRadio = 0;
    if (!ValidInfo(pInfo) || !pGuidService || dwServiceFlags > 1)
        return ERROR_INVALID_PARAMETER;
    if (!RadioIndex(call.m_s, hRadio, nRadio))
        return ERROR_INVALID_HANDLE;
    return call.m_s.m_world.SetService(pInfo->Address.ullLong,
                                       bluefind::FromPlatform(*pGuidService), dwServiceFlags == 1);
}

DWORD WINAPI BluetoothRemoveDevice(BLUETOOTH_ADDRESS* pAddress) {
    SCall call;
    if (!pAddress)
        return ERROR_INVALID_PARAMETER;
    return call.m_s.m_world.Remove(pAddress->ullLong);
}

} // extern "C"
