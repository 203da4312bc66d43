#include "rar_format.h"

#include <zlib.h>

namespace ostrel::rar {

uint32_t Crc32(const uint8_t* pData, size_t nSize, uint32_t nCrc) {
    // zlib takes at most 4 GiB per call.
    while (nSize > 0) {
        const uInt nPart = static_cast<uInt>(nSize > (1u << 30) ? (1u << 30) : nSize);
        nCrc = static_cast<uint32_t>(crc32(nCrc, pData, nPart));
        pData += nPart;
        nSize -= nPart;
    }
    return nCrc;
}

} // namespace ostrel::rar
