#include "zip_writer.h"

#include "guard.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace ostrel {

using namespace zip;

namespace {

constexpr size_t kBlockSize = 16 * 1024;
constexpr int kDeflateLevel = 8;
constexpr int kRawDeflateWindow = -15; // negative: no zlib or gzip wrapper
constexpr int kDeflateMemLevel = 8;
// Central headers are gathered into writes of about this size.
constexpr size_t kCentralBatch = 64 * 1024;

uint32_t Low32(int64_t llSeconds) {
    return static_cast<uint32_t>(static_cast<uint64_t>(llSeconds));
}

} // namespace

// One compressor for the writer's lifetime, reset per entry: initialising zlib
// for each of thousands of small files would cost more than compressing them.
struct CZipWriter::SDeflater {
    z_stream m_zs{};
    bool m_bReady = false;

    ~SDeflater() {
        if (m_bReady)
            deflateEnd(&m_zs);
    }
    bool Begin() {
        if (m_bReady)
            return deflateReset(&m_zs) == Z_OK;
        m_bReady = deflateInit2(&m_zs, kDeflateLevel, Z_DEFLATED, kRawDeflateWindow,
                                kDeflateMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
        return m_bReady;
    }
};

CZipWriter::CZipWriter(IZipFileSystem& fs, std::unique_ptr<IZipOutput> pOutput,
                       uint64_t qwArchiveLimit)
    : m_fs(fs), m_pOutput(std::move(pOutput)), m_qwArchiveLimit(qwArchiveLimit),
      m_pInBlock(new uint8_t[kBlockSize]), m_pOutBlock(new uint8_t[kBlockSize]),
      m_pDeflater(new SDeflater) {}

CZipWriter::~CZipWriter() {
    if (m_pOutput)
        m_pOutput->Close();
}

bool CZipWriter::Fits(uint64_t qwEntryBytes, size_t cbName) const {
    return m_qwOffset + qwEntryBytes + m_qwCentralSize + CentralEntrySize(cbName) +
               kEndRecordSize <=
           m_qwArchiveLimit;
}

// After a failed entry the output position is unknown; the next entry (or the
// central directory) starts again at the end of the last complete one.
bool CZipWriter::Rewind() {
    if (!m_bRewind)
        return true;
    if (!m_pOutput->Seek(m_qwOffset))
        return false;
    m_bRewind = false;
    return true;
}

int CZipWriter::AddFile(const wchar_t* pszName, const wchar_t* pszSourcePath) {
    if (!pszName || !*pszName || !pszSourcePath || !*pszSourcePath)
        return kZipBadArgument;
    if (!m_pOutput)
        return kZipWriteFailed;
    SEntryFields entry;
    entry.strName = EncodeEntryName(pszName, false);
    if (entry.strName.size() > kMaxNameBytes)
        return kZipBadArgument;
    if (m_entries.size() >= kMaxEntries)
        return kZipWriteFailed;
    const bool bStored = IsStoredName(entry.strName);

    SZipSourceInfo info;
    std::unique_ptr<IZipSource> pSource = m_fs.OpenSource(pszSourcePath, &info);
    if (!pSource)
        return kZipCannotOpen;
    if (info.qwSize > kMaxEntrySize)
        return kZipWriteFailed;
    const uint64_t qwOverhead = LocalEntryOverhead(entry.strName.size());
    // Deflated data is checked as it grows; stored data is known to fit or not.
    if (!Fits(qwOverhead + (bStored ? info.qwSize : 0), entry.strName.size()))
        return kZipWriteFailed;

    entry.wMethod = bStored ? kMethodStored : kMethodDeflated;
    entry.wFlags = bStored ? 0 : kFlagMaxCompression;
    // UTC on purpose: the archive shows when the file changed, wherever it is read.
    entry.dosTime = DosTimeFromCivil(CivilFromUnix(info.llWriteTime));
    entry.dwModifyTime = Low32(info.llWriteTime);
    entry.dwAccessTime = Low32(info.llAccessTime);
    entry.dwCreateTime = Low32(info.llCreateTime);
    entry.dwExternalAttributes = info.dwAttributes; // Windows bits; WriteEntry adds the mode
    return WriteEntry(entry, pSource.get(), info.qwSize);
}

int CZipWriter::AddFolder(const wchar_t* pszName) {
    if (!pszName || !*pszName)
        return kZipBadArgument;
    if (!m_pOutput)
        return kZipWriteFailed;
    SEntryFields entry;
    entry.strName = EncodeEntryName(pszName, true);
    if (entry.strName.size() > kMaxNameBytes)
        return kZipBadArgument;
    if (m_entries.size() >= kMaxEntries)
        return kZipWriteFailed;
    if (!Fits(LocalEntryOverhead(entry.strName.size()), entry.strName.size()))
        return kZipWriteFailed;

    // Folders carry the local clock, and the same reading as if it were UTC.
    const SCivilTime now = m_fs.LocalNow();
    entry.dosTime = DosTimeFromCivil(now);
    entry.dwModifyTime = entry.dwAccessTime = entry.dwCreateTime = Low32(UnixFromCivil(now));
    entry.dwExternalAttributes = kFolderExternalAttributes;
    return WriteEntry(entry, nullptr, 0);
}

int CZipWriter::WriteEntry(SEntryFields& entry, IZipSource* pSource, uint64_t qwExpected) {
    if (!Rewind())
        return kZipWriteFailed;
    entry.dwLocalHeaderOffset = static_cast<uint32_t>(m_qwOffset);
    // Until the entry is complete, a failure anywhere leaves the position unknown.
    m_bRewind = true;
    std::string header;
    if (!pSource) {
        // A folder has no data, so its header is final at once.
        AppendLocalHeader(header, entry);
        if (!m_pOutput->Write(header.data(), header.size()))
            return kZipWriteFailed;
        return Commit(entry, m_qwOffset + header.size());
    }

    // Provisional header: the data descriptor bit says the sizes and CRC are
    // not known yet, in case the writer never gets to rewrite it.
    SEntryFields provisional = entry;
    provisional.wFlags |= kFlagDataDescriptor;
    provisional.dwUncompressedSize = static_cast<uint32_t>(qwExpected);
    provisional.dwCompressedSize =
        entry.wMethod == kMethodStored ? static_cast<uint32_t>(qwExpected) : 0;
    AppendLocalHeader(header, provisional);
    if (!m_pOutput->Write(header.data(), header.size()))
        return kZipWriteFailed;

    uint64_t qwWritten = 0;
    bool bExecutable = false;
    const int nResult = CopyData(entry, *pSource, &qwWritten, &bExecutable);
    if (nResult != kZipOk)
        return nResult;
    entry.dwExternalAttributes = FileExternalAttributes(entry.dwExternalAttributes, bExecutable);

    const uint64_t qwEnd = m_qwOffset + header.size() + qwWritten;
    header.clear();
    AppendLocalHeader(header, entry);
    if (!m_pOutput->Seek(m_qwOffset) || !m_pOutput->Write(header.data(), header.size()) ||
        !m_pOutput->Seek(qwEnd))
        return kZipWriteFailed;
    return Commit(entry, qwEnd);
}

int CZipWriter::Commit(SEntryFields& entry, uint64_t qwEnd) {
    const size_t cbCentral = CentralEntrySize(entry.strName.size());
    m_entries.push_back(std::move(entry));
    m_qwOffset = qwEnd;
    m_qwCentralSize += cbCentral;
    m_bRewind = false;
    return kZipOk;
}

// Streams the source into the output and fills in the CRC and both sizes.
int CZipWriter::CopyData(SEntryFields& entry, IZipSource& source, uint64_t* pqwWritten,
                         bool* pbExecutable) {
    const bool bDeflate = entry.wMethod == kMethodDeflated;
    const uint64_t qwOverhead = LocalEntryOverhead(entry.strName.size());
    z_stream* zs = nullptr;
    if (bDeflate) {
        if (!m_pDeflater->Begin())
            return kZipWriteFailed;
        zs = &m_pDeflater->m_zs;
    }
    CExecutableSniffer sniffer;
    uLong crc = crc32(0, nullptr, 0);
    uint64_t qwRead = 0;
    uint64_t qwWritten = 0;
    auto emit = [&](const uint8_t* p, size_t cb) {
        qwWritten += cb;
        if (qwWritten > kMaxEntrySize || !Fits(qwOverhead + qwWritten, entry.strName.size()))
            return false;
        return m_pOutput->Write(p, cb);
    };

    for (;;) {
        size_t cbRead = 0;
        if (!source.Read(m_pInBlock.get(), kBlockSize, &cbRead))
            return kZipCannotOpen;
        qwRead += cbRead;
        if (qwRead > kMaxEntrySize)
            return kZipWriteFailed;
        if (cbRead) {
            crc = crc32(crc, m_pInBlock.get(), static_cast<uInt>(cbRead));
            sniffer.Feed(m_pInBlock.get(), cbRead);
        }
        if (!bDeflate) {
            if (!cbRead)
                break;
            if (!emit(m_pInBlock.get(), cbRead))
                return kZipWriteFailed;
            continue;
        }
        const int flush = cbRead ? Z_NO_FLUSH : Z_FINISH;
        zs->next_in = m_pInBlock.get();
        zs->avail_in = static_cast<uInt>(cbRead);
        int rc;
        do {
            zs->next_out = m_pOutBlock.get();
            zs->avail_out = static_cast<uInt>(kBlockSize);
            rc = deflate(zs, flush);
            if (rc == Z_STREAM_ERROR)
                return kZipWriteFailed;
            const size_t cbOut = kBlockSize - zs->avail_out;
            if (cbOut && !emit(m_pOutBlock.get(), cbOut))
                return kZipWriteFailed;
        } while (zs->avail_out == 0);
        if (flush == Z_FINISH) {
            if (rc != Z_STREAM_END)
                return kZipWriteFailed;
            break;
        }
    }
    entry.dwCrc = static_cast<uint32_t>(crc);
    entry.dwUncompressedSize = static_cast<uint32_t>(qwRead);
    entry.dwCompressedSize = static_cast<uint32_t>(qwWritten);
    *pbExecutable = sniffer.IsExecutable();
    *pqwWritten = qwWritten;
    return kZipOk;
}

int CZipWriter::Close() {
    if (!m_pOutput)
        return kZipWriteFailed;
    bool bOk = Rewind();
    const uint64_t qwCentralOffset = m_qwOffset;
    std::string batch;
    for (const SEntryFields& entry : m_entries) {
        if (!bOk)
            break;
        AppendCentralHeader(batch, entry);
        if (batch.size() >= kCentralBatch) {
            bOk = m_pOutput->Write(batch.data(), batch.size());
            batch.clear();
        }
    }
    if (bOk) {
        AppendEndRecord(batch, static_cast<uint16_t>(m_entries.size()),
                        static_cast<uint32_t>(m_qwCentralSize),
                        static_cast<uint32_t>(qwCentralOffset));
        bOk = m_pOutput->Write(batch.data(), batch.size()) && m_pOutput->Truncate();
    }
    const bool bClosed = m_pOutput->Close();
    m_pOutput.reset();
    m_entries.clear();
    m_entries.shrink_to_fit();
    return bOk && bClosed ? kZipOk : kZipWriteFailed;
}

int g_nZipLastResult = kZipOk;

HZIP ZipWriterCreateOn(IZipFileSystem& fs, const wchar_t* pszPath) {
    HZIP hZip = GuardCall("ZipWriterCreate", HZIP(nullptr), [&]() -> HZIP {
        std::unique_ptr<IZipOutput> pOutput;
        if (pszPath && *pszPath)
            pOutput = fs.CreateOutput(pszPath);
        return pOutput ? new CZipWriter(fs, std::move(pOutput)) : nullptr;
    });
    g_nZipLastResult = hZip ? kZipOk : kZipCannotOpen;
    return hZip;
}

HZIP ZipWriterCreate(const wchar_t* pszPath) {
    return ZipWriterCreateOn(PlatformFileSystem(), pszPath);
}

// Out of memory is the only exception the writer can meet; it must not reach
// the dialog code that calls these, so it becomes a failed entry.
int ZipWriterAddFile(HZIP hZip, const wchar_t* pszName, const wchar_t* pszSourcePath) {
    return g_nZipLastResult = GuardCall("ZipWriterAddFile", int(kZipWriteFailed), [&] {
               return hZip ? hZip->AddFile(pszName, pszSourcePath) : kZipBadArgument;
           });
}

int ZipWriterAddFolder(HZIP hZip, const wchar_t* pszName) {
    return g_nZipLastResult = GuardCall("ZipWriterAddFolder", int(kZipWriteFailed), [&] {
               return hZip ? hZip->AddFolder(pszName) : kZipBadArgument;
           });
}

int ZipWriterClose(HZIP hZip) {
    if (!hZip)
        return g_nZipLastResult = kZipBadArgument;
    g_nZipLastResult =
        GuardCall("ZipWriterClose", int(kZipWriteFailed), [&] { return hZip->Close(); });
    delete hZip;
    return g_nZipLastResult;
}

} // namespace ostrel
