#include "collection.h"

#include "unique_handle.h"
#include "version_text.h"

#include <shlwapi.h>
#include <windows.h>

namespace ostrel {
namespace {

class CWin32CollectionFiles : public ICollectionFiles {
public:
    std::vector<SFindEntry> FindEntries(const std::wstring& pattern) override {
        std::vector<SFindEntry> entries;
        WIN32_FIND_DATAW data{};
        CFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
        if (!find)
            return entries;
        do {
            entries.push_back({data.cFileName,
                               (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
        } while (::FindNextFileW(find.get(), &data));
        return entries;
    }

    bool CopyNoOverwrite(const std::wstring& source, const std::wstring& destination) override {
        return ::CopyFileW(source.c_str(), destination.c_str(), TRUE) != FALSE;
    }

    bool PathExists(const std::wstring& path) override {
        return ::PathFileExistsW(path.c_str()) != FALSE;
    }

    bool CanOpenForReadShareRead(const std::wstring& path) override {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    }

    EProbeCreate CreateProbe(const std::wstring& path) override {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return EProbeCreate::Created;
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EProbeCreate::Exists
                                                                           : EProbeCreate::Failed;
    }

    bool RemoveFile(const std::wstring& path) override {
        return ::DeleteFileW(path.c_str()) != FALSE;
    }

    bool VersionText(const std::wstring& path, std::wstring& text) override {
        return GetFileVersionText(path, SVersionTextOptions(), text);
    }
};

} // namespace

ICollectionFiles& SystemCollectionFiles() {
    static CWin32CollectionFiles s_files;
    return s_files;
}

} // namespace ostrel
