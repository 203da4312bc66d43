#include "image_files_win32.h"

#include "last_error.h"
#include "unique_handle.h"

#include <windows.h>

#include <algorithm>

namespace torvex {

namespace {
using ostrel::CFileHandle;
// Pieces of at most this size: one ReadFile or WriteFile call each.
constexpr DWORD kPiece = 1u << 20;
} // namespace

int CWin32ImageFiles::ReadAll(const std::string& strPath, std::vector<uint8_t>& bytes) {
    bytes.clear();
    CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ostrel::LastErrorCode();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return ostrel::LastErrorCode();
    // Bitmaps of this server are a few megabytes; a huge file is refused.
    if (size.QuadPart > (LONGLONG(1) << 31))
        return ERROR_FILE_TOO_LARGE;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t nDone = 0;
    while (nDone < bytes.size()) {
        const DWORD nWant = static_cast<DWORD>(std::min<size_t>(kPiece, bytes.size() - nDone));
        DWORD nGot = 0;
        if (!::ReadFile(file.get(), bytes.data() + nDone, nWant, &nGot, nullptr)) {
            const int nCode = ostrel::LastErrorCode();
            bytes.clear();
            return nCode;
        }
        if (nGot == 0)
            break; // the file shrank meanwhile: what was read is all there is
        nDone += nGot;
    }
    bytes.resize(nDone);
    return 0;
}

int CWin32ImageFiles::WriteAll(const std::string& strPath, const uint8_t* pData, size_t nSize) {
    CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ostrel::LastErrorCode();
    size_t nDone = 0;
    while (nDone < nSize) {
        const DWORD nWant = static_cast<DWORD>(std::min<size_t>(kPiece, nSize - nDone));
        DWORD nPut = 0;
        if (!::WriteFile(file.get(), pData + nDone, nWant, &nPut, nullptr))
            return ostrel::LastErrorCode();
        nDone += nPut;
    }
    return 0;
}

int CWin32ImageFiles::TempFileName(const std::string& strPrefix, unsigned nUnique,
                                   std::string& strPath) {
    char szFolder[MAX_PATH + 1] = {};
    if (::GetTempPathA(MAX_PATH, szFolder) == 0)
        return ostrel::LastErrorCode();
    char szName[MAX_PATH + 1] = {};
    // A non-zero unique number: the name is formed, no file is created.
    if (::GetTempFileNameA(szFolder, strPrefix.c_str(), nUnique, szName) == 0)
        return ostrel::LastErrorCode();
    strPath = szName;
    return 0;
}

} // namespace torvex
