#pragma once
// Which capture filter a library opens for a device name: the begins-with
// match over the device categories, the default names of each generation and
// the second generation's registry fallback. The Win32 catalog supplies the
// devices; the rules live here.
#include "bridge_driver.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vidlink {

enum class ECategory { VideoInput, BdaReceiver };

struct SDeviceInfo {
    std::string m_strFriendlyName; // 8-bit text
    std::string m_strDisplayName;  // the moniker's display name, 8-bit text
};

class IDeviceCatalog {
public:
    virtual ~IDeviceCatalog() = default;
    // Devices of a category in enumeration order; empty when it has none or
    // cannot be enumerated.
    virtual std::vector<SDeviceInfo> ListDevices(ECategory eCategory) = 0;
    // Binds device nIndex of the last listing of eCategory to its filter and
    // asks it for the vendor interface. Null on any failure.
    virtual std::unique_ptr<IBridgeDriver> OpenDriver(ECategory eCategory, size_t nIndex) = 0;
    // HKLM "Software\USB2800\BDA" value "DSName"; false when absent.
    virtual bool ReadDsName(std::string& strName) = 0;
};

// Texts are compared as the 8-bit buffers hold them: friendly and display
// names at most 259 bytes, the registry name at most 255, each terminated.
constexpr size_t kMaxDeviceText = 260 - 1;
constexpr size_t kMaxDsName = 256 - 1;

const std::vector<std::string>& DefaultDeviceNames(EGeneration eGeneration);

// The first device matching strName, else each default name in turn, else
// (second generation) the registry name against the display names. The first
// device that matches decides: when it refuses the vendor interface the
// search fails.
std::unique_ptr<IBridgeDriver> FindBridgeDriver(IDeviceCatalog& catalog, EGeneration eGeneration,
                                                const std::string& strName);

// IFilterFinder over a catalog.
class CCatalogFinder final : public IFilterFinder {
public:
    CCatalogFinder(IDeviceCatalog& catalog, EGeneration eGeneration)
        : m_catalog(catalog), m_eGeneration(eGeneration) {}
    std::unique_ptr<IBridgeDriver> FindDriver(const std::string& strName) override {
        return FindBridgeDriver(m_catalog, m_eGeneration, strName);
    }

private:
    IDeviceCatalog& m_catalog;
    EGeneration m_eGeneration;
};

} // namespace vidlink
