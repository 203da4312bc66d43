#pragma once
// A non-owning view of 8-bit samples: nWidth pixels of nChannels bytes per
// row, rows nStride bytes apart. Kernels work through views and own nothing.
#include <cstddef>
#include <cstdint>

namespace torvex {

struct SImageView {
    uint8_t* m_pData = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    ptrdiff_t m_nStride = 0;
    int m_nChannels = 1;

    uint8_t* Row(int y) const { return m_pData + static_cast<ptrdiff_t>(y) * m_nStride; }
};

} // namespace torvex
