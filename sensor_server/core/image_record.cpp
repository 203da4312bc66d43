#include "image_record.h"

#include "byte_reader.h"
#include "level_histogram.h"

#include <algorithm>
#include <cstring>

namespace torvex {

namespace {

constexpr size_t kLevels = 16384;
constexpr uint32_t kLowFloor = 12820;
constexpr uint32_t kCountFloor = 50;
constexpr int32_t kResolution = 50000;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool KnownGeometry(uint32_t w, uint32_t h) {
    return (w == kWidthSlot0 && h == kHeightSlot0) || (w == kWidthSlot1 && h == kHeightSlot1);
}

} // namespace

std::optional<SImageRecord> ParseImageRecord(const uint8_t* pData, size_t nSize) {
    if (!pData || nSize < kRecordExtra)
        return std::nullopt;
    CByteReader reader(pData, nSize);
    SImageRecord record;
    record.m_nWidth = reader.U32Le(4);
    record.m_nHeight = reader.U32Le(8);
    if (!KnownGeometry(record.m_nWidth, record.m_nHeight) ||
        nSize != RecordSize(record.m_nWidth, record.m_nHeight))
        return std::nullopt;
    record.m_nEnergy = reader.U32Le(20);
    record.m_nExposure = reader.U32Le(36);
    record.m_pInfo = pData;
    record.m_pPixels = pData + kInfoHeaderSize + kPaletteSize;
    const size_t nAfter =
        kInfoHeaderSize + kPaletteSize + 2 * size_t{record.m_nWidth} * record.m_nHeight;
    const size_t nCount = std::min<size_t>(reader.U16Le(nAfter), kOscillogramSize);
    record.m_oscillogram.assign(pData + nAfter + 2, pData + nAfter + 2 + nCount);
    return record;
}

std::vector<uint8_t> BuildImageRecord(const uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight,
                                      uint32_t nEnergy, uint32_t nExposure,
                                      const uint8_t* pOscillogram, uint16_t nCount) {
    std::vector<uint8_t> record(RecordSize(nWidth, nHeight), 0);
    uint8_t* p = record.data();
    PutU32Le(p + 0, kInfoHeaderSize);
    PutU32Le(p + 4, nWidth);
    PutU32Le(p + 8, nHeight);
    PutU16(p + 12, 1);
    PutU16(p + 14, 8);
    PutU32Le(p + 20, nEnergy);
    PutU32Le(p + 24, kResolution);
    PutU32Le(p + 28, kResolution);
    PutU32Le(p + 32, 256);
    PutU32Le(p + 36, nExposure);
    for (int i = 0; i < 256; ++i)
        for (int k = 0; k < 3; ++k)
            p[kInfoHeaderSize + 4 * i + k] = static_cast<uint8_t>(i);
    uint8_t* pPix = p + kInfoHeaderSize + kPaletteSize;
    const size_t nPixels = size_t{nWidth} * nHeight;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(pPix, pPixels, 2 * nPixels); // already the record's byte order
#else
    for (size_t i = 0; i < nPixels; ++i)
        PutU16(pPix + 2 * i, pPixels[i]);
#endif
    PutU16(pPix + 2 * nPixels, nCount);
    if (pOscillogram)
        std::copy(pOscillogram, pOscillogram + kOscillogramSize, pPix + 2 * nPixels + 2);
    return record;
}

std::vector<uint8_t> RawFileBytes(const SImageRecord& record) {
    return std::vector<uint8_t>(record.m_pPixels,
                                record.m_pPixels + 2 * size_t{record.m_nWidth} * record.m_nHeight);
}

std::string OscillogramText(const SImageRecord& record) {
    std::string text;
    for (uint8_t s : record.m_oscillogram)
        text += std::to_string(s) + "\r\n";
    return text;
}

namespace {

std::vector<uint8_t> LookupOf(const std::vector<uint32_t>& histogram) {
    size_t nLo = 0;
    while (nLo < kLevels && histogram[nLo] == 0)
        ++nLo;
    if (nLo == kLevels) {
        nLo = 0;
    } else if (histogram[nLo] < kLowFloor) {
        size_t v = nLo + 1;
        while (v < kLevels && histogram[v] <= kCountFloor)
            ++v;
        nLo = v == kLevels ? 0 : v;
    }
    size_t nHi = kLevels;
    while (nHi > 0 && histogram[nHi - 1] <= kCountFloor)
        --nHi;
    std::vector<uint8_t> lut(kLevels, 0);
    if (nHi == 0)
        return lut; // no level with more than 50 pixels
    nHi -= 1;
    for (size_t v = nLo; v < nHi; ++v) {
        const size_t nSpan = nHi - nLo;
        lut[v] = static_cast<uint8_t>(((v - nLo) * 255 * 2 + nSpan) / (2 * nSpan));
    }
    for (size_t v = nHi; v < kLevels; ++v)
        lut[v] = 255;
    return lut;
}

// Pixel i of the record's little-endian 16-bit values.
inline uint16_t RecordPixel(const uint8_t* p, size_t i) {
    return static_cast<uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
}

} // namespace

std::vector<uint8_t> GreyLookup(const uint16_t* pPixels, size_t nPixels) {
    return LookupOf(LevelHistogram(nPixels, [pPixels](size_t i) { return pPixels[i]; }));
}

std::vector<uint8_t> BitmapFileBytes(const SImageRecord& record) {
    const size_t nPixels = size_t{record.m_nWidth} * record.m_nHeight;
    std::vector<uint8_t> file(kBitmapPixelOffset + nPixels, 0);
    uint8_t* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    PutU32Le(p + 2, static_cast<uint32_t>(file.size()));
    PutU32Le(p + 10, kBitmapPixelOffset);
    std::copy(record.m_pInfo, record.m_pInfo + kInfoHeaderSize + kPaletteSize, p + kFileHeaderSize);
    PutU16(p + kFileHeaderSize + 14, 8);   // bit count
    PutU32Le(p + kFileHeaderSize + 20, 0); // image size
    PutU32Le(p + kFileHeaderSize + 36, 0); // important colours
    const uint8_t* pPix = record.m_pPixels;
    const std::vector<uint8_t> lut =
        LookupOf(LevelHistogram(nPixels, [pPix](size_t i) { return RecordPixel(pPix, i); }));
    uint8_t* pOut = p + kBitmapPixelOffset;
    for (size_t i = 0; i < nPixels; ++i)
        pOut[i] = lut[RecordPixel(pPix, i) & (kLevels - 1)];
    return file;
}

} // namespace torvex
