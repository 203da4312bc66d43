#pragma once
// The direct sensors' raw frames: 14-bit samples packed four to seven bytes,
// a transfer that may be a few bytes short, and the dark frame subtracted.
#include <cstddef>
#include <cstdint>

namespace torvex {

constexpr size_t kPackedGroupBytes = 7; // four 14-bit samples
constexpr size_t kPackedGroupPixels = 4;
constexpr uint16_t kSampleMax = 16383;
// Samples outside this range are glitches while bytes are missing.
constexpr uint16_t kGlitchLow = 3000;
constexpr uint16_t kGlitchHigh = 15000;

constexpr size_t PackedSize(size_t nPixels) {
    return nPixels * 14 / 8;
}

// Unpacks nPixels samples (a multiple of four) from pRaw, which holds at
// least PackedSize(nPixels) bytes (a short transfer's tail zero-filled).
// nBudget is the number of bytes the transfer lacked: while it is not 0, a
// sample below kGlitchLow or above kGlitchHigh takes the last sample of the
// previous group (bReplaceWithZero: 0 instead, for dark frames), the read
// position steps back one byte and the budget drops by one. Writes the
// samples themselves (not inverted).
void UnpackSamples(const uint8_t* pRaw, size_t nPixels, size_t nBudget, bool bReplaceWithZero,
                   uint16_t* pOut);

// 16383 - sample, in place.
void InvertSamples(uint16_t* pPixels, size_t nPixels);

// 16383 - max(0, exposure - dark), into pExposure.
void SubtractDark(uint16_t* pExposure, const uint16_t* pDark, size_t nPixels);

} // namespace torvex
