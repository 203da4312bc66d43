#include "zip_writer.h"

#include "deflate_pool.h"
#include "guard.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace ostrel {

using namespace zip;

namespace {

// Sources are read, and the archive written, in blocks of this size.
constexpr size_t kBlockSize = 16 * 1024;
// Central headers are gathered into writes of about this size.
constexpr size_t kCentralBatch = 64 * 1024;

uint32_t Low32(int64_t llSeconds) {
    return static_cast<uint32_t>(static_cast<uint64_t>(llSeconds));
}

// Chunks in memory at once: one being read, one read but not yet known to be
// the last, and two per worker (one compressing, one queued behind it) so that
// no worker waits for the reader. Entries of one chunk waiting to be written
// share the same slots.
size_t SlotCount(unsigned nWorkers) {
    return nWorkers > 1 ? 2 * size_t{nWorkers} + 2 : 2;
}

} // namespace

struct CZipWriter::SData {
    uint32_t dwCrc = 0;
    uint64_t qwRead = 0;    // source bytes
    uint64_t qwWritten = 0; // entry data bytes in the archive
    uint64_t qwExpected = 0;
    uint64_t qwReported = 0; // source bytes last reported as done
    CExecutableSniffer sniffer;
};

CZipWriter::CZipWriter(IZipFileSystem& fs, std::unique_ptr<IZipOutput> pOutput,
                       uint64_t qwArchiveLimit)
    : CZipWriter(fs, std::move(pOutput), [&] {
          SZipWriterOptions o;
          o.qwArchiveLimit = qwArchiveLimit;
          return o;
      }()) {}

CZipWriter::CZipWriter(IZipFileSystem& fs, std::unique_ptr<IZipOutput> pOutput,
                       const SZipWriterOptions& options)
    : m_fs(fs), m_pOutput(std::move(pOutput)), m_qwArchiveLimit(options.qwArchiveLimit),
      m_cbChunk(std::max<size_t>(options.cbChunk, 1)),
      m_nWorkers(options.nWorkers ? std::min(options.nWorkers, kMaxDeflateWorkers)
                                  : DefaultDeflateWorkers()),
      m_pInBlock(new uint8_t[kBlockSize]), m_chunks(SlotCount(m_nWorkers)),
      m_pending(m_chunks.size()), m_pPool(new CDeflatePool(m_nWorkers - 1)) {}

CZipWriter::~CZipWriter() {
    // The pool ends its threads before the chunks they might touch go away.
    m_pPool.reset();
    if (m_pOutput)
        m_pOutput->Close();
}

bool CZipWriter::Fits(uint64_t qwEntryBytes, size_t cbName) const {
    return m_qwOffset + m_qwPendingReserve + qwEntryBytes + m_qwCentralSize +
               CentralEntrySize(cbName) + kEndRecordSize <=
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
    if (EntryCount() >= kMaxEntries)
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
    if (!Room(qwOverhead + (bStored ? info.qwSize : 0), entry.strName.size()))
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
    if (EntryCount() >= kMaxEntries)
        return kZipWriteFailed;
    if (!Room(LocalEntryOverhead(entry.strName.size()), entry.strName.size()))
        return kZipWriteFailed;

    // Folders carry the local clock, and the same reading as if it were UTC.
    const SCivilTime now = m_fs.LocalNow();
    entry.dosTime = DosTimeFromCivil(now);
    entry.dwModifyTime = entry.dwAccessTime = entry.dwCreateTime = Low32(UnixFromCivil(now));
    entry.dwExternalAttributes = kFolderExternalAttributes;
    return WriteEntry(entry, nullptr, 0);
}

// Entries without deflated data go out at once, after those accepted earlier.
int CZipWriter::WriteEntry(SEntryFields& entry, IZipSource* pSource, uint64_t qwExpected) {
    if (pSource && entry.wMethod == kMethodDeflated)
        return WriteDeflated(entry, *pSource, qwExpected);
    WriteAllPending();
    if (!pSource) {
        // A folder has no data, so its header is final at once.
        if (!Rewind())
            return kZipWriteFailed;
        entry.dwLocalHeaderOffset = static_cast<uint32_t>(m_qwOffset);
        m_bRewind = true;
        std::string header;
        AppendLocalHeader(header, entry);
        if (!m_pOutput->Write(header.data(), header.size()))
            return kZipWriteFailed;
        return Commit(entry, m_qwOffset + header.size());
    }
    size_t cbHeader = 0;
    if (!WriteProvisionalHeader(entry, qwExpected, &cbHeader))
        return kZipWriteFailed;
    SData data;
    data.qwExpected = qwExpected;
    const int nResult = CopyStored(entry, *pSource, data);
    if (nResult != kZipOk)
        return nResult;
    return Finish(entry, cbHeader, data);
}

