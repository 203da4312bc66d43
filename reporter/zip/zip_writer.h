#pragma once
// Write-only ZIP archive writer of the support archive: file entries
// (deflated at level 8, or stored for already-compressed extensions) and folder
// entries, appended one after the other; the central directory is written at
// close. No ZIP64, no data descriptors, no comments, no encryption.
//
// Entries that the format's fields cannot describe are refused rather than
// written with truncated values: names over 259 UTF-8 bytes (kZipBadArgument),
// more than 65,535 entries, entries of 4 GiB - 1 bytes or more, or an archive
// that would reach 4 GiB (kZipWriteFailed). A refused or failed entry leaves
// nothing behind: later entries and the central directory are written over it,
// and the archive stays valid for every entry that was accepted.
//
// Deflated entries are compressed in chunks by worker threads (deflate_chunk.h);
// the caller's thread reads the sources and writes the archive, and the bytes
// are the same whatever the number of workers. Memory stays bounded: a fixed
// number of chunks per worker is in flight, however large the source.
//
// With more than one worker, a deflated file of at most one chunk is accepted
// once its source is read whole and its largest possible data fits the
// limits; it is compressed while the next entries are read, and written, in
// order, during a later add or at Close. The add's result then speaks for the
// source and the limits. Should the compressor or the output fail when such an
// entry is written, it is dropped like any failed entry and Close returns
// kZipWriteFailed, so an archive that misses an accepted entry never closes as
// a success. With one worker every entry is written before its add returns.
#include "deflate_chunk.h"
#include "zip_format.h"
#include "zip_io.h"

#include <memory>
#include <string>
#include <vector>

namespace ostrel {

enum EZipResult : int {
    kZipOk = 0,
    // The archive file could not be created, or a source could not be opened,
    // have its information read, or be read to its end.
    kZipCannotOpen = 0x200,
    // A header, entry data or the central directory was not written completely,
    // the compressor failed, or the entry falls outside the format's fields.
    kZipWriteFailed = 0x400,
    // Empty handle at close, empty entry name, missing source path, name longer
    // than 259 bytes.
    kZipBadArgument = 0x10000,
};

struct SZipWriterOptions {
    // Compression threads: 0 follows the machine's cores (at most
    // zip::kMaxDeflateWorkers); 1 compresses on the caller's thread alone.
    unsigned nWorkers = 0;
    // Source bytes per deflate chunk. The archive depends on it (never on the
    // workers); tests use small chunks to cross many cuts with little data.
    size_t cbChunk = zip::kDeflateChunkSize;
    // The largest archive size in bytes; tests lower it to reach the limit
    // without gigabytes of data.
    uint64_t qwArchiveLimit = zip::kMaxArchiveSize;
};

// Progress of the entry being written, reported on the thread that called the
// writer, between chunks of the entry's data (at least every chunk of source
// bytes) and once at its end (for an entry of one chunk, when it is written): qwDone source bytes
// are in the archive, of the qwSize the source reported when it was opened. A window thread can
// repaint here. The callback must not call the writer.
using PFNZIPPROGRESS = void (*)(void* pContext, uint64_t qwDone, uint64_t qwSize);

namespace zip {
class CDeflatePool;
}

// The writer behind a handle. One thread at a time.
class CZipWriter {
public:
    CZipWriter(zip::IZipFileSystem& fs, std::unique_ptr<zip::IZipOutput> pOutput,
               uint64_t qwArchiveLimit = zip::kMaxArchiveSize);
    CZipWriter(zip::IZipFileSystem& fs, std::unique_ptr<zip::IZipOutput> pOutput,
               const SZipWriterOptions& options);
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    [[nodiscard]] int AddFile(const wchar_t* pszName, const wchar_t* pszSourcePath);
    [[nodiscard]] int AddFolder(const wchar_t* pszName);
    // Writes the entries still waiting, the central directory and the end
    // record, then closes the output. Called once; later adds fail.
    [[nodiscard]] int Close();

    void SetProgress(PFNZIPPROGRESS pfnProgress, void* pContext) {
        m_pfnProgress = pfnProgress;
        m_pProgressContext = pContext;
    }

    // Entries accepted, written or waiting to be.
    size_t EntryCount() const {
        return m_entries.size() + static_cast<size_t>(m_qwChunkIn - m_qwChunkOut);
    }
    // Compressors this writer uses, the caller's thread included (1: that one alone).
    unsigned WorkerCount() const { return m_nWorkers; }

private:
    struct SData; // what copying an entry's data yields
    // An entry of one chunk accepted but not yet written: it sits in the slot
    // of its chunk until the entries before it are out.
    struct SPending {
        zip::SEntryFields entry;
        uint64_t qwData = 0;     // source bytes
        uint64_t qwExpected = 0; // as the source reported at open
        uint64_t qwReserve = 0;  // the most it can add to the archive, central header included
    };

