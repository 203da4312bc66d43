#include "image_file.h"

#include "byte_reader.h"
#include "status_codes.h"

#include <cstring>
#include <limits>

namespace torvex {

namespace bmp {

uint64_t RowBytes(int64_t nWidth, int nBytesPerPixel) {
    if (nWidth <= 0 || nBytesPerPixel <= 0)
        return 0;
    const uint64_t n = (static_cast<uint64_t>(nWidth) * nBytesPerPixel + 3) / 4 * 4;
    return n > std::numeric_limits<uint32_t>::max() ? 0 : n;
}

void PutGreyPalette(uint8_t* pOut) {
    for (int i = 0; i < 256; ++i) {
        pOut[4 * i] = pOut[4 * i + 1] = pOut[4 * i + 2] = static_cast<uint8_t>(i);
        pOut[4 * i + 3] = 0;
    }
}

} // namespace bmp

namespace {

void PutU16(uint8_t* p, uint16_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
}

// Largest pixel block accepted: the product's images are a few megabytes;
// anything past this is a lying header, not an image.
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

} // namespace

bool CImageFile::Create(EImageType nType, int nWidth, int nHeight) {
    if (nType != kImageColour && nType != kImageGrey)
        return false;
    const uint64_t nRow = bmp::RowBytes(nWidth, nType == kImageColour ? 3 : 1);
    if (nRow == 0 || nHeight <= 0 || nRow * static_cast<uint64_t>(nHeight) > kMaxPixelBytes)
        return false;
    m_nType = nType;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nRowSize = static_cast<size_t>(nRow);
    m_pixels.assign(m_nRowSize * static_cast<size_t>(nHeight), 0);
    return true;
}

int CImageFile::Parse(const uint8_t* pData, size_t nSize) {
    m_nType = kImageNone;
    m_pixels.clear();
    CByteReader reader(pData, nSize);
    if (nSize < bmp::kColourPixelOffset || pData[0] != 'B' || pData[1] != 'M')
        return kBadData;
    const int32_t nWidth = static_cast<int32_t>(reader.U32Le(bmp::kAtWidth));
    const int32_t nHeight = static_cast<int32_t>(reader.U32Le(bmp::kAtHeight));
    const uint16_t nBits = reader.U16Le(bmp::kAtBitCount);
    const uint32_t nCompression = reader.U32Le(bmp::kAtCompression);
    const uint32_t nColours = reader.U32Le(bmp::kAtColoursUsed);
    if (!reader.Ok())
        return kBadData;
    EImageType nType;
    size_t nOffset;
    if (nBits == 8) {
        nType = kImageGrey; // the palette is skipped whatever the header says
        nOffset = bmp::kGreyPixelOffset;
    } else if (nBits == 24 && nColours == 0) {
        nType = kImageColour;
        nOffset = bmp::kColourPixelOffset;
    } else {
        return kBadData;
    }
    // Compressed rows are not rows: reading them as such gives noise.
    if (nCompression != 0)
        return kBadData;
    if (nWidth <= 0 || nHeight <= 0)
        return kBadData;
    const uint64_t nRow = bmp::RowBytes(nWidth, nType == kImageColour ? 3 : 1);
    const uint64_t nPixels = nRow * static_cast<uint64_t>(nHeight);
    if (nRow == 0 || nPixels > kMaxPixelBytes || nOffset > nSize || nPixels > nSize - nOffset)
        return kBadData;
    m_nType = nType;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nRowSize = static_cast<size_t>(nRow);
    m_pixels.assign(pData + nOffset, pData + nOffset + static_cast<size_t>(nPixels));
    return kOk;
}

int CImageFile::Read(IImageFiles& files, const std::string& strPath) {
    std::vector<uint8_t> bytes;
    const int nCode = files.ReadAll(strPath, bytes);
    if (nCode != kOk)
        return nCode;
    return Parse(bytes.data(), bytes.size());
}

std::vector<uint8_t> CImageFile::Serialize() const {
    const bool bGrey = m_nType == kImageGrey;
    const size_t nOffset = bGrey ? bmp::kGreyPixelOffset : bmp::kColourPixelOffset;
    std::vector<uint8_t> out(nOffset + m_pixels.size(), 0);
    out[0] = 'B';
    out[1] = 'M';
    PutU32Le(&out[bmp::kAtFileSize], static_cast<uint32_t>(out.size()));
    PutU32Le(&out[bmp::kAtPixelOffset], static_cast<uint32_t>(nOffset));
    PutU32Le(&out[bmp::kAtInfoSize], static_cast<uint32_t>(bmp::kInfoHeaderSize));
    PutU32Le(&out[bmp::kAtWidth], static_cast<uint32_t>(m_nWidth));
    PutU32Le(&out[bmp::kAtHeight], static_cast<uint32_t>(m_nHeight));
    PutU16(&out[bmp::kAtPlanes], 1);
    PutU16(&out[bmp::kAtBitCount], bGrey ? 8 : 24);
    if (bGrey)
        bmp::PutGreyPalette(&out[bmp::kColourPixelOffset]);
    if (!m_pixels.empty())
        std::memcpy(&out[nOffset], m_pixels.data(), m_pixels.size());
    return out;
}

int CImageFile::Write(IImageFiles& files, const std::string& strPath) const {
    if (m_nType == kImageNone)
        return kBadData;
    const std::vector<uint8_t> bytes = Serialize();
    return files.WriteAll(strPath, bytes.data(), bytes.size());
}

SImageView CImageFile::View() {
    SImageView view;
    view.m_pData = m_pixels.data();
    view.m_nWidth = m_nWidth;
    view.m_nHeight = m_nHeight;
    view.m_nStride = static_cast<ptrdiff_t>(m_nRowSize);
    view.m_nChannels = Channels();
    return view;
}

} // namespace torvex
