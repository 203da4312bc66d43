#include "calibration_source_win32.h"

#include "module_path.h"
#include "unique_handle.h"

#include <algorithm>
#include <vector>

namespace torvex {

namespace {

class CWin32ArchiveFile final : public IArchiveFile {
public:
    explicit CWin32ArchiveFile(ostrel::CFileHandle file) : m_file(std::move(file)) {}

    size_t Write(const uint8_t* pData, size_t nSize) override {
        size_t nTotal = 0;
        while (nTotal < nSize) {
            const DWORD nAsk = static_cast<DWORD>(std::min<size_t>(nSize - nTotal, 1u << 20));
            DWORD nDone = 0;
            if (!::WriteFile(m_file.get(), pData + nTotal, nAsk, &nDone, nullptr) || nDone == 0)
                break;
            nTotal += nDone;
        }
        return nTotal;
    }

    bool Cut(uint64_t nSize) override {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(nSize);
        return ::SetFilePointerEx(m_file.get(), at, nullptr, FILE_BEGIN) &&
               ::SetEndOfFile(m_file.get());
    }

private:
    ostrel::CFileHandle m_file;
};

std::string FolderOfRunningProgram() {
    const std::string strPath = ostrel::GetRunningModulePathAnsi();
    const size_t nSlash = strPath.find_last_of("\\/");
    return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash + 1);
}

uint64_t TimeOf(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

class CWin32CalibrationSource final : public ICalibrationSource {
public:
    CWin32CalibrationSource(IDirectSlots& slots, HWND hwndOwner)
        : m_messages(hwndOwner), m_store(slots, m_files, m_runner, m_messages) {}

    std::optional<SCalibration> CalibrationFor(int nSlot) override {
        return m_store.CalibrationFor(nSlot);
    }

private:
    CWin32CalibrationFiles m_files;
    CWin32ProcessRunner m_runner;
    CWin32MessageBoxes m_messages;
    CCalibrationStore m_store;
};

} // namespace

std::unique_ptr<ICalibrationSource> MakeCalibrationSourceWin32(IDirectSlots& slots,
                                                               HWND hwndMessageOwner) {
    return std::make_unique<CWin32CalibrationSource>(slots, hwndMessageOwner);
}

CWin32CalibrationFiles::CWin32CalibrationFiles(std::string strFolder)
    : m_strFolder(strFolder.empty() ? FolderOfRunningProgram() : std::move(strFolder)) {}

bool CWin32CalibrationFiles::Exists(const std::string& strPath) {
    const DWORD nAttributes = ::GetFileAttributesA(strPath.c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && !(nAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

EFileRead CWin32CalibrationFiles::ReadWhole(const std::string& strPath, size_t nLimit,
                                            std::vector<uint8_t>& bytes) {
    bytes.clear();
    ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return EFileRead::CannotOpen;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > nLimit)
        return EFileRead::Short;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t nTotal = 0;
    while (nTotal < bytes.size()) {
        DWORD nDone = 0;
        if (!::ReadFile(file.get(), bytes.data() + nTotal,
                        static_cast<DWORD>(bytes.size() - nTotal), &nDone, nullptr) ||
            nDone == 0)
            return EFileRead::Short;
        nTotal += nDone;
    }
    return EFileRead::Ok;
}

std::unique_ptr<IArchiveFile> CWin32CalibrationFiles::Create(const std::string& strPath) {
    ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::make_unique<CWin32ArchiveFile>(std::move(file));
}

bool CWin32CalibrationFiles::Delete(const std::string& strPath) {
    return ::DeleteFileA(strPath.c_str()) != 0;
}

uint32_t CWin32CalibrationFiles::MakeFolder(const std::string& strFolder) {
    return ::CreateDirectoryA(strFolder.c_str(), nullptr) ? 0 : ::GetLastError();
}

void CWin32CalibrationFiles::RemoveFolder(const std::string& strFolder) {
    WIN32_FIND_DATAA data;
    ostrel::CFindHandle find(::FindFirstFileA((strFolder + "*").c_str(), &data));
    if (find) {
        do {
            const std::string strName = data.cFileName;
            if (strName == "." || strName == "..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link to elsewhere: only the link goes.
                ::RemoveDirectoryA((strFolder + strName).c_str());
                ::DeleteFileA((strFolder + strName).c_str());
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(strFolder + strName + "\\");
            } else {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesA((strFolder + strName).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA((strFolder + strName).c_str());
            }
        } while (::FindNextFileA(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryA(strFolder.c_str());
}

uint32_t CWin32CalibrationFiles::FindFiles(const std::string& strFolder, const std::string& strMask,
                                           std::vector<SFoundFile>& found) {
    found.clear();
    WIN32_FIND_DATAA data;
    ostrel::CFindHandle find(::FindFirstFileA((strFolder + strMask).c_str(), &data));
    if (!find)
        return ::GetLastError();
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            found.push_back(SFoundFile{data.cFileName, TimeOf(data.ftCreationTime)});
    } while (::FindNextFileA(find.get(), &data));
    const DWORD nEnd = ::GetLastError();
    return nEnd == ERROR_NO_MORE_FILES ? 0 : nEnd;
}

bool CWin32CalibrationFiles::Move(const std::string& strFrom, const std::string& strTo) {
    return ::MoveFileExA(strFrom.c_str(), strTo.c_str(), 0) != 0;
}

uint32_t CWin32ProcessRunner::RunAndWait(const std::string& strApplication,
                                         const std::string& strCommandLine, uint32_t& nExitCode) {
    nExitCode = 0;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> command(strCommandLine.begin(), strCommandLine.end());
    command.push_back('\0');
    if (!::CreateProcessA(strApplication.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process))
        return ::GetLastError();
    ostrel::CKernelHandle hProcess(process.hProcess);
    ostrel::CKernelHandle hThread(process.hThread);
    ::WaitForSingleObject(hProcess.get(), INFINITE);
    DWORD nCode = 0;
    if (!::GetExitCodeProcess(hProcess.get(), &nCode))
        return ::GetLastError();
    nExitCode = nCode;
    return 0;
}

void CWin32MessageBoxes::Show(const std::string& strText, const std::string& strCaption) {
    ::MessageBoxA(m_hwndOwner, strText.c_str(), strCaption.c_str(), MB_OK);
}

} // namespace torvex
