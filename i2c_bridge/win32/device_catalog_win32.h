#pragma once
// The media device enumeration behind the filter search: friendly and
// display names of a category's devices, binding a device to its filter and
// asking it for the vendor interface, and the registry's fallback name.
// COM must be initialised on the calling thread.
#include "filter_search.h"
#include "unique_handle.h"

#include <objidl.h>
#include <windows.h>

#include <map>

namespace vidlink {

class CDeviceCatalogWin32 final : public IDeviceCatalog {
public:
    explicit CDeviceCatalogWin32(const IID& vendorIid) : m_vendorIid(vendorIid) {}
    std::vector<SDeviceInfo> ListDevices(ECategory eCategory) override;
    std::unique_ptr<IBridgeDriver> OpenDriver(ECategory eCategory, size_t nIndex) override;
    bool ReadDsName(std::string& strName) override;

private:
    IID m_vendorIid;
    std::map<ECategory, std::vector<ostrel::CComPtr<IMoniker>>> m_monikers;
};

// A search over a fresh catalog each time, so that no moniker outlives it.
class CFinderWin32 final : public IFilterFinder {
public:
    CFinderWin32(EGeneration eGeneration, const IID& vendorIid)
        : m_eGeneration(eGeneration), m_vendorIid(vendorIid) {}
    std::unique_ptr<IBridgeDriver> FindDriver(const std::string& strName) override {
        CDeviceCatalogWin32 catalog(m_vendorIid);
        return FindBridgeDriver(catalog, m_eGeneration, strName);
    }

private:
    EGeneration m_eGeneration;
    IID m_vendorIid;
};

} // namespace vidlink
