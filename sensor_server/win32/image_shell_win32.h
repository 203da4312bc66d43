#pragma once
// ReadImage's platform side: the hand-icon beep, the preview drawn on the
// desktop's surface, and "compress.dll" bound by export number 5 for one
// decoding at a time.
#include "image_shell.h"

namespace torvex {

class CWin32ImageShell final : public IImageShell {
public:
    void ErrorBeep() override;
    void DrawPreview(const SPreview& at, const uint8_t* pInfo, const uint8_t* pPixels, int nWidth,
                     int nRows, size_t nStride) override;
    void EndPreview(const SPreview& at, int nWidth, int nHeight) override;
    bool Decompress(uint8_t* pPixels, const uint8_t* pImageHeader, const uint8_t* pReference,
                    const uint8_t* pReceived, int nHeight) override;
};

} // namespace torvex
