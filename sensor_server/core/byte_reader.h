#pragma once
// Bounds-checked reading of device bytes: a read past the end gives 0 and
// clears the sticky ok flag, which the caller checks once per message.
#include <cstddef>
#include <cstdint>

namespace torvex {

class CByteReader {
public:
    CByteReader(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}

    bool Ok() const { return m_bOk; }

    uint8_t U8(size_t nOffset) {
        if (nOffset >= m_nSize) {
            m_bOk = false;
            return 0;
        }
        return m_pData[nOffset];
    }
    uint16_t U16Le(size_t nOffset) {
        return static_cast<uint16_t>(U8(nOffset) | (U8(nOffset + 1) << 8));
    }
    uint16_t U16Be(size_t nOffset) {
        return static_cast<uint16_t>((U8(nOffset) << 8) | U8(nOffset + 1));
    }
    uint32_t U32Le(size_t nOffset) {
        return static_cast<uint32_t>(U16Le(nOffset)) |
               (static_cast<uint32_t>(U16Le(nOffset + 2)) << 16);
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    bool m_bOk = true;
};

inline void PutU32Le(uint8_t* pOut, uint32_t nValue) {
    for (int i = 0; i < 4; ++i)
        pOut[i] = static_cast<uint8_t>(nValue >> (8 * i));
}

} // namespace torvex
