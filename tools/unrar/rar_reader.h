#pragma once
// Reads a RAR 4.x archive held in memory: its stored (uncompressed) entries,
// every header CRC and every entry's CRC-32 checked. Anything else (other
// methods, encryption, volumes, a cut archive) is refused as a whole, so
// that a caller extracts all of an archive or nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::rar {

struct SRarEntry {
    std::string m_strName; // as stored, folders separated by "\"
    bool m_bDirectory = false;
    uint32_t m_nAttributes = 0;
    uint32_t m_nDosTime = 0;
    size_t m_nDataOffset = 0; // of the entry's bytes within the archive
    size_t m_nDataSize = 0;
};

enum class ERarError {
    None,
    NotRar,      // no marker block
    Truncated,   // a block runs past the end, or the archive header is missing
    HeaderCrc,   // a header's check value differs
    Unsupported, // encrypted, split, solid, large or compressed entries; volumes
    DataCrc,     // an entry's bytes differ from its CRC-32
};

// The entries in archive order; on an error, entries is empty.
ERarError ReadRar(const uint8_t* pData, size_t nSize, std::vector<SRarEntry>& entries);

const char* RarErrorText(ERarError eError);

// The file name an entry extracts to without its folders; empty when the
// name cannot be a file name here (empty, ".", "..", a drive, wildcards,
// control characters).
std::string PlainEntryName(const std::string& strStored);

} // namespace ostrel::rar
