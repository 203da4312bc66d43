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

// The writer behind a handle. One thread at a time.
class CZipWriter {
public:
    // qwArchiveLimit: the largest archive size in bytes; tests lower it to
    // reach the limit without gigabytes of data.
    CZipWriter(zip::IZipFileSystem& fs, std::unique_ptr<zip::IZipOutput> pOutput,
               uint64_t qwArchiveLimit = zip::kMaxArchiveSize);
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    [[nodiscard]] int AddFile(const wchar_t* pszName, const wchar_t* pszSourcePath);
    [[nodiscard]] int AddFolder(const wchar_t* pszName);
    // Writes the central directory and the end record, then closes the output.
    // Called once; later adds fail.
    [[nodiscard]] int Close();

    size_t EntryCount() const { return m_entries.size(); }

private:
    struct SDeflater;

    int WriteEntry(zip::SEntryFields& entry, zip::IZipSource* pSource, uint64_t qwExpected);
    int CopyData(zip::SEntryFields& entry, zip::IZipSource& source, uint64_t* pqwWritten,
                 bool* pbExecutable);
    int Commit(zip::SEntryFields& entry, uint64_t qwEnd);
    bool Rewind();
    bool Fits(uint64_t qwEntryBytes, size_t cbName) const;

    zip::IZipFileSystem& m_fs;
    std::unique_ptr<zip::IZipOutput> m_pOutput;
    uint64_t m_qwArchiveLimit;
    uint64_t m_qwOffset = 0;      // end of the last complete entry
    uint64_t m_qwCentralSize = 0; // bytes the central directory will take
    bool m_bRewind = false;       // a failed entry left the position unknown
    std::vector<zip::SEntryFields> m_entries;
    std::unique_ptr<uint8_t[]> m_pInBlock;
    std::unique_ptr<uint8_t[]> m_pOutBlock;
    std::unique_ptr<SDeflater> m_pDeflater;
};

// Handle of the writer API: empty (null) when creation failed.
using HZIP = CZipWriter*;

// Result of the most recent create, add or close call.
extern int g_nZipLastResult;

// Creates or replaces the archive at pszPath; empty handle and kZipCannotOpen
// when the file cannot be created.
HZIP ZipWriterCreate(const wchar_t* pszPath);
// The same over another file system (tests).
HZIP ZipWriterCreateOn(zip::IZipFileSystem& fs, const wchar_t* pszPath);

// Appends a file entry named pszName with the content of pszSourcePath.
int ZipWriterAddFile(HZIP hZip, const wchar_t* pszName, const wchar_t* pszSourcePath);
// Appends a folder entry; a trailing slash is added to the name when missing.
int ZipWriterAddFolder(HZIP hZip, const wchar_t* pszName);
// Writes the central directory, closes the file and releases the writer; the
// handle is invalid afterwards, whatever the result.
int ZipWriterClose(HZIP hZip);

} // namespace ostrel
