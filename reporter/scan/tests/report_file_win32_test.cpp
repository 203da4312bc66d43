// Report files through the real Win32 file functions.
#include "report_file.h"

#include "utf16.h"
#include "version_text.h"
#include "wine_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

using namespace ostrel;

namespace {

using test::FreshFolder;
using test::ReadBytes;

std::string Utf16(const std::wstring& text) {
    std::string out;
    AppendUtf16Le(out, text);
    return out;
}

} // namespace

TEST(ReportFileWin32, BytesOfBothFiles) {
    const std::wstring dir = FreshFolder(L"report_file_win32_test");
    for (const wchar_t* name : {L"\\Report.log", L"\\Report.txt"}) {
        const std::wstring path = dir + name;
        ASSERT_TRUE(WriteReportHeader(path));
        // U+1F600 travels as its surrogate pair D83D DE00.
        ASSERT_TRUE(AppendReportLine(path, L"Remark=\xD83D\xDE00"));
        ASSERT_TRUE(AppendReportLine(path, L"Remark="));
        const std::string bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), std::string("\x3B\x00", 2)) << "no byte-order mark";
        EXPECT_EQ(bytes.substr(bytes.size() - 40),
                  std::string("R\0e\0m\0a\0r\0k\0=\0\x3D\xD8\x00\xDE\r\0\n\0", 22) +
                      Utf16(L"Remark=\r\n"));

        // The system's own answer, as an oracle for the header's module path.
        wchar_t module[MAX_PATH];
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring version;
        GetFileVersionText(module, SVersionTextOptions().FourParts(), version);
        EXPECT_NE(bytes.find(Utf16(L"\r\n[VERSION]\r\nReporter=" + std::wstring(module) +
                                   L"\r\nVersion=" + version + L"\r\n[ACTIONS]\r\n")),
                  std::string::npos);
        // Truncated afresh by the next header.
        ASSERT_TRUE(WriteReportHeader(path));
        EXPECT_EQ(ReadBytes(path).find(Utf16(L"Remark=")), std::string::npos);
        DeleteFileW(path.c_str());
    }
}

TEST(ReportFileWin32, MissingFolderOrLockedFileWritesNothing) {
    const std::wstring dir = FreshFolder(L"report_file_win32_test");
    const std::wstring missing = dir + L"\\absent\\Report.txt";
    EXPECT_FALSE(WriteReportHeader(missing));
    EXPECT_FALSE(AppendReportLine(missing, L"x"));
    EXPECT_EQ(GetFileAttributesW((dir + L"\\absent").c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring path = dir + L"\\Locked.txt";
    ASSERT_TRUE(WriteReportHeader(path));
    const size_t before = ReadBytes(path).size();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(AppendReportLine(path, L"lost"));
    CloseHandle(h);
    EXPECT_TRUE(AppendReportLine(path, L"kept"));
    EXPECT_EQ(ReadBytes(path).size(), before + Utf16(L"kept\r\n").size());
    DeleteFileW(path.c_str());
}
