#include "raw_unpack.h"

#include <cstring>

namespace torvex {

namespace {

inline void Decode(const uint8_t* b, uint16_t* p) {
    p[0] = static_cast<uint16_t>(b[0] << 6 | b[1] >> 2);
    p[1] = static_cast<uint16_t>((b[1] & 0x03) << 12 | b[2] << 4 | b[3] >> 4);
    p[2] = static_cast<uint16_t>((b[3] & 0x0F) << 10 | b[4] << 2 | b[5] >> 6);
    p[3] = static_cast<uint16_t>((b[5] & 0x3F) << 8 | b[6]);
}

} // namespace

void UnpackSamples(const uint8_t* pRaw, size_t nPixels, size_t nBudget, bool bReplaceWithZero,
                   uint16_t* pOut) {
    const size_t nGroups = nPixels / kPackedGroupPixels;
    size_t nPos = 0;
    uint16_t nPrevious = 0; // last sample of the previous group
    size_t g = 0;
    // The common case runs without checks once the budget is spent.
    for (; g < nGroups && nBudget > 0; ++g) {
        uint16_t* p = pOut + g * kPackedGroupPixels;
        Decode(pRaw + nPos, p);
        size_t nBack = 0;
        for (size_t k = 0; k < kPackedGroupPixels && nBudget > 0; ++k) {
            if (p[k] < kGlitchLow || p[k] > kGlitchHigh) {
                p[k] = bReplaceWithZero ? 0 : nPrevious;
                ++nBack;
                --nBudget;
            }
        }
        nPos += kPackedGroupBytes - nBack;
        nPrevious = p[kPackedGroupPixels - 1];
    }
    // Two groups (14 bytes) from two 8-byte big-endian loads; the last
    // group is decoded byte by byte so no read passes the data.
    for (; g + 1 < nGroups; ++g) {
        uint64_t w = 0;
        std::memcpy(&w, pRaw + nPos, sizeof w);
        w = __builtin_bswap64(w);
        uint16_t* p = pOut + g * kPackedGroupPixels;
        p[0] = static_cast<uint16_t>((w >> 50) & 0x3FFF);
        p[1] = static_cast<uint16_t>((w >> 36) & 0x3FFF);
        p[2] = static_cast<uint16_t>((w >> 22) & 0x3FFF);
        p[3] = static_cast<uint16_t>((w >> 8) & 0x3FFF);
        nPos += kPackedGroupBytes;
    }
    for (; g < nGroups; ++g) {
        Decode(pRaw + nPos, pOut + g * kPackedGroupPixels);
        nPos += kPackedGroupBytes;
    }
}

void InvertSamples(uint16_t* pPixels, size_t nPixels) {
    for (size_t i = 0; i < nPixels; ++i)
        pPixels[i] = static_cast<uint16_t>(kSampleMax - pPixels[i]);
}

void SubtractDark(uint16_t* pExposure, const uint16_t* pDark, size_t nPixels) {
    for (size_t i = 0; i < nPixels; ++i) {
        const int nDiff = static_cast<int>(pExposure[i]) - pDark[i];
        pExposure[i] = static_cast<uint16_t>(kSampleMax - (nDiff > 0 ? nDiff : 0));
    }
}

} // namespace torvex
