// The simulated bridge as an in-process COM server: a capture filter object
// that reads its setup from the device's property bag ("SimConfig") and
// answers the vendor property interface of its generation over the portable
// chip model.
#include "bridge_sim_config.h"
#include "bridge_sim_hooks.h"
#include "guard.h"
#include "vendor_interface_win32.h"
#include "win32/class_factory.h"

#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

// {6A8E9F71-F393-42D3-BBF9-48DEAD8889C8}
constexpr CLSID kClsidBridgeSim = {
    0x6A8E9F71, 0xF393, 0x42D3, {0xBB, 0xF9, 0x48, 0xDE, 0xAD, 0x88, 0x89, 0xC8}};
constexpr wchar_t kClsidText[] = L"{6A8E9F71-F393-42D3-BBF9-48DEAD8889C8}";

HMODULE g_hModule = nullptr;
std::atomic<int> g_nLive{0};
std::atomic<int> g_nLocks{0};
std::mutex g_mutex; // guards the two below
std::vector<std::string> g_log;
int g_nRefusals = 0;

void AppendLog(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.insert(g_log.end(), lines.begin(), lines.end());
}

bool TakeRefusal() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_nRefusals <= 0)
        return false;
    --g_nRefusals;
    return true;
}

std::string Narrow(const wchar_t* pszText) {
    std::string strText;
    for (; pszText && *pszText; ++pszText)
        strText += static_cast<char>(*pszText < 0x80 ? *pszText : '?');
    return strText;
}

class CSimFilter final : public IBaseFilter,
                         public IPersistPropertyBag,
                         public vidlink::IVendorProperties {
public:
    CSimFilter() { ++g_nLive; }
    ~CSimFilter() { --g_nLive; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IBaseFilter || riid == IID_IMediaFilter ||
            riid == IID_IPersist)
            *ppv = static_cast<IBaseFilter*>(this);
        else if (riid == IID_IPersistPropertyBag)
            *ppv = static_cast<IPersistPropertyBag*>(this);
        else if (riid == VendorIid()) {
            if (TakeRefusal())
                return E_NOINTERFACE;
            *ppv = static_cast<vidlink::IVendorProperties*>(this);
        } else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRefs; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = --m_nRefs;
        if (n == 0)
            delete this;
        return n;
    }

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClsid) override {
        if (!pClsid)
            return E_POINTER;
        *pClsid = kClsidBridgeSim;
        return S_OK;
    }
    // IMediaFilter, IBaseFilter: a filter that never streams.
    STDMETHODIMP Stop() override { return S_OK; }
    STDMETHODIMP Pause() override { return S_OK; }
    STDMETHODIMP Run(REFERENCE_TIME) override { return S_OK; }
    STDMETHODIMP GetState(DWORD, FILTER_STATE* pState) override {
        if (!pState)
            return E_POINTER;
        *pState = State_Stopped;
        return S_OK;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock*) override { return S_OK; }
    STDMETHODIMP GetSyncSource(IReferenceClock** ppClock) override {
        if (!ppClock)
            return E_POINTER;
        *ppClock = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return E_FAIL; }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return S_OK; }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* pBag, IErrorLog*) override {
        if (!pBag)
            return E_POINTER;
        return ostrel::GuardCall("CSimFilter::Load", E_FAIL, E_OUTOFMEMORY, [&] {
            VARIANT value;
            VariantInit(&value);
            std::string strConfig;
            if (SUCCEEDED(pBag->Read(L"SimConfig", &value, nullptr)) && value.vt == VT_BSTR)
                strConfig = Narrow(value.bstrVal);
            VariantClear(&value);
            m_setup = bridgesim::ParseBridgeConfig(strConfig).m_bridge;
            m_pChip.reset();
            return S_OK;
        });
    }
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

    // Vendor interface
    STDMETHODIMP Reserved(void*) override { return E_NOTIMPL; }
    STDMETHODIMP SetProperty(ULONG nId, void* pData) override {
        return Call("CSimFilter::SetProperty", [&] { return Chip().SetProperty(nId, pData); });
    }
    STDMETHODIMP GetProperty(ULONG nId, void* pData) override {
        return Call("CSimFilter::GetProperty", [&] { return Chip().GetProperty(nId, pData); });
    }

