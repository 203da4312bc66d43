#include "compress_codec.h"

#include "protocol.h"

namespace torvex::sim {

void DifferenceEncode(const uint8_t* pImage, const uint8_t* pReference, size_t nSize,
                      uint8_t* pOut) {
    for (size_t i = 0; i < nSize; ++i)
        pOut[i] = static_cast<uint8_t>(pImage[i] - pReference[i]);
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
    for (size_t i = 0; i < nSize; ++i)
        pPixels[i] = static_cast<uint8_t>(pReceived[i] + pReference[i]);
    return 0;
}

} // namespace torvex::sim
