#pragma once
// Ports through which the archive writer reaches files. The Win32 adapter
// (zip_fs_win32.cpp) serves the product; the POSIX adapter (zip_fs_posix.cpp)
// serves host tests and the benchmark; tests add recording fakes.
#include "zip_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ostrel::zip {

// The archive file being written. Single-threaded; offsets are absolute.
class IZipOutput {
public:
    virtual ~IZipOutput() = default;
    // Writes all cbData bytes at the current position and advances past them.
    // False when they were not all written: some of them may have reached the
    // file, and the position is then unknown until the next successful Seek.
    virtual bool Write(const void* pData, size_t cbData) = 0;
    // Moves the position to qwOffset (at most the current end of the file).
    virtual bool Seek(uint64_t qwOffset) = 0;
    // Cuts the file at the current position, dropping what a failed entry left
    // beyond the end record.
    virtual bool Truncate() = 0;
    // Flushes and releases the file; called once. False when the last data may
    // not have reached the disk.
    virtual bool Close() = 0;
};

// What the writer needs to know about a source before reading it, read from
// the open file (not by path, so that it describes what is read).
struct SZipSourceInfo {
    uint32_t dwAttributes = 0; // Windows attribute bits
    uint64_t qwSize = 0;
    // Seconds since 1970-01-01 00:00:00 UTC.
    int64_t llWriteTime = 0;
    int64_t llAccessTime = 0;
    int64_t llCreateTime = 0;
};

// One source file, open for reading from its start.
class IZipSource {
public:
    virtual ~IZipSource() = default;
    // Reads up to cbBuffer bytes. Partial reads are allowed: callers loop until
    // *pcbRead is 0, which means the end of the file. False on an I/O error;
    // bytes returned by earlier calls stay valid.
    virtual bool Read(void* pBuffer, size_t cbBuffer, size_t* pcbRead) = 0;
};

class IZipFileSystem {
public:
    virtual ~IZipFileSystem() = default;
    // Creates or replaces the archive file, open for writing and closed to
    // every other opener. Null when it cannot be created.
    virtual std::unique_ptr<IZipOutput> CreateOutput(const std::wstring& path) = 0;
    // Opens a source for reading while letting others only read it, so a file
    // that someone is writing is refused. Null when it cannot be opened or its
    // information cannot be read; *pInfo is then unspecified.
    virtual std::unique_ptr<IZipSource> OpenSource(const std::wstring& path,
                                                   SZipSourceInfo* pInfo) = 0;
    // Current local wall-clock time, for folder entries.
    virtual SCivilTime LocalNow() = 0;
};

// The adapter of the platform the code is built for.
IZipFileSystem& PlatformFileSystem();

} // namespace ostrel::zip