private:
    const IID& VendorIid() const {
        return m_setup.m_eGeneration == vidlink::EGeneration::First ? vidlink::kIidVendorFirst
                                                                    : vidlink::kIidVendorSecond;
    }
    bridgesim::CBridgeChip& Chip() {
        if (!m_pChip)
            m_pChip = std::make_unique<bridgesim::CBridgeChip>(m_setup);
        return *m_pChip;
    }
    // Passes the call's log lines and any new camera messages to the shared log.
    template <typename F> HRESULT Call(const char* pszWhere, F&& call) noexcept {
        return ostrel::GuardCall(pszWhere, E_FAIL, E_OUTOFMEMORY, [&] {
            bridgesim::CBridgeChip& chip = Chip();
            const size_t nMessages = chip.Camera() ? chip.Camera()->Messages().size() : 0;
            const HRESULT hr = call();
            AppendLog(chip.Log());
            chip.ClearLog();
            if (chip.Camera()) {
                std::vector<std::string> messages;
                for (size_t i = nMessages; i < chip.Camera()->Messages().size(); ++i)
                    messages.push_back("M" + chip.Camera()->Messages()[i]);
                AppendLog(messages);
            }
            return hr;
        });
    }

    std::atomic<ULONG> m_nRefs{1};
    bridgesim::SBridgeSetup m_setup;
    std::unique_ptr<bridgesim::CBridgeChip> m_pChip;
};

HRESULT CreateFilter(REFIID riid, void** ppv) {
    CSimFilter* pFilter = new (std::nothrow) CSimFilter;
    if (!pFilter)
        return E_OUTOFMEMORY;
    const HRESULT hr = pFilter->QueryInterface(riid, ppv);
    pFilter->Release();
    return hr;
}

ostrel::CClassFactory<int> g_factory(g_nLocks, &CreateFilter);

LONG SetKeyValue(HKEY hRoot, const std::wstring& strKey, const wchar_t* pszName,
                 const std::wstring& strValue) {
    HKEY hKey = nullptr;
    LONG rc =
        RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                        static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    return rc;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD nReason, LPVOID) {
    if (nReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (rclsid != kClsidBridgeSim)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    return g_nLive == 0 && g_nLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t szPath[MAX_PATH] = {};
    if (!GetModuleFileNameW(g_hModule, szPath, MAX_PATH))
        return E_FAIL;
    const std::wstring strKey = std::wstring(L"Software\\Classes\\CLSID\\") + kClsidText;
    if (SetKeyValue(HKEY_LOCAL_MACHINE, strKey, nullptr, L"Simulated video bridge") ||
        SetKeyValue(HKEY_LOCAL_MACHINE, strKey + L"\\InprocServer32", nullptr, szPath) ||
        SetKeyValue(HKEY_LOCAL_MACHINE, strKey + L"\\InprocServer32", L"ThreadingModel", L"Both"))
        return E_ACCESSDENIED;
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    const std::wstring strKey = std::wstring(L"Software\\Classes\\CLSID\\") + kClsidText;
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, strKey.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_ACCESSDENIED;
}

extern "C" int __cdecl BridgeSim_TakeLog(char* pszBuffer, int nSize) {
    std::string strAll;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const std::string& strLine : g_log)
            strAll += strLine + "\n";
        g_log.clear();
    }
    if (pszBuffer && nSize > 0) {
        const size_t nCopy = std::min(strAll.size(), static_cast<size_t>(nSize - 1));
        std::memcpy(pszBuffer, strAll.data(), nCopy);
        pszBuffer[nCopy] = '\0';
    }
    return static_cast<int>(strAll.size());
}

extern "C" int __cdecl BridgeSim_CountLog(const char* pszLine) {
    std::lock_guard<std::mutex> lock(g_mutex);
    int n = 0;
    for (const std::string& strLine : g_log)
        n += pszLine && strLine == pszLine ? 1 : 0;
    return n;
}

extern "C" int __cdecl BridgeSim_LiveFilters() {
    return g_nLive;
}

extern "C" void __cdecl BridgeSim_RefuseVendor(int nTimes) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_nRefusals = nTimes;
}
