#include "compress_codec.h"

#include "protocol.h"

namespace torvex::sim {

void DifferenceEncode(const uint8_t* pImage, const uint8_t* pReference, size_t nSize,
                      uint8_t* pOut) {
    const uint8_t* __restrict pIn = pImage;
    const uint8_t* __restrict pRef = pReference;
    uint8_t* __restrict pTo = pOut;
    for (size_t i = 0; i < nSize; ++i)
        pTo[i] = static_cast<uint8_t>(pIn[i] - pRef[i]);
}

int DecodeExport5(uint8_t* pPixels, const uint8_t* pHeader, const uint8_t* pReference,
                  const uint8_t* pReceived, uint8_t* pPixelsAgain, int nZero, int nHeight) {
    (void)nZero;
    const unsigned nField =
        pHeader[proto::kAtImageWidth] | (pHeader[proto::kAtImageWidth + 1] << 8);
    const unsigned nDivisor = pHeader[proto::kAtWidthDivisor];
    if (nDivisor == 0 || nHeight <= 0 || pPixels != pPixelsAgain)
        return -1;
    const size_t nSize = size_t(2 * nField / nDivisor) * size_t(nHeight);
    // Three distinct buffers (the received bytes are a copy): one pass the
    // compiler can run in vector lanes.
    const uint8_t* __restrict pIn = pReceived;
    const uint8_t* __restrict pRef = pReference;
    uint8_t* __restrict pOut = pPixels;
    for (size_t i = 0; i < nSize; ++i)
        pOut[i] = static_cast<uint8_t>(pIn[i] + pRef[i]);
    return 0;
}

} // namespace torvex::sim
