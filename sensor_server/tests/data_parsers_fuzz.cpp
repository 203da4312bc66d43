// libFuzzer entry for the DATA parsers (build with clang++; see CMakeLists.txt).
#include "data_parsers.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    int values[8];
    if (torvex::ScanInts(text, values, 8) > 8)
        std::abort();
    const auto frame = torvex::ParseFrameText(text);
    if (frame && torvex::ScanInts(text, values, 8) != 8)
        std::abort();
    (void)torvex::ParseValuePair(text);
    (void)torvex::ParseSwitchPair(text);
    (void)torvex::ParseImageRequest(text);
    (void)torvex::ProfileInt(text, 3);
    (void)torvex::NamesSerialPort(text);
    return 0;
}
