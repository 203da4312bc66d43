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

typedef uint64_t V2 __attribute__((vector_size(16)));
typedef uint16_t V8U __attribute__((vector_size(16)));

// The four 16-bit words of each 64-bit lane in reverse order.
inline V8U ReverseWords(V8U v) {
#if defined(__clang__)
    return __builtin_shufflevector(v, v, 3, 2, 1, 0, 7, 6, 5, 4);
#else
    return __builtin_shuffle(v, V8U{3, 2, 1, 0, 7, 6, 5, 4});
#endif
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
    // Two groups per step, each in a 64-bit lane: bytes reversed within the
    // lane, then the four fields moved to 16-bit slots by shifts and masks.
    // The last group is decoded byte by byte so no read passes the data.
    const uint8_t* pIn = pRaw + nPos;
    uint8_t* pDst = reinterpret_cast<uint8_t*>(pOut + g * kPackedGroupPixels);
    const size_t nFast = nGroups > g ? (nGroups - g - 1) & ~size_t{1} : 0;
    const V2 vMask1 = {uint64_t{0x3FFF} << 16, uint64_t{0x3FFF} << 16};
    const V2 vMask2 = {uint64_t{0x3FFF} << 32, uint64_t{0x3FFF} << 32};
    const V2 vMask3 = {uint64_t{0x3FFF} << 48, uint64_t{0x3FFF} << 48};
    for (size_t i = 0; i < nFast; i += 2) {
        uint64_t w0 = 0, w1 = 0;
        std::memcpy(&w0, pIn + i * kPackedGroupBytes, sizeof w0);
        std::memcpy(&w1, pIn + (i + 1) * kPackedGroupBytes, sizeof w1);
        V8U h = reinterpret_cast<V8U>(V2{w0, w1});
        h = (h >> 8) | (h << 8);
        const V2 w = reinterpret_cast<V2>(ReverseWords(h));
        const V2 v = (w >> 50) | ((w >> 20) & vMask1) | ((w << 10) & vMask2) | ((w << 40) & vMask3);
        std::memcpy(pDst + i * 8, &v, sizeof v);
    }
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
