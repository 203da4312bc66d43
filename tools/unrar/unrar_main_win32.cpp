// UnRAR.exe stand-in: extracts the stored entries of a RAR 4.x archive into
// a folder, without their folders, replacing files of the same name. Exit
// code 0 when every entry was written; nothing is written from an archive
// that fails any check.
#include "rar_reader.h"
#include "unique_handle.h"
#include "unrar_command.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

using namespace ostrel::rar;

enum EExit : int {
    kExitOk = 0,
    kExitArchive = 3, // damaged, CRC error or unsupported
    kExitWrite = 5,
    kExitOpen = 6,
    kExitUsage = 7,
};

// Far beyond any calibration archive.
constexpr DWORD kArchiveLimit = 256u << 20;

int Fail(int nExit, const char* pWhat, const std::string& strDetail) {
    std::fprintf(stderr, "UnRAR: %s: %s\n", pWhat, strDetail.c_str());
    return nExit;
}

bool ReadArchive(const std::string& strPath, std::vector<uint8_t>& bytes) {
    ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kArchiveLimit)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD nDone = 0;
    return bytes.empty() || (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &nDone, nullptr) &&
                             nDone == bytes.size());
}

bool WriteEntry(const std::string& strPath, const uint8_t* pData, size_t nSize, uint32_t nDosTime,
                uint32_t nAttributes) {
    ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL); // -y: replace read-only files too
    ostrel::CFileHandle file(::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD nDone = 0;
    if (nSize > 0 && (!::WriteFile(file.get(), pData, static_cast<DWORD>(nSize), &nDone, nullptr) ||
                      nDone != nSize))
        return false;
    FILETIME local, utc;
    if (::DosDateTimeToFileTime(static_cast<WORD>(nDosTime >> 16), static_cast<WORD>(nDosTime),
                                &local) &&
        ::LocalFileTimeToFileTime(&local, &utc))
        ::SetFileTime(file.get(), nullptr, nullptr, &utc);
    file.reset();
    const DWORD nKeep = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    if (nAttributes & nKeep)
        ::SetFileAttributesA(strPath.c_str(), nAttributes & nKeep);
    return true;
}

} // namespace

int main() {
    const std::optional<SUnrarCommand> command = ParseUnrarCommand(::GetCommandLineA());
    if (!command)
        return Fail(kExitUsage, "usage", "UnRAR e -y <archive> *.* <folder\\>");
    std::vector<uint8_t> bytes;
    if (!ReadArchive(command->m_strArchive, bytes))
        return Fail(kExitOpen, "cannot read", command->m_strArchive);
    std::vector<SRarEntry> entries;
    const ERarError eError = ReadRar(bytes.data(), bytes.size(), entries);
    if (eError != ERarError::None)
        return Fail(kExitArchive, RarErrorText(eError), command->m_strArchive);
    for (const SRarEntry& entry : entries) {
        if (!entry.m_bDirectory && PlainEntryName(entry.m_strName).empty())
            return Fail(kExitArchive, "bad entry name", entry.m_strName);
    }
    for (const SRarEntry& entry : entries) {
        if (entry.m_bDirectory)
            continue;
        const std::string strPath = command->m_strDestination + PlainEntryName(entry.m_strName);
        if (!WriteEntry(strPath, bytes.data() + entry.m_nDataOffset, entry.m_nDataSize,
                        entry.m_nDosTime, entry.m_nAttributes))
            return Fail(kExitWrite, "cannot write", strPath);
    }
    return kExitOk;
}
