// libFuzzer target of the calibration file: the input is the ".FFC" file.
// A file that parses is applied to a small image made from the input's
// bytes and the result must equal the plain steps' (the energy comes from
// header bytes the file leaves unused).
#include "calibration.h"
#include "direct_image_reference.h"

#include <cstdlib>
#include <vector>

using namespace torvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const auto cal = ParseCalibration(pData, nSize);
    if (!cal)
        return 0;
    const size_t nPixels = size_t{cal->m_nWidth} * cal->m_nHeight;
    if (cal->m_indices.size() != nPixels || nSize < kCalibrationHeaderSize + nPixels)
        std::abort();
    if (nPixels > 1 << 16)
        return 0;
    const uint32_t nEnergy = uint32_t{pData[24]} | uint32_t{pData[25]} << 8 |
                             uint32_t{pData[26]} << 16 | uint32_t{pData[27]} << 24;
    const uint16_t nMask = (pData[28] & 1) ? 0xFFFF : 0x3FFF;
    std::vector<uint16_t> image(nPixels);
    for (size_t k = 0; k < nPixels; ++k)
        image[k] = static_cast<uint16_t>(
            (pData[(2 * k) % nSize] << 8 | pData[(2 * k + 7) % nSize]) & nMask);
    std::vector<uint16_t> expected = image;
    const bool bApplied = reference::Calibrate(std::vector<uint8_t>(pData, pData + nSize), nEnergy,
                                               expected, cal->m_nWidth, cal->m_nHeight);
    const ECalibrationFault eFault =
        ApplyCalibration(*cal, nEnergy, image.data(), cal->m_nWidth, cal->m_nHeight);
    if (bApplied != (eFault == ECalibrationFault::None) || image != expected)
        std::abort();
    return 0;
}
