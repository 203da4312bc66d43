// The Win32 adapter on real files: sharing rules, times and attributes.
#include "zip_writer.h"

#include "zip_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using namespace ostrel;
using namespace ostrel::ziptest;

namespace {

FILETIME FileTimeFromUnix(int64_t llSeconds) {
    const uint64_t ticks = static_cast<uint64_t>(llSeconds * 10000000 + 116444736000000000);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

class ZipWin32Test : public ::testing::Test {
protected:
    std::wstring m_dir;

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
        m_dir = std::wstring(temp) + L"ostrel_zip_" + std::to_wstring(::GetCurrentProcessId()) +
                L"_" + std::to_wstring(::GetTickCount());
        ASSERT_TRUE(::CreateDirectoryW(m_dir.c_str(), nullptr));
    }
    void TearDown() override {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((m_dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring path = m_dir + L"\\" + fd.cFileName;
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            } while (::FindNextFileW(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(m_dir.c_str());
    }
    std::wstring Path(const std::wstring& name) const { return m_dir + L"\\" + name; }
    std::wstring Write(const std::wstring& name, const std::string& data) {
        const std::wstring path = Path(name);
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        DWORD cb = 0;
        EXPECT_TRUE(::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &cb, nullptr));
        ::CloseHandle(h);
        return path;
    }
    std::string Read(const std::wstring& path) {
        std::string data;
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        char buf[65536];
        DWORD cb = 0;
        while (::ReadFile(h, buf, sizeof buf, &cb, nullptr) && cb)
            data.append(buf, cb);
        ::CloseHandle(h);
        return data;
    }
};

} // namespace

// Another program writing a log: its file is skipped with 0x200 rather than
// archived half-written, and the archive stays valid around it. A file that
// others only read is archived.
TEST_F(ZipWin32Test, FileOpenForWritingElsewhereIsSkipped) {
    const std::wstring busy = Write(L"busy.log", "being written");
    const std::wstring reading = Write(L"read.log", "being read");
    const std::wstring free = Write(L"free.log", "quiet");
    HANDLE hWriter = ::CreateFileW(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hWriter, INVALID_HANDLE_VALUE);
    HANDLE hReader = ::CreateFileW(reading.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hReader, INVALID_HANDLE_VALUE);

    const std::wstring archive = Path(L"out.zip");
    HZIP h = ZipWriterCreate(archive.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ZipWriterAddFile(h, L"busy.log", busy.c_str()), kZipCannotOpen);
    EXPECT_EQ(g_nZipLastResult, kZipCannotOpen);
    EXPECT_EQ(ZipWriterAddFile(h, L"read.log", reading.c_str()), kZipOk);
    EXPECT_EQ(ZipWriterAddFile(h, L"free.log", free.c_str()), kZipOk);
    EXPECT_EQ(ZipWriterAddFile(h, L"gone.log", Path(L"gone.log").c_str()), kZipCannotOpen);
    EXPECT_EQ(ZipWriterAddFile(h, L"dir", m_dir.c_str()), kZipCannotOpen);
    EXPECT_EQ(ZipWriterClose(h), kZipOk);
    ::CloseHandle(hWriter);
    ::CloseHandle(hReader);

    const SReadArchive a = ReadArchive(Read(archive));
    ASSERT_TRUE(a.bOk) << a.strError;
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[0].strName, "read.log");
    EXPECT_EQ(a.entries[0].strData, "being read");
    EXPECT_EQ(a.entries[1].strName, "free.log");
}

// While the writer holds the archive nobody else can open it, not even to read.
TEST_F(ZipWin32Test, ArchiveIsExclusiveWhileWritten) {
    const std::wstring archive = Write(L"out.zip", std::string(100000, 'j')); // replaced
    HZIP h = ZipWriterCreate(archive.c_str());
    ASSERT_NE(h, nullptr);
    for (DWORD access : {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}}) {
        HANDLE hOther = ::CreateFileW(archive.c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(hOther, INVALID_HANDLE_VALUE);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (hOther != INVALID_HANDLE_VALUE)
            ::CloseHandle(hOther);
    }
    EXPECT_EQ(ZipWriterClose(h), kZipOk);
    EXPECT_EQ(Read(archive), std::string("PK\x05\x06", 4) + std::string(18, '\0'));

    EXPECT_EQ(ZipWriterCreate(Path(L"no such folder\\out.zip").c_str()), nullptr);
    EXPECT_EQ(g_nZipLastResult, kZipCannotOpen);
}

// Times come from the open file in UTC, attributes from the file system; folder
// entries take the local clock.
TEST_F(ZipWin32Test, TimesAndAttributesComeFromTheFile) {
    const int64_t llWrite = 1433166337; // 2015-06-01 13:45:37 UTC
    const std::wstring src = Write(L"r\u00E9glages.ini", "[Tech]\r\n");
    HANDLE hSet =
        ::CreateFileW(src.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hSet, INVALID_HANDLE_VALUE);
    const FILETIME ftCreate = FileTimeFromUnix(llWrite - 86400);
    const FILETIME ftAccess = FileTimeFromUnix(llWrite + 120);
    const FILETIME ftWrite = FileTimeFromUnix(llWrite);
    ASSERT_TRUE(::SetFileTime(hSet, &ftCreate, &ftAccess, &ftWrite));
    ::CloseHandle(hSet);
    ASSERT_TRUE(::SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                      FILE_ATTRIBUTE_ARCHIVE));

