#pragma once
// Test support: registers the simulated bridge filter in the Wine prefix
// (regsvr32), adds devices under a category with chosen friendly names and
// setups, and reaches the filter DLL's hooks. Devices added here are removed
// again by RemoveDevices and by the destructor, so the prefix stays plain
// for the tests that follow.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace bridgesim::test {

constexpr wchar_t kSimClsid[] = L"{6A8E9F71-F393-42D3-BBF9-48DEAD8889C8}";
constexpr wchar_t kVideoInput[] = L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}";
constexpr wchar_t kBdaReceiver[] = L"{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}";

inline std::wstring BinFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path = buffer;
    return path.substr(0, path.rfind(L'\\'));
}

inline DWORD RunAndWait(std::wstring strCommand) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return GetLastError() | 0x10000000;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD nExit = 1;
    GetExitCodeProcess(pi.hProcess, &nExit);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return nExit;
}

inline bool SetText(HKEY hKey, const wchar_t* pszName, const std::wstring& strValue) {
    return RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                          static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

class CSimDevices {
public:
    CSimDevices() : m_hDll(LoadLibraryW(DllPath().c_str())) {}
    CSimDevices(const CSimDevices&) = delete;
    CSimDevices& operator=(const CSimDevices&) = delete;
    ~CSimDevices() {
        Unregister();
        if (m_hDll)
            FreeLibrary(m_hDll);
    }

    static std::wstring DllPath() { return BinFolder() + L"\\bridge_sim.dll"; }

    // regsvr32 of the filter DLL, once; 0 on success.
    DWORD Register() {
        if (m_bRegistered)
            return 0;
        const DWORD nExit = RunAndWait(L"regsvr32 /s \"" + DllPath() + L"\"");
        m_bRegistered = nExit == 0;
        return nExit;
    }

    // Back to a plain prefix: no devices, no filter class (regsvr32 /u only
    // when the class is there, so a plain prefix costs no process).
    DWORD Unregister() {
        RemoveDevices();
        DWORD nExit = 0;
        if (m_bRegistered || ClassRegistered())
            nExit = RunAndWait(L"regsvr32 /s /u \"" + DllPath() + L"\"");
        m_bRegistered = false;
        return nExit;
    }

    static bool ClassRegistered() {
        HKEY hKey = nullptr;
        const std::wstring strKey = std::wstring(L"Software\\Classes\\CLSID\\") + kSimClsid;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return false;
        RegCloseKey(hKey);
        return true;
    }

    // A device under the category; instance keys sort as enumeration does.
    bool Add(const wchar_t* pszCategory, const std::wstring& strInstance,
             const std::wstring& strFriendlyName, const std::wstring& strConfig) {
        if (Register() != 0)
            return false;
        const std::wstring strKey = std::wstring(L"Software\\Classes\\CLSID\\") + pszCategory +
                                    L"\\Instance\\" + strInstance;
        HKEY hKey = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &hKey, nullptr) != ERROR_SUCCESS)
            return false;
        const bool bOk = SetText(hKey, L"CLSID", kSimClsid) &&
                         SetText(hKey, L"FriendlyName", strFriendlyName) &&
                         SetText(hKey, L"SimConfig", strConfig);
        RegCloseKey(hKey);
        m_keys.push_back(strKey);
        return bOk;
    }

    void RemoveDevices() {
        for (const std::wstring& strKey : m_keys)
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, strKey.c_str());
        m_keys.clear();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\USB2800");
    }

    // The registry name the second generation falls back to.
    static bool SetDsName(const std::string& strName) {
        HKEY hKey = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\USB2800\\BDA", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &hKey, nullptr) != ERROR_SUCCESS)
            return false;
        const bool bOk = RegSetValueExA(hKey, "DSName", 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(strName.c_str()),
                                        static_cast<DWORD>(strName.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(hKey);
        return bOk;
    }

    // The log since the last call, one entry per line.
    std::vector<std::string> TakeLog() {
        auto take = Hook<int(__cdecl*)(char*, int)>("BridgeSim_TakeLog");
        std::string strAll;
        if (take) {
            strAll.resize(1 << 20);
            const int n = take(strAll.data(), static_cast<int>(strAll.size()));
            strAll.resize(static_cast<size_t>(std::min<int>(n, int(strAll.size()) - 1)));
        }
        std::vector<std::string> lines;
        size_t nStart = 0;
        for (size_t nEnd; (nEnd = strAll.find('\n', nStart)) != std::string::npos;
             nStart = nEnd + 1)
            lines.push_back(strAll.substr(nStart, nEnd - nStart));
        return lines;
    }
    int CountLog(const char* pszLine) {
        auto count = Hook<int(__cdecl*)(const char*)>("BridgeSim_CountLog");
        return count ? count(pszLine) : -1;
    }
    int LiveFilters() {
        auto live = Hook<int(__cdecl*)()>("BridgeSim_LiveFilters");
        return live ? live() : -1;
    }
    void RefuseVendor(int nTimes) {
        if (auto refuse = Hook<void(__cdecl*)(int)>("BridgeSim_RefuseVendor"))
            refuse(nTimes);
    }

private:
    template <typename F> F Hook(const char* pszName) {
        return m_hDll
                   ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_hDll, pszName)))
                   : nullptr;
    }

    bool m_bRegistered = false;
    HMODULE m_hDll = nullptr;
    std::vector<std::wstring> m_keys;
};

} // namespace bridgesim::test
