#pragma once
// A direct sensor's flat-field calibration file (".FFC", little-endian) and
// its application: per-pixel gain indices, defect pixels repaired from their
// neighbours.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvex {

constexpr size_t kCalibrationHeaderSize = 128;
constexpr size_t kDefectsMax = 1023;
constexpr uint8_t kIndexDefect = 255;

struct SCalibration {
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0;
    int16_t m_nDivisor = 0;         // D
    int32_t m_nBase = 0;            // B; the formula uses P = 100 B
    int8_t m_nNeutral = 0;          // U
    uint8_t m_nVersionA = 0;        // byte 22, must be 0
    uint8_t m_nVersionB = 0;        // byte 23, must be 0
    std::vector<uint8_t> m_indices; // width x height, image order
};

enum class ECalibrationFault {
    None,
    TooShort,     // shorter than its header says
    OtherSize,    // "FFC Header file indicates a different image size"
    OtherVersion, // "Unsupported FFC file version"
};

// The file's bytes; null when shorter than the header or than the indices
// the header announces.
std::optional<SCalibration> ParseCalibration(const uint8_t* pData, size_t nSize);

// gain[i] = ((P - U + i) * 10000 / P - 10000) * Nrj / D + 10000, in 64 bits
// with truncating division; 0 where P or D is 0 (no quotient).
std::vector<int64_t> GainTable(const SCalibration& cal, uint32_t nEnergy);

// Corrects the width x height pixels in place; the image stays as it was
// unless the sizes match and both version bytes are 0. Indices 0 and U keep
// the pixel, 255 marks a defect (the first 1023 in scan order are repaired),
// any other i divides by gain[i] (a zero gain keeps the pixel).
ECalibrationFault ApplyCalibration(const SCalibration& cal, uint32_t nEnergy, uint16_t* pPixels,
                                   uint32_t nWidth, uint32_t nHeight);

// The message a fault shows, "" for None.
const char* CalibrationFaultText(ECalibrationFault eFault);

} // namespace torvex