// Until the entry is complete, a failure anywhere leaves the position unknown.
// The data descriptor bit says the sizes and CRC are not known yet, in case
// the writer never gets to rewrite the header.
bool CZipWriter::WriteProvisionalHeader(SEntryFields& entry, uint64_t qwExpected,
                                        size_t* pcbHeader) {
    if (!Rewind())
        return false;
    entry.dwLocalHeaderOffset = static_cast<uint32_t>(m_qwOffset);
    m_bRewind = true;
    SEntryFields provisional = entry;
    provisional.wFlags |= kFlagDataDescriptor;
    provisional.dwUncompressedSize = static_cast<uint32_t>(qwExpected);
    provisional.dwCompressedSize =
        entry.wMethod == kMethodStored ? static_cast<uint32_t>(qwExpected) : 0;
    std::string header;
    AppendLocalHeader(header, provisional);
    *pcbHeader = header.size();
    return m_pOutput->Write(header.data(), header.size());
}

// Rewrites the local header with the final fields and lists the entry.
int CZipWriter::Finish(SEntryFields& entry, size_t cbHeader, SData& data) {
    entry.dwCrc = data.dwCrc;
    entry.dwUncompressedSize = static_cast<uint32_t>(data.qwRead);
    entry.dwCompressedSize = static_cast<uint32_t>(data.qwWritten);
    entry.dwExternalAttributes =
        FileExternalAttributes(entry.dwExternalAttributes, data.sniffer.IsExecutable());
    const uint64_t qwEnd = m_qwOffset + cbHeader + data.qwWritten;
    std::string header;
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

// Counts entry data as it goes out, stopping where the fields or the archive
// limit would be passed. Writes go out in blocks.
bool CZipWriter::Emit(const SEntryFields& entry, const uint8_t* p, size_t cb, SData& data) {
    const uint64_t qwOverhead = LocalEntryOverhead(entry.strName.size());
    while (cb) {
        const size_t cbBlock = std::min(cb, kBlockSize);
        data.qwWritten += cbBlock;
        if (data.qwWritten > kMaxEntrySize ||
            !Fits(qwOverhead + data.qwWritten, entry.strName.size()))
            return false;
        if (!m_pOutput->Write(p, cbBlock))
            return false;
        p += cbBlock;
        cb -= cbBlock;
    }
    return true;
}

int CZipWriter::CopyStored(const SEntryFields& entry, IZipSource& source, SData& data) {
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        size_t cbRead = 0;
        if (!source.Read(m_pInBlock.get(), kBlockSize, &cbRead))
            return kZipCannotOpen;
        if (!cbRead)
            break;
        data.qwRead += cbRead;
        if (data.qwRead > kMaxEntrySize)
            return kZipWriteFailed;
        crc = crc32(crc, m_pInBlock.get(), static_cast<uInt>(cbRead));
        data.sniffer.Feed(m_pInBlock.get(), cbRead);
        if (!Emit(entry, m_pInBlock.get(), cbRead, data))
            return kZipWriteFailed;
        if (m_pfnProgress && data.qwRead - data.qwReported >= m_cbChunk) {
            data.qwReported = data.qwRead;
            m_pfnProgress(m_pProgressContext, data.qwRead, data.qwExpected);
        }
    }
    data.dwCrc = static_cast<uint32_t>(crc);
    if (m_pfnProgress)
        m_pfnProgress(m_pProgressContext, data.qwRead, data.qwExpected);
    return kZipOk;
}

SDeflateChunk& CZipWriter::Slot(uint64_t qwChunk) {
    return m_chunks[static_cast<size_t>(qwChunk % m_chunks.size())];
}

// Reads the source into chunk qwChunk of the entry whose first chunk is
// qwFirst, after the window of input that precedes it.
int CZipWriter::ReadChunk(IZipSource& source, uint64_t qwFirst, uint64_t qwChunk, SData& data,
                          bool* pbEnd) {
    SDeflateChunk& chunk = Slot(qwFirst + qwChunk);
    if (!chunk.pInput)
        chunk.pInput.reset(new uint8_t[kDeflateWindow + m_cbChunk]);
    chunk.cbDictionary = 0;
    if (qwChunk) {
        // The end of the previous chunk's dictionary and data, which sit side by side.
        const SDeflateChunk& prev = Slot(qwFirst + qwChunk - 1);
        const size_t cbPrev = prev.cbDictionary + prev.cbData;
        chunk.cbDictionary = std::min(cbPrev, kDeflateWindow);
        std::memcpy(chunk.pInput.get(), prev.pInput.get() + cbPrev - chunk.cbDictionary,
                    chunk.cbDictionary);
    }
    chunk.cbData = 0;
    *pbEnd = false;
    while (chunk.cbData < m_cbChunk) {
        size_t cbRead = 0;
        uint8_t* pAt = chunk.Data() + chunk.cbData;
        if (!source.Read(pAt, std::min(kBlockSize, m_cbChunk - chunk.cbData), &cbRead))
            return kZipCannotOpen;
        if (!cbRead) {
            *pbEnd = true;
            break;
        }
        data.sniffer.Feed(pAt, cbRead);
        chunk.cbData += cbRead;
        data.qwRead += cbRead;
        if (data.qwRead > kMaxEntrySize)
            return kZipWriteFailed;
    }
    return kZipOk;
}