    int WriteEntry(zip::SEntryFields& entry, zip::IZipSource* pSource, uint64_t qwExpected);
    bool WriteProvisionalHeader(zip::SEntryFields& entry, uint64_t qwExpected, size_t* pcbHeader);
    int Finish(zip::SEntryFields& entry, size_t cbHeader, SData& data);
    int CopyStored(const zip::SEntryFields& entry, zip::IZipSource& source, SData& data);
    int WriteDeflated(zip::SEntryFields& entry, zip::IZipSource& source, uint64_t qwExpected);
    int ReadChunk(zip::IZipSource& source, uint64_t qwFirst, uint64_t qwChunk, SData& data,
                  bool* pbEnd);
    int CopyChunks(zip::SEntryFields& entry, zip::IZipSource& source, SData& data,
                   bool bSecondIsLast);
    int AcceptSingle(zip::SEntryFields& entry, SData& data);
    int WriteOldest();
    void WriteOldestOrLose();
    void WriteAllPending();
    int EmitChunk(const zip::SEntryFields& entry, zip::SDeflateChunk& chunk, SData& data);
    bool Emit(const zip::SEntryFields& entry, const uint8_t* pData, size_t cbData, SData& data);
    zip::SDeflateChunk& Slot(uint64_t qwChunk);
    int Commit(zip::SEntryFields& entry, uint64_t qwEnd);
    bool Rewind();
    bool Fits(uint64_t qwEntryBytes, size_t cbName) const;
    bool Room(uint64_t qwEntryBytes, size_t cbName);

    zip::IZipFileSystem& m_fs;
    std::unique_ptr<zip::IZipOutput> m_pOutput;
    const uint64_t m_qwArchiveLimit;
    const size_t m_cbChunk;
    const unsigned m_nWorkers;
    uint64_t m_qwOffset = 0;      // end of the last complete entry
    uint64_t m_qwCentralSize = 0; // bytes the central directory will take
    bool m_bRewind = false;       // a failed entry left the position unknown
    std::vector<zip::SEntryFields> m_entries;
    std::unique_ptr<uint8_t[]> m_pInBlock;
    // Chunks of the entry being deflated, used round-robin: chunk k lives in
    // slot k % size, so the count of slots bounds what is in memory.
    std::vector<zip::SDeflateChunk> m_chunks;
    std::vector<SPending> m_pending; // by slot, like the chunks
    // Chunks by number across entries: those in [out, in) are entries of one
    // chunk waiting to be written; a longer entry has the slots to itself.
    uint64_t m_qwChunkIn = 0;
    uint64_t m_qwChunkOut = 0;
    uint64_t m_qwPendingReserve = 0;
    bool m_bLostEntry = false; // an accepted entry failed when it was written
    std::unique_ptr<zip::CDeflatePool> m_pPool;
    PFNZIPPROGRESS m_pfnProgress = nullptr;
    void* m_pProgressContext = nullptr;
};

// Handle of the writer API: empty (null) when creation failed.
using HZIP = CZipWriter*;

// Result of the most recent create, add or close call.
extern int g_nZipLastResult;

// Creates or replaces the archive at pszPath; empty handle and kZipCannotOpen
// when the file cannot be created.
HZIP ZipWriterCreate(const wchar_t* pszPath);
// The same over another file system and with other options (tests).
HZIP ZipWriterCreateOn(zip::IZipFileSystem& fs, const wchar_t* pszPath,
                       const SZipWriterOptions& options = {});

// Appends a file entry named pszName with the content of pszSourcePath.
int ZipWriterAddFile(HZIP hZip, const wchar_t* pszName, const wchar_t* pszSourcePath);
// Appends a folder entry; a trailing slash is added to the name when missing.
int ZipWriterAddFolder(HZIP hZip, const wchar_t* pszName);
// Writes the central directory, closes the file and releases the writer; the
// handle is invalid afterwards, whatever the result.
int ZipWriterClose(HZIP hZip);
// Sets (or, with null, clears) the progress callback of the writer. Not a
// create, add or close call: g_nZipLastResult keeps its value. kZipBadArgument
// for an empty handle.
int ZipWriterSetProgress(HZIP hZip, PFNZIPPROGRESS pfnProgress, void* pContext);

} // namespace ostrel
