#pragma once
// The image record a direct sensor's acquisition hands to the view (bitmap
// info header, grey palette, 16-bit pixels, oscillogram count and samples),
// and the files the view makes of it: "LASTACQ2.RAW", "LASTACQ2.OSC" and the
// 8-bit bitmap of the last image.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvex {

constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kPaletteSize = 256 * 4;
constexpr size_t kOscillogramSize = 1024;
constexpr size_t kRecordExtra = kInfoHeaderSize + kPaletteSize + 2 + kOscillogramSize; // 2090
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kBitmapPixelOffset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize; // 1078
constexpr uint32_t kCopyDataImage = 0xFFFFFFF6;                                         // -10

// Image geometry after the four rows the fetch removes.
constexpr uint32_t kWidthSlot0 = 1000, kHeightSlot0 = 1496;
constexpr uint32_t kWidthSlot1 = 1300, kHeightSlot1 = 1696;

constexpr size_t RecordSize(uint32_t nWidth, uint32_t nHeight) {
    return size_t{2} * nWidth * nHeight + kRecordExtra;
}

struct SImageRecord {
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0;
    uint32_t m_nEnergy = 0;             // the info header's image-size field (Nrj)
    uint32_t m_nExposure = 0;           // its important-colours field (Expo)
    const uint8_t* m_pInfo = nullptr;   // the 40-byte info header
    const uint8_t* m_pPixels = nullptr; // little-endian 16-bit values
    // Valid samples: the record's count, at most the 1024 that exist.
    std::vector<uint8_t> m_oscillogram;
};

// A record of exactly the size of one of the two geometries whose header
// names that geometry; null otherwise. The view keeps pointers into pData.
std::optional<SImageRecord> ParseImageRecord(const uint8_t* pData, size_t nSize);

// Builds a record (for the acquisition and for tests).
std::vector<uint8_t> BuildImageRecord(const uint16_t* pPixels, uint32_t nWidth, uint32_t nHeight,
                                      uint32_t nEnergy, uint32_t nExposure,
                                      const uint8_t* pOscillogram, uint16_t nCount);

// The 16-bit pixels, little-endian, nothing else.
std::vector<uint8_t> RawFileBytes(const SImageRecord& record);
// One "%d" line per valid sample, CR LF after each.
std::string OscillogramText(const SImageRecord& record);

// Level to grey: lo is the lowest level in use, or, when it holds fewer than
// 12820 pixels, the lowest higher level with more than 50; hi the highest
// level with more than 50. Below lo 0, from lo to hi a rounded ramp, from hi
// up 255; no level with more than 50 pixels maps everything to 0.
std::vector<uint8_t> GreyLookup(const uint16_t* pPixels, size_t nPixels);

// The 8-bit bitmap file of the last image.
std::vector<uint8_t> BitmapFileBytes(const SImageRecord& record);

} // namespace torvex
