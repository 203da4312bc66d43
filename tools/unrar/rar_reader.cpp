#include "rar_reader.h"

#include "rar_format.h"

#include <cstring>

namespace ostrel::rar {

namespace {

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(U16(p)) | static_cast<uint32_t>(U16(p + 2)) << 16;
}

ERarError ReadFileHeader(const uint8_t* pHeader, size_t nHeaderSize, uint16_t nFlags,
                         SRarEntry& entry) {
    if (nHeaderSize < kFileHeaderFixedSize)
        return ERarError::Truncated;
    const size_t nNameAt = (nFlags & kFileLarge) ? kAtHighSizes + 8 : kAtHighSizes;
    const size_t nNameSize = U16(pHeader + kAtNameSize);
    if (nNameAt + nNameSize > nHeaderSize)
        return ERarError::Truncated;
    if (nFlags & (kFileSplitBefore | kFileSplitAfter | kFileEncrypted | kFileSolid | kFileLarge))
        return ERarError::Unsupported;
    entry.m_bDirectory = (nFlags & kFileWindowMask) == kFileDirectory;
    if (!entry.m_bDirectory && pHeader[kAtMethod] != kMethodStore)
        return ERarError::Unsupported;
    if (!entry.m_bDirectory && U32(pHeader + kAtPackSize) != U32(pHeader + kAtUnpackSize))
        return ERarError::Unsupported;
    std::string strName(reinterpret_cast<const char*>(pHeader + nNameAt), nNameSize);
    // A Unicode name follows the plain one after a zero byte.
    if (nFlags & kFileUnicodeName)
        strName = strName.substr(0, strName.find('\0'));
    entry.m_strName = strName;
    entry.m_nAttributes = U32(pHeader + kAtAttributes);
    entry.m_nDosTime = U32(pHeader + kAtFileTime);
    return ERarError::None;
}

} // namespace

ERarError ReadRar(const uint8_t* pData, size_t nSize, std::vector<SRarEntry>& entries) {
    entries.clear();
    if (nSize < kMarkerSize || std::memcmp(pData, kMarker, kMarkerSize) != 0)
        return ERarError::NotRar;
    std::vector<SRarEntry> found;
    bool bArchiveHeader = false;
    size_t nAt = kMarkerSize;
    while (nAt < nSize) {
        if (nSize - nAt < kBaseHeaderSize)
            return ERarError::Truncated;
        const uint8_t* pHeader = pData + nAt;
        const uint8_t nType = pHeader[kAtHeadType];
        const uint16_t nFlags = U16(pHeader + kAtHeadFlags);
        const size_t nHeaderSize = U16(pHeader + kAtHeadSize);
        const size_t nMinimum = (nFlags & kFlagLongBlock) ? kBaseHeaderSize + 4 : kBaseHeaderSize;
        if (nHeaderSize < nMinimum || nHeaderSize > nSize - nAt)
            return ERarError::Truncated;
        if (HeaderCrc(pHeader, nHeaderSize) != U16(pHeader + kAtHeadCrc))
            return ERarError::HeaderCrc;
        const size_t nDataSize = (nFlags & kFlagLongBlock) ? U32(pHeader + kAtAddSize) : 0;
        if (nDataSize > nSize - nAt - nHeaderSize)
            return ERarError::Truncated;
        if (!bArchiveHeader) {
            // The archive header comes first.
            if (nType != kTypeArchive || nHeaderSize < kArchiveHeaderSize)
                return ERarError::Truncated;
            if (nFlags & (kArchiveVolume | kArchiveEncryptedHeaders | kArchiveSolid))
                return ERarError::Unsupported;
            bArchiveHeader = true;
        } else if (nType == kTypeEnd) {
            break;
        } else if (nType == kTypeFile) {
            SRarEntry entry;
            const ERarError eError = ReadFileHeader(pHeader, nHeaderSize, nFlags, entry);
            if (eError != ERarError::None)
                return eError;
            entry.m_nDataOffset = nAt + nHeaderSize;
            entry.m_nDataSize = entry.m_bDirectory ? 0 : nDataSize;
            if (!entry.m_bDirectory &&
                Crc32(pData + entry.m_nDataOffset, entry.m_nDataSize) != U32(pHeader + kAtFileCrc))
                return ERarError::DataCrc;
            found.push_back(entry);
        }
        // Other blocks (comments, service data) are passed over.
        nAt += nHeaderSize + nDataSize;
    }
    if (!bArchiveHeader)
        return ERarError::Truncated;
    entries.swap(found);
    return ERarError::None;
}

const char* RarErrorText(ERarError eError) {
    switch (eError) {
    case ERarError::None:
        return "ok";
    case ERarError::NotRar:
        return "not a RAR archive";
    case ERarError::Truncated:
        return "archive is cut or damaged";
    case ERarError::HeaderCrc:
        return "header CRC error";
    case ERarError::Unsupported:
        return "unsupported entry (only stored, unencrypted, single-volume)";
    case ERarError::DataCrc:
        return "file CRC error";
    }
    return "?";
}

std::string PlainEntryName(const std::string& strStored) {
    const size_t nSlash = strStored.find_last_of("\\/");
    const std::string strName =
        nSlash == std::string::npos ? strStored : strStored.substr(nSlash + 1);
    if (strName.empty() || strName == "." || strName == "..")
        return std::string();
    for (char c : strName) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"|?*", c) != nullptr)
            return std::string();
    }
    return strName;
}

} // namespace ostrel::rar
