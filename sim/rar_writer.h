#pragma once
// Writes RAR 4.x archives of stored (uncompressed) entries, the kind the
// calibration archives on the sensors are: marker block, archive header,
// one file header and its bytes per entry, end block.
#include <cstdint>
#include <string>
#include <vector>

namespace torvex::sim {

struct SRarFile {
    std::string m_strName; // may hold folders separated by "\"
    std::vector<uint8_t> m_data;
    uint32_t m_nDosTime = 0x5B8A6000; // 2025-12-10 12:00:00
};

std::vector<uint8_t> WriteRar(const std::vector<SRarFile>& files);

} // namespace torvex::sim
