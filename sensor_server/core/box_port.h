#pragma once
// The interface box as its class driver offers it. At most one box is open at
// a time; the transport opens and closes it around every exchange.
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvex {

class IBoxPort {
public:
    virtual ~IBoxPort() = default;
    // Device path of the first present interface of the box's interface class.
    // 0 with the path; kNoMoreDevices when there is none; else a platform code.
    virtual int FindBox(std::string& strPath) = 0;
    // Opens read/write, not shared, existing, synchronous. 0 or a platform code;
    // on failure nothing is open.
    virtual int Open(const std::string& strPath) = 0;
    // Control request 0x222004 with the 8 bytes as input. 0 or a platform code.
    virtual int WriteFrame(const uint8_t* pFrame) = 0;
    // Control request 0x222000 with an 8-byte output into pFrame. 0 or a
    // platform code; on failure pFrame may hold anything.
    virtual int ReadFrame(uint8_t* pFrame) = 0;
    // Reads up to nSize bytes of the box's image stream (ReadFile on the
    // opened device). 0 with nDone bytes (fewer than asked may come), else a
    // platform code.
    virtual int ReadStream(uint8_t* pBuffer, size_t nSize, size_t& nDone) = 0;
    // Closes what Open opened (no-op when nothing is). 0 or a platform code;
    // the box is closed either way.
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;
};

} // namespace torvex
