#include "direct_memory.h"

#include "calibration_store.h"
#include "rar_writer.h"

#include <cstdlib>

namespace torvex::sim {

namespace {

void PutU32Le(std::vector<uint8_t>& out, size_t nAt, uint32_t n) {
    for (int i = 0; i < 4; ++i)
        out[nAt + static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
}

} // namespace

std::vector<uint8_t> CalibrationMemory(const std::vector<uint8_t>& archive, uint16_t nPageLength) {
    const size_t nCount = (archive.size() + nPageLength - 1) / nPageLength;
    std::vector<uint8_t> memory((nCount + 1) * nPageLength, 0xFF);
    PutU32Le(memory, 0, kArchiveMagic);
    PutU32Le(memory, 4, static_cast<uint32_t>(archive.size()));
    PutU32Le(memory, 8, static_cast<uint32_t>(nCount));
    std::copy(archive.begin(), archive.end(), memory.begin() + nPageLength);
    return memory;
}

std::vector<uint8_t> SampleCalibrationFile(uint32_t nWidth, uint32_t nHeight, uint32_t nSeed) {
    std::vector<uint8_t> file(kCalibrationHeaderSize + size_t{nWidth} * nHeight, 0);
    PutU32Le(file, 0, nWidth);
    PutU32Le(file, 4, nHeight);
    file[8] = 100;           // D
    PutU32Le(file, 16, 100); // B: P = 10000
    file[20] = 10;           // U
    uint32_t nState = nSeed * 2654435761u + 1;
    for (size_t i = kCalibrationHeaderSize; i < file.size(); ++i) {
        nState = nState * 1664525u + 1013904223u;
        const uint32_t r = nState >> 24;
        file[i] = r < 4 ? kIndexDefect : r < 128 ? static_cast<uint8_t>(r) : 0;
    }
    return file;
}

void PutCalibrationArchive(SDirectSensorSetup& setup, const std::string& strSize, uint32_t nSeed) {
    const size_t nX = strSize.find('x');
    if (nX == std::string::npos)
        return;
    const auto nWidth =
        static_cast<uint32_t>(std::strtoul(strSize.substr(0, nX).c_str(), nullptr, 10));
    const auto nHeight = static_cast<uint32_t>(std::strtoul(strSize.c_str() + nX + 1, nullptr, 10));
    const std::string strName =
        setup.m_strIdentity.substr(0, setup.m_strIdentity.find(proto::direct::kIdentityEnd));
    const std::vector<uint8_t> archive =
        WriteRar({SRarFile{strName + ".FFC", SampleCalibrationFile(nWidth, nHeight, nSeed)}});
    setup.m_memory = CalibrationMemory(archive, static_cast<uint16_t>(setup.m_strIdentity.size()));
}

} // namespace torvex::sim
