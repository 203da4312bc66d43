// Stand-in "compress.dll": export 5 (by ordinal only) decodes the simulator's
// difference coding (sim/compress_codec.h). The real library is an outside
// file; this one exists for the tests.
#include "compress_codec.h"

#include <cstdint>

extern "C" int DecodeImage(void* pPixels, void* pHeader, void* pReference, void* pReceived,
                           void* pPixelsAgain, int nZero, int nHeight) {
    if (!pPixels || !pHeader || !pReference || !pReceived)
        return -1;
    return torvex::sim::DecodeExport5(
        static_cast<uint8_t*>(pPixels), static_cast<const uint8_t*>(pHeader),
        static_cast<const uint8_t*>(pReference), static_cast<const uint8_t*>(pReceived),
        static_cast<uint8_t*>(pPixelsAgain), nZero, nHeight);
}
