#include "plate_scanner_host_win32.h"

#include <ole2.h>

// Wine's atl.dll: the host window class and its control; no ATL headers needed.
extern "C" {
__declspec(dllimport) BOOL WINAPI AtlAxWinInit();
__declspec(dllimport) HRESULT WINAPI AtlAxGetControl(HWND hWnd, IUnknown** ppUnknown);
}

namespace ostrel {

CPlateScannerHost::~CPlateScannerHost() {
    Destroy();
}

bool CPlateScannerHost::Create(HWND hParent, UINT nId, const wchar_t* pszClassId) {
    Destroy();
    const HRESULT hr = ::OleInitialize(nullptr);
    m_bOleInitialised = SUCCEEDED(hr);
    if (!m_bOleInitialised && hr != RPC_E_CHANGED_MODE)
        return false;
    // A second initialisation fails under Wine once the class exists.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!::AtlAxWinInit() && !::GetClassInfoExW(nullptr, L"AtlAxWin", &wc)) {
        Destroy();
        return false;
    }
    m_hWnd = ::CreateWindowExW(0, L"AtlAxWin", pszClassId, WS_CHILD, 0, 0, 0, 0, hParent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nId)),
                               ::GetModuleHandleW(nullptr), nullptr);
    // The host window may exist without a control: only the control counts.
    IUnknown* pUnknown = nullptr;
    if (m_hWnd && SUCCEEDED(::AtlAxGetControl(m_hWnd, &pUnknown)) && pUnknown) {
        pUnknown->QueryInterface(IID_IDispatch, m_pDispatch.put_void());
        pUnknown->Release();
    }
    if (!m_pDispatch) {
        Destroy();
        return false;
    }
    return true;
}

void CPlateScannerHost::Destroy() {
    m_pDispatch.reset();
    if (m_hWnd) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    if (m_bOleInitialised) {
        ::OleUninitialize();
        m_bOleInitialised = false;
    }
}

bool CPlateScannerHost::HasWindow() {
    return m_hWnd != nullptr && static_cast<bool>(m_pDispatch);
}

bool CPlateScannerHost::Invoke(int nDispId, const std::vector<SDispatchArg>& args,
                               VARIANT& result) {
    if (!m_pDispatch)
        return false;
    // Dispatch arguments travel last first.
    std::vector<VARIANTARG> variants(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        VARIANTARG& v = variants[args.size() - 1 - i];
        ::VariantInit(&v);
        if (args[i].m_bString) {
            v.vt = VT_BSTR;
            v.bstrVal = ::SysAllocStringLen(args[i].m_strValue.data(),
                                            static_cast<UINT>(args[i].m_strValue.size()));
        } else {
            v.vt = VT_I4;
            v.lVal = args[i].m_nValue;
        }
    }
    DISPPARAMS params{};
    params.rgvarg = variants.empty() ? nullptr : variants.data();
    params.cArgs = static_cast<UINT>(variants.size());
    EXCEPINFO exception{};
    UINT nArgError = 0;
    ::VariantInit(&result);
    const HRESULT hr = m_pDispatch->Invoke(nDispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           &params, &result, &exception, &nArgError);
    for (VARIANTARG& v : variants)
        ::VariantClear(&v);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) {
        ::VariantClear(&result);
        return false;
    }
    return true;
}

bool CPlateScannerHost::CallInt(int nDispId, const std::vector<SDispatchArg>& args,
                                int32_t& nResult) {
    VARIANT result;
    if (!Invoke(nDispId, args, result))
        return false;
    const bool bOk = SUCCEEDED(::VariantChangeType(&result, &result, 0, VT_I4));
    if (bOk)
        nResult = result.lVal;
    ::VariantClear(&result);
    return bOk;
}

bool CPlateScannerHost::CallText(int nDispId, std::wstring& text) {
    VARIANT result;
    if (!Invoke(nDispId, {}, result))
        return false;
    const bool bOk = SUCCEEDED(::VariantChangeType(&result, &result, 0, VT_BSTR));
    if (bOk)
        text.assign(result.bstrVal ? result.bstrVal : L"", ::SysStringLen(result.bstrVal));
    ::VariantClear(&result);
    return bOk;
}

} // namespace ostrel
