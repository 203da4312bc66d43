#pragma once
// Test helpers: a strict reader of the archives the writer produces, and
// in-memory fakes of the file ports that can be told to fail.
#include "zip_io.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::ziptest {

// One entry as read back, local and central header fields side by side.
struct SReadEntry {
    // Central directory header.
    uint16_t wMadeBy = 0, wNeeded = 0, wFlags = 0, wMethod = 0, wTime = 0, wDate = 0;
    uint32_t dwCrc = 0, dwCompressed = 0, dwUncompressed = 0;
    uint16_t wComment = 0, wDisk = 0, wInternal = 0;
    uint32_t dwExternal = 0, dwOffset = 0;
    std::string strName;
    std::string strCentralExtra;
    // Local header.
    uint16_t wLocalNeeded = 0, wLocalFlags = 0, wLocalMethod = 0, wLocalTime = 0, wLocalDate = 0;
    uint32_t dwLocalCrc = 0, dwLocalCompressed = 0, dwLocalUncompressed = 0;
    std::string strLocalName;
    std::string strLocalExtra;
    // Entry data, inflated when deflated.
    std::string strData;
};

struct SReadArchive {
    bool bOk = false;
    std::string strError;
    uint16_t wDiskEntries = 0, wTotalEntries = 0;
    uint32_t dwCentralSize = 0, dwCentralOffset = 0;
    std::vector<SReadEntry> entries;
};

// Parses an archive the way a strict reader would: the end record is the last
// 22 bytes, the central directory sits right before it, entries follow one
// another without gaps from offset 0, local and central fields agree, and
// every entry's data inflates to its sizes and CRC.
SReadArchive ReadArchive(const std::string& bytes);

uint32_t Crc32(const std::string& data);
uint16_t Le16(const std::string& s, size_t at);
uint32_t Le32(const std::string& s, size_t at);

// Deterministic test data: readable log lines, or bytes that do not compress.
std::string MakeText(size_t cb, uint32_t seed = 1);
std::string MakeNoise(size_t cb, uint32_t seed = 1);

// Archive file in memory. Can refuse writes once a number of bytes have been
// accepted (the refused write may still land partly), and recover later.
class CMemoryOutput final : public zip::IZipOutput {
public:
    struct SState {
        std::string strFile;
        uint64_t qwPos = 0;
        uint64_t qwAccepted = 0;
        uint64_t qwFailAfter = UINT64_MAX; // accepted bytes before writes fail
        bool bFailSeek = false;
        bool bClosed = false;
        bool bCloseFails = false;
        std::vector<std::pair<uint64_t, std::string>> writes; // offset, bytes
    };
    explicit CMemoryOutput(std::shared_ptr<SState> pState) : m_pState(std::move(pState)) {}
    bool Write(const void* pData, size_t cbData) override;
    bool Seek(uint64_t qwOffset) override;
    bool Truncate() override;
    bool Close() override;

private:
    std::shared_ptr<SState> m_pState;
};

// Files in memory, keyed by path. A file can report other metadata than its
// content (to claim gigabytes), fail to open, or fail to read part-way.
class CMemoryFileSystem final : public zip::IZipFileSystem {
public:
    struct SFile {
        std::string strData;
        zip::SZipSourceInfo info;
        uint64_t qwReportedSize = UINT64_MAX; // UINT64_MAX: the data's size
        uint64_t qwFailReadAfter = UINT64_MAX;
        size_t cbMaxRead = SIZE_MAX; // short reads, as pipes and networks give
        bool bRefuseOpen = false;
        uint64_t qwBytesRead = 0; // handed out so far, over every opening
    };
    std::map<std::wstring, SFile> files;
    std::shared_ptr<CMemoryOutput::SState> pOutput = std::make_shared<CMemoryOutput::SState>();
    bool bRefuseCreate = false;
    zip::SCivilTime localNow{2015, 6, 1, 9, 30, 15};

    // Adds a file written at the given UTC time (seconds since 1970).
    SFile& Add(const std::wstring& path, const std::string& data, int64_t llWriteTime = 0,
               uint32_t dwAttributes = 0x20);

    std::unique_ptr<zip::IZipOutput> CreateOutput(const std::wstring& path) override;
    std::unique_ptr<zip::IZipSource> OpenSource(const std::wstring& path,
                                                zip::SZipSourceInfo* pInfo) override;
    zip::SCivilTime LocalNow() override { return localNow; }
};

} // namespace ostrel::ziptest
