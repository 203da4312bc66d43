#pragma once
// The wireless search library, loaded by file name from the server's folder
// for one call and released after it.
#include <string>

namespace torvex {

class IBluefind {
public:
    virtual ~IBluefind() = default;
    // false when the library or its export "FindTesselBth" is missing.
    // Otherwise nResult is the export's result and strPort the found port
    // name as 8-bit text (empty when none).
    virtual bool FindSensorPort(int& nResult, std::string& strPort) = 0;
};

} // namespace torvex
