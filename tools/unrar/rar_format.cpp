#include "rar_format.h"

#include <array>

namespace ostrel::rar {

namespace {

std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

} // namespace

uint32_t Crc32(const uint8_t* pData, size_t nSize, uint32_t nCrc) {
    static const std::array<uint32_t, 256> kTable = MakeTable();
    nCrc = ~nCrc;
    for (size_t i = 0; i < nSize; ++i)
        nCrc = kTable[(nCrc ^ pData[i]) & 0xFF] ^ (nCrc >> 8);
    return ~nCrc;
}

} // namespace ostrel::rar
