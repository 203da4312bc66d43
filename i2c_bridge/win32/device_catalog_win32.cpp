#include "device_catalog_win32.h"

#include "vendor_interface_win32.h"

#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>

namespace vidlink {

namespace {

std::string Narrow(const wchar_t* pszText) {
    const int nSize = WideCharToMultiByte(CP_ACP, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    if (nSize <= 1)
        return {};
    std::string strText(static_cast<size_t>(nSize), '\0');
    WideCharToMultiByte(CP_ACP, 0, pszText, -1, strText.data(), nSize, nullptr, nullptr);
    strText.resize(static_cast<size_t>(nSize - 1));
    return strText;
}

const GUID& CategoryGuid(ECategory eCategory) {
    return eCategory == ECategory::VideoInput ? kCategoryVideoInput : kCategoryBdaReceiver;
}

class CVendorDriver final : public IBridgeDriver {
public:
    explicit CVendorDriver(ostrel::CComPtr<IVendorProperties> pVendor)
        : m_pVendor(std::move(pVendor)) {}
    HResult SetProperty(uint32_t nId, void* pData) override {
        return m_pVendor->SetProperty(nId, pData);
    }
    HResult GetProperty(uint32_t nId, void* pData) override {
        return m_pVendor->GetProperty(nId, pData);
    }

private:
    ostrel::CComPtr<IVendorProperties> m_pVendor;
};

} // namespace

std::vector<SDeviceInfo> CDeviceCatalogWin32::ListDevices(ECategory eCategory) {
    std::vector<SDeviceInfo> devices;
    auto& monikers = m_monikers[eCategory];
    monikers.clear();
    ostrel::CComPtr<ICreateDevEnum> pDevEnum;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, pDevEnum.put_void())))
        return devices;
    ostrel::CComPtr<IEnumMoniker> pEnum;
    // An empty category gives S_FALSE and no enumerator.
    if (pDevEnum->CreateClassEnumerator(CategoryGuid(eCategory), pEnum.put(), 0) != S_OK || !pEnum)
        return devices;
    for (;;) {
        ostrel::CComPtr<IMoniker> pMoniker;
        if (pEnum->Next(1, pMoniker.put(), nullptr) != S_OK || !pMoniker)
            break;
        SDeviceInfo info;
        ostrel::CComPtr<IPropertyBag> pBag;
        if (SUCCEEDED(
                pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, pBag.put_void()))) {
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(pBag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR &&
                value.bstrVal)
                info.m_strFriendlyName = Narrow(value.bstrVal);
            VariantClear(&value);
        }
        ostrel::CComPtr<IBindCtx> pContext;
        LPOLESTR pszDisplay = nullptr;
        if (SUCCEEDED(CreateBindCtx(0, pContext.put())) &&
            SUCCEEDED(pMoniker->GetDisplayName(pContext.get(), nullptr, &pszDisplay)) &&
            pszDisplay) {
            info.m_strDisplayName = Narrow(pszDisplay);
            CoTaskMemFree(pszDisplay);
        }
        devices.push_back(std::move(info));
        monikers.push_back(std::move(pMoniker));
    }
    return devices;
}

std::unique_ptr<IBridgeDriver> CDeviceCatalogWin32::OpenDriver(ECategory eCategory, size_t nIndex) {
    auto& monikers = m_monikers[eCategory];
    if (nIndex >= monikers.size())
        return nullptr;
    ostrel::CComPtr<IBaseFilter> pFilter;
    if (FAILED(monikers[nIndex]->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                              pFilter.put_void())) ||
        !pFilter)
        return nullptr;
    ostrel::CComPtr<IVendorProperties> pVendor;
    if (FAILED(pFilter->QueryInterface(m_vendorIid, pVendor.put_void())) || !pVendor)
        return nullptr;
    return std::make_unique<CVendorDriver>(std::move(pVendor));
}

bool CDeviceCatalogWin32::ReadDsName(std::string& strName) {
    ostrel::CRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\USB2800\\BDA", 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
        return false;
    char buffer[kMaxDsName + 1] = {};
    DWORD nType = 0;
    DWORD nSize = sizeof buffer - 1; // room for the terminator the value may lack
    if (RegQueryValueExA(key.get(), "DSName", nullptr, &nType, reinterpret_cast<BYTE*>(buffer),
                         &nSize) != ERROR_SUCCESS ||
        nType != REG_SZ)
        return false;
    buffer[nSize < sizeof buffer ? nSize : sizeof buffer - 1] = '\0';
    strName = buffer;
    return true;
}

} // namespace vidlink
