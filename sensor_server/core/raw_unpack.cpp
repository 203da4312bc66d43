#include "raw_unpack.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // Two groups per step, one in each 64-bit lane. With the bytes of each
    // 16-bit word swapped, sample k is word k shifted right by 2k + 2 joined
    // to word k - 1 shifted left by 14 - 2k: both shifts differ per lane, so
    // they are multiplications by one table of powers of two (high half for
    // the right shift, low half for the left). The last group is decoded
    // byte by byte so no read passes the data.
    const uint8_t* pIn = pRaw + nPos;
    uint16_t* pDst = pOut + g * kPackedGroupPixels;
    const size_t nFast = nGroups > g ? (nGroups - g - 1) & ~size_t{1} : 0;
#if defined(__SSE2__)
    const __m128i vShift =
        _mm_set_epi16(1 << 8, 1 << 10, 1 << 12, 1 << 14, 1 << 8, 1 << 10, 1 << 12, 1 << 14);
    const __m128i vMask = _mm_set1_epi16(0x3FFF);
    for (size_t i = 0; i < nFast; i += 2) {
        const uint8_t* b = pIn + i * kPackedGroupBytes;
        const __m128i v =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + 7)));
        const __m128i s = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        const __m128i r = _mm_mulhi_epu16(s, vShift);
        const __m128i l = _mm_mullo_epi16(_mm_slli_epi64(s, 16), vShift);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + i * kPackedGroupPixels),
                         _mm_and_si128(_mm_or_si128(r, l), vMask));
    }
#else
    for (size_t i = 0; i < nFast; ++i)
        Decode(pIn + i * kPackedGroupBytes, pDst + i * kPackedGroupPixels);
#endif
    g += nFast;
    nPos += nFast * kPackedGroupBytes;
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
