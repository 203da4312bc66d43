#pragma once
// The stand-in compression of mode-2 wireless images, shared by the wireless
// simulator (which encodes) and the stand-in "compress.dll" (which decodes).
//
// Difference coding against the reference image: every byte sent is
// (pixel - reference pixel) mod 256, in the same order as the pixels; decoding
// adds the reference back. The image is width x height bytes, width being
// twice the 16-bit value at offset 10 of the 50-byte image header divided by
// the byte at offset 16 (as the server reads it in mode 2).
#include <cstddef>
#include <cstdint>

namespace torvex::sim {

void DifferenceEncode(const uint8_t* pImage, const uint8_t* pReference, size_t nSize,
                      uint8_t* pOut);

// Export 5 of the stand-in library: (pixel buffer, image header, reference,
// received bytes, pixel buffer again, 0, height); decodes into the pixel
// buffer. 0, or -1 for a header it cannot size.
int DecodeExport5(uint8_t* pPixels, const uint8_t* pHeader, const uint8_t* pReference,
                  const uint8_t* pReceived, uint8_t* pPixelsAgain, int nZero, int nHeight);

} // namespace torvex::sim
