#pragma once
// Uncompressed bitmap files of two kinds: 8-bit grey (type 3, 1024-byte
// palette) and 24-bit colour (type 1), rows padded to 4 bytes and kept in
// the order the file stores them (bottom row first).
#include "image_files.h"
#include "image_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

enum EImageType : int {
    kImageNone = 0,
    kImageColour = 1, // 24-bit
    kImageGrey = 3,   // 8-bit with palette
};

namespace bmp {
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kPaletteSize = 256 * 4;
constexpr size_t kColourPixelOffset = kFileHeaderSize + kInfoHeaderSize; // 54
constexpr size_t kGreyPixelOffset = kColourPixelOffset + kPaletteSize;   // 1078
// Offsets in the file (info header fields counted from the file's start).
constexpr size_t kAtFileSize = 2;
constexpr size_t kAtPixelOffset = 10;
constexpr size_t kAtInfoSize = 14;
constexpr size_t kAtWidth = 18;
constexpr size_t kAtHeight = 22;
constexpr size_t kAtPlanes = 26;
constexpr size_t kAtBitCount = 28;
constexpr size_t kAtCompression = 30;
constexpr size_t kAtColoursUsed = 46;

// Bytes of one row of nWidth pixels of nBytesPerPixel, padded to 4; 0 when
// it does not fit in 32 bits.
uint64_t RowBytes(int64_t nWidth, int nBytesPerPixel);
// The grey palette (i, i, i, 0), 1024 bytes.
void PutGreyPalette(uint8_t* pOut);
} // namespace bmp

class CImageFile {
public:
    // Parses a whole file. 0, or kBadData for anything that is not a bitmap
    // of the two kinds or whose rows do not fit in the bytes given.
    [[nodiscard]] int Parse(const uint8_t* pData, size_t nSize);
    // Reads and parses a file: 0, kBadData, or the platform code of the read.
    [[nodiscard]] int Read(IImageFiles& files, const std::string& strPath);
    // The file's bytes as written: headers, palette for grey, the rows.
    std::vector<uint8_t> Serialize() const;
    [[nodiscard]] int Write(IImageFiles& files, const std::string& strPath) const;

    // A new image of a kind and size, rows zeroed. false when the size is
    // not positive or too large.
    bool Create(EImageType nType, int nWidth, int nHeight);

    EImageType Type() const { return m_nType; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    int Channels() const { return m_nType == kImageColour ? 3 : 1; }
    size_t RowSize() const { return m_nRowSize; }
    std::vector<uint8_t>& Pixels() { return m_pixels; }
    const std::vector<uint8_t>& Pixels() const { return m_pixels; }
    SImageView View();

private:
    EImageType m_nType = kImageNone;
    int m_nWidth = 0;
    int m_nHeight = 0;
    size_t m_nRowSize = 0;
    std::vector<uint8_t> m_pixels;
};

} // namespace torvex
