// Win32 adapter: the archive is opened without sharing, so nothing else can
// open it while it is written; sources are opened with read sharing only, so a
// file that another program holds open for writing is refused (and skipped)
// instead of being archived half-written.
#include "zip_io.h"

#include "unique_handle.h"

namespace ostrel::zip {
namespace {

constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000; // 1970-01-01 in 100 ns since 1601

int64_t UnixFromFileTime(const FILETIME& ft) {
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) -
        kFileTimeUnixEpoch;
    int64_t seconds = ticks / kFileTimeTicksPerSecond;
    if (ticks % kFileTimeTicksPerSecond < 0)
        --seconds;
    return seconds;
}

class CWin32Output final : public IZipOutput {
public:
    explicit CWin32Output(HANDLE h) : m_file(h) {}
    bool Write(const void* pData, size_t cbData) override {
        const BYTE* p = static_cast<const BYTE*>(pData);
        while (cbData) {
            const DWORD cbChunk = cbData > 0x40000000 ? 0x40000000 : static_cast<DWORD>(cbData);
            DWORD cbDone = 0;
            if (!::WriteFile(m_file.get(), p, cbChunk, &cbDone, nullptr) || cbDone == 0)
                return false;
            p += cbDone;
            cbData -= cbDone;
        }
        return true;
    }
    bool Seek(uint64_t qwOffset) override {
        LARGE_INTEGER li;
        li.QuadPart = static_cast<LONGLONG>(qwOffset);
        return ::SetFilePointerEx(m_file.get(), li, nullptr, FILE_BEGIN) != 0;
    }
    bool Truncate() override { return ::SetEndOfFile(m_file.get()) != 0; }
    bool Close() override { return ::CloseHandle(m_file.release()) != 0; }

private:
    CFileHandle m_file;
};

class CWin32Source final : public IZipSource {
public:
    explicit CWin32Source(HANDLE h) : m_file(h) {}
    HANDLE Handle() const { return m_file.get(); }
    bool Read(void* pBuffer, size_t cbBuffer, size_t* pcbRead) override {
        const DWORD cbAsk = cbBuffer > 0x40000000 ? 0x40000000 : static_cast<DWORD>(cbBuffer);
        DWORD cbDone = 0;
        if (!::ReadFile(m_file.get(), pBuffer, cbAsk, &cbDone, nullptr))
            return false;
        *pcbRead = cbDone;
        return true;
    }

private:
    CFileHandle m_file;
};

class CWin32FileSystem final : public IZipFileSystem {
public:
    std::unique_ptr<IZipOutput> CreateOutput(const std::wstring& path) override {
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<CWin32Output>(h);
    }
    std::unique_ptr<IZipSource> OpenSource(const std::wstring& path,
                                           SZipSourceInfo* pInfo) override {
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return nullptr;
        auto pSource = std::make_unique<CWin32Source>(h);
        BY_HANDLE_FILE_INFORMATION fi;
        if (!::GetFileInformationByHandle(h, &fi))
            return nullptr;
        pInfo->dwAttributes = fi.dwFileAttributes;
        pInfo->qwSize = (static_cast<uint64_t>(fi.nFileSizeHigh) << 32) | fi.nFileSizeLow;
        pInfo->llWriteTime = UnixFromFileTime(fi.ftLastWriteTime);
        pInfo->llAccessTime = UnixFromFileTime(fi.ftLastAccessTime);
        pInfo->llCreateTime = UnixFromFileTime(fi.ftCreationTime);
        return pSource;
    }
    SCivilTime LocalNow() override {
        SYSTEMTIME st;
        ::GetLocalTime(&st);
        return SCivilTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    }
};

} // namespace

IZipFileSystem& PlatformFileSystem() {
    static CWin32FileSystem s_fs;
    return s_fs;
}

} // namespace ostrel::zip
