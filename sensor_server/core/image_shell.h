#pragma once
// What ReadImage asks of the platform besides the link: the error beep, the
// preview on the screen, and the outside decoder of compressed images.
#include <cstddef>
#include <cstdint>

namespace torvex {

struct SPreview {
    int m_nX = 0, m_nY = 0; // the preview's top centre on the screen
};

class IImageShell {
public:
    virtual ~IImageShell() = default;
    // The error beep (the hand icon's sound).
    virtual void ErrorBeep() = 0;
    // Draws nRows rows of 8-bit pixels (nStride bytes apart, bottom row
    // first as a bitmap keeps them) through pInfo (40-byte info header and
    // grey palette), 100 pixels wide, left edge at x - 50, top at y.
    virtual void DrawPreview(const SPreview& at, const uint8_t* pInfo, const uint8_t* pPixels,
                             int nWidth, int nRows, size_t nStride) = 0;
    // Asks the system to repaint the screen area the preview covered.
    virtual void EndPreview(const SPreview& at, int nWidth, int nHeight) = 0;
    // Decodes a compressed image in place with "compress.dll" export 5:
    // pPixels receives nWidth x nHeight decoded bytes. false when the
    // library or its export is missing (nothing is changed then).
    virtual bool Decompress(uint8_t* pPixels, const uint8_t* pImageHeader,
                            const uint8_t* pReference, const uint8_t* pReceived, int nHeight) = 0;
};

} // namespace torvex
