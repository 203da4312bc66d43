#include "handover_files_win32.h"

#include "unique_handle.h"

#include <windows.h>

namespace torvex {

std::string CWin32HandoverFiles::TempFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathA(MAX_PATH + 1, path);
    return n == 0 || n > MAX_PATH ? std::string() : std::string(path, n);
}

std::string CWin32HandoverFiles::LastImagePath() {
    char path[MAX_PATH] = {};
    // A non-zero unique number only forms the name; the file is not created.
    if (::GetTempFileNameA(TempFolder().c_str(), "ACQ", 1, path) == 0)
        return std::string();
    std::string strPath = path;
    const size_t nDot = strPath.rfind('.');
    if (nDot != std::string::npos)
        strPath.resize(nDot + 1);
    return strPath + "BMP";
}

bool CWin32HandoverFiles::WriteFile(const std::string& strPath, const std::vector<uint8_t>& bytes) {
    ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD nDone = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &nDone,
                       nullptr) &&
           nDone == bytes.size();
}

} // namespace torvex
