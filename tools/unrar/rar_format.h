#pragma once
// The block layout of RAR 4.x archives, as far as stored entries need it:
// the marker block, the archive header, file headers and the end block.
// Every block starts with crc (2), type (1), flags (2), size (2); a block
// whose flags carry kFlagLongBlock has 4 more header bytes giving the size
// of the data that follows the header. Numbers are little-endian.
#include <cstddef>
#include <cstdint>

namespace ostrel::rar {

constexpr uint8_t kMarker[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}; // "Rar!" 1A 07 00
constexpr size_t kMarkerSize = sizeof kMarker;

constexpr size_t kAtHeadCrc = 0;
constexpr size_t kAtHeadType = 2;
constexpr size_t kAtHeadFlags = 3;
constexpr size_t kAtHeadSize = 5;
constexpr size_t kBaseHeaderSize = 2 + 1 + 2 + 2;
constexpr size_t kAtAddSize = kBaseHeaderSize; // long blocks only

constexpr uint8_t kTypeArchive = 0x73;
constexpr uint8_t kTypeFile = 0x74;
constexpr uint8_t kTypeEnd = 0x7B;

constexpr uint16_t kFlagLongBlock = 0x8000;

// Archive header: base header and two reserved fields (2 + 4).
constexpr size_t kArchiveHeaderSize = kBaseHeaderSize + 2 + 4;
constexpr uint16_t kArchiveVolume = 0x0001;
constexpr uint16_t kArchiveSolid = 0x0008;
constexpr uint16_t kArchiveEncryptedHeaders = 0x0080;

// File header fields after the base header.
constexpr size_t kAtPackSize = 7;
constexpr size_t kAtUnpackSize = 11;
constexpr size_t kAtHostOs = 15;
constexpr size_t kAtFileCrc = 16;
constexpr size_t kAtFileTime = 20; // DOS date and time
constexpr size_t kAtUnpackVersion = 24;
constexpr size_t kAtMethod = 25;
constexpr size_t kAtNameSize = 26;
constexpr size_t kAtAttributes = 28;
constexpr size_t kFileHeaderFixedSize = 32;           // the name (or the 64-bit sizes) follows
constexpr size_t kAtHighSizes = kFileHeaderFixedSize; // with kFileLarge: high pack, high unpack

constexpr uint16_t kFileSplitBefore = 0x0001;
constexpr uint16_t kFileSplitAfter = 0x0002;
constexpr uint16_t kFileEncrypted = 0x0004;
constexpr uint16_t kFileSolid = 0x0010;
constexpr uint16_t kFileWindowMask = 0x00E0;
constexpr uint16_t kFileDirectory = 0x00E0; // all window bits set
constexpr uint16_t kFileLarge = 0x0100;
constexpr uint16_t kFileUnicodeName = 0x0200;

constexpr uint8_t kMethodStore = 0x30;
constexpr uint8_t kHostWin32 = 2;
constexpr uint8_t kUnpackVersionStore = 20;

// End block: a base header with flags 0x4000.
constexpr uint16_t kEndFlags = 0x4000;

// CRC-32 as ZIP and RAR use it (zlib's), continued from nCrc.
uint32_t Crc32(const uint8_t* pData, size_t nSize, uint32_t nCrc = 0);

// A header's check value: the low 16 bits of the CRC-32 of its bytes from
// the type on.
inline uint16_t HeaderCrc(const uint8_t* pHeader, size_t nHeaderSize) {
    return static_cast<uint16_t>(Crc32(pHeader + kAtHeadType, nHeaderSize - kAtHeadType));
}

} // namespace ostrel::rar
