#pragma once
// The direct sensors' image steps written out plainly, one loop per rule,
// for the tests and the benchmark to hold the fast kernels against. Each
// step reads its inputs the slow, obvious way (byte by byte, one division
// per pixel, a sort per window) and shares no code with the kernels;
// Kernels() chains the kernels themselves in the same order.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvex::reference {

// Samples as the sensor sends them: one bit stream of 14-bit fields, most
// significant bit first.
std::vector<uint8_t> Pack(const std::vector<uint16_t>& samples);

// nPixels (a multiple of four) 14-bit samples from the packed bytes, with
// the glitch repair of a transfer nBudget bytes short; not inverted.
std::vector<uint16_t> Unpack(const std::vector<uint8_t>& raw, size_t nPixels, size_t nBudget,
                             bool bDarkFrame);

// 16383 - max(0, exposure - dark) per pixel.
std::vector<uint16_t> Combine(const std::vector<uint16_t>& exposure,
                              const std::vector<uint16_t>& dark);

// The calibration file applied to a width x height image; false (image
// untouched) when the file is short, of another size or version.
bool Calibrate(const std::vector<uint8_t>& ffc, uint32_t nEnergy, std::vector<uint16_t>& pixels,
               uint32_t nWidth, uint32_t nHeight);

void MaskCorners(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand);

// The recursive median, each window copied out and sorted.
void Median(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand);

void ReverseRows(std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight);

// The whole file of the last image (headers, palette, grey pixels).
std::vector<uint8_t> Bitmap(const std::vector<uint16_t>& pixels, uint32_t nWidth, uint32_t nHeight);

struct SPipelineInput {
    std::vector<uint8_t> m_exposure; // packed frames of width x (height + 4)
    std::vector<uint8_t> m_dark;     // empty: a single image
    size_t m_nExposureBudget = 0;
    size_t m_nDarkBudget = 0;
    std::vector<uint8_t> m_ffc; // empty: no calibration
    uint32_t m_nEnergy = 0;
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0; // after the four rows the fetch drops
    uint32_t m_nBand = 0;
    bool m_bMedian = true;
};

struct SPipelineOutput {
    std::vector<uint16_t> m_pixels; // in file order
    std::vector<uint8_t> m_bitmap;
};

// Unpack, combine (or invert), drop four rows, calibrate, mask, median,
// reverse the rows, and the bitmap.
SPipelineOutput Pipeline(const SPipelineInput& in);

// The same chain through the server's kernels, the record and its bitmap.
// out's buffers are reused from call to call.
void Kernels(const SPipelineInput& in, SPipelineOutput& out);

} // namespace torvex::reference
