#include "link_state.h"

#include <cctype>

namespace torvex {

uint8_t PidBitsOfPath(const std::string& strPath) {
    std::string upper = strPath;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&upper](const char* p) { return upper.find(p) != std::string::npos; };
    uint8_t nBits = 0;
    if (has("&PID_123") || has("&PID_010"))
        nBits |= kPidBit0;
    if (has("&PID_5841") || has("&PID_123A") || has("&PID_0101"))
        nBits |= kPidBit1;
    if (has("&PID_123B") || has("&PID_0102"))
        nBits |= kPidBit2;
    return nBits;
}

} // namespace torvex
