#pragma once
// The vendor property interface of the bridge's video driver, as the
// libraries see it. The Win32 layer wraps the driver's COM interface; tests
// use recording fakes and the simulated bridge.
#include "bridge_protocol.h"

#include <memory>
#include <string>

namespace vidlink {

class IBridgeDriver {
public:
    virtual ~IBridgeDriver() = default;
    // Write or read one driver property. pData points to a 32-bit variable of
    // the caller; how many of its bytes the driver moves is the driver's
    // business. Returns the driver's HRESULT (negative = failure).
    virtual HResult SetProperty(uint32_t nId, void* pData) = 0;
    virtual HResult GetProperty(uint32_t nId, void* pData) = 0;
};

// Finds the bridge's capture filter for a device name and hands out its vendor
// interface (the filter itself is released). Null when nothing is found or the
// filter refuses the interface.
class IFilterFinder {
public:
    virtual ~IFilterFinder() = default;
    virtual std::unique_ptr<IBridgeDriver> FindDriver(const std::string& strName) = 0;
};

} // namespace vidlink