    const std::wstring archive = Path(L"out.zip");
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    HZIP h = ZipWriterCreate(archive.c_str());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ZipWriterAddFile(h, L"Settings\\r\u00E9glages.ini", src.c_str()), kZipOk);
    ASSERT_EQ(ZipWriterAddFolder(h, L"Thumbnails"), kZipOk);
    ASSERT_EQ(ZipWriterClose(h), kZipOk);
    SYSTEMTIME after;
    ::GetLocalTime(&after);

    const SReadArchive a = ReadArchive(Read(archive));
    ASSERT_TRUE(a.bOk) << a.strError;
    ASSERT_EQ(a.entries.size(), 2u);
    const SReadEntry& f = a.entries[0];
    EXPECT_EQ(f.strName, "Settings/r\xC3\xA9glages.ini");
    EXPECT_EQ(f.wTime, 13 * 2048 + 45 * 32 + 18);
    EXPECT_EQ(f.wDate, (2015 - 1980) * 512 + 6 * 32 + 1);
    EXPECT_EQ(f.dwExternal, 0x81000023u);
    EXPECT_EQ(Le32(f.strLocalExtra, 5), static_cast<uint32_t>(llWrite));
    EXPECT_EQ(Le32(f.strLocalExtra, 9), static_cast<uint32_t>(llWrite + 120));
    // Some file systems keep no creation time of their own (Wine on a Unix file
    // system among them): the field must hold whatever the file system reports.
    WIN32_FILE_ATTRIBUTE_DATA fad;
    ASSERT_TRUE(::GetFileAttributesExW(src.c_str(), GetFileExInfoStandard, &fad));
    const uint64_t ticks =
        ((uint64_t{fad.ftCreationTime.dwHighDateTime} << 32) | fad.ftCreationTime.dwLowDateTime) -
        116444736000000000ull;
    EXPECT_EQ(Le32(f.strLocalExtra, 13), static_cast<uint32_t>(ticks / 10000000));

    const SReadEntry& d = a.entries[1];
    EXPECT_EQ(d.strName, "Thumbnails/");
    EXPECT_EQ(d.dwExternal, 0x41C00010u);
    auto dos = [](const SYSTEMTIME& t) {
        return zip::DosTimeFromCivil({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
    };
    const uint32_t dwSeen = (uint32_t{d.wDate} << 16) | d.wTime;
    EXPECT_GE(dwSeen, (uint32_t{dos(before).wDate} << 16) | dos(before).wTime);
    EXPECT_LE(dwSeen, (uint32_t{dos(after).wDate} << 16) | dos(after).wTime);
}
