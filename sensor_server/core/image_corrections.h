#pragma once
// The corrections after calibration on a direct sensor's 16-bit image
// (width x height, rows contiguous): corner mask, the recursive 3 x 3
// median, row order. Pixels are 0..16383.
#include <cstddef>
#include <cstdint>

namespace torvex {

constexpr uint32_t kCornerBandSlot0 = 115;
constexpr uint32_t kCornerBandSlot1 = 270;

constexpr uint32_t CornerBandOf(int nSlot) {
    return nSlot == 0 ? kCornerBandSlot0 : kCornerBandSlot1;
}

// The lowest level held by more than 50 pixels (0 when none).
uint16_t CornerFillValue(const uint16_t* pPixels, size_t nPixels);

// In rows r below nBand, the first and the last nBand - r pixels take the fill
// value: the two corners of the first rows cut on a diagonal.
void MaskCorners(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand);

// In place, bottom up: window top rows t from height - 3 down to 1, windows
// from column 0 (nBand - t further right in the corner band, ending as far
// before the right edge) to width - 4; each centre takes the median of its
// nine current values before the next window is read.
void MedianRecursive(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand);

// The same windows, each sorted in full: the reference of the fast version.
void MedianRecursiveSorted(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight, uint32_t nBand);

// Row k swaps with row height - 1 - k.
void ReverseRows(uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight);

} // namespace torvex
