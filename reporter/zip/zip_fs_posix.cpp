// POSIX adapter for host tests and the benchmark. POSIX has no sharing modes,
// so the Windows rule that refuses files being written cannot be shown here.
#include "zip_io.h"

#include "utf16.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrel::zip {
namespace {

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    bool Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

class CPosixOutput final : public IZipOutput {
public:
    explicit CPosixOutput(int fd) : m_fd(fd) {}
    bool Write(const void* pData, size_t cbData) override {
        const char* p = static_cast<const char*>(pData);
        while (cbData) {
            const ssize_t n = ::write(m_fd.Get(), p, cbData);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            cbData -= static_cast<size_t>(n);
        }
        return true;
    }
    bool Seek(uint64_t qwOffset) override {
        return ::lseek(m_fd.Get(), static_cast<off_t>(qwOffset), SEEK_SET) >= 0;
    }
    bool Truncate() override {
        const off_t pos = ::lseek(m_fd.Get(), 0, SEEK_CUR);
        return pos >= 0 && ::ftruncate(m_fd.Get(), pos) == 0;
    }
    bool Close() override { return m_fd.Release(); }

private:
    CFd m_fd;
};

class CPosixSource final : public IZipSource {
public:
    explicit CPosixSource(int fd) : m_fd(fd) {}
    bool Read(void* pBuffer, size_t cbBuffer, size_t* pcbRead) override {
        for (;;) {
            const ssize_t n = ::read(m_fd.Get(), pBuffer, cbBuffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            *pcbRead = static_cast<size_t>(n);
            return true;
        }
    }

private:
    CFd m_fd;
};

class CPosixFileSystem final : public IZipFileSystem {
public:
    std::unique_ptr<IZipOutput> CreateOutput(const std::wstring& path) override {
        const int fd =
            ::open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return nullptr;
        return std::make_unique<CPosixOutput>(fd);
    }
    std::unique_ptr<IZipSource> OpenSource(const std::wstring& path,
                                           SZipSourceInfo* pInfo) override {
        const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        auto pSource = std::make_unique<CPosixSource>(fd);
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return nullptr;
        pInfo->dwAttributes = 0;
        if (S_ISDIR(st.st_mode))
            pInfo->dwAttributes |= kAttributeDirectory;
        if (!(st.st_mode & S_IWUSR))
            pInfo->dwAttributes |= kAttributeReadOnly;
        pInfo->qwSize = static_cast<uint64_t>(st.st_size);
        pInfo->llWriteTime = st.st_mtime;
        pInfo->llAccessTime = st.st_atime;
        // No creation time in stat; the status-change time stands in for it.
        pInfo->llCreateTime = st.st_ctime;
        return pSource;
    }
    SCivilTime LocalNow() override {
        const time_t now = ::time(nullptr);
        struct tm tm;
        ::localtime_r(&now, &tm);
        return SCivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    }
};

} // namespace

IZipFileSystem& PlatformFileSystem() {
    static CPosixFileSystem s_fs;
    return s_fs;
}

} // namespace ostrel::zip