// Writes one compressed chunk and joins its CRC to the entry's.
int CZipWriter::EmitChunk(const SEntryFields& entry, SDeflateChunk& chunk, SData& data) {
    m_pPool->Wait(chunk);
    if (!chunk.bOk)
        return kZipWriteFailed;
    data.dwCrc = static_cast<uint32_t>(
        crc32_combine(data.dwCrc, chunk.dwCrc, static_cast<z_off_t>(chunk.cbData)));
    if (!Emit(entry, chunk.pOutput.get(), chunk.cbOutput, data))
        return kZipWriteFailed;
    data.qwReported += chunk.cbData;
    if (m_pfnProgress)
        m_pfnProgress(m_pProgressContext, data.qwReported, data.qwExpected);
    return kZipOk;
}

// The first two chunks are read before anything is written: an entry that fits
// one chunk is accepted and compressed side by side with the entries around
// it (AcceptSingle); a longer one goes out chunk after chunk while the pool
// compresses those in between. A chunk is submitted once the next one shows
// whether it was the last.
int CZipWriter::WriteDeflated(SEntryFields& entry, IZipSource& source, uint64_t qwExpected) {
    SData data;
    data.qwExpected = qwExpected;
    data.dwCrc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    const size_t nSlots = m_chunks.size();
    const uint64_t qwFirst = m_qwChunkIn;
    // A failed read leaves the slots it used to the next entry: nothing of
    // this one was accepted.
    while (qwFirst - m_qwChunkOut >= nSlots)
        WriteOldestOrLose();
    bool bEnd = false;
    int n = ReadChunk(source, qwFirst, 0, data, &bEnd);
    if (n != kZipOk)
        return n;
    if (!bEnd) {
        while (qwFirst + 1 - m_qwChunkOut >= nSlots)
            WriteOldestOrLose();
        n = ReadChunk(source, qwFirst, 1, data, &bEnd);
        if (n != kZipOk)
            return n;
        if (Slot(qwFirst + 1).cbData) {
            // Two chunks or more: the entries accepted before go out first.
            WriteAllPending();
            return CopyChunks(entry, source, data, bEnd);
        }
    }
    return AcceptSingle(entry, data);
}

int CZipWriter::CopyChunks(SEntryFields& entry, IZipSource& source, SData& data,
                           bool bSecondIsLast) {
    // Whatever way this returns, no worker may still hold a chunk, and the
    // slots are all free for the next entry.
    const uint64_t qwFirst = m_qwChunkOut;
    struct SCancel {
        CDeflatePool& pool;
        ~SCancel() { pool.Cancel(); }
    } cancel{*m_pPool};

    size_t cbHeader = 0;
    if (!WriteProvisionalHeader(entry, data.qwExpected, &cbHeader))
        return kZipWriteFailed;
    const size_t nSlots = m_chunks.size();
    uint64_t qwRead = 2;    // chunks read
    uint64_t qwWritten = 0; // chunks written
    Slot(qwFirst).bLast = false;
    m_pPool->Submit(Slot(qwFirst));
    if (bSecondIsLast) {
        Slot(qwFirst + 1).bLast = true;
        m_pPool->Submit(Slot(qwFirst + 1));
    }
    for (bool bEnd = bSecondIsLast; !bEnd;) {
        // The slot of the chunk to read must have been written out.
        while (qwRead - qwWritten >= nSlots) {
            const int n = EmitChunk(entry, Slot(qwFirst + qwWritten), data);
            if (n != kZipOk)
                return n;
            ++qwWritten;
        }
        const int n = ReadChunk(source, qwFirst, qwRead, data, &bEnd);
        if (n != kZipOk)
            return n;
        SDeflateChunk& chunk = Slot(qwFirst + qwRead);
        SDeflateChunk& prev = Slot(qwFirst + qwRead - 1);
        if (!chunk.cbData) {
            // The previous chunk was the last; this one holds nothing.
            prev.bLast = true;
            m_pPool->Submit(prev);
            break;
        }
        prev.bLast = false;
        m_pPool->Submit(prev);
        ++qwRead;
        if (bEnd) {
            chunk.bLast = true;
            m_pPool->Submit(chunk);
        }
    }
    for (; qwWritten < qwRead; ++qwWritten) {
        const int n = EmitChunk(entry, Slot(qwFirst + qwWritten), data);
        if (n != kZipOk)
            return n;
    }
    return Finish(entry, cbHeader, data);
}

