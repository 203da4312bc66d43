#pragma once
// The image a direct-sensor acquisition must produce, computed plainly from
// the simulator's raw frames: unpack, subtract the dark frame, drop four
// rows, mask the corners, the recursive median, reverse the rows; and the
// 8-bit map of the bitmap. Written apart from the server's kernels on purpose.
#include <cstdint>
#include <string>
#include <vector>

namespace torvex::test {

struct SReferenceImage {
    uint32_t m_nWidth = 0, m_nHeight = 0;
    std::vector<uint16_t> m_pixels;
};

// bDarkExposed: the dark frame used is one that saw light. A calibration
// file (".FFC" bytes) of the image's size is applied with the image's Nrj.
SReferenceImage ReferenceAcquisition(int nSlot, bool bDarkExposed,
                                     const std::vector<uint8_t>& calibration = {},
                                     uint32_t nEnergy = 5400);
// The exposure alone, as when no dark frame could be had.
SReferenceImage ReferenceWithoutDark(int nSlot);
// The bitmap's pixel bytes (rows as in the image).
std::vector<uint8_t> ReferenceGrey(const SReferenceImage& image);
// The little-endian bytes of "LASTACQ2.RAW".
std::vector<uint8_t> ReferenceRawFile(const SReferenceImage& image);
// "LASTACQ2.OSC" for the first nCount samples of the exposure's oscillogram.
std::string ReferenceOscillogramText(size_t nCount);

} // namespace torvex::test
