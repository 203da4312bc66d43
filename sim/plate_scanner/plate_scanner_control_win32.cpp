// Stand-in for the first-generation plate scanner's ActiveX control: an
// in-process COM server registered under the control's class id. IDispatch
// answers methods 1, 2, 6, 8 and 21 from the script; IOleObject and
// IPersistStreamInit do just enough for a host window to embed it.
#include "control_script.h"
#include "guard.h"
#include "win32/class_factory.h"

#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <string>

using namespace lumeno::sim;

namespace {

// {F56A37C5-7049-11D0-9A3F-00C095ED7DD4}
const CLSID kClassId = {
    0xF56A37C5, 0x7049, 0x11D0, {0x9A, 0x3F, 0x00, 0xC0, 0x95, 0xED, 0x7D, 0xD4}};
const wchar_t kClassIdText[] = L"{F56A37C5-7049-11D0-9A3F-00C095ED7DD4}";

HMODULE g_hModule = nullptr;
std::atomic<long> g_nObjects{0};
std::atomic<long> g_nLocks{0};

std::string Environment(const char* name) {
    char buffer[1024] = {};
    const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

void Record(const std::wstring& line) {
    const std::string file = Environment("LUMENO_SIM_LOG");
    if (file.empty())
        return;
    HANDLE h = ::CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string bytes;
    for (wchar_t c : line)
        bytes += static_cast<char>(c < 0x80 ? c : '?');
    bytes += "\r\n";
    DWORD dwWritten = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
    ::CloseHandle(h);
}

// No exception leaves a COM method or an export.
template <typename F> HRESULT Guarded(const char* pszWhere, F f) {
    return ostrel::GuardCall(pszWhere, E_FAIL, E_OUTOFMEMORY, f);
}

class CControl : public IDispatch, public IOleObject, public IPersistStreamInit {
public:
    CControl() : m_script(ParseControlScript(Environment("LUMENO_SIM"))) { ++g_nObjects; }
    virtual ~CControl() {
        if (m_pSite)
            m_pSite->Release();
        --g_nObjects;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IPersistStreamInit || riid == IID_IPersist)
            *ppv = static_cast<IPersistStreamInit*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRefs; }
    STDMETHODIMP_(ULONG) Release() override {
        const long n = --m_nRefs;
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pn) override {
        if (pn)
            *pn = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* pParams, VARIANT* pResult,
                        EXCEPINFO*, UINT*) override {
        return Guarded("LumenoSim::Invoke", [&]() -> HRESULT {
            std::vector<SCallArg> args;
            const UINT n = pParams ? pParams->cArgs : 0;
            for (UINT i = 0; i < n; ++i) {
                const VARIANTARG& v = pParams->rgvarg[n - 1 - i];
                SCallArg a;
                if (v.vt == VT_BSTR) {
                    a.m_bString = true;
                    a.m_strValue.assign(v.bstrVal ? v.bstrVal : L"", ::SysStringLen(v.bstrVal));
                } else if (v.vt == VT_I4) {
                    a.m_nValue = v.lVal;
                } else {
                    a.m_strValue = L"?";
                    a.m_bString = true;
                }
                args.push_back(a);
            }
            Record(RecordLine(id, args));
            if (m_script.m_failing.count(id))
                return DISP_E_EXCEPTION;
            if (id != 1 && id != 2 && id != 6 && id != 8 && id != 21)
                return DISP_E_MEMBERNOTFOUND;
            if (pResult) {
                ::VariantInit(pResult);
                if (id == 21) {
                    pResult->vt = VT_BSTR;
                    pResult->bstrVal = ::SysAllocString(m_script.m_strName.c_str());
                } else {
                    pResult->vt = VT_I4;
                    pResult->lVal = id == 1 ? m_script.m_nOpenAnswer : 0;
                }
            }
            return S_OK;
        });
    }

    // IOleObject: the host embeds us; we draw nothing.
    STDMETHODIMP SetClientSite(IOleClientSite* pSite) override {
        if (m_pSite)
            m_pSite->Release();
        m_pSite = pSite;
        if (m_pSite)
            m_pSite->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** ppSite) override {
        if (!ppSite)
            return E_POINTER;
        *ppSite = m_pSite;
        if (m_pSite)
            m_pSite->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override { return S_OK; }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override {
        if (!pClsid)
            return E_POINTER;
        *pClsid = kClassId;
        return S_OK;
    }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL* pSize) override {
        if (pSize)
            m_size = *pSize;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD, SIZEL* pSize) override {
        if (!pSize)
            return E_POINTER;
        *pSize = m_size;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink*, DWORD* pCookie) override {
        if (pCookie)
            *pCookie = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* pStatus) override {
        if (!pStatus)
            return E_POINTER;
        *pStatus = OLEMISC_INVISIBLEATRUNTIME;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IPersistStreamInit: nothing to keep.
    STDMETHODIMP GetClassID(CLSID* pClsid) override { return GetUserClassID(pClsid); }
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM) override { return S_OK; }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pSize) override {
        if (pSize)
            pSize->QuadPart = 0;
        return S_OK;
    }
    STDMETHODIMP InitNew() override { return S_OK; }

private:
    std::atomic<long> m_nRefs{1};
    SControlScript m_script;
    IOleClientSite* m_pSite = nullptr;
    SIZEL m_size{2000, 1000};
};

HRESULT CreateControl(REFIID riid, void** ppv) {
    return Guarded("LumenoSim::CreateInstance", [&]() -> HRESULT {
        CControl* p = new CControl();
        const HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    });
}

ostrel::CClassFactory<long> g_factory(g_nLocks, &CreateControl);

const std::wstring kKey = std::wstring(L"Software\\Classes\\CLSID\\") + kClassIdText;

LONG SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &h, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ::RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(h);
    return rc;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != kClassId)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return g_nObjects == 0 && g_nLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return Guarded("DllRegisterServer", []() -> HRESULT {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(g_hModule, path, MAX_PATH);
        if (SetValue(kKey, nullptr, L"Lumeno plate scanner control (stand-in)") != ERROR_SUCCESS ||
            SetValue(kKey + L"\\InprocServer32", nullptr, path) != ERROR_SUCCESS ||
            SetValue(kKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        return S_OK;
    });
}

STDAPI DllUnregisterServer() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey.c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey.c_str());
    return S_OK;
}