// An entry of one chunk: with workers, and room for the largest data it can
// compress to, it waits in its slot while the caller goes on to the next
// entries; its bytes go out in order during a later call. Otherwise it is
// written before this returns, and the result is the whole entry's.
int CZipWriter::AcceptSingle(SEntryFields& entry, SData& data) {
    SDeflateChunk& chunk = Slot(m_qwChunkIn);
    chunk.bLast = true;
    const size_t cbName = entry.strName.size();
    SPending& pending = m_pending[static_cast<size_t>(m_qwChunkIn % m_pending.size())];
    pending.qwExpected = data.qwExpected;
    pending.qwData = data.qwRead;
    const uint64_t qwMost =
        LocalEntryOverhead(cbName) + compressBound(static_cast<uLong>(chunk.cbData));
    const bool bDefer = m_nWorkers > 1 && Fits(qwMost, cbName);
    // Those before go out first, each counted at its exact size before this
    // one's reserve can crowd them out.
    if (!bDefer)
        WriteAllPending();
    pending.qwReserve = qwMost + CentralEntrySize(cbName);
    entry.dwUncompressedSize = static_cast<uint32_t>(data.qwRead);
    entry.dwExternalAttributes =
        FileExternalAttributes(entry.dwExternalAttributes, data.sniffer.IsExecutable());
    pending.entry = std::move(entry);
    m_pPool->Submit(chunk);
    m_qwPendingReserve += pending.qwReserve;
    ++m_qwChunkIn;
    return bDefer ? kZipOk : WriteOldest();
}

// Writes the oldest waiting entry: its header is final at once.
int CZipWriter::WriteOldest() {
    const uint64_t qwChunk = m_qwChunkOut++;
    SDeflateChunk& chunk = Slot(qwChunk);
    SPending& pending = m_pending[static_cast<size_t>(qwChunk % m_pending.size())];
    m_qwPendingReserve -= pending.qwReserve;
    m_pPool->Wait(chunk);
    if (!chunk.bOk || !Rewind())
        return kZipWriteFailed;
    SEntryFields& entry = pending.entry;
    entry.dwCrc = chunk.dwCrc;
    entry.dwCompressedSize = static_cast<uint32_t>(chunk.cbOutput);
    entry.dwLocalHeaderOffset = static_cast<uint32_t>(m_qwOffset);
    m_bRewind = true;
    std::string header;
    AppendLocalHeader(header, entry);
    SData data;
    if (!Fits(header.size(), entry.strName.size()) ||
        !m_pOutput->Write(header.data(), header.size()) ||
        !Emit(entry, chunk.pOutput.get(), chunk.cbOutput, data))
        return kZipWriteFailed;
    const int nResult = Commit(entry, m_qwOffset + header.size() + chunk.cbOutput);
    if (m_pfnProgress)
        m_pfnProgress(m_pProgressContext, pending.qwData, pending.qwExpected);
    return nResult;
}

void CZipWriter::WriteOldestOrLose() {
    if (WriteOldest() != kZipOk)
        m_bLostEntry = true;
}

void CZipWriter::WriteAllPending() {
    while (m_qwChunkOut < m_qwChunkIn)
        WriteOldestOrLose();
}

// Room for qwEntryBytes more, counting the entries still waiting at the
// largest size they can take; if they crowd it out, they are written first
// and the exact figure decides.
bool CZipWriter::Room(uint64_t qwEntryBytes, size_t cbName) {
    if (Fits(qwEntryBytes, cbName))
        return true;
    if (m_qwChunkOut == m_qwChunkIn)
        return false;
    WriteAllPending();
    return Fits(qwEntryBytes, cbName);
}

int CZipWriter::Close() {
    if (!m_pOutput)
        return kZipWriteFailed;
    WriteAllPending();
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
    return bOk && bClosed && !m_bLostEntry ? kZipOk : kZipWriteFailed;
}

int g_nZipLastResult = kZipOk;

HZIP ZipWriterCreateOn(IZipFileSystem& fs, const wchar_t* pszPath,
                       const SZipWriterOptions& options) {
    HZIP hZip = GuardCall("ZipWriterCreate", HZIP(nullptr), [&]() -> HZIP {
        std::unique_ptr<IZipOutput> pOutput;
        if (pszPath && *pszPath)
            pOutput = fs.CreateOutput(pszPath);
        return pOutput ? new CZipWriter(fs, std::move(pOutput), options) : nullptr;
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

int ZipWriterSetProgress(HZIP hZip, PFNZIPPROGRESS pfnProgress, void* pContext) {
    if (!hZip)
        return kZipBadArgument;
    hZip->SetProgress(pfnProgress, pContext);
    return kZipOk;
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
